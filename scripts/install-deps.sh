#!/usr/bin/env bash
# Installs what building and testing Pictorelle needs, from Debian's packages. Run as root
# (or through sudo); does nothing when everything is already there.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  # test and benchmark frameworks
  googletest libgtest-dev libbenchmark-dev
  # libraries the player uses
  zlib1g-dev libjpeg-dev libturbojpeg0-dev libpng-dev libtiff-dev libgif-dev libsqlite3-dev
  liblcms2-dev
  qt6-base-dev libgl-dev libxss-dev nlohmann-json3-dev
  # Wayland sessions: Qt's Wayland platform, the idle-inhibit protocol on Qt's own connection
  # (its private platform header, the protocol description and its scanner)
  qt6-wayland qt6-base-private-dev libwayland-dev wayland-protocols libwayland-bin
  # the newer picture formats: WebP, HEIF and AVIF, JPEG XL, SVG
  libwebp-dev libheif-dev libjxl-dev librsvg2-dev
  # Flash movies: Ruffle (fetched by npm at build time) in Qt WebEngine; LZMA movie headers
  qt6-webengine-dev liblzma-dev
  # sound: the player, MIDI synthesis with a General MIDI SoundFont, ALSA's error hook
  libmpv-dev libfluidsynth-dev timgm6mb-soundfont libasound2-dev
  # end-to-end tests and the demo show's generated pictures
  xvfb xdotool x11-utils imagemagick fonts-dejavu-core fontconfig
  # the encoders that make the newer formats' test pictures
  webp libheif-examples libavif-bin libjxl-tools librsvg2-bin
  # colour tests: Adobe RGB and other profiles Debian ships; EXIF tags written at test time
  colord-data icc-profiles-free libimage-exiftool-perl
  # the idle watchers that start shows on Linux, tried by the end-to-end tests
  xscreensaver xss-lock xautolock x11-xserver-utils procps
  # the show on Wayland: a headless compositor, its screenshots, pointer and keys, its idle
  # watcher and background; a private session bus for holding off idle through D-Bus
  sway grim wtype swayidle swaybg dbus-daemon
  # sound tests: a private sound server and its recorder; MP3 and WAV tones for the sound
  # benchmark and the demo show's music
  pulseaudio pulseaudio-utils lame sox
  # video tests: the clips are made at test time; the GIF and video tests read pixels
  # straight from X
  ffmpeg libx11-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed' || missing+=("$p")
done
# npm fetches Ruffle; a Node.js from elsewhere that brings its own npm is left alone (Debian's
# npm package would conflict with it).
command -v npm >/dev/null || missing+=(npm)
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
