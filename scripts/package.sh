#!/usr/bin/env bash
# Builds the Debian package build/varenta_<version>_amd64.deb (CPack): the
# programs, tools and estimators, the installation data, desktop entries,
# icons and manual pages.  The build needs dpkg-dev (dpkg-shlibdeps works out
# the package's dependencies), help2man and librsvg2-bin (scripts/install-deps.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$jobs" --target tolv brenlo24 nrexport nrsynth nremu emep2 bayes2 installdata
rm -f build/varenta_*.deb
(cd build && cpack -G DEB >/dev/null)
ls build/varenta_*.deb
