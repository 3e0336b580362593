#!/usr/bin/env bash
# Builds the Debian package brindlemoor_<version>_<arch>.deb into the top
# folder of the repository and checks it with lintian: an error or a warning
# fails the script. Install it with: apt install ./brindlemoor_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
# dpkg-shlibdeps (dpkg-dev) and file find the packages of the linked libraries.
# hardening-check (devscripts) reads the flags back from the program.
bash scripts/setup.sh dpkg-dev file lintian devscripts
source scripts/buildflags.sh
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DBM_BUILD_TESTS=OFF "${buildflags[@]}" "${launcher[@]}" >/dev/null
cmake --build build-package -j"$(nproc)"
# A package left from an older version would otherwise be copied and checked too.
rm -f build-package/brindlemoor_*.deb
(cd build-package && cpack -G DEB)
rm -f brindlemoor_*.deb
cp build-package/brindlemoor_*.deb .
ls -1 brindlemoor_*.deb
# Informational and pedantic tags are shown but do not fail the package.
lintian --fail-on error,warning --display-info brindlemoor_*.deb | tee build-package/lintian.txt
echo "lintian: no errors, no warnings"
if grep -q hardening build-package/lintian.txt; then
  echo "lintian finds the program built without Debian's hardening" >&2
  exit 1
fi
# Every program the package installs carries the hardening.
unpacked=build-package/unpacked
rm -rf "$unpacked"
dpkg-deb -x brindlemoor_*.deb "$unpacked"
# Control flow protection is left out of the check: Debian 12's static
# libraries (libvformat) are built without it, so the linker can not mark
# the program as protected, though its own code is.
find "$unpacked/usr/bin" -type f -print0 | xargs -0 hardening-check --nocfprotection
