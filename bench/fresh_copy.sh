#!/usr/bin/env bash
# Replaces folder $2 with a copy of folder $1: the registry a mutating
# benchmark run starts from.
set -euo pipefail
rm -rf -- "$2"
cp -r -- "$1" "$2"
