#!/usr/bin/env bash
# Sourced by the build scripts: sets the array buildflags to the cmake
# arguments that give every compile and link Debian's hardening, as
# dpkg-buildflags (dpkg-dev) gives it to every package: the stack protector,
# _FORTIFY_SOURCE, format checks, and a read-only relocation table bound at
# start (-z relro -z now). Executables are position independent by the
# compiler's own default. The package and the tests use the same flags, so
# the tests run what is shipped.
#
# Three are raised to what later Debian releases give: level 2 of
# _FORTIFY_SOURCE checks only copies into buffers whose size is fixed when
# compiling, and the program's are sized when it runs (level 3, which glibc
# 2.36 and GCC 12 have, checks those); stack clash protection and control
# flow protection are on as well.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
export DEB_CPPFLAGS_MAINT_APPEND="-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=3"
export DEB_CXXFLAGS_MAINT_APPEND="-fstack-clash-protection -fcf-protection"
buildflags=(
  "-DCMAKE_CXX_FLAGS=$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
  "-DCMAKE_EXE_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)"
  "-DCMAKE_SHARED_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)"
)
