#!/usr/bin/env bash
# Enumerates a large class from cimsim (serving the pre-rendered response of
# pegasus_generate_enumeration: 10,000 instances shaped like the real
# server's) with our client, once and three times per process, then with
# wbemcli, all in one run, and prints whole-process wall and CPU time and
# peak memory of each. Several build directories (e.g. before and after a
# change) are measured one after the other against the same server.
# Each measurement runs RUNS times (default 3), builds taking turns, and the
# median CPU time of each is printed last: this machine's speed drifts by half
# between runs, so one run proves little.
# Usage: compare_enumeration.sh BUILD_DIR [MORE_BUILD_DIRS...]
#        (INSTANCES=N in the environment changes the count; RUNS=N the repetitions;
#        NO_WBEMCLI=1 skips wbemcli)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
first=${1:?build directory holding tests/bench/pegasus_enumerate}
instances=${INSTANCES:-10000}
runs=${RUNS:-3}
work=$(mktemp -d)
server=
trap '[ -n "$server" ] && kill "$server" 2>/dev/null; rm -rf "$work"' EXIT

"$first/tests/bench/pegasus_generate_enumeration" "$work/body.xml" "$instances" > /dev/null
bytes=$(stat -c %s "$work/body.xml")
cat > "$work/scenario.json" <<'JSON'
{"namespace": "root/brocade", "prerendered": {"EnumerateInstances:CIM_FCPort": "body.xml"}}
JSON

python3 "$root/tools/cimsim/cimsim.py" --scenario "$work/scenario.json" --allow-anonymous \
  > "$work/ready" &
server=$!
while ! grep -q '^http=' "$work/ready" 2>/dev/null; do
  kill -0 "$server" || { echo "cimsim did not start" >&2; exit 1; }
  sleep 0.05
done
port=$(sed -n 's/^http=\([0-9]*\).*/\1/p' "$work/ready")
echo "response body: $bytes bytes, $instances instances"

measure() {  # label, command...
  local label=$1; shift
  /usr/bin/time -f "$label: %e s wall, %U s user + %S s system CPU, %M KiB peak" "$@" \
    > "$work/out" 2> "$work/time" || { cat "$work/time"; return 1; }
  tail -n 1 "$work/time" | tee -a "$work/all"
  sed 's/^/    /' "$work/out"
}
for run in $(seq "$runs"); do
  echo "--- run $run of $runs"
  for build in "$@"; do
    for times in 1 3; do
      measure "$build, $times enumeration(s)" "$build/tests/bench/pegasus_enumerate" 127.0.0.1 \
        "$port" root/brocade CIM_FCPort "$times" "$bytes"
    done
  done
  # The yardstick: the same body read from a file into a pugixml tree.
  baseline="$first/tests/bench/pegasus_tree_parse_baseline"
  [ -x "$baseline" ] && measure "pugixml tree parse of the file" "$baseline" "$work/body.xml"
done
echo "--- median of $runs runs, whole process (user + system CPU; peak)"
sed 's/: [0-9.]* s wall,.*//' "$work/all" | awk '!seen[$0]++' | while read -r label; do
  awk -v label="$label:" 'index($0, label) == 1' "$work/all" |
    sed 's/.*wall, \([0-9.]*\) s user + \([0-9.]*\) s system CPU, \([0-9]*\) KiB.*/\1 \2 \3/' |
    awk '{ print $1 + $2, $1, $2, $3 }' | sort -n |
    awk -v label="$label" '{ line[NR] = $0 }
      END { split(line[int((NR + 1) / 2)], m, " ");
            printf "%s: %.2f s CPU (%.2f user + %.2f system), %.0f MiB peak\n",
                   label, m[1], m[2], m[3], m[4] / 1024 }'
done
if [ -z "${NO_WBEMCLI:-}" ]; then
  measure "wbemcli" wbemcli -noverify ei "http://127.0.0.1:$port/root/brocade:CIM_FCPort" \
    | head -n 1
fi
