#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, and only those
# that are missing. Usage: scripts/deps.sh [native|windows|fuzz|bench|ansible]...
set -euo pipefail

native=(g++ cmake ninja-build libgtest-dev libsimpleini-dev nlohmann-json3-dev)
# The Windows stage: the MinGW-w64 cross compiler, Wine with its 32-bit half
# to run the 32-bit program, wrestool (icoutils) to read its resources back, and
# unzip to open the release zip.
windows=(g++-mingw-w64-i686 binutils-mingw-w64-i686 wine wine32:i386 wine64 icoutils
         libsimpleini-dev nlohmann-json3-dev unzip)
# Fuzzing: clang with its libFuzzer and sanitizer runtimes.
fuzz=(clang-14 libclang-rt-14-dev cmake ninja-build libsimpleini-dev nlohmann-json3-dev)
# Benchmarks (bench/run.sh): hyperfine, GNU time for peak memory, and
# unixODBC's odbcinst to compare with.
bench=(g++ cmake ninja-build libsimpleini-dev nlohmann-json3-dev hyperfine time odbcinst)
# The playbook in examples/ansible, run against the Linux build on localhost:
# Debian's ansible-core alone, without the collections of the full ansible package.
ansible=(ansible-core)

missing=()
want() {
  local package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
      missing+=("$package")
  done
}

sudo=""
[ "$(id -u)" = 0 ] || sudo="sudo"

# wine32 is an i386 package: apt finds it only once dpkg knows that architecture
# (the refresh of the package lists below then fetches its lists too).
enable_i386() {
  dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
}

stages=("${@:-native}")
for stage in "${stages[@]}"; do
  case "$stage" in
    native) want "${native[@]}" ;;
    windows) enable_i386; want "${windows[@]}" ;;
    fuzz) want "${fuzz[@]}" ;;
    bench) want "${bench[@]}" ;;
    ansible) want "${ansible[@]}" ;;
    *) echo "deps.sh: unknown stage '$stage'" >&2; exit 2 ;;
  esac
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
