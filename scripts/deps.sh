#!/usr/bin/env bash
# Installs the Debian packages that building and testing dsnconf needs, only
# those that are missing; the package lists are refreshed only when one is.
#
#   scripts/deps.sh            the native build and its tests
#   scripts/deps.sh windows    the 32-bit Windows build and its run under Wine
set -euo pipefail

native_packages=(cmake ninja-build g++ clang clang-format libgtest-dev libgmock-dev)
# wine32 runs the 32-bit program; wrestool (icoutils) reads its manifest back.
windows_packages=(g++-mingw-w64-i686 binutils-mingw-w64-i686 wine wine32:i386 wine64 icoutils)

if [[ $EUID -ne 0 ]]; then
  as_root=(sudo)
else
  as_root=()
fi
export DEBIAN_FRONTEND=noninteractive

missing_packages() {
  local package
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed'; then
      echo "$package"
    fi
  done
}

install_packages() {
  local missing
  mapfile -t missing < <(missing_packages "$@")
  if [[ ${#missing[@]} -eq 0 ]]; then
    echo "deps: all packages present"
    return
  fi
  echo "deps: installing ${missing[*]}"
  "${as_root[@]}" apt-get update -q
  "${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# wine32 is an i386 package: dpkg must know that architecture before apt can
# find it (the next refresh of the package lists picks it up).
enable_i386() {
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${as_root[@]}" dpkg --add-architecture i386
  fi
}

case "${1:-native}" in
  native)
    install_packages "${native_packages[@]}"
    ;;
  windows)
    enable_i386
    install_packages "${windows_packages[@]}"
    ;;
  *)
    echo "usage: $0 [native|windows]" >&2
    exit 2
    ;;
esac
