#!/usr/bin/env bash
# Installs the Debian packages that the build, the program and the tests need, only those missing.
# As root it runs apt-get; otherwise it prints the command to run and fails.
set -euo pipefail

packages=(
  # build
  cmake g++ make pkg-config
  qt6-base-dev libqt6opengl6-dev qt6-svg-dev libqt6svg6
  libmpv-dev libpugixml-dev zlib1g-dev liblzma-dev libxml2-dev libqt6sql6-sqlite
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev libgstrtspserver-1.0-dev
  # engines at run time; Wayland sessions
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
  gstreamer1.0-plugins-ugly gstreamer1.0-libav qt6-wayland
  # installing and packaging: validators, the .deb's library check
  desktop-file-utils appstream dpkg-dev
  # tests: headless display (X and Wayland), GL, test media, a TLS certificate
  xvfb xauth libgl1-mesa-dri ffmpeg weston openssl
  # tests: a private session bus (media keys, screen saver, notifications)
  dbus
  fonts-dejavu-core
)
# Peers the benchmarks measure against (WITH_BENCH=1), and the fuzzing tool chain (WITH_FUZZ=1);
# no test needs them.
bench_packages=(mpv gstreamer1.0-tools curl time)
fuzz_packages=(clang libclang-rt-14-dev)

missing=()
for p in "${packages[@]}" ${WITH_BENCH:+"${bench_packages[@]}"} ${WITH_FUZZ:+"${fuzz_packages[@]}"}; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if [[ ${#missing[@]} -eq 0 ]]; then
  exit 0
fi

cmd="apt-get install -y --no-install-recommends ${missing[*]}"
if [[ $(id -u) -ne 0 ]]; then
  echo "Zentavo needs these Debian packages: ${missing[*]}" >&2
  echo "Install them as root:  apt-get update && $cmd" >&2
  exit 1
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
# shellcheck disable=SC2086
apt-get install -y -qq --no-install-recommends "${missing[@]}"
