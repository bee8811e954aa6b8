#!/usr/bin/env bash
# The shell completion offers what deveder-cli prints quoted, so that the
# shell reads each word back exactly, and never runs or expands it; the
# simulator takes only numbers within their range.
# Usage: programs_test.sh SOURCE_DIR SIMULATOR
set -uo pipefail
src=$(cd "$1" && pwd)
sim=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# A deveder-cli whose port walk and variable names hold what a shell would
# run or expand; run in a folder where a glob would find a file.
mkdir "$tmp/bin" "$tmp/work"
cat >"$tmp/bin/deveder-cli" <<'CLI'
#!/bin/sh
case "$1" in
  ports) printf '%s\n' '/dev/$(touch pwned)' '/dev/*' '/dev/usb/lp 0' ;;
  names) printf '%s\n' 'a$(touch pwned)' '`touch pwned`b' "c'd" ;;
esac
CLI
chmod +x "$tmp/bin/deveder-cli"
touch "$tmp/work/decoy"
cd "$tmp/work"
got=$(PATH="$tmp/bin:$PATH" bash -c '
  source /usr/share/bash-completion/bash_completion
  source "$1"
  compopt() { :; }
  offer() {
    COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE="${COMP_WORDS[*]}"; COMP_POINT=${#COMP_LINE}
    _deveder_cli
    # Each word as the shell reads it once the user takes it.
    local word
    for word in "${COMPREPLY[@]}"; do eval "printf \"%s\\n\" $word"; done
  }
  offer deveder-cli --port ""
  offer deveder-cli settings write ""
' _ "$src/packaging/deveder-cli.bash" 2>&1)
[ ! -e pwned ] || fail "completion ran a command from deveder-cli's output"
want='/dev/$(touch pwned)
/dev/*
/dev/usb/lp 0
a$(touch pwned)=
`touch pwned`b=
c'"'"'d='
[ "$got" = "$want" ] || fail "completion offers
$got
instead of
$want"

# --tcp: a port number 0..65535 (0: a free one), nothing else.
for case in 0:0 65535:0 65536:2 -1:2 abc:2 99999:2 1x:2 :2; do
  value=${case%:*}
  want=${case##*:}
  "$sim" --tcp "$value" --version >/dev/null 2>&1
  rc=$?
  [ "$rc" = "$want" ] || fail "deveder-printer-sim --tcp '$value' exits $rc, not $want"
done

[ "$failures" -eq 0 ] || exit 1
echo "programs test: completion and simulator options good"
