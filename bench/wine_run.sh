#!/usr/bin/env bash
# The Windows program on a real registry: dsnconf.exe under Wine, over Wine's
# own registry seeded with the sample registry of bench/ (reg import), timed
# beside Wine's `reg query /s` over the same three ODBC trees (the user's, and
# the machine's in each view), the floor of any program that reads them.
#
#   bash bench/wine_run.sh            2,000 data sources (a few minutes, most of
#                                     it the first start of a Wine prefix)
#   BENCH_WINE_SIZE=500 BENCH_RUNS=3 bash bench/wine_run.sh
#
# Builds the Windows program as scripts/test-windows.sh does, in build-win32,
# and the sample's generator in build-bench. Writes wine.md, the table, and
# one hyperfine CSV per command to $BENCH_OUT (default build-bench/results-wine).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

size=${BENCH_WINE_SIZE:-2000}
runs=${BENCH_RUNS:-5}
out=${BENCH_OUT:-$repo/build-bench/results-wine}

bash scripts/deps.sh windows bench
toolchain=$repo/cmake/mingw-w64-i686.cmake
cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-win32 -j2 --target dsnconf >/dev/null
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
cmake --build build-bench --target dsnconf_bench_gen >/dev/null
exe=$repo/build-win32/dsnconf.exe

work=$(mktemp -d "${TMPDIR:-/tmp}/dsnconf-wine-bench-XXXXXX")
# A prefix of its own, not the test stage's, kept between runs: its first
# start takes most of a minute.
export WINEPREFIX=$repo/build-bench/wine-prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=d;mshtml=d;winedbg.exe=d"
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$WINEPREFIX"
wineserver --kill >/dev/null 2>&1 || true
wineserver --persistent
trap 'wineserver --kill >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
[[ -f $WINEPREFIX/system.reg ]] || wine wineboot --init >/dev/null 2>&1
rm -rf "$out"
mkdir -p "$out"
cut -d' ' -f1-3 /proc/loadavg >"$out/load-start"

# The three trees, as reg query names them: a key and its view.
trees=("'HKCU\\Software\\ODBC' /reg:64" "'HKLM\\Software\\ODBC' /reg:64"
       "'HKLM\\Software\\ODBC' /reg:32")
for tree in "${trees[@]}"; do
  bash -c "wine reg delete $tree /f" >/dev/null 2>&1 || true
done

# The sample's hive files are 8-bit text; reg import takes them as UTF-16
# with CRLF. /reg:64 puts the WOW6432Node sections into the 32-bit view.
"$repo/build-bench/bench/dsnconf_bench_gen" "$size" "$work/sample" >/dev/null
for hive in HKEY_CURRENT_USER HKEY_LOCAL_MACHINE; do
  { printf '\xff\xfe'; sed 's/$/\r/' "$work/sample/registry/$hive.reg" | iconv -f UTF-8 -t UTF-16LE; } \
    >"$work/$hive.reg"
  wine reg import "$(winepath -w "$work/$hive.reg")" /reg:64 >/dev/null 2>&1
done
listed=$(wine "$exe" view /all | grep -c '^DSN properties for ' || true)
echo "== Wine, $size data sources ($listed of the family seen by view /all)"

queries=""
for tree in "${trees[@]}"; do queries+="wine reg query $tree /s >/dev/null; "; done
bench() {
  local label=$1 command=$2 slug
  slug=$(printf '%s' "$label" | tr -c 'A-Za-z0-9' '_')
  bash -c "$command" >/dev/null
  hyperfine --output=pipe --style none --runs "$runs" --export-csv "$out/$slug.csv" \
    "$command" >/dev/null 2>>"$out/hyperfine.log"
  printf '%s\t%s\n' "$label" "$slug" >>"$out/index.tsv"
  printf '  %-34s %8.1f ms\n' "$label" "$(tail -1 "$out/$slug.csv" | cut -d, -f4)e3"
}
bench "reg query /s, the three trees" "$queries"
bench "dsnconf.exe view /all" "wine $exe view /all"
bench "dsnconf.exe check" "wine $exe check; true"
bench "dsnconf.exe export /json" "wine $exe export /json"
bench "dsnconf.exe show" "wine $exe show"
cut -d' ' -f1-3 /proc/loadavg >"$out/load-end"

awk -F'\t' -v dir="$out" -v size="$size" '
function median(slug,   file, line, parts) {
  file = dir "/" slug ".csv"
  getline line < file; getline line < file; close(file)
  split(line, parts, ",")
  return parts[4]
}
{ label[NR] = $1; time[NR] = median($2) }
END {
  printf "Median wall time under Wine at %d data sources, beside `reg query /s` of the three trees:\n\n", size
  printf "| Command | ms | × `reg query /s` |\n|---|---:|---:|\n"
  for (i = 1; i <= NR; ++i) {
    printf "| `%s` | %.1f | %.2f× |\n", label[i], time[i] * 1000, time[i] / time[1]
  }
}' "$out/index.tsv" | tee "$out/wine.md"
