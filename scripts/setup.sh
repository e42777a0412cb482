#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build, run and test the
# program. Safe to run again: it only installs missing packages.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev
  qt6-httpserver-dev qt6-websockets-dev openssl libssl-dev
  libmosquitto-dev mosquitto mosquitto-clients
  libcanberra-dev libcanberra-pulse sound-theme-freedesktop pulseaudio pulseaudio-utils sox
  libieee1284-3-dev libi2c-dev
  libbenchmark-dev
  clang libclang-rt-14-dev
  locales tzdata fonts-liberation2 fonts-liberation fonts-dejavu-core
  xvfb xauth
  lintian appstream poppler-utils desktop-file-utils
  chromium chromium-driver python3-selenium
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# The tests run in a German locale; the C library needs it generated.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  "${sudo_cmd[@]}" sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
  "${sudo_cmd[@]}" locale-gen >/dev/null
fi
