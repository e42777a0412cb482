#!/usr/bin/env bash
# Set-up, build and start KORVA_Powermanagement. Arguments go to the program
# (for example a .sav file to open).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat >&2 <<TXT
KORVA_Powermanagement needs a graphical display, and none is set (DISPLAY and
WAYLAND_DISPLAY are empty). The program is built: $root/build/korva
To start it without a screen, on a virtual display:
  xvfb-run -a -s "-screen 0 1280x1024x24" $root/build/korva
TXT
  exit 1
fi
exec "$root/build/korva" "$@"
