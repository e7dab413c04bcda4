#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need.
# Does nothing when everything is present; never runs apt-get for what is installed.
set -euo pipefail

# `deps.sh fuzz` adds clang and its fuzzer runtime; `deps.sh valgrind` adds valgrind.
packages=(
  cmake ninja-build g++ make pkg-config
  libgmp-dev libmpfr-dev
  libboost-dev libboost-filesystem-dev libboost-system-dev
  libfmt-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  python3 python3-numpy python3-gmpy2 python3-matplotlib
)

case "${1:-}" in
  fuzz) packages=(clang-14 clang libclang-rt-14-dev) ;;
  valgrind) packages=(valgrind) ;;
esac

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if [[ ${#missing[@]} -eq 0 ]]; then
  exit 0
fi

echo "Missing Debian packages: ${missing[*]}"
if [[ $(id -u) -ne 0 ]]; then
  if command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    sudo apt-get update
    sudo DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
    exit 0
  fi
  echo "Run as root, then retry:" >&2
  echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
  exit 1
fi
apt-get update
DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
