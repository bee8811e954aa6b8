#!/usr/bin/env bash
# Headless demo: a simulated printer and deveder-cli reading every page of it.
# Used by ./run when there is no display.
set -euo pipefail
build=${1:-build}
tmp=$(mktemp -d)
port="$tmp/printer"
"$build/deveder-printer-sim" --link "$port" >"$tmp/sim.log" 2>&1 &
sim=$!
trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; rm -rf "$tmp"' EXIT
for _ in $(seq 50); do [ -e "$port" ] && break; sleep 0.1; done
if [ ! -e "$port" ]; then
  echo "run: the simulated printer did not start" >&2
  exit 1
fi
cli="$build/cli/deveder-cli"
echo "No display: headless demo with a simulated printer on $port"
rc=0
for cmd in "probe" "settings read" "wifi read" "bt read"; do
  echo
  echo "\$ deveder-cli $cmd"
  # shellcheck disable=SC2086
  "$cli" --port "$port" $cmd || rc=1
done
exit $rc
