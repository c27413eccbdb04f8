#!/usr/bin/env bash
# Makes docs/screenshot.png, the README's picture of the main window: the real program under a
# virtual X server, opened on a demo project with a supported model.
#
# usage: tools/make_screenshot.sh   (from the repository root, after ./build.sh run or test)
set -euo pipefail
cd "$(dirname "$0")/.."

need=()
command -v import >/dev/null || need+=(imagemagick)
command -v xdotool >/dev/null || need+=(xdotool)
if [ ${#need[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${need[@]}"
fi
cmake --build build --target quorslice make_demo_project

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build/tools/make_demo_project samples/quor-sample.stl "$work/demo.qsp"

mkdir -p docs
# A scratch home: the program's settings and logs stay out of the user's.
export HOME="$work" XDG_CONFIG_HOME="$work/.config" XDG_CACHE_HOME="$work/.cache"
export XDG_RUNTIME_DIR="$work/run" QTWEBENGINE_DISABLE_SANDBOX=1
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
root=$(pwd)
xvfb-run -a -s "-screen 0 1280x800x24 +extension GLX" bash -c '
  cd "'"$work"'"
  "'"$root"'/build/quorslice" "'"$work"'/demo.qsp" > /dev/null 2>&1 &
  app=$!
  # Wait for the window, then give the first frames time to settle.
  for i in $(seq 1 100); do
    xdotool search --name "Makora" >/dev/null 2>&1 && break
    sleep 0.1
  done
  sleep 3
  # From the other side, lower and nearer: drag the empty view half a turn and a little up,
  # then zoom in.
  xdotool mousemove 300 300 mousedown 1 mousemove 480 298 mousemove 660 294 mouseup 1
  for i in 1 2 3 4; do xdotool mousemove 999 86 click 1; sleep 0.3; done
  xdotool mousemove 1200 700
  sleep 2
  import -window root "'"$root"'/docs/screenshot.png"
  kill $app
'
# A black picture means the first frames had not reached the screen yet.
size=$(stat -c %s docs/screenshot.png)
if [ "$size" -lt 10000 ]; then
  echo "the screenshot came out empty; run the script again" >&2
  exit 1
fi
echo "wrote docs/screenshot.png"
