#!/usr/bin/env bash
# Enumerates 10,000 CIM_FCPort instances from cimsim (serving a pre-rendered
# response) with our client and with wbemcli, one after the other in one run,
# and prints whole-process wall and CPU time and peak memory of each.
# Usage: compare_enumeration.sh BUILD_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:?build directory holding tests/bench/pegasus_enumerate}
work=$(mktemp -d)
trap 'kill "$server" 2>/dev/null || true; rm -rf "$work"' EXIT

# The real server's XX_FCPort instance from the captures, 10,000 times.
python3 - "$root/tests/pegasus/captures/cimserver/enum-fcport-deep-conn1.s2c" "$work/body.xml" <<'PY'
import sys
stream = open(sys.argv[1], "rb").read()
body = stream[stream.index(b"<?xml"):stream.rindex(b"</CIM>") + 6]
first = body.index(b"<VALUE.NAMEDINSTANCE>")
second = body.index(b"<VALUE.NAMEDINSTANCE>", first + 1)
last = body.rindex(b"</VALUE.NAMEDINSTANCE>") + len(b"</VALUE.NAMEDINSTANCE>")
instance = body[second:last]
with open(sys.argv[2], "wb") as out:
    out.write(body[:first])
    for i in range(10000):
        out.write(instance.replace(b"port-2", b"port-%d" % i) + b"\n")
    out.write(body[last:])
PY
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
echo "response body: $(stat -c %s "$work/body.xml") bytes, 10000 instances"

measure() {  # label, command...
  local label=$1; shift
  /usr/bin/time -f "$label: %e s wall, %U s user + %S s system CPU, %M KiB peak" "$@" \
    > "$work/out" 2> "$work/time" || { cat "$work/time"; return 1; }
  tail -n 1 "$work/time"
}
measure "our client" "$build/tests/bench/pegasus_enumerate" 127.0.0.1 "$port" root/brocade CIM_FCPort
echo "  $(cat "$work/out")"
measure "wbemcli   " wbemcli -noverify ei "http://127.0.0.1:$port/root/brocade:CIM_FCPort"
echo "  $(wc -l < "$work/out") lines"
