#!/usr/bin/env bash
# Pictures of the seven pages of the main window in both languages for the
# README (docs/), taken under Xvfb from the demo with its simulated printer.
# BUILD_DIR picks the build tree (default build).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
build=${BUILD_DIR:-build}
export CCACHE_BASEDIR="$PWD"
TARGETS=deveder-demo scripts/build.sh "$build" >/dev/null
mkdir -p docs
for lang in en_US.UTF-8:en zh_CN.UTF-8:zh; do
  loc=${lang%%:*}; tag=${lang##*:}
  for page in 0 1 2 3 4 5 6; do
    LANG=$loc LC_ALL= LC_MESSAGES= xvfb-run -a -s "-screen 0 1280x1024x24" \
      "$build/deveder-demo" --screenshot "docs/main_${tag}_page${page}.png" --page "$page" 2>/dev/null
  done
done
ls -l docs/main_*.png
