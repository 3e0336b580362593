#!/usr/bin/env bash
# Builds the Debian package brindlemoor_<version>_<arch>.deb into the top
# folder of the repository and checks it with lintian: an error or a warning
# fails the script. Install it with: apt install ./brindlemoor_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
# dpkg-shlibdeps (dpkg-dev) and file find the packages of the linked libraries.
bash scripts/setup.sh dpkg-dev file lintian
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DBM_BUILD_TESTS=OFF "${launcher[@]}" >/dev/null
cmake --build build-package -j"$(nproc)"
# A package left from an older version would otherwise be copied and checked too.
rm -f build-package/brindlemoor_*.deb
(cd build-package && cpack -G DEB)
rm -f brindlemoor_*.deb
cp build-package/brindlemoor_*.deb .
ls -1 brindlemoor_*.deb
# Informational and pedantic tags are shown but do not fail the package.
lintian --fail-on error,warning --display-info brindlemoor_*.deb
echo "lintian: no errors, no warnings"
