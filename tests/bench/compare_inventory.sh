#!/usr/bin/env bash
# One inventory (inventory_scale) of the 1-, 4- and 64-adapter estates from several builds
# (e.g. before and after a change) in one run, builds taking turns, each RUNS times (default 3),
# then the median module CPU time, wall time and peak resident size of each: this machine's
# speed drifts between runs, so one run proves little. The requests are printed too: they
# must be the same for every build.
# Usage: compare_inventory.sh BUILD_DIR [MORE_BUILD_DIRS...]
#        (ESTATES="1 4 64" in the environment changes the estates; RUNS=N the repetitions)
set -euo pipefail
builds=("$@")
[ ${#builds[@]} -gt 0 ] || { echo "usage: $0 BUILD_DIR [MORE_BUILD_DIRS...]" >&2; exit 2; }
runs=${RUNS:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for adapters in ${ESTATES:-1 4 64}; do
  for run in $(seq "$runs"); do
    for index in "${!builds[@]}"; do
      "${builds[$index]}/tests/bench/inventory_scale" "$adapters" > "$work/out" 2>&1 || true
      requests=$(sed -n 's/^CIM requests: //p' "$work/out")
      cpu=$(sed -n 's/^module CPU time: \([0-9.]*\) s/\1/p' "$work/out")
      wall=$(sed -n 's/^wall time: \([0-9.]*\) s/\1/p' "$work/out")
      peak=$(sed -n 's/^peak resident size: \([0-9.]*\) MiB/\1/p' "$work/out")
      echo "$adapters $index $requests $cpu $wall $peak" >> "$work/all"
      printf '%3s adapters, run %s, %s: %s requests, CPU %s s, wall %s s, peak %s MiB\n' \
        "$adapters" "$run" "${builds[$index]}" "$requests" "$cpu" "$wall" "$peak"
    done
  done
done

median() {  # column of "$work/all" for one estate and build
  awk -v a="$1" -v b="$2" -v c="$3" '$1 == a && $2 == b { print $c }' "$work/all" | sort -g |
    awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}
echo
printf '%-8s %-40s %9s %9s %9s %9s\n' adapters build requests "CPU s" "wall s" "peak MiB"
for adapters in ${ESTATES:-1 4 64}; do
  for index in "${!builds[@]}"; do
    printf '%-8s %-40s %9s %9s %9s %9s\n' "$adapters" "${builds[$index]}" \
      "$(median "$adapters" "$index" 3)" "$(median "$adapters" "$index" 4)" \
      "$(median "$adapters" "$index" 5)" "$(median "$adapters" "$index" 6)"
  done
done
