#!/usr/bin/env bash
# Turns the results of bench/run.sh (a folder of hyperfine CSV summaries,
# peak-memory files and index.tsv) into Markdown tables with ratios.
# Usage: bash bench/report.sh <results folder>
set -euo pipefail
results=$1

if [ -f "$results/load-start" ] && [ -f "$results/load-end" ]; then
  printf 'Load average (1, 5, 15 minutes) on the 2 CPUs: %s at the start, %s at the end.\n\n' \
    "$(cat "$results/load-start")" "$(cat "$results/load-end")"
fi

awk -F'\t' -v dir="$results" '
function field(file, n,   line, parts) {
  # The second line of a hyperfine CSV: command,mean,stddev,median,user,system,min,max
  getline line < file; getline line < file; close(file)
  split(line, parts, ",")
  return parts[n]
}
function ms(seconds) { return sprintf("%.1f", seconds * 1000) }
function ratio(a, b,   r) {
  if (b <= 0) return "–"
  r = a / b
  return sprintf(r < 0.01 ? "%.2g×" : (r < 0.1 ? "%.3f×" : (r < 10 ? "%.1f×" : "%.0f×")), r)
}
{
  size = $1; label = $2; slug = $3
  if (!(size in seen)) { seen[size] = 1; sizes[++nsizes] = size }
  if (!(label in known)) { known[label] = 1; labels[++nlabels] = label }
  csv = dir "/" size "-" slug ".csv"
  median[size, label] = field(csv, 4)
  low[size, label] = field(csv, 7)
  high[size, label] = field(csv, 8)
  rssfile = dir "/" size "-" slug ".rss"
  getline rss[size, label] < rssfile; close(rssfile)
}
END {
  largest = sizes[nsizes]
  floor = "dsnconf (no argument)"; load = "view /dsn ONE"
  printf "Median wall time in ms (min–max over the runs), per number of data sources.\n\n"
  printf "| Command |"
  for (i = 1; i <= nsizes; ++i) printf " %s |", sizes[i]
  if (nsizes > 1) printf " × per 10× data sources |"
  printf " × floor at %s | × `view /dsn` at %s |\n", largest, largest
  printf "|---|"
  for (i = 1; i <= nsizes; ++i) printf "---:|"
  if (nsizes > 1) printf "---:|"
  printf "---:|---:|\n"
  for (j = 1; j <= nlabels; ++j) {
    l = labels[j]
    printf "| `%s` |", l
    for (i = 1; i <= nsizes; ++i) {
      s = sizes[i]
      printf " %s (%s–%s) |", ms(median[s, l]), ms(low[s, l]), ms(high[s, l])
    }
    if (nsizes > 1) {
      growth = ""
      for (i = 2; i <= nsizes; ++i) {
        growth = growth (i > 2 ? ", " : "") ratio(median[sizes[i], l], median[sizes[i - 1], l])
      }
      printf " %s |", growth
    }
    printf " %s | %s |\n", ratio(median[largest, l], median[largest, floor]),
           ratio(median[largest, l], median[largest, load])
  }
  printf "\nPeak resident memory in MB (`/usr/bin/time -f %%M`), one run each.\n\n"
  printf "| Command |"
  for (i = 1; i <= nsizes; ++i) printf " %s |", sizes[i]
  printf "\n|---|"
  for (i = 1; i <= nsizes; ++i) printf "---:|"
  printf "\n"
  for (j = 1; j <= nlabels; ++j) {
    l = labels[j]
    printf "| `%s` |", l
    for (i = 1; i <= nsizes; ++i) printf " %.1f |", rss[sizes[i], l] / 1024
    printf "\n"
  }
  printf "\nGoals at %s data sources, from the figures above (median wall time, peak memory):\n\n", largest
  printf "| Goal | Measured | Limit |\n|---|---:|---:|\n"
  printf "| `view /all` ÷ `print view /all output` | %s | 1.5× |\n",
         ratio(median[largest, "view /all"], median[largest, "print view /all output"])
  printf "| `view /all` peak memory | %.1f MB | 16 MB |\n", rss[largest, "view /all"] / 1024
  printf "| `name /all GEN2` ÷ `view /all` | %s | 1.5× |\n",
         ratio(median[largest, "name /all GEN2"], median[largest, "view /all"])
  printf "| `view /dsn ONE, no index yet` ÷ (`cat hive files` + `dsnconf (no argument)`) | %s | 3× |\n",
         ratio(median[largest, "view /dsn ONE, no index yet"],
               median[largest, "cat hive files"] + median[largest, floor])
  printf "| `apply export, nothing to do` ÷ `export /json` | %s | 2× |\n",
         ratio(median[largest, "apply export, nothing to do"], median[largest, "export /json"])
  # view /all of the registry apply made holds the same data sources as this one.
  printf "| `apply export onto no data source` ÷ `view /all` | %s | 5× |\n",
         ratio(median[largest, "apply export onto no data source"], median[largest, "view /all"])
  printf "\ndsnconf beside unixODBC (`odbcinst` on ini files holding the same data sources):\n\n"
  printf "| Job | dsnconf | odbcinst |"
  for (i = 1; i <= nsizes; ++i) printf " ratio at %s |", sizes[i]
  printf "\n|---|---|---|"
  for (i = 1; i <= nsizes; ++i) printf "---:|"
  printf "\n"
  pairs[1] = "view /all"; peers[1] = "odbcinst -q -s"; jobs[1] = "every data source"
  pairs[2] = "view /dsn ONE"; peers[2] = "odbcinst -q -s -n ONE"; jobs[2] = "one data source"
  for (k = 1; k <= 2; ++k) {
    printf "| %s | `%s` | `%s` |", jobs[k], pairs[k], peers[k]
    for (i = 1; i <= nsizes; ++i) {
      printf " %s |", ratio(median[sizes[i], pairs[k]], median[sizes[i], peers[k]])
    }
    printf "\n"
  }
}' "$results/index.tsv"

# The scaling rows: the commands beyond the six that walk every data source,
# by registry (healthy, unhealthy) and size.
[ -f "$results/scale.tsv" ] || exit 0
awk -F'\t' -v dir="$results" '
function field(file, n,   line, parts) {
  getline line < file; getline line < file; close(file)
  split(line, parts, ",")
  return parts[n]
}
function ms(seconds) { return sprintf("%.1f", seconds * 1000) }
function ratio(a, b) { return a <= 0 || b <= 0 ? "–" : sprintf("%.2f×", a / b) }
{
  split($1, key, "-"); kind = key[1]; size = key[2]; label = $2; slug = $3
  if (!(kind in seenKind)) { seenKind[kind] = 1; kinds[++nkinds] = kind }
  if (!(size in seenSize)) { seenSize[size] = 1; sizes[++nsizes] = size }
  if (!(label in known)) { known[label] = 1; labels[++nlabels] = label }
  csv = dir "/" $1 "-" slug ".csv"
  median[kind, size, label] = field(csv, 4)
  low[kind, size, label] = field(csv, 7)
  high[kind, size, label] = field(csv, 8)
  # Processor time, user and system: what wall time is on a machine shared
  # with other work, less the waiting.
  cpu[kind, size, label] = field(csv, 5) + field(csv, 6)
  rssfile = dir "/" $1 "-" slug ".rss"
  getline rss[kind, size, label] < rssfile; close(rssfile)
}
END {
  first = sizes[1]; last = sizes[nsizes]; base = "view /all"
  for (k = 1; k <= nkinds; ++k) {
    kind = kinds[k]
    printf "\n%s registry: median wall time in ms (min–max over the runs).\n\n", kind
    printf "| Command |"
    for (i = 1; i <= nsizes; ++i) printf " %s |", sizes[i]
    printf " × per doubling | × `%s` at %s |\n|---|", base, first
    for (i = 1; i <= nsizes + 2; ++i) printf "---:|"
    printf "\n"
    for (j = 1; j <= nlabels; ++j) {
      l = labels[j]
      printf "| `%s` |", l
      for (i = 1; i <= nsizes; ++i) {
        s = sizes[i]
        printf " %s (%s–%s) |", ms(median[kind, s, l]), ms(low[kind, s, l]), ms(high[kind, s, l])
      }
      growth = ""
      for (i = 2; i <= nsizes; ++i) {
        growth = growth (i > 2 ? ", " : "") ratio(median[kind, sizes[i], l], median[kind, sizes[i - 1], l])
      }
      printf " %s | %s |\n", growth, ratio(median[kind, first, l], median[kind, first, base])
    }
    printf "\n%s registry: processor time (user + system, mean) in ms.\n\n| Command |", kind
    for (i = 1; i <= nsizes; ++i) printf " %s |", sizes[i]
    printf " × per doubling | × `%s` at %s |\n|---|", base, first
    for (i = 1; i <= nsizes + 2; ++i) printf "---:|"
    printf "\n"
    for (j = 1; j <= nlabels; ++j) {
      l = labels[j]
      printf "| `%s` |", l
      for (i = 1; i <= nsizes; ++i) printf " %s |", ms(cpu[kind, sizes[i], l])
      growth = ""
      for (i = 2; i <= nsizes; ++i) {
        growth = growth (i > 2 ? ", " : "") ratio(cpu[kind, sizes[i], l], cpu[kind, sizes[i - 1], l])
      }
      printf " %s | %s |\n", growth, ratio(cpu[kind, first, l], cpu[kind, first, base])
    }
    printf "\n%s registry: peak resident memory in MB.\n\n| Command |", kind
    for (i = 1; i <= nsizes; ++i) printf " %s |", sizes[i]
    printf "\n|---|"
    for (i = 1; i <= nsizes; ++i) printf "---:|"
    printf "\n"
    for (j = 1; j <= nlabels; ++j) {
      l = labels[j]
      printf "| `%s` |", l
      for (i = 1; i <= nsizes; ++i) printf " %.1f |", rss[kind, sizes[i], l] / 1024
      printf "\n"
    }
  }
  printf "\nGoals of issue 26, from the figures above:\n\n| Goal | Registry | Measured | Limit |\n|---|---|---:|---:|\n"
  for (k = 1; k <= nkinds; ++k) {
    kind = kinds[k]
    for (j = 1; j <= nlabels; ++j) {
      l = labels[j]
      if (l == base) continue
      worst = 0; worstCpu = 0
      for (i = 2; i <= nsizes; ++i) {
        r = median[kind, sizes[i], l] / median[kind, sizes[i - 1], l]
        if (r > worst) worst = r
        r = cpu[kind, sizes[i], l] / cpu[kind, sizes[i - 1], l]
        if (r > worstCpu) worstCpu = r
      }
      printf "| `%s`, largest growth per doubling (wall / processor time) | %s | %.2f× / %.2f× | 2.2× |\n",
             l, kind, worst, worstCpu
    }
    split("check|export /json|export /reg", walkers, "|")
    for (w = 1; w <= 3; ++w) {
      printf "| `%s` ÷ `%s` at %s (wall / processor time) | %s | %s / %s | 1.5× |\n", walkers[w],
             base, first, kind, ratio(median[kind, first, walkers[w]], median[kind, first, base]),
             ratio(cpu[kind, first, walkers[w]], cpu[kind, first, base])
    }
    printf "| `export /json` peak memory, %s against %s | %s | %.1f against %.1f MB | not growing |\n",
           last, first, kind, rss[kind, last, "export /json"] / 1024, rss[kind, first, "export /json"] / 1024
    printf "| `check` peak memory at %s | %s | %.1f MB | 32 MB |\n", last, kind,
           rss[kind, last, "check"] / 1024
  }
}' "$results/scale.tsv"

# Each dsnconf row beside the same row of another build, timed in the same run.
[ -f "$results/baseline.tsv" ] || exit 0
awk -F'\t' -v dir="$results" '
function field(file, n,   line, parts) {
  getline line < file; getline line < file; close(file)
  split(line, parts, ",")
  return parts[n]
}
BEGIN {
  printf "\nThis build beside the baseline (BENCH_BASELINE), median wall time in ms and peak memory in MB:\n\n"
  printf "| Size | Command | This build | Baseline | × | Memory | Baseline memory |\n"
  printf "|---|---|---:|---:|---:|---:|---:|\n"
}
{
  now = field(dir "/" $1 "-" $3 ".csv", 4); then = field(dir "/" $1 "-" $3 "-baseline.csv", 4)
  rssNow = dir "/" $1 "-" $3 ".rss"; rssThen = dir "/" $1 "-" $3 "-baseline.rss"
  getline memNow < rssNow; close(rssNow); getline memThen < rssThen; close(rssThen)
  printf "| %s | `%s` | %.1f | %.1f | %.2f× | %.1f | %.1f |\n", $1, $2, now * 1000, then * 1000,
         (then > 0 ? now / then : 0), memNow / 1024, memThen / 1024
}' "$results/baseline.tsv"
