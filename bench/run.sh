#!/usr/bin/env bash
# Times dsnconf as whole processes over registries of 100, 1,000 and 10,000
# data sources, beside the floor (cat of the hive files, dsnconf with no
# argument, a program printing the lines `view /all` prints with one flush
# each) and unixODBC's odbcinst on ini files holding the same data sources,
# and measures each command's peak resident memory, and apply of an export
# onto the registry and onto one without data sources. Then the commands beyond
# the first six that walk every data source (check, export, show, apply with
# nothing to do) beside `view /all` at 10,000, 20,000 and 40,000 data sources,
# on a healthy registry and on one where every data source has a finding
# (dsnconf_bench_gen --unhealthy): how they grow, and their peak memory.
#
#   bash bench/run.sh            the whole run (some minutes)
#   BENCH_SIZES="100 1000" BENCH_SCALE_SIZES="10000" BENCH_RUNS=5 bash bench/run.sh
#   BENCH_ONLY='^(view /all|export /json)$' bash bench/run.sh   rows whose label matches
#   BENCH_BASELINE=../old/build/dsnconf bash bench/run.sh   each dsnconf row beside an older build
#
# Writes one CSV per command and size (hyperfine's summary) and report.md,
# the tables, to $BENCH_OUT (default build-bench/results). The Windows
# program under Wine is timed by bench/wine_run.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

sizes=(${BENCH_SIZES:-100 1000 10000})
scale_sizes=(${BENCH_SCALE_SIZES:-10000 20000 40000})
min_runs=${BENCH_RUNS:-10}
out=${BENCH_OUT:-$repo/build-bench/results}

bash scripts/deps.sh bench

cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
cmake --build build-bench --target dsnconf odbccp32 dsnconf_bench_gen dsnconf_print_lines >/dev/null
dsnconf=$repo/build-bench/dsnconf
generate=$repo/build-bench/bench/dsnconf_bench_gen
print_lines=$repo/build-bench/bench/dsnconf_print_lines

work=$(mktemp -d "${TMPDIR:-/tmp}/dsnconf-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
rm -rf "$out"
mkdir -p "$out"
# How busy the machine was: other jobs share it, and wall times follow.
cut -d' ' -f1-3 /proc/loadavg >"$out/load-start"

# One benchmark: label, then the command. A mutating command gets a fresh copy
# of the registry before every run; $prepare_from names the copy's source.
# $prepare_each, when set, is a command run before every run instead. Its
# row goes into $index ("size", or "registry size" for the scaling rows). With
# BENCH_BASELINE (another build's dsnconf, an odbccp32 beside it), each
# dsnconf row is timed again with it, in the same run, into baseline.tsv.
index=index.tsv
baseline=${BENCH_BASELINE:-}
bench() {
  local size=$1 label=$2
  shift 2
  [[ -z ${BENCH_ONLY:-} || $label =~ $BENCH_ONLY ]] || return 0
  local slug
  slug=$(printf '%s' "$label" | tr -c 'A-Za-z0-9' '_')
  # The scaling rows' sizes carry their registry: "unhealthy-40000".
  size=${size// /-}
  measure "$size-$slug" "$@" || return 1
  printf '%s\t%s\t%s\n' "$size" "$label" "$slug" >>"$out/$index"
  printf '  %-28s %8.1f ms' "$label" "$(tail -1 "$out/$size-$slug.csv" | cut -d, -f4)e3"
  # The baseline may predate a command: show and apply are timed alone.
  if [ -n "$baseline" ] && [ "$1" = "$dsnconf" ] && [ "$label" != show ] &&
    [[ $label != apply* ]]; then
    shift
    measure "$size-$slug-baseline" "$baseline" "$@" || return 1
    printf '%s\t%s\t%s\n' "$size" "$label" "$slug" >>"$out/baseline.tsv"
    printf '  (baseline %8.1f ms)' "$(tail -1 "$out/$size-$slug-baseline.csv" | cut -d, -f4)e3"
  fi
  printf '\n'
}

# Times the command into $out/<name>.csv and its peak memory into <name>.rss.
measure() {
  local name=$1
  shift
  local prepare=()
  if [ -n "$prepare_from" ]; then
    prepare=(--prepare "bash $repo/bench/fresh_copy.sh $prepare_from $DSNCONF_REGISTRY $dsnconf")
    bash bench/fresh_copy.sh "$prepare_from" "$DSNCONF_REGISTRY" "$dsnconf"
  elif [ -n "${prepare_each:-}" ]; then
    prepare=(--prepare "$prepare_each")
    bash -c "$prepare_each"
  fi
  # One untimed run, which also warms the caches, sets how many runs to take:
  # odbcinst needs minutes for one data source of 10,000.
  local start end runs
  start=$(date +%s%N)
  "$@" >/dev/null || [ -n "${any_status:-}" ]
  end=$(date +%s%N)
  if ((end - start < 1000000000)); then
    runs=(--min-runs "$min_runs")
  elif ((end - start < 10000000000)); then
    runs=(--runs 5)
  else
    runs=(--runs 2)
  fi
  # check exits with 1 where it finds something: the scaling rows time it anyway.
  local ignore=()
  [ -n "${any_status:-}" ] && ignore=(--ignore-failure)
  hyperfine -N --output=pipe --style none "${runs[@]}" "${prepare[@]}" "${ignore[@]}" \
    --export-csv "$out/$name.csv" "$*" >/dev/null 2>>"$out/hyperfine.log" ||
    { cat "$out/hyperfine.log" >&2; return 1; }
  if [ -n "$prepare_from" ]; then
    bash bench/fresh_copy.sh "$prepare_from" "$DSNCONF_REGISTRY" "$dsnconf"
  elif [ -n "${prepare_each:-}" ]; then
    bash -c "$prepare_each"
  fi
  /usr/bin/time --quiet -f %M -o "$out/$name.rss" "$@" >/dev/null || [ -n "${any_status:-}" ]
}

for size in "${sizes[@]}"; do
  sample=$work/sample-$size
  one=$("$generate" "$size" "$sample")
  master=$sample/registry
  registered=$work/registered-$size
  run=$work/run-$size
  dsn_file=$sample/files/sample.dsn
  echo "== $size data sources (one data source: $one)"

  # The state `reg /del` starts from: the earlier driver registered.
  bash bench/fresh_copy.sh "$master" "$registered"
  DSNCONF_REGISTRY=$registered "$dsnconf" reg /add GEN1 >/dev/null
  # The generator writes hive files but no index; every copy gets one.
  DSNCONF_REGISTRY=$master "$dsnconf" view /dsn "$one" >/dev/null

  export DSNCONF_REGISTRY=$run
  export ODBCSYSINI=$sample/unixodbc ODBCINI=$sample/unixodbc/user.ini
  bash bench/fresh_copy.sh "$master" "$run"

  prepare_from=""
  bench "$size" "cat hive files" cat "$run/HKEY_LOCAL_MACHINE.reg" "$run/HKEY_CURRENT_USER.reg"
  bench "$size" "dsnconf (no argument)" "$dsnconf"
  bench "$size" "view /all" "$dsnconf" view /all
  # The floor under view /all: its own output, printed a line and a flush at
  # a time by a program that does nothing else.
  "$dsnconf" view /all >"$work/view-all-$size.txt"
  bench "$size" "print view /all output" "$print_lines" "$work/view-all-$size.txt"
  bench "$size" "view /all Server" "$dsnconf" view /all Server
  bench "$size" "check" "$dsnconf" check
  bench "$size" "check /json" "$dsnconf" check /json
  bench "$size" "export /json" "$dsnconf" export /json
  bench "$size" "export /reg" "$dsnconf" export /reg
  bench "$size" "view /dsn ONE" "$dsnconf" view /dsn "$one"
  bench "$size" "view /dsn ONE Server" "$dsnconf" view /dsn "$one" Server
  # The first load of hives without an index: a registry copied or edited
  # by hand, and the generator's own files, are read whole once.
  prepare_each="rm -f $run/HKEY_LOCAL_MACHINE.reg.index $run/HKEY_CURRENT_USER.reg.index"
  bench "$size" "view /dsn ONE, no index yet" "$dsnconf" view /dsn "$one"
  prepare_each=""
  bench "$size" "view /fdsn (100 keys)" "$dsnconf" view /fdsn "$dsn_file"
  bench "$size" "odbcinst -q -s" odbcinst -q -s
  bench "$size" "odbcinst -q -s -n ONE" odbcinst -q -s -n "$one"

  prepare_from=$master
  bench "$size" "set /dsn ONE Port 1" "$dsnconf" set /dsn "$one" Port 1
  bench "$size" "delete /dsn ONE Port" "$dsnconf" delete /dsn "$one" Port
  bench "$size" "name /all GEN2" "$dsnconf" name /all GEN2
  bench "$size" "reg /add GEN1" "$dsnconf" reg /add GEN1
  bench "$size" "trace /system on" "$dsnconf" trace /system on
  prepare_from=$registered
  bench "$size" "reg /del GEN1" "$dsnconf" reg /del GEN1

  # apply of the registry's own export: onto the registry itself, where there
  # is nothing to do, and onto one with the drivers registered and no data
  # source, where every one is created.
  DSNCONF_REGISTRY=$master "$dsnconf" export /json /secrets >"$work/export-$size.json"
  empty=$work/empty-$size
  "$generate" 0 "$empty" >/dev/null
  prepare_from=$master
  bench "$size" "apply export, nothing to do" "$dsnconf" apply "$work/export-$size.json"
  prepare_from=$empty/registry
  bench "$size" "apply export onto no data source" "$dsnconf" apply "$work/export-$size.json"
  rm -rf "$empty"
done

# The commands beyond the six that walk every data source, as the registry
# grows, healthy and with a finding for every data source.
index=scale.tsv
prepare_from=""
any_status=1
for kind in healthy unhealthy; do
  for size in "${scale_sizes[@]}"; do
    sample=$work/$kind-$size
    flag=()
    [ "$kind" = unhealthy ] && flag=(--unhealthy)
    "$generate" "${flag[@]}" "$size" "$sample" >/dev/null
    export DSNCONF_REGISTRY=$sample/registry
    "$dsnconf" view /dsn WarmUp >/dev/null 2>&1 || true
    echo "== $kind registry, $size data sources"
    for command in "view /all" "check" "check /json" "export /json" "export /reg" "show"; do
      # shellcheck disable=SC2086
      bench "$kind $size" "$command" "$dsnconf" $command
    done
    # apply of the registry's own export, which finds nothing to do.
    "$dsnconf" export /json /secrets >"$sample/export.json"
    bench "$kind $size" "apply export, nothing to do" "$dsnconf" apply "$sample/export.json"
    rm -rf "$sample"
  done
done

cut -d' ' -f1-3 /proc/loadavg >"$out/load-end"
bash bench/report.sh "$out" >"$out/report.md"
echo
cat "$out/report.md"
echo
echo "Tables written to $out/report.md"
