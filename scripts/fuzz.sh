#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each of them.
# Usage: scripts/fuzz.sh [RUNS]   (default 20000 runs per target; ./test uses this)
#        scripts/fuzz.sh long N   (N runs per target, e.g. 10000000, corpus kept in build-fuzz/corpus)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
runs=${1:-20000}
if [ "$runs" = long ]; then runs=${2:-10000000}; fi
CC=clang CXX=clang++ scripts/build.sh build-fuzz -DDEVEDER_FUZZ=ON -DDEVEDER_WERROR=ON >/dev/null
status=0
for bin in build-fuzz/fuzz/fuzz_*; do
  name=${bin##*/fuzz_}
  seeds=fuzz/corpus/$name
  work=build-fuzz/corpus/$name
  mkdir -p "$work"
  if ./"$bin" -runs="$runs" -max_len=8192 -timeout=10 "$work" "$seeds" >"build-fuzz/$name.log" 2>&1; then
    echo "fuzz $name: $(grep -Eo 'Done [0-9]+ runs' "build-fuzz/$name.log" | tail -1)"
  else
    echo "fuzz $name: FAILED (build-fuzz/$name.log)"; tail -30 "build-fuzz/$name.log"; status=1
  fi
done
exit $status
