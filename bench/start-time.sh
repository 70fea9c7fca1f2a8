#!/usr/bin/env bash
# Time from starting `SHOW /s` to its first picture on screen, on a private Xvfb and on a private
# headless sway at the same size, side by side. The show is one solid red picture; the screen's
# centre is polled (ImageMagick's import on X, grim on sway) until it turns red; the two take
# turns and each reports its median. Run as root: sway runs as the test user
# pictorelle-wayland, which the end-to-end tests create.
#   bench/start-time.sh [BUILD_DIR] [RUNS]     (default build, 5)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
runs=${2:-5}
user=pictorelle-wayland
uid=$(id -u "$user")
gid=$(id -g "$user")
work=$(mktemp -d /tmp/pictorelle-start-XXXXXX)
chmod 711 "$work"
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/pics" "$work/run" "$work/home"
convert -size 1024x768 xc:'#dc1e1e' "$work/pics/red.png"
"$build/bin/pictorelle-pack" --pictures "$work/pics" -o "$work/show.scr" >/dev/null
chown -R "$uid:$gid" "$work"
chmod 700 "$work/run"
now() { date +%s%N; }

as_user() {
  setpriv --reuid "$uid" --regid "$gid" --clear-groups env -i PATH=/usr/bin:/bin \
    HOME="$work/home" XDG_RUNTIME_DIR="$work/run" "$@"
}

# X: Xvfb alone, as the X11 end-to-end tests run it.
Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 3>"$work/xdisplay" 2>/dev/null &
until [ -s "$work/xdisplay" ]; do sleep 0.1; done
xdisplay=:$(cat "$work/xdisplay")
x_red() { import -display "$xdisplay" -window root -crop 1x1+512+384 -depth 8 rgb:- 2>/dev/null |
  od -An -tu1 | tr -s ' ' | grep -q '^ 220 30 30'; }

# sway, headless, as the test user.
cat >"$work/config" <<CONF
output * mode --custom 1024x768
xwayland disable
CONF
as_user WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
  sway -c "$work/config" >/dev/null 2>&1 &
until ls "$work/run"/wayland-* >/dev/null 2>&1; do sleep 0.1; done
wayland=$(basename "$(ls "$work/run"/wayland-* | grep -v lock | head -1)")
w_red() { as_user WAYLAND_DISPLAY="$wayland" grim -g '512,384 1x1' -t ppm - | tail -c 3 |
  od -An -tu1 | tr -s ' ' | grep -q '^ 220 30 30'; }

one_run() { # probe, environment...: milliseconds from the start to the first red centre
  local probe=$1; shift
  local start end
  start=$(now)
  as_user TMPDIR="$work/home" "$@" "$work/show.scr" /s >/dev/null 2>&1 &
  local pid=$!
  until $probe; do :; done
  end=$(now)
  kill "$pid"; wait "$pid" 2>/dev/null || true
  echo $(((end - start) / 1000000))
}

median() { tr ' ' '\n' | sed '/^$/d' | sort -n | awk '{ v[NR] = $1 } END {
  print (NR % 2) ? v[(NR + 1) / 2] : int((v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }

# The two sessions take turns, so that a change in the machine's load falls on both alike.
xs="" ws=""
echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"
for i in $(seq "$runs"); do
  x=$(one_run x_red DISPLAY="$xdisplay" QT_QPA_PLATFORM=xcb)
  w=$(one_run w_red WAYLAND_DISPLAY="$wayland")
  echo "run $i: Xvfb $x ms, sway $w ms"
  xs="$xs $x" ws="$ws $w"
done
echo "median of $runs: Xvfb $(echo "$xs" | median) ms, sway $(echo "$ws" | median) ms"
