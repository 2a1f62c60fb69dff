#!/usr/bin/env bash
# An installed copy runs from any folder: installs the build into a fresh
# prefix, then runs the installed program through PATH from a folder of its
# own on the sample registry and on the installed sample file data source
# (which needs the installer library installed beside it), and compares each
# run with the build tree's program. Then packs the tarball and checks that it
# holds exactly the installed tree.
#   installed_copy_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail

build=$(realpath "$1")
source_dir=$(realpath "$2")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

"${CMAKE_COMMAND:-cmake}" --install "$build" --prefix "$prefix" >/dev/null

docdir=$prefix/share/doc/dsnconf
expected_files=(bin/dsnconf bin/odbccp32.so share/doc/dsnconf/README.md)
while IFS= read -r file; do
  expected_files+=("share/doc/dsnconf/$file")
done < <(cd "$source_dir" && find examples -type f)
installed=$(cd "$prefix" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
wanted=$(printf '%s\n' "${expected_files[@]}" | LC_ALL=C sort)
if [[ $installed != "$wanted" ]]; then
  diff <(echo "$wanted") <(echo "$installed") || true
  fail "the installed tree is not the program, its installer library, README.md and examples/"
fi

# Nothing may point either program at the build tree's installer library, and
# no change may reach a registry outside the scratch folder.
unset DSNCONF_INSTALLER LD_LIBRARY_PATH
export HOME=$scratch DSNCONF_REGISTRY=$docdir/examples/registry
mkdir "$scratch/elsewhere"
cd "$scratch/elsewhere"

runs=(
  "view /all"
  "view /dsn Payroll Server"
  "view /dsn Missing Server"
  "view /fdsn $docdir/examples/files/payroll.dsn"
  "view /fdsn $docdir/examples/files/payroll.dsn UID"
)
for run in "${runs[@]}"; do
  read -r -a args <<<"$run"
  installed_status=0
  built_status=0
  installed_out=$(PATH=$prefix/bin:/usr/bin:/bin dsnconf "${args[@]}" 2>&1) || installed_status=$?
  built_out=$("$build/dsnconf" "${args[@]}" 2>&1) || built_status=$?
  if [[ $installed_out != "$built_out" || $installed_status -ne $built_status ]]; then
    diff <(echo "$built_out") <(echo "$installed_out") || true
    fail "dsnconf $run: the installed copy gives status $installed_status, the build tree's $built_status"
  else
    echo "ok: dsnconf $run (status $installed_status)"
  fi
done
# The file data source was read through the installed library, not merely failed alike.
if ! PATH=$prefix/bin:/usr/bin:/bin dsnconf view /fdsn "$docdir/examples/files/payroll.dsn" |
  grep -q "^'UID' = "; then
  fail "the installed copy cannot read the sample file data source"
fi

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
"${CPACK_COMMAND:-cpack}" --config "$build/CPackConfig.cmake" -B "$scratch/package" >/dev/null
tarballs=("$scratch/package/dsnconf-$version"-*.tar.gz)
if [[ ${#tarballs[@]} -ne 1 || ! -f ${tarballs[0]} ]]; then
  fail "cpack made no dsnconf-$version-*.tar.gz"
else
  top=$(basename "${tarballs[0]}" .tar.gz)
  packed=$(tar -tzf "${tarballs[0]}" | grep -v '/$' | sed "s|^$top/||" | LC_ALL=C sort)
  if [[ $packed != "$wanted" ]]; then
    diff <(echo "$wanted") <(echo "$packed") || true
    fail "$(basename "${tarballs[0]}") does not hold the installed tree under $top/"
  else
    echo "ok: $(basename "${tarballs[0]}") holds the installed tree"
  fi
fi

[[ $failures -eq 0 ]] || { echo "$failures check(s) failed"; exit 1; }
