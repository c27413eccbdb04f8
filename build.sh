#!/usr/bin/env bash
# Quick start: ./build.sh run   builds and runs the main job
#              ./build.sh test  builds and runs every test
# Both install the Debian packages that are missing first (needs root or sudo).
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
  cmake ninja-build g++ pkg-config
  qtbase5-dev qtbase5-dev-tools qtdeclarative5-dev qtwebengine5-dev
  qml-module-qtquick-controls qml-module-qtquick-controls2 qml-module-qtquick-dialogs
  qml-module-qtquick-layouts qml-module-qtquick-window2 qml-module-qtgraphicaleffects
  qml-module-qt-labs-settings qml-module-qtwebengine qml-module-qttest
  libassimp-dev libquazip1-qt5-dev zlib1g-dev
  xvfb xauth libgl1-mesa-dri
)

install_missing() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

configure_and_build() {
  local dir=$1; shift
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S . -B "$dir" -G Ninja "$@"
  fi
  cmake --build "$dir" -j "$(nproc)"
}

run_main() {
  # Logs go to the working directory: keep them in the build folder, out of the sources.
  local exe=$(pwd)/build/quorslice
  mkdir -p build/run && cd build/run
  export QTWEBENGINE_DISABLE_SANDBOX=${QTWEBENGINE_DISABLE_SANDBOX:-1}
  if [ -n "${DISPLAY:-}" ]; then
    exec "$exe"
  fi
  # No display: show the window on a virtual one for a few seconds and report how it went.
  local rc=0
  timeout 15 xvfb-run -a -s "-screen 0 1280x1024x24" "$exe" || rc=$?
  if [ $rc -eq 124 ]; then
    echo "Quor Slice started and ran headless for 15 s; see the quor3d.*.log in $(pwd)."
    return 0
  fi
  return $rc
}

case "${1:-}" in
  run)
    install_missing
    configure_and_build build
    run_main
    ;;
  test)
    install_missing
    configure_and_build build
    cd build && ctest --output-on-failure -j "$(nproc)"
    ;;
  *)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
