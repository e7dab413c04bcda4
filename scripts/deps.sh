#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need.
# Does nothing when everything is present; never runs apt-get for what is installed.
set -euo pipefail

# `deps.sh fuzz` adds clang and its fuzzer runtime, `deps.sh clang` clang alone; `deps.sh valgrind`
# adds valgrind.
packages=(
  cmake ninja-build g++ make pkg-config
  libgmp-dev libmpfr-dev
  libboost-dev libboost-filesystem-dev libboost-system-dev
  libfmt-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  python3 python3-numpy python3-gmpy2
  clang-format
)
# Wanted but not needed: without them everything still builds and passes (the demo then says
# how to get its picture).
optional=(python3-matplotlib)

case "${1:-}" in
  fuzz) packages=(clang-14 clang libclang-rt-14-dev) optional=() ;;
  clang) packages=(clang-14 clang) optional=() ;;
  valgrind) packages=(valgrind) optional=() ;;
esac

missingFrom() {
  for p in "$@"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || echo "$p"
  done
}
mapfile -t missing < <(missingFrom "${packages[@]}")
mapfile -t missingOptional < <(missingFrom "${optional[@]+"${optional[@]}"}")

if [[ ${#missing[@]} -eq 0 && ${#missingOptional[@]} -eq 0 ]]; then
  exit 0
fi

# Runs apt-get as root, through sudo when it needs no password; fails when neither is possible.
aptGet() {
  if [[ $(id -u) -eq 0 ]]; then
    DEBIAN_FRONTEND=noninteractive apt-get "$@"
  elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    sudo DEBIAN_FRONTEND=noninteractive apt-get "$@"
  else
    return 1
  fi
}

echo "Missing Debian packages: ${missing[*]} ${missingOptional[*]}"
if ! aptGet update; then
  if [[ ${#missing[@]} -eq 0 ]]; then
    echo "Optional packages not installed (run as root to add them): ${missingOptional[*]}"
    exit 0
  fi
  echo "Run as root, then retry:" >&2
  echo "  apt-get update && apt-get install -y ${missing[*]} ${missingOptional[*]}" >&2
  exit 1
fi
if [[ ${#missing[@]} -gt 0 ]]; then
  aptGet install -y --no-install-recommends "${missing[@]}"
fi
if [[ ${#missingOptional[@]} -gt 0 ]] &&
  ! aptGet install -y --no-install-recommends "${missingOptional[@]}"; then
  echo "Optional packages could not be installed: ${missingOptional[*]} (everything else works)"
fi
