#!/usr/bin/env bash
# Quick start: ./build.sh run   builds and slices the shipped sample into build/run/
#              ./build.sh test  builds and runs every test
#              ./build.sh run --gui  opens the program instead
#              ./build.sh package  builds the Debian package build/quorslice_VERSION_amd64.deb
# Each installs the Debian packages that are missing first (needs root or sudo).
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
  libpng-dev unzip
  xvfb xauth libgl1-mesa-dri
  clang-14 libclang-rt-14-dev
  librsvg2-bin help2man desktop-file-utils shared-mime-info xdg-utils libfile-mimeinfo-perl x11-utils
)

# Only for building and checking the Debian package.
PACKAGING_TOOLS=(dpkg-dev file lintian appstream man-db)

install_missing() {
  local missing=()
  for p in "${PACKAGES[@]}" "$@"; do
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
  package)
    install_missing "${PACKAGING_TOOLS[@]}"
    # Configured again: the package's dependencies are read from the documents' imports.
    cmake -S . -B build -G Ninja
    cmake --build build -j "$(nproc)" --target quorslice quorslice-cli quor_desktop_files
    (cd build && cpack -G DEB)
    ;;
  *)
    echo "usage: $0 run|test|package" >&2
    exit 2
    ;;
esac
