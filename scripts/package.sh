#!/usr/bin/env bash
# Builds Kestrun and makes the Debian package build/kestrun_VERSION_ARCH.deb, then checks it with
# lintian (installed when missing). Install it with: apt-get install ./build/kestrun_*.deb
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
if ! command -v lintian >/dev/null; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "lintian is missing; run this script as root to install it." >&2
    exit 1
  fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends lintian
fi
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build "$root/build" -j"$(nproc)"
rm -f "$root"/build/kestrun_*.deb
(cd "$root/build" && cpack -G DEB)
package=$(ls "$root"/build/kestrun_*.deb)
# Errors fail the script; warnings are shown.
lintian --fail-on error "$package"
echo "$package"
