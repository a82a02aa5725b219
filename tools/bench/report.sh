#!/usr/bin/env bash
# The benchmark's tables, from the raw figures run.sh saved (build/bench/raw):
#   bash tools/bench/report.sh [RAW_DIR]
# run.sh calls it at its end; run alone, it prints the tables of the last run again.
# The workloads, the number of runs and the load averages come from RAW_DIR/run.info.
set -euo pipefail
cd "$(dirname "$0")/../.."
raw=${1:-build/bench/raw}
[ -f "$raw/run.info" ] || { echo "report.sh: no run.info in $raw" >&2; exit 2; }
# shellcheck source=/dev/null
source "$raw/run.info"  # workloads, runs, load_start, load_end, wine_version, cores, date
first=${workloads%% *}

source tools/bench/figures.sh

echo "# Benchmark: setup.exe and its peers ($date)"
echo
echo "$cores cores, $wine_version, medians of $runs runs with the fastest and slowest run in"
echo "brackets, warm cache, target removed before every run. Load average before: $load_start;"
echo "after: $load_end."
echo
echo "## Wall time (seconds)"
echo
echo "setup.exe is timed from the Enter that starts the copy to the finish page on screen, and"
echo "from its process start to the finish page (the wizard's two pages and key presses"
echo "included); it also installs the system library, the font, the shortcuts and the registry"
echo "entries after the copy. The engine runs the same installation without a window. xcopy,"
echo "NSIS and the engine are timed from process start to exit, cp -r natively. Ratios are of"
echo "the medians."
echo
echo "| workload | files | bytes | cp -r | xcopy /E /I /Q | NSIS /S | engine alone | setup.exe Enter→finish | setup.exe start→finish | setup ÷ NSIS | setup ÷ xcopy | setup ÷ engine |"
echo "|---|---|---|---|---|---|---|---|---|---|---|---|"
for w in $workloads; do
  files=$(field "$raw/$w.engine" files)
  bytes=$(field "$raw/$w.engine" bytes)
  xc_ms=$(median "$raw/$w.xcopy" 1); ns_ms=$(median "$raw/$w.nsis" 1)
  en_ms=$(median "$raw/$w.engine" 1); se_ms=$(median "$raw/$w.setup" 2)
  echo "| $w | $files | $bytes | $(spread "$raw/$w.cp" 1) | $(spread "$raw/$w.xcopy" 1) | $(spread "$raw/$w.nsis" 1) | $(spread "$raw/$w.engine" 1) | $(spread "$raw/$w.setup" 2) | $(spread "$raw/$w.setup" 1) | $(ratio "$se_ms" "$ns_ms") | $(ratio "$se_ms" "$xc_ms") | $(ratio "$se_ms" "$en_ms") |"
done
echo
echo "## Memory, repaints, start-up"
echo
echo "Peak memory is the kernel's high-water mark of the resident set (VmHWM) of the Windows"
echo "process, read on the finish page; Wine's own libraries count in it, hence the minimal"
echo "window program beside it. Gauge repaints: the real install page run in process by"
echo "bench_pages on the same medium, every paint of the gauge counted. First page: process"
echo "start to the window mapped and to its picture on the screen."
echo
echo "| workload | setup.exe peak memory (MiB) | above the minimal window (MiB) | gauge repaints | install page in process (s) |"
echo "|---|---|---|---|---|"
min_hwm=$(median "$raw/startup.minimal" 3)
for w in $workloads; do
  hwm=$(median "$raw/$w.setup" 4)
  echo "| $w | $(mib "$hwm") | $(mib $((hwm - min_hwm))) | $(field "$raw/$w.pages" repaints) | $(secs "$(field "$raw/$w.pages" ms)") |"
done
echo
echo "| program | window mapped (ms) | picture on screen (ms) | peak memory (MiB) |"
echo "|---|---|---|---|"
echo "| setup.exe, welcome page | $(median "$raw/startup.setup" 1) | $(median "$raw/startup.setup" 2) ($(minimum "$raw/startup.setup" 2)–$(maximum "$raw/startup.setup" 2)) | $(mib "$(median "$raw/startup.setup" 3)") |"
echo "| minimal window program | $(median "$raw/startup.minimal" 1) | $(median "$raw/startup.minimal" 2) ($(minimum "$raw/startup.minimal" 2)–$(maximum "$raw/startup.minimal" 2)) | $(mib "$min_hwm") |"
echo
echo "Of setup.exe's start-up, decoding all six page pictures (each is decoded when its page first paints) takes $(field "$raw/$first.pages" decode_ms) ms and creating"
echo "the four pages (their pictures not yet decoded) $(field "$raw/$first.pages" create_ms) ms (bench_pages, measured in process)."
echo
echo "## Targets"
echo
echo "| target | measured (medians) | |"
echo "|---|---|---|"
# Ratio targets: "WORKLOAD CONTENDER COLUMN FACTOR" (setup.exe's Enter→finish against it).
while read -r w peer col factor; do
  case " $workloads " in *" $w "*) ;; *) continue ;; esac
  se_ms=$(median "$raw/$w.setup" 2)
  p_ms=$(median "$raw/$w.$peer" "$col")
  name=$peer
  [ "$peer" = engine ] && name="the engine alone"
  measured="$(secs "$se_ms") s vs $(secs "$p_ms") s: $(ratio "$se_ms" "$p_ms")×"
  # The engine and setup.exe meet the same moment of the machine in each run: their ratio run
  # by run, with its spread.
  [ "$peer" = engine ] && measured+="; run by run $(paired_ratios "$raw/$w.setup" 2 "$raw/$w.$peer" "$col")×"
  echo "| $w: setup.exe at most ${factor}× $name | $measured | $(verdict "$se_ms <= $factor * $p_ms") |"
done <<'EOF'
A nsis 1 0.8
B nsis 1 1.0
A xcopy 1 1.0
B xcopy 1 1.0
C xcopy 1 1.0
B engine 1 1.2
EOF
for w in $workloads; do
  repaints=$(field "$raw/$w.pages" repaints)
  echo "| $w: gauge repaints ≤ 101 | $repaints | $(verdict "$repaints <= 101") |"
done
case " $workloads " in
  *" B "*)
    hwm=$(median "$raw/B.setup" 4)
    echo "| B: setup.exe peak memory under 32 MiB | $(mib "$hwm") MiB ($(mib $((hwm - min_hwm))) MiB above the minimal window) | $(verdict "$hwm < 32 * 1024") |"
    ;;
esac
first_setup=$(median "$raw/startup.setup" 2)
first_min=$(median "$raw/startup.minimal" 2)
echo "| first page within 100 ms of the minimal window | $first_setup ms vs $first_min ms | $(verdict "$first_setup - $first_min <= 100") |"
echo
echo "## Every run (ms)"
echo
echo "setup.exe: start→finish, Enter→finish, start→welcome picture, VmHWM KiB. Start-up:"
echo "mapped, painted, VmHWM KiB."
echo
echo '```'
for f in "$raw"/*; do
  [ "$(basename "$f")" = run.info ] && continue
  printf '%s: %s\n' "$(basename "$f")" "$(cut -d' ' -f1-4 "$f" | paste -sd'|' | sed 's/|/ | /g')"
done
echo '```'
