#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, and only those
# that are missing. Usage: scripts/deps.sh [native|windows]...
set -euo pipefail

native=(g++ cmake ninja-build libgtest-dev libsimpleini-dev)

missing=()
want() {
  local package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
      missing+=("$package")
  done
}

stages=("${@:-native}")
for stage in "${stages[@]}"; do
  case "$stage" in
    native) want "${native[@]}" ;;
    *) echo "deps.sh: unknown stage '$stage'" >&2; exit 2 ;;
  esac
done

if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" = 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
