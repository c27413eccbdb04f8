#!/usr/bin/env bash
# Quick start: ./build.sh run   builds and slices the shipped sample into build/run/
#              ./build.sh test  builds and runs every test
#              ./build.sh run --gui  opens the program instead
# Both install the Debian packages that are missing first (needs root or sudo).
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
  cmake ninja-build g++ pkg-config
  qtbase5-dev qtbase5-dev-tools qtdeclarative5-dev qtwebengine5-dev
  qml-module-qtquick-controls qml-module-qtquick-controls2 qml-module-qtquick-dialogs
  qml-module-qtquick-privatewidgets
  qml-module-qtquick-layouts qml-module-qtquick-window2 qml-module-qtgraphicaleffects
  qml-module-qt-labs-settings qml-module-qtwebengine qml-module-qttest libqt5svg5
  libassimp-dev libquazip1-qt5-dev zlib1g-dev libdeflate-dev
  xvfb xauth libgl1-mesa-dri
  clang-14 libclang-rt-14-dev
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
  local root
  root=$(pwd)
  mkdir -p build/run && cd build/run
  if [ "${1:-}" = "--gui" ]; then
    export QTWEBENGINE_DISABLE_SANDBOX=${QTWEBENGINE_DISABLE_SANDBOX:-1}
    if [ -n "${DISPLAY:-}" ]; then
      exec "$root/build/quorslice"
    fi
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$root/build/quorslice"
  fi
  # The main job: slice the shipped sample into a job archive, headless.
  "$root/build/quorslice-cli" "$root/samples/quor-sample.stl" -o "$root/build/run/quor-sample.cws"
}

case "${1:-}" in
  run)
    install_missing
    configure_and_build build
    run_main "${2:-}"
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
