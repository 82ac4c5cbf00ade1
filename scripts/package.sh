#!/usr/bin/env bash
# Builds the Debian package of the console from the default build: build/package/kelvane_VERSION_ARCH.deb
# (programs stripped, installed under /usr). Install it with:
#   sudo apt install ./build/package/kelvane_*_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target kelvane kelvanectl kelvane-bussim kv_man_pages
mkdir -p build/package
rm -f build/package/kelvane_*.deb
# dpkg-shlibdeps turns the libraries the programs link into the package's dependencies.
cpack --config build/default/CPackConfig.cmake -B build/package >build/package/cpack.log 2>&1 || {
  cat build/package/cpack.log >&2
  exit 1
}
ls build/package/kelvane_*.deb
