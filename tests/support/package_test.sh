#!/usr/bin/env bash
# Builds the .deb, then installs its content into a temporary root and starts the installed
# program from there (install_test.sh --deb).
set -euo pipefail
build=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
deb=$(ls "$out"/zentavo_*.deb)
"$(dirname "$0")/install_test.sh" --deb "$deb"
