#!/usr/bin/env bash
# Installs everything Sketrin needs to build, run and test on Debian 12.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-image-formats-plugins qt6-wayland qt6-translations-l10n
  libgl-dev libxkbcommon-dev
  libbenchmark-dev
  fonts-ipafont-gothic fonts-noto-cjk python3
  clang clang-format libclang-rt-14-dev
  libxcb1-dev libxcb-xtest0-dev libxcb-damage0-dev libxcb-xfixes0-dev libxcb-shape0-dev libwayland-dev libwayland-bin
  xvfb xdotool xclip x11-apps x11-utils imagemagick xauth desktop-file-utils weston dbus-daemon openbox xcompmgr xfwm4
  sway swaybg grim pipewire-bin xdg-desktop-portal xdg-desktop-portal-wlr xdg-desktop-portal-gtk
  kwin-wayland
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
