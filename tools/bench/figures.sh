# Sourced by the report scripts: figures from raw files of one line per run, columns split by
# spaces, times in milliseconds.
# Median, minimum and maximum of column COL (1-based) of FILE.
median() {
  awk -v c="$2" '{print $c}' "$1" | sort -n |
    awk '{v[NR] = $1} END {if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}
minimum() { awk -v c="$2" '{print $c}' "$1" | sort -n | head -n 1; }
maximum() { awk -v c="$2" '{print $c}' "$1" | sort -n | tail -n 1; }
# A value of a "key=value" line.
field() { tr ' ' '\n' <"$1" | sed -n "s/^$2=//p" | head -n 1; }
secs() { awk -v ms="$1" 'BEGIN {printf "%.2f", ms / 1000}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
mib() { awk -v k="$1" 'BEGIN {printf "%.1f", k / 1024}'; }
verdict() { if awk "BEGIN {exit !($1)}"; then echo met; else echo MISSED; fi; }
# "median (min–max)" of the runs' own ratios: column COL_A of FILE_A over COL_B of FILE_B, line
# by line. Two contenders timed in the same run share that moment's machine, so on a machine
# whose speed drifts their ratio run by run tells more than the ratio of their medians.
paired_ratios() {
  paste -d' ' <(awk -v c="$2" '{print $c}' "$1") <(awk -v c="$4" '{print $c}' "$3") |
    awk '{printf "%.3f\n", $1 / $2}' | sort -n |
    awk '{v[NR] = $1} END {m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2;
         printf "%.2f (%.2f–%.2f)", m, v[1], v[NR]}'
}
# "median (min–max)" of a time column, in seconds.
spread() {
  echo "$(secs "$(median "$1" "$2")") ($(secs "$(minimum "$1" "$2")")–$(secs "$(maximum "$1" "$2")"))"
}

