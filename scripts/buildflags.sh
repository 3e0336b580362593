#!/usr/bin/env bash
# Sourced by the build scripts: sets the array buildflags to the cmake
# arguments that give every compile and link Debian's hardening, as
# dpkg-buildflags (dpkg-dev) gives it to every package: the stack protector,
# _FORTIFY_SOURCE, format checks, and a read-only relocation table bound at
# start (-z relro -z now). Executables are position independent by the
# compiler's own default. The package and the tests use the same flags, so
# the tests run what is shipped.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
buildflags=(
  "-DCMAKE_CXX_FLAGS=$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
  "-DCMAKE_EXE_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)"
  "-DCMAKE_SHARED_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)"
)
