#!/usr/bin/env bash
# The CD benchmark's table, from the raw figures cd.sh saved (build/bench-cd/raw):
#   bash tools/bench/report-cd.sh [RAW_DIR]
# Raw files, one line per run: read-once and nsis "MS RUNS ACCESSES MODELLED_MS"; setup-laid and
# setup-plain and setup-windows "START_TO_FINISH_MS ENTER_TO_FINISH_MS FIRST_PAGE_MS PEAK_KIB RUNS ACCESSES
# MODELLED_MS"; predicted "IMAGE RUNS_UNDER_WINE RUNS_UNDER_WINDOWS" (mediatool check --image).
set -euo pipefail
cd "$(dirname "$0")/../.."
raw=${1:-build/bench-cd/raw}
[ -f "$raw/run.info" ] || { echo "report-cd.sh: no run.info in $raw" >&2; exit 2; }
# shellcheck source=/dev/null
source "$raw/run.info"  # runs, load_start, load_end, wine_version, cores, date, drive_options, files, bytes, image_bytes
source tools/bench/figures.sh
predicted() { awk -v i="$1" -v c="$2" '$1 == i {print $c}' "$raw/predicted"; }
# "runs / accesses / modelled s" of a raw file whose drive counts start at column COL.
drive() {
  echo "$(median "$1" "$2") | $(median "$1" $(($2 + 1))) | $(secs "$(median "$1" $(($2 + 2)))")"
}

once=$(median "$raw/read-once" 1)
laid=$(median "$raw/setup-laid" 2)
plain=$(median "$raw/setup-plain" 2)
nsis=$(median "$raw/nsis" 1)

echo "# From a CD: setup.exe and its peers on the emulated drive ($date)"
echo
echo "Workload D ($files files, $bytes bytes on the medium; the image $image_bytes bytes), the emulated"
echo "52x CAV drive (tools/cddrive, options: $drive_options) under fuseiso as drive D: of type cdrom,"
echo "$wine_version, $cores cores. Every run starts with the disc just put in (empty buffer, head at"
echo "the start, no page cache). Medians of $runs runs with the fastest and slowest in brackets,"
echo "seconds. Load average before: $load_start; after: $load_end."
echo
echo "setup.exe is timed from the Enter that starts the copy to the finish page on screen (its"
echo "start, the welcome page and the install page read the disc before that and count in the"
echo "drive's figures); NSIS from its process start to its end; the image read once with dd in"
echo "64 KiB reads. Runs and accesses are the drive's own counts over the whole run (the ISO"
echo "file system's directories and setup.exe's own pages included), the modelled time the"
echo "drive's time by its model (the rest is the host's)."
echo
echo "| contender | time (s) | ÷ image read once | runs | accesses | drive's modelled time (s) |"
echo "|---|---|---|---|---|---|"
echo "| the drive reads the whole image once, in order | $(spread "$raw/read-once" 1) | 1.00 | $(drive "$raw/read-once" 2) |"
echo "| setup.exe, disc from \`mediatool image\` | $(spread "$raw/setup-laid" 2) | $(ratio "$laid" "$once") | $(drive "$raw/setup-laid" 5) |"
echo "| setup.exe, disc from plain \`xorriso -as mkisofs -J -R\` | $(spread "$raw/setup-plain" 2) | $(ratio "$plain" "$once") | $(drive "$raw/setup-plain" 5) |"
echo "| setup.exe, disc laid out for Windows (\`mediatool image\`'s default), read in Wine's order | $(spread "$raw/setup-windows" 2) | $(ratio "$(median "$raw/setup-windows" 2)" "$once") | $(drive "$raw/setup-windows" 5) |"
echo "| NSIS (its one file on a disc), \`/S\` | $(spread "$raw/nsis" 1) | $(ratio "$nsis" "$once") | $(drive "$raw/nsis" 2) |"
echo
echo "From xorriso's disc setup.exe takes $(ratio "$plain" "$laid")× the time it takes from mediatool's."
echo
echo "The installer's reading order over each image's files, as \`mediatool check --image\` counts"
echo "it (contiguous runs; under Wine every folder is listed without regard to case, under Windows"
echo "in the disc's record order, so the benchmark under Wine uses the image laid out for Wine):"
echo
echo "| image | runs under Wine | runs under Windows |"
echo "|---|---|---|"
echo "| \`mediatool image --target ntfs\` (laid out for Wine: the one timed above) | $(predicted laid 2) | $(predicted laid 3) |"
echo "| \`mediatool image\` (laid out for Windows: what a vendor ships) | $(predicted windows 2) | $(predicted windows 3) |"
echo "| plain \`xorriso -as mkisofs -J -R\` | $(predicted plain 2) | $(predicted plain 3) |"
echo
echo "| target | measured (medians) | |"
echo "|---|---|---|"
echo "| setup.exe from mediatool's disc at most 1.15× the image read once | $(secs "$laid") s vs $(secs "$once") s: $(ratio "$laid" "$once")× | $(verdict "$laid <= 1.15 * $once") |"
echo "| setup.exe from mediatool's disc at most 1.0× NSIS from the same drive | $(secs "$laid") s vs $(secs "$nsis") s: $(ratio "$laid" "$nsis")× | $(verdict "$laid <= 1.0 * $nsis") |"
echo "| mediatool's disc read in 1 run, in the order the installer reads it | $(predicted laid 2) under Wine, $(predicted windows 3) under Windows (its Windows image) | $(verdict "$(predicted laid 2) == 1 && $(predicted windows 3) == 1") |"
echo
echo "## Every run"
echo
echo '```'
for f in read-once setup-laid setup-plain setup-windows nsis; do
  printf '%s: %s\n' "$f" "$(paste -sd'|' "$raw/$f" | sed 's/|/ | /g')"
done
echo '```'
