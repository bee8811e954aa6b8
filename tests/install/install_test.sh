#!/usr/bin/env bash
# Installs the build both ways, each into a temporary root — `cmake --install`
# and the Debian package made by CPack, unpacked with dpkg-deb — and runs
# what was installed from there: every program's --version, deveder-cli
# --help, the desktop file through desktop-file-validate, every manual page
# through man without a warning, the icons and the shell completion; the
# package passes lintian without an error or a warning.
#
# First it builds exactly what ./run builds, with the files only packaging
# needs removed: installing must need nothing more.
# Usage: install_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
top=$(cd "$(dirname "$0")/../.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

check_prefix() {  # $1: a tree laid out as /usr
  local p=$1 what=$2
  for prog in deveder deveder-cli deveder-demo deveder-printer-sim; do
    local v
    v=$("$p/bin/$prog" --version 2>&1) || fail "$what: $prog --version exits $?"
    [[ $v =~ ^$prog\ [0-9]+\.[0-9]+ ]] || fail "$what: $prog --version says '$v'"
  done
  "$p/bin/deveder-cli" --help | grep -q '^  doctor ' || fail "$what: deveder-cli --help lacks doctor"
  "$p/bin/deveder" --help | grep -q 'usage: deveder' || fail "$what: deveder --help"

  local desktop=$p/share/applications/deveder.desktop
  [ -f "$desktop" ] || fail "$what: no desktop file"
  desktop-file-validate "$desktop" || fail "$what: desktop-file-validate"

  for page in deveder deveder-cli deveder-demo deveder-printer-sim; do
    local man=$p/share/man/man1/$page.1.gz
    [ -f "$man" ] || { fail "$what: no manual page $page.1.gz"; continue; }
    local err
    err=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$man" 2>&1 >/dev/null) || fail "$what: man -l $page.1"
    [ -z "$err" ] || fail "$what: man -l $page.1 warns: $err"
    LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$man" 2>/dev/null | grep -q "^NAME" || fail "$what: $page.1 renders no NAME"
  done

  # Every command, option and address form that --help lists is in the
  # manual page.
  local rendered help word
  rendered=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$p/share/man/man1/deveder-cli.1.gz" 2>/dev/null)
  help=$("$p/bin/deveder-cli" --help)
  for word in $(grep -oE -- '--[a-z][a-z-]*' <<<"$help" | sort -u) \
              $(sed -n 's/^  \([a-z]\{1,\}\) .*/\1/p' <<<"$help" | sort -u) 'HOST:PORT' '[V6]:PORT' 'tcp://HOST'; do
    grep -qF -- "$word" <<<"$rendered" || fail "$what: deveder-cli.1 lacks $word"
  done

  for size in 16 22 24 32 48 64 128 256; do
    local png=$p/share/icons/hicolor/${size}x${size}/apps/deveder.png
    [ "$(head -c 8 "$png" 2>/dev/null | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "$what: icon $size"
  done
  [ -f "$p/share/icons/hicolor/scalable/apps/deveder.svg" ] || fail "$what: no SVG icon"

  # Completion of a page variable name, asked of the installed deveder-cli.
  local completion=$p/share/bash-completion/completions/deveder-cli
  local got
  got=$(PATH="$p/bin:$PATH" bash -c '
    source /usr/share/bash-completion/bash_completion
    source "$1"
    compopt() { :; }  # only a real completion may set its options
    COMP_WORDS=(deveder-cli --lang en settings write den); COMP_CWORD=5
    COMP_LINE="${COMP_WORDS[*]}"; COMP_POINT=${#COMP_LINE}
    _deveder_cli; printf "%s\n" "${COMPREPLY[@]}"
    COMP_WORDS=(deveder-cli do); COMP_CWORD=1
    COMP_LINE="${COMP_WORDS[*]}"; COMP_POINT=${#COMP_LINE}
    _deveder_cli; printf "%s\n" "${COMPREPLY[@]}"' _ "$completion" 2>&1) || fail "$what: completion script"
  [ "$got" = $'density=\ndoctor' ] || fail "$what: completion gives '$got'"
}

# What ./run builds, after the generated packaging files are gone.
run_targets=$(sed -n 's/.*TARGETS="\([^"]*\)".*/\1/p' "$top/run" | head -1)
[ -n "$run_targets" ] || fail "no TARGETS list in ./run"
rm -rf "$build/packaging/gz" "$build/tools/icons"
targets=()
for t in $run_targets; do targets+=(--target "$t"); done
cmake --build "$build" "${targets[@]}" >"$tmp/build.log" 2>&1 || { tail -20 "$tmp/build.log" >&2; fail "building ./run's targets"; }

cmake --install "$build" --prefix "$tmp/root" >"$tmp/install.log" 2>&1 || { cat "$tmp/install.log" >&2; fail "cmake --install"; }
check_prefix "$tmp/root" "cmake --install"

(cd "$build" && cpack -G DEB -B "$tmp/package" >"$tmp/cpack.log" 2>&1) || { cat "$tmp/cpack.log" >&2; fail "cpack"; }
deb=$(ls "$tmp"/package/deveder_*.deb 2>/dev/null | head -1)
if [ -z "$deb" ]; then
  fail "no package built"
else
  depends=$(dpkg-deb -f "$deb" Depends)
  for lib in libqt6widgets6 libqt6core6 libstdc++6 libc6; do
    [[ $depends == *$lib* ]] || fail "package Depends lacks $lib: $depends"
  done
  dpkg-deb -x "$deb" "$tmp/deb"
  check_prefix "$tmp/deb/usr" "package"
  # lintian is installed here when missing: only this test needs it.
  if ! command -v lintian >/dev/null; then
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends lintian >/dev/null 2>&1 ||
      fail "lintian could not be installed"
  fi
  if command -v lintian >/dev/null; then
    tags=$(lintian "$deb" 2>&1 | grep -E '^(E|W): ' || true)
    [ -z "$tags" ] || fail "lintian: $tags"
  fi
fi

if [ "$failures" -ne 0 ]; then
  echo "install test: $failures failures" >&2
  exit 1
fi
echo "install test: cmake --install and $(basename "${deb:-none}") both good"
