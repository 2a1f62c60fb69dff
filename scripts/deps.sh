#!/usr/bin/env bash
# Installs the Debian packages that building and testing dsnconf needs, only
# those that are missing; the package lists are refreshed only when one is.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang clang-format
  libgtest-dev
  libsimpleini-dev  # SimpleIni.h, the INI reader of the POSIX installer library
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed'; then
    missing+=("$package")
  fi
done

if [[ ${#missing[@]} -eq 0 ]]; then
  echo "deps: all packages present"
  exit 0
fi

as_root=()
if [[ $EUID -ne 0 ]]; then
  as_root=(sudo)
fi
echo "deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
