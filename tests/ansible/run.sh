#!/usr/bin/env bash
# Runs examples/ansible/linux.yml with Debian's ansible-core against the Linux
# build on localhost, on a scratch copy of the sample registry:
#   --check   reports a change, lists the plan, and leaves the registry as it was;
#   run 1     changes it, and keeps a backup of what it changed;
#   run 2     changes nothing and writes nothing;
# then `dsnconf export /json` holds the desired data sources, and windows.yml
# (which needs a collection CI lacks) runs and reads apply as linux.yml does
# and as the README shows.
# Usage: tests/ansible/run.sh [build-dir]   (default build; dsnconf is built
# there if missing). Needs `bash scripts/deps.sh ansible`.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath -m "${1:-$root/build}")
examples=$root/examples/ansible
# The interpreter ansible-core runs on, with its YAML module.
python=/usr/bin/python3

command -v ansible-playbook >/dev/null ||
  { echo "*** ansible-playbook is missing: bash scripts/deps.sh ansible" >&2; exit 1; }
if [ ! -x "$build/dsnconf" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build "$build" -j2 --target dsnconf
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
registry=$scratch/registry
mkdir "$registry" "$scratch/backup" "$scratch/home"
cp "$root"/examples/registry/*.reg "$registry/"
cp -R "$registry" "$scratch/before"

# Nothing from the machine's or the user's Ansible setup, no temporary files
# outside the scratch folder, no colour codes in the logs.
: >"$scratch/ansible.cfg"
export ANSIBLE_CONFIG=$scratch/ansible.cfg ANSIBLE_HOME=$scratch/home \
  ANSIBLE_LOCAL_TEMP=$scratch/local-tmp ANSIBLE_REMOTE_TEMP=$scratch/remote-tmp \
  ANSIBLE_NOCOLOR=1 ANSIBLE_FORCE_COLOR=0 ANSIBLE_RETRY_FILES_ENABLED=0
printf '[linux]\nlocalhost ansible_connection=local ansible_python_interpreter=%s\n' \
  "$python" >"$scratch/hosts.ini"
# Paths as JSON, so that a checkout path with spaces stays one value.
"$python" -c 'import json, sys; json.dump(dict(zip(sys.argv[1::2], sys.argv[2::2])), sys.stdout)' \
  dsnconf_path "$build/dsnconf" dsnconf_registry "$registry" \
  dsnconf_backup "$scratch/backup/odbc" >"$scratch/vars.json"

fail() {
  echo "*** $*" >&2
  exit 1
}

# run NAME [ansible-playbook options]: the log in $scratch/NAME.log, the
# localhost line of its PLAY RECAP in $recap.
run() {
  local name=$1
  shift
  local log=$scratch/$name.log status=0
  ansible-playbook -i "$scratch/hosts.ini" -c local "$examples/linux.yml" \
    -e "@$scratch/vars.json" "$@" >"$log" 2>&1 || status=$?
  recap=$(sed -n '/^PLAY RECAP/,$p' "$log" | grep -E '^localhost +:' || true)
  echo "$name: ${recap:-no recap} (exit $status)"
  if ((status != 0)) || [ "$(grep -c . <<<"$recap")" != 1 ]; then
    cat "$log" >&2
    fail "$name: ansible-playbook failed"
  fi
}

# count FIELD: FIELD=N of the last recap, as N.
count() {
  local n
  n=$(grep -oE "(^| )$1=[0-9]+" <<<"$recap" | cut -d= -f2)
  [ -n "$n" ] || fail "no $1= in '$recap'"
  echo "$n"
}

same_registry() {
  diff -r "$1" "$registry" >/dev/null || { diff -r "$1" "$registry" >&2 || true; fail "$2"; }
}

backups() {
  find "$scratch/backup" -name 'odbc-*.reg' -size +0 | wc -l
}

run check --check
(($(count changed) >= 1)) || fail "check: no change reported"
(($(count failed) == 0 && $(count unreachable) == 0)) || fail "check: a host failed"
grep -q "+ 64-bit system DSN Reporting: Server = 'report-db.example.com'" "$scratch/check.log" ||
  fail "check: the plan is not listed"
same_registry "$scratch/before" "check: the registry changed"
(($(backups) == 0)) || fail "check: a backup was written"

run first
(($(count changed) >= 1)) || fail "first: no change reported"
(($(count failed) == 0 && $(count unreachable) == 0)) || fail "first: a host failed"
(($(backups) == 1)) || fail "first: $(backups) backups, not 1"
cp -R "$registry" "$scratch/after-first"

run second
(($(count changed) == 0)) || fail "second: a change reported"
(($(count failed) == 0 && $(count unreachable) == 0)) || fail "second: a host failed"
same_registry "$scratch/after-first" "second: the registry changed"
(($(backups) == 1)) || fail "second: a backup was written"

DSNCONF_REGISTRY=$registry "$build/dsnconf" export /json >"$scratch/export.json"
"$python" "$root/tests/ansible/results.py" exported "$examples/odbc.json" "$scratch/export.json" ||
  fail "the export lacks the desired state"
"$python" "$root/tests/ansible/results.py" same-apply "$examples/linux.yml" "$examples/windows.yml" \
  "$root/README.md" || fail "windows.yml applies otherwise than linux.yml or the README"
echo "ansible: --check changed nothing, run 1 changed, run 2 did not; the export holds odbc.json"
