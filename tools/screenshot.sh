#!/usr/bin/env bash
# Screenshots of zdl410-config under Xvfb at 1366x768, with a fresh settings folder:
# the main window with each editor in front, in English and in Spanish.
#   tools/screenshot.sh [PROGRAM] [OUTDIR]
# Needs Debian's xvfb, imagemagick (import) and xdotool (the editors are brought to the
# front with the toolbar's keys, Ctrl+1 to Ctrl+6).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$top/build/release/zdl410-config}
out=${2:-$top/build/screenshots}
mkdir -p "$out"
disp=$(( 700 + RANDOM % 200 ))
while [ -e /tmp/.X11-unix/X$disp ]; do disp=$((disp + 1)); done
Xvfb :$disp -screen 0 1366x768x24 -nolisten tcp >/dev/null 2>&1 & xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$disp ] && break; sleep 0.1; done
export DISPLAY=:$disp QT_QPA_PLATFORM=xcb
unset QT_QPA_PLATFORMTHEME
for lang in 401 101; do
  settings=$(mktemp -d)
  mkdir -p "$settings"
  printf '[Idioma]\nIdioma=%s\n' "$lang" > "$settings/Norvik_config.conf"
  name=$([ $lang = 401 ] && echo en || echo es)
  XDG_CONFIG_HOME=$settings "$program" "$top/examples/plant.ncf" >/dev/null 2>&1 & prog=$!
  sleep 3
  # No window manager under Xvfb: give the main window the keyboard focus by hand.
  xdotool search --sync --name "NORVIK ZDL410" windowfocus --sync >/dev/null 2>&1 || true
  key=1
  for editor in General Alarmas Alarmas2 Macros Datalogger Temporizadores; do
    xdotool key --clearmodifiers "ctrl+$key" 2>/dev/null || true
    sleep 0.7
    import -window root "$out/$name-$editor.png"
    key=$((key + 1))
  done
  kill $prog 2>/dev/null || true
  wait $prog 2>/dev/null || true
  rm -rf "$settings"
done
echo "screenshots in $out"
