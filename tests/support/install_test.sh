#!/usr/bin/env bash
# Installs the build into a temporary root (DESTDIR), checks what is there, validates the desktop
# entry and the AppStream metainfo, and starts the installed program from there: it must find
# its files relative to itself and keep the user's in the XDG folders.
#   install_test.sh BUILD_DIR            from `cmake --install`
#   install_test.sh --deb PACKAGE.deb    from the package's content
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [[ "$1" == --deb ]]; then
  dpkg-deb -x "$2" "$work/root"
  echo "package dependencies: $(dpkg-deb -f "$2" Depends)"
else
  DESTDIR="$work/root" cmake --install "$1" --prefix /usr >/dev/null
fi
root="$work/root/usr"
fail() { echo "FAIL: $*" >&2; exit 1; }

for f in bin/zentavo bin/zentavo-chl lib/zentavo/libzentavo-engines.so \
         share/zentavo/data/TV.CHL share/zentavo/data/Radio.CHL share/zentavo/data/Fav.CHL \
         share/zentavo/data/IPRD-LICENSE.txt share/zentavo/Skins/Silver.ssk \
         share/applications/example.zentavo.Zentavo.desktop \
         share/metainfo/example.zentavo.Zentavo.metainfo.xml \
         share/icons/hicolor/scalable/apps/example.zentavo.Zentavo.svg \
         share/icons/hicolor/48x48/apps/example.zentavo.Zentavo.png \
         share/man/man1/zentavo.1 share/man/man1/zentavo-chl.1; do
  [[ -f "$root/$f" ]] || fail "$f is not installed"
done
# The programs, and nothing built for tests, benchmarks or the build.
[[ "$(ls "$root/bin" | tr '\n' ' ')" == "zentavo zentavo-chl " ]] || fail "bin holds: $(ls "$root/bin")"
if find "$work/root" -name 'tst_*' -o -name 'zentavo-bench' -o -name 'zentavo-icon' -o -name 'zentavo-test*' \
     | grep -q .; then
  fail "test or build executables installed"
fi

desktop-file-validate "$root/share/applications/example.zentavo.Zentavo.desktop"
appstreamcli validate --no-net "$root/share/metainfo/example.zentavo.Zentavo.metainfo.xml"

# --help and --version answer without any display.
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/bin/zentavo" --version | grep -q '^Zentavo ' \
  || fail "--version"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/bin/zentavo" --help | grep -q '^Usage: zentavo' \
  || fail "--help"

# The installed program, started from where it was installed, with a user of its own.
export XDG_CONFIG_HOME="$work/home/config" XDG_DATA_HOME="$work/home/data" XDG_CACHE_HOME="$work/home/cache"
export XDG_RUNTIME_DIR="$work/run"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
out=$(QT_QPA_PLATFORM=offscreen ZENTAVO_REPORT_SHOWN=list timeout 60 "$root/bin/zentavo")
echo "$out" | grep -q '^shown ' || fail "the installed program did not show its window: $out"
groups=$(echo "$out" | sed -n 's/^listed //p')
[[ -n "$groups" && "$groups" -gt 20 ]] || fail "the installed program did not show the shipped TV list: $out"
[[ -f "$XDG_DATA_HOME/zentavo/data/Fav.CHL" ]] || fail "the first start did not make the favourites"
[[ ! -e "$root/share/zentavo/Config.ini" && ! -e "$root/bin/Config.ini" ]] || fail "wrote into the installation"
echo "installed program started: $groups groups in the TV list"
