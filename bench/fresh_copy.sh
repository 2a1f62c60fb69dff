#!/usr/bin/env bash
# Replaces folder $2 with a copy of folder $1: the registry a mutating
# benchmark run starts from. With $3, the program, the copy is then loaded
# once, as any registry in use has been: a copy's files are new files, and
# the index beside each large hive is written at its first load.
set -euo pipefail
rm -rf -- "$2"
cp -r -- "$1" "$2"
if [ $# -ge 3 ]; then
  DSNCONF_REGISTRY=$2 "$3" view /dsn WarmUp >/dev/null 2>&1 || true
fi
