#!/usr/bin/env bash
# Installs every Debian package Vornex needs to build, run and test, then configures and builds.
# Usage: scripts/setup.sh [--no-build]
# The build goes to VX_BUILD_DIR (build/), as VX_BUILD_TYPE (RelWithDebInfo), configured with VX_CMAKE_ARGS;
# VX_BUILD_TARGET builds one target (vx_runtime: only what the program runs) instead of everything;
# VX_BUILD_LOG, when set, receives a copy of what the compiler says.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

packages=(
  # build, and the check of the code's form
  cmake g++ make pkg-config clang-format
  qtbase5-dev qtbase5-dev-tools
  libmupdf-dev mupdf-tools libmujs-dev libgumbo-dev libopenjp2-7-dev libjbig2dec0-dev libharfbuzz-dev
  libjpeg-dev libfreetype-dev zlib1g-dev libpng-dev libbrotli-dev
  libmediainfo-dev libjsoncpp-dev libzip-dev libimagequant-dev libqpdf-dev
  # tools the engines drive
  ffmpeg pngquant imagemagick gifsicle qpdf ghostscript
  libreoffice-writer-nogui libreoffice-impress-nogui
  # the tests' second PDF renderer, to compare pictures drawn from a source and its result (and pdfsig)
  poppler-utils
  # the tests' signing of a PDF over its byte range
  openssl
  # display, fonts and locales
  fonts-wqy-microhei xvfb xauth locales
  # the scripted screenshot sessions: clicks, a compositor and a desktop background
  xdotool xcompmgr x11-xserver-utils
  # the context-menu extension: checking its entries, and a file manager for its screenshot
  desktop-file-utils python3 thunar
)

install_packages() {
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: run as root (apt-get install is needed)" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${packages[@]}"
}

make_locales() {
  # The GBK text helpers need a GBK locale; the MediaInfo reader needs a UTF-8 one.
  if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.gbk$'; then
    localedef -i zh_CN -f GBK zh_CN.GBK || { echo "setup: cannot generate zh_CN.GBK" >&2; exit 1; }
  fi
}

build() {
  local dir="${VX_BUILD_DIR:-$here/build}"
  cmake -S "$here" -B "$dir" -DCMAKE_BUILD_TYPE="${VX_BUILD_TYPE:-RelWithDebInfo}" ${VX_CMAKE_ARGS:-}
  cmake --build "$dir" -j"$(nproc)" ${VX_BUILD_TARGET:+--target "$VX_BUILD_TARGET"} 2>&1 |
    tee "${VX_BUILD_LOG:-/dev/null}"
}

install_packages
make_locales
[ "${1:-}" = "--no-build" ] || build
