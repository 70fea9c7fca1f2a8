#!/usr/bin/env bash
# The main job: installs what is missing, builds, packs the demo show, prints its package and
# plays it full screen for a few seconds, on the user's display when there is a usable one and
# on a private virtual display otherwise. A screenshot of its first picture is kept.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
cmake --build build --target demo
echo "Demo show: build/demo/demo.scr"
build/bin/pictorelle-pack --dump build/demo/demo.scr

show=build/demo/demo.scr
shot=build/demo/screenshot.png
title='^Pictorelle Demo$'
work=$(mktemp -d)
xvfb_pid="" show_pid=""
cleanup() {
  [ -n "$show_pid" ] && kill "$show_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
# A login session gives every program a private runtime folder; a bare root shell (a fresh
# machine, CI) has none, and Qt would say so on the terminal.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  mkdir -m 700 "$work/runtime"
  export XDG_RUNTIME_DIR="$work/runtime"
fi

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  where="your display $DISPLAY"
else
  # Xvfb picks a free display number and writes it to descriptor 5.
  Xvfb -displayfd 5 -noreset -screen 0 1280x720x24 -nolisten tcp 5>"$work/display" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  [ -s "$work/display" ] || { echo "The virtual display did not start." >&2; exit 1; }
  export DISPLAY=":$(head -n 1 "$work/display")"
  where="a private virtual display ($DISPLAY)"
fi

# The screen's centre pixel, as ImageMagick names it ("#RRGGBB").
centre_pixel() {
  local size
  size=$(xdpyinfo | awk '/dimensions:/ { print $2; exit }')
  import -window root -crop "1x1+$(( ${size%x*} / 2 ))+$(( ${size#*x} / 2 ))" txt:- 2>/dev/null |
    grep -o '#[0-9A-F]\{6\}' | head -n 1
}
desktop=$(centre_pixel || true)

echo "Playing the demo show full screen on $where..."
"$show" /s &
show_pid=$!
for _ in $(seq 200); do
  xdotool search --onlyvisible --name "$title" >/dev/null 2>&1 && break
  kill -0 "$show_pid" 2>/dev/null || { echo "The show ended early." >&2; exit 1; }
  sleep 0.1
done

# The window opens in the show's background colour (#101830); the first picture with its
# caption follows as soon as the window is painted. Wait for it, however busy the machine is.
for _ in $(seq 150); do
  pixel=$(centre_pixel || true)
  [ -n "$pixel" ] && [ "$pixel" != "#101830" ] && [ "$pixel" != "$desktop" ] && break
  sleep 0.1
done
import -window root "$shot"
echo "Screenshot of the first picture: $PWD/$shot"
# Four seconds per picture: let the show move on through one transition before ending it.
sleep 6

# Esc ends the show, as a user would end it.
xdotool key Escape
for _ in $(seq 100); do kill -0 "$show_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$show_pid" 2>/dev/null; then
  echo "The show did not end on Esc." >&2
  exit 1
fi
wait "$show_pid" && status=0 || status=$?
show_pid=""
echo "The show ended with status $status."
exit "$status"
