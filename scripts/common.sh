# Shared by scripts/run and scripts/test: package installation and the build.
# shellcheck shell=bash
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${QUILSO_BUILD_DIR:-$ROOT/build}

# Debian packages the build and the tests need.
BUILD_PACKAGES=(build-essential cmake ninja-build ccache pkg-config
  qt6-base-dev qt6-webengine-dev qt6-pdf-dev qt6-translations-l10n libgl-dev
  nlohmann-json3-dev libgtest-dev googletest libbenchmark-dev
  librsvg2-bin go-md2man dpkg-dev file)
TEST_PACKAGES=(clang-14 libclang-rt-14-dev xvfb xauth xdotool imagemagick poppler-utils
  chromium firefox-esr fonts-dejavu-core
  lintian desktop-file-utils appstream man-db)

# Installs the packages that are missing; apt-get runs through sudo for a normal user.
install_packages() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if ! command -v node >/dev/null 2>&1 && [[ " $* " == *" chromium "* ]]; then
    missing+=(nodejs npm)
  fi
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

configure_and_build() {
  local generator=()
  command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
  if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
    cmake -S "$ROOT" -B "$BUILD_DIR" "${generator[@]}" "$@"
  else
    cmake -S "$ROOT" -B "$BUILD_DIR" "$@" >/dev/null
  fi
  cmake --build "$BUILD_DIR" --parallel "$(nproc)"
}
