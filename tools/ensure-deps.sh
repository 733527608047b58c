#!/usr/bin/env bash
# Installs the Debian packages Fenu2 needs that are missing; does nothing when
# all are there. Sourced by run.sh and test.sh.
fenu2_packages=(
  cmake ninja-build pkg-config g++ clang libclang-rt-14-dev
  qt6-base-dev qt6-svg-dev qt6-tools-dev qt6-l10n-tools
  libfftw3-dev libtiff-dev libbenchmark-dev libdeflate-dev
  xvfb xauth imagemagick fonts-ipafont-gothic
)

fenu2_ensure_deps() {
  local missing=()
  local p
  for p in "${fenu2_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing missing packages: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q &&
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# Configures once, then builds incrementally.
fenu2_build() {
  local dir=$1
  shift
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S . -B "$dir" -G Ninja "$@" || return 1
  fi
  cmake --build "$dir" -j "$(nproc)"
}
