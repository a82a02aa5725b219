#!/usr/bin/env bash
# setup.exe killed (SIGKILL) at moments spread over the file copy, then started again on the
# same machine and run to its finish page: the second run completes the installation, so the
# installed tree equals the medium byte for byte, no ".setup-part" file is left behind and
# the uninstall entry exists.
#
# The medium is the sample medium plus a generated mix: 800 small files of varied sizes
# (the copy's 61440-byte chunk boundaries among them) in nested folders and 6 files of 4 to
# 12 MB, every file with its own content. One uninterrupted installation first measures how
# long the copy takes; the kill moments are then drawn from that span, one in each of
# KILL_POINTS equal slices of it, in a shuffled order. A kill that lands after the last file
# was copied is counted apart and its slice is tried again. Each kill point starts from a
# fresh target (no installation folder, no uninstall entry); the prefix and its wineserver
# stay up for the whole scenario.
#
#   Usage: kill-rerun.sh BUILD_DIR
#   KILL_POINTS   kill points during the copy (default 8)
#   KILL_SEED     seed of the generated files and of the kill moments (default: drawn and
#                 printed; pass the printed one to repeat a run)
source "$(dirname "$0")/lib.sh"

KILL_POINTS=${KILL_POINTS:-8}
KILL_SEED=${KILL_SEED:-$((($(date +%s%N) / 1000) % 1000000))}
[[ $KILL_POINTS =~ ^[1-9][0-9]*$ ]] || { echo "KILL_POINTS must be a positive number" >&2; exit 2; }
[[ $KILL_SEED =~ ^[0-9]+$ ]] || { echo "KILL_SEED must be a number" >&2; exit 2; }

e2e_init kill-rerun "$1" 0
e2e_log "seed $KILL_SEED, $KILL_POINTS kill points (repeat with KILL_SEED=$KILL_SEED), display $DISPLAY"

# ---------------------------------------------------------------- the medium

# Every file's bytes come from a generator seeded with the run's seed and the file's path, so
# no two files share content and a file that ends up under another file's name is caught.
python3 - "$MEDIUM/CAB" "$KILL_SEED" <<'EOF' || e2e_fail "could not generate the mixed files"
import os, random, sys

cab, seed = sys.argv[1], int(sys.argv[2])
rng = random.Random(seed)
words = ["atlas", "brook", "cedar", "delta", "ember", "fjord", "grove", "old maps", "sea charts"]
dirs = ["Mix"]
for i in range(24):
    parent = rng.choice(dirs)
    if parent.count("/") >= 4:
        parent = "Mix"
    dirs.append(f"{parent}/{rng.choice(words)}{i:02d}")
# Around the copy's 61440-byte chunk, then sizes spread evenly on a log scale up to 256 KiB.
edges = [1, 2, 999, 1000, 1001, 61439, 61440, 61441, 122879, 122880, 122881]
files = []
for i in range(800):
    size = edges[i] if i < len(edges) else max(1, round(2 ** rng.uniform(0, 18)))
    ext = rng.choice(["txt", "dat", "bin", "ini", "gif"])
    files.append((f"{rng.choice(dirs)}/f{i:03d}.{ext}", size))
for i in range(6):
    files.append((f"Media/big{i}.bin", rng.randint(4_000_000, 12_000_000)))
total = 0
for path, size in files:
    full = os.path.join(cab, path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    with open(full, "wb") as f:
        f.write(random.Random(f"{seed}:{path}").randbytes(size))
    total += size
print(f"generated {len(files)} files in {len(dirs) + 1} folders, {total} bytes")
EOF

# Every non-empty file of CAB under its relative path (the scan leaves empty files out), then
# what a complete installation holds: the same with the staged programs under their installed
# names, plus INSTALL.CFG; and what a killed run may leave complete: the files under their
# own names, the staged programs under either name.
SOURCES="$E2E_DIR/sources.sha256"
EXPECTED="$E2E_DIR/expected.sha256"
KILLED_OK="$E2E_DIR/killed-ok.sha256"
EXPECTED_DIRS="$E2E_DIR/expected.dirs"
describe_medium() {
  (cd "$MEDIUM/CAB" && find . -type f -size +0c -print0 | xargs -0 sha256sum) >"$SOURCES"
  installed_names='s|  \./Telmorquistane\.DAT$|  ./Telmorquistane.EXE|; s|  \./uninstall\.DAT$|  ./Uninstall.EXE|'
  sed "$installed_names" "$SOURCES" >"$EXPECTED"
  printf 'morrowfenlate\r\n\r\nTelmorquistane\r\nTelmorquistane\r\nTelmorquistan\r\nCaldertiphon Publisher\r\n' |
    sha256sum | sed 's|  -$|  ./INSTALL.CFG|' >>"$EXPECTED"
  { cat "$SOURCES"; grep '\.DAT$' "$SOURCES" | sed "$installed_names"; } >"$KILLED_OK"
  (cd "$MEDIUM/CAB" && find . -mindepth 1 -type d) | LC_ALL=C sort >"$EXPECTED_DIRS"
  COPY_FILES=$(wc -l <"$SOURCES")
  [ "$(wc -l <"$KILLED_OK")" -eq $((COPY_FILES + 2)) ] || e2e_fail "the medium lacks a staged program"
  e2e_log "the copy handles $COPY_FILES files ($(du -sb "$MEDIUM/CAB" | cut -f1) bytes)"
}
describe_medium

# ---------------------------------------------------------------- checks

# One line per difference between the files under ROOT and MANIFEST: "missing file",
# "unexpected file" (a leftover ".setup-part" among them) or "content differs", then the path.
manifest_problems() {
  local manifest=$1 root=$2
  (cd "$root" && find . -type f -print0 | xargs -0 -r sha256sum) >"$E2E_TMP/installed.sha256"
  LC_ALL=C awk '
    NR == FNR { want[substr($0, 67)] = $1; next }
    {
      path = substr($0, 67)
      if (!(path in want)) print "unexpected file " path
      else if (want[path] != $1) print "content differs " path
      seen[path] = 1
    }
    END { for (path in want) if (!(path in seen)) print "missing file " path }' \
    "$manifest" "$E2E_TMP/installed.sha256" | LC_ALL=C sort
}

# Every difference between the tree under ROOT and a complete installation, files and
# folders; nothing for a complete installation.
tree_problems() {
  manifest_problems "$EXPECTED" "$1"
  (cd "$1" && find . -mindepth 1 -type d) | LC_ALL=C sort |
    LC_ALL=C comm -3 "$EXPECTED_DIRS" - | sed -e 's/^\t/unexpected folder /' -e '/^unexpected/!s/^/missing folder /'
}

# A killed run leaves files missing and perhaps one ".setup-part", but every file under a
# destination name must be whole (INSTALL.CFG, written last and in place, may be cut short).
damaged_after_kill() {
  manifest_problems "$KILLED_OK" "$1" |
    grep -v -e '^missing file ' -e '\.setup-part$' -e '^unexpected file \./INSTALL\.CFG$' || true
}

complete_files() { if [ -d "$TARGET" ]; then find "$TARGET" -type f ! -name '*.setup-part' 2>/dev/null | wc -l; else echo 0; fi; }
partial_files() { [ -d "$TARGET" ] && find "$TARGET" -type f -name '*.setup-part' 2>/dev/null; true; }
copy_begun() { [ -d "$TARGET" ] && [ -n "$(find "$TARGET" -type f -print -quit 2>/dev/null)" ]; }

# The standard error report: a mapped window captioned with the application title, larger
# than the application's own 1-pixel window of that name.
error_box() {
  local w width
  for w in $(e2e_windows "$E2E_TITLE"); do
    width=$(xwininfo -id "$w" 2>/dev/null | awk '/Width:/ {print $2}')
    [ "${width:-0}" -gt 100 ] && return 0
  done
  return 1
}

# Waits up to TIMEOUT seconds for the run to write the uninstall entry. Until every file of
# the copy is there it only counts files: a registry query starts a Wine process, which would
# slow down the copy it watches. Returns 1, the reason in WAIT_PROBLEM, when an error report
# shows, setup.exe ends or the time is up.
wait_installed() {
  local timeout=$1 deadline=$((SECONDS + $1)) polls=0
  WAIT_PROBLEM=
  until [ "$(complete_files)" -ge "$COPY_FILES" ] && e2e_uninstall_entry_exists; do
    polls=$((polls + 1))
    if [ $((polls % 20)) -eq 0 ] && error_box; then
      WAIT_PROBLEM="setup.exe stopped with an error report ($(complete_files) files complete)"
    elif ! e2e_setup_running; then
      WAIT_PROBLEM="setup.exe ended before it wrote the uninstall entry"
    elif [ "$SECONDS" -ge "$deadline" ]; then
      WAIT_PROBLEM="no uninstall entry within $timeout s ($(complete_files) files complete)"
    fi
    [ -z "$WAIT_PROBLEM" ] || return 1
    sleep 0.05
  done
}

now_ms() { local t=${EPOCHREALTIME/[.,]/}; echo $((t / 1000)); }
seconds() { printf '%d.%03d' $(($1 / 1000)) $(($1 % 1000)); }

remove_uninstall_entry() {
  e2e_uninstall_entry_exists || return 0
  installer_wine reg delete "$E2E_UNINSTALL_KEY" /f >/dev/null 2>&1 || true
  ! e2e_uninstall_entry_exists || e2e_fail "could not remove the uninstall entry"
}

welcome_or_ended() { e2e_visible "$E2E_WELCOME_NAME" || ! e2e_setup_running; }

# Starts SETUP.EXE, Enter on the welcome page and on the install page, and waits until the
# first file of the copy appears in the installation folder; COPY_BEGUN_MS is that moment.
start_copy() {
  e2e_start_setup
  e2e_wait 30 "the welcome page to map (setup.exe pid $SETUP_PID)" welcome_or_ended
  if ! e2e_setup_running; then
    local code=0
    wait "$SETUP_PID" || code=$?
    SETUP_PID=
    e2e_fail "setup.exe ended with exit code $code before its welcome page showed"
  fi
  e2e_wait_page welcome 30
  e2e_key Return
  e2e_wait_page install 15
  e2e_key Return
  local deadline=$((SECONDS + 30))
  until copy_begun; do
    e2e_setup_running || e2e_fail "setup.exe ended before the copy began"
    [ "$SECONDS" -lt "$deadline" ] || e2e_fail "the copy did not begin within 30 s"
    sleep 0.01
  done
  COPY_BEGUN_MS=$(now_ms)
}

# Runs SETUP.EXE over whatever the installation folder holds, to the finish page and out with
# Enter. When it does not get there, says why in RERUN_PROBLEM and returns 1.
run_to_finish() {
  RERUN_PROBLEM=
  start_copy
  if wait_installed 60; then
    e2e_wait_page finish 15
    e2e_key Return
    e2e_wait_setup_exit 15
    return 0
  fi
  RERUN_PROBLEM="re-run: $WAIT_PROBLEM"
  e2e_shots=$((e2e_shots + 1))
  e2e_shot "rerun-stopped-$e2e_shots" || true
  kill -9 "$SETUP_PID" 2>/dev/null || true
  wait "$SETUP_PID" 2>/dev/null || true
  SETUP_PID=
  return 1
}

# ---------------------------------------------------------------- the uninterrupted run

# The copy's span: from the first file appearing to the last write of a product file (the
# file times and EPOCHREALTIME read the same clock).
measure_copy() {
  e2e_log "uninterrupted installation, to measure the copy"
  start_copy
  wait_installed 120 || e2e_fail "uninterrupted installation: $WAIT_PROBLEM"
  e2e_wait_page finish 15
  e2e_key Return
  e2e_wait_setup_exit 15
  local last_write last_write_ms problems
  last_write=$(find "$TARGET" -type f ! -name INSTALL.CFG -printf '%T@\n' | sort -n | tail -n 1)
  last_write_ms=$((${last_write%.*} * 1000 + 10#$(cut -c1-3 <<<"${last_write#*.}000")))
  COPY_MS=$((last_write_ms - COPY_BEGUN_MS))
  problems=$(tree_problems "$TARGET")
  [ -z "$problems" ] || e2e_fail "the uninterrupted installation differs from the medium: $problems"
}
measure_copy
# A machine with a fast disk copies the medium in too short a time to place the kill points
# in: files are added until the copy takes long enough. The copy's time goes mostly with the
# number of files (the bytes of large ones land in the page cache), so these are small ones.
for grow in 1 2 3; do
  [ "$COPY_MS" -lt 500 ] || break
  factor=$(((600 + COPY_MS - 1) / COPY_MS))
  e2e_log "the copy took only $COPY_MS ms; adding files for about $factor times as many"
  python3 - "$MEDIUM/CAB" "$KILL_SEED" "$grow" "$((COPY_FILES * (factor - 1)))" <<'EOF' || e2e_fail "could not add files"
import os, random, sys
cab, seed, grow, count = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
rng = random.Random(f"{seed}:{grow}")
folder = os.path.join(cab, "Mix", f"more{grow}")
os.makedirs(folder)
for i in range(count):
    path = os.path.join(folder, f"g{i:04d}.dat")
    with open(path, "wb") as f:
        f.write(random.Random(f"{seed}:{path}").randbytes(max(1, round(2 ** rng.uniform(0, 18)))))
EOF
  describe_medium
  rm -rf "$TARGET"
  remove_uninstall_entry
  measure_copy
done
[ "$COPY_MS" -ge 500 ] || e2e_fail "the copy took only $COPY_MS ms: too short to place kill points in"
e2e_log "copy of $COPY_FILES files took $(seconds "$COPY_MS") s; the installation equals the medium"

# The checks themselves, on damaged copies of this installation: the tree check must see
# changed content, two files under each other's names, a leftover partial copy, a missing
# file or folder; the check of a killed state must see a damaged file under a destination
# name, under its installed or its staged name, and nothing else (an empty expectation).
first_small=$(awk 'substr($0, 67) ~ /^\.\/Mix\// {print substr($0, 67); if (++n == 2) exit}' "$EXPECTED")
small_a=$(sed -n 1p <<<"$first_small")
small_b=$(sed -n 2p <<<"$first_small")
while IFS='|' read -r check damage command expected; do
  rm -rf "$E2E_TMP/tree"
  cp -a "$TARGET" "$E2E_TMP/tree"
  (cd "$E2E_TMP/tree" && eval "$command") || e2e_fail "could not apply '$damage'"
  found=$("$check" "$E2E_TMP/tree")
  if [ -z "$expected" ]; then
    [ -z "$found" ] || e2e_fail "$check flagged $damage: '$found'"
  else
    grep -qxF "$expected" <<<"$found" || e2e_fail "$check missed $damage: expected '$expected', got '$found'"
  fi
done <<EOF
tree_problems|16 zero bytes at the start of a big file|dd if=/dev/zero of=Media/big0.bin bs=16 count=1 conv=notrunc status=none|content differs ./Media/big0.bin
tree_problems|the last byte cut off a big file|truncate -s -1 Media/big4.bin|content differs ./Media/big4.bin
tree_problems|two files swapped|mv "$small_a" x.swap && mv "$small_b" "$small_a" && mv x.swap "$small_b"|content differs $small_b
tree_problems|a leftover partial copy|cp Media/big1.bin Media/big1.bin.setup-part|unexpected file ./Media/big1.bin.setup-part
tree_problems|a missing file|rm "$small_a"|missing file $small_a
tree_problems|a missing folder|rm -r Media|missing folder ./Media
damaged_after_kill|the last byte cut off a big file|truncate -s -1 Media/big4.bin|content differs ./Media/big4.bin
damaged_after_kill|two files swapped|mv "$small_a" x.swap && mv "$small_b" "$small_a" && mv x.swap "$small_b"|content differs $small_a
damaged_after_kill|a cut-off main program under its staged name|mv Telmorquistane.EXE Telmorquistane.DAT && truncate -s -1 Telmorquistane.DAT|content differs ./Telmorquistane.DAT
damaged_after_kill|a partial copy, missing files and a short INSTALL.CFG|cp Media/big1.bin Media/big1.bin.setup-part && rm -r "$small_a" Media/big2.bin && truncate -s 3 INSTALL.CFG|
damaged_after_kill|the uninstaller still under its staged name|mv Uninstall.EXE uninstall.DAT|
EOF
rm -rf "$E2E_TMP/tree"
e2e_log "the checks found the damage in each of the damaged copies"

# ---------------------------------------------------------------- kill points

# Kill moments from the seed: slice s of the span gets a moment drawn inside it; the slices
# are visited in a shuffled order. The span is kept at 95 % of the measured copy, as another
# run's copy may be a little faster.
RANDOM=$KILL_SEED
draw() { DRAWN=$(((RANDOM << 15) | RANDOM)); }
span_ms=$((COPY_MS * 95 / 100))
mapfile -t order < <(seq 0 $((KILL_POINTS - 1)))
for ((i = KILL_POINTS - 1; i > 0; i--)); do
  draw
  j=$((DRAWN % (i + 1)))
  t=${order[i]} order[i]=${order[j]} order[j]=$t
done

report="$E2E_DIR/kill-points.txt"
printf '%-6s %-5s %-9s %-15s %-28s %s\n' point kill delay-s complete-files setup-part result >"$report"
copy_kills=0
copy_kills_in_file=0
late_kills=0
mismatches=0
killed_counts=()
for slice in "${order[@]}"; do
  tries=0
  while :; do
    draw
    lo=$((span_ms * slice / KILL_POINTS))
    hi=$((span_ms * (slice + 1) / KILL_POINTS))
    delay_ms=$((lo + DRAWN % (hi > lo ? hi - lo : 1)))

    # A fresh target: no installation folder, no uninstall entry (fonts and system files stay).
    rm -rf "$TARGET"
    remove_uninstall_entry
    start_copy
    sleep "$(seconds "$delay_ms")"
    kill -9 "$SETUP_PID" 2>/dev/null || e2e_fail "setup.exe had ended by itself before the kill"
    wait "$SETUP_PID" 2>/dev/null || true
    SETUP_PID=
    landed_ms=$(($(now_ms) - COPY_BEGUN_MS))
    complete=$(complete_files)
    parts=$(partial_files | sed "s|^$TARGET/||")
    entry=no
    e2e_uninstall_entry_exists && entry=yes

    point=$((copy_kills + late_kills + 1))
    if [ "$complete" -lt "$COPY_FILES" ]; then
      kind=copy
      copy_kills=$((copy_kills + 1))
      killed_counts+=("$complete")
      [ -z "$parts" ] || copy_kills_in_file=$((copy_kills_in_file + 1))
    else
      kind=late
      late_kills=$((late_kills + 1))
    fi
    e2e_log "kill point $point (slice $((slice + 1))/$KILL_POINTS): killed $(seconds "$landed_ms") s into the copy" \
      "(delay $(seconds "$delay_ms") s), $complete of $COPY_FILES files complete, partial: ${parts:-none}, uninstall entry: $entry"

    problems=()
    mapfile -t problems < <(damaged_after_kill "$TARGET" | sed 's/^/after the kill: /')
    find "$TARGET" -printf '%P %s\n' | LC_ALL=C sort >"$E2E_TMP/killed-state.txt"
    if [ "$kind" = copy ] && [ "$entry" = yes ]; then
      problems+=("the uninstall entry was written before the copy was complete")
    fi
    # The killed run may have got as far as the uninstall entry; then a new start would only
    # open the installed program.
    remove_uninstall_entry
    if run_to_finish; then
      mapfile -t -O "${#problems[@]}" problems < <(tree_problems "$TARGET")
      e2e_uninstall_entry_exists || problems+=("no uninstall entry after the re-run")
    else
      problems+=("$RERUN_PROBLEM")
    fi
    if [ "${#problems[@]}" -gt 0 ]; then
      mismatches=$((mismatches + 1))
      result=MISMATCH
      e2e_log "kill point $point: MISMATCH after the re-run:"
      printf '    %s\n' "${problems[@]:0:40}"
      printf '%s\n' "${problems[@]}" >"$E2E_DIR/mismatch-$point.txt"
      mv "$E2E_TMP/killed-state.txt" "$E2E_DIR/killed-state-$point.txt"
    else
      result=ok
    fi
    part_names=-
    [ -z "$parts" ] || part_names=$(sed 's|.*/||' <<<"$parts" | paste -sd ' ')
    printf '%-6s %-5s %-9s %-15s %-28s %s\n' "$point" "$kind" "$(seconds "$delay_ms")" "$complete/$COPY_FILES" \
      "$part_names" "$result" >>"$report"

    [ "$kind" = late ] || break
    # The copy was over before the kill: this run's copy was faster than the measured one.
    tries=$((tries + 1))
    [ "$tries" -lt 4 ] || e2e_fail "4 kills in slice $((slice + 1)) all landed after the copy"
    span_ms=$((span_ms * 85 / 100))
    e2e_log "the kill landed after the copy; the span is now $(seconds "$span_ms") s, slice tried again"
  done
done

distinct=$(printf '%s\n' "${killed_counts[@]}" | sort -nu | wc -l)
e2e_log "files complete at the copy kills: $(printf '%s\n' "${killed_counts[@]}" | sort -n | tr '\n' ' ')($distinct distinct);" \
  "$copy_kills_in_file kills found a .setup-part file"
e2e_log "$late_kills kills landed after the copy (not counted); table in $report"
echo "kill-rerun: $copy_kills kill points, $mismatches mismatches (seed $KILL_SEED)"
[ "$mismatches" -eq 0 ] || e2e_fail "$mismatches kill points left an installation that differs from the medium"
e2e_pass
