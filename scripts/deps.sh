#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tool need.
# Idempotent: asks apt only for what is missing; uses sudo when not root.
set -euo pipefail
want=(cmake ninja-build g++ pkg-config ccache
      qt6-base-dev libgl-dev qt6-translations-l10n
      libgtest-dev libgmock-dev libbenchmark-dev
      fonts-wqy-microhei
      clang libclang-rt-14-dev
      xvfb xauth
      desktop-file-utils man-db groff-base dpkg-dev bash-completion)
missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "deps: installing ${missing[*]}" >&2
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
