#!/usr/bin/env bash
# A large medium through the real setup.exe: many files in many folders, folder chains whose
# paths pass 260 characters below the target, and (in the full size) one file over 4 GiB,
# sparse on the medium. The installed tree must equal the medium byte for byte.
#   Usage: scale.sh BUILD_DIR          the bounded size CI runs: 2,000 files in 200 folders
#          SCALE=full scale.sh BUILD_DIR   20,000 files in 2,000 folders and a 4 GiB + 1 MB file
source "$(dirname "$0")/lib.sh"
e2e_init "scale-${SCALE:-small}" "$1" 0

if [ "${SCALE:-small}" = full ]; then top_dirs=200 big=$((4 * 1024 * 1024 * 1024 + 1000003)); else top_dirs=20 big=0; fi

# Every top folder holds 9 subfolders; every folder holds 10 files of 1 to 8,192 bytes whose
# content starts with its own path, so a file written under another name cannot pass.
started=$SECONDS
perl -e '
  my ($cab, $top) = @ARGV;
  my $n = 0;
  for my $t (0 .. $top - 1) {
    my @dirs = (sprintf("d%03d", $t));
    push @dirs, map { sprintf("d%03d/s%d", $t, $_) } 1 .. 9;
    for my $d (@dirs) {
      mkdir "$cab/$d" or die "$cab/$d: $!";
      for my $f (0 .. 9) {
        my $size = ($n * 7919) % 8192 + 1;
        my $body = "$d/f$f.dat " . ("$n " x 2000);
        open(my $h, ">", "$cab/$d/f$f.dat") or die $!;
        print $h substr($body x (1 + int($size / length($body))), 0, $size);
        close $h;
        $n++;
      }
    }
  }' "$MEDIUM/CAB" "$top_dirs"

# Six levels of 59-character folder names, a file at each level: the deepest target path is
# C:\Telmorquistane\ plus some 360 characters.
long="$MEDIUM/CAB"
for level in 1 2 3 4 5 6; do
  long="$long/level$level-$(printf 'x%.0s' $(seq 52))"
  mkdir "$long"
  printf 'file at level %d of the long chain\n' "$level" >"$long/deep$level.txt"
done

if [ "$big" -gt 0 ]; then
  free_kb=$(df -Pk "$E2E_DIR" | awk 'NR == 2 { print $4 }')
  [ "$free_kb" -gt $((big / 1024 * 2 + 1048576)) ] || e2e_fail "not enough free disk for the $big-byte file"
  # Sparse on the medium, with marks at the start, across the 4 GiB boundary and at the end.
  truncate -s "$big" "$MEDIUM/CAB/huge.bin"
  for offset in 0 $((4 * 1024 * 1024 * 1024 - 3)) $((big - 16)); do
    printf 'mark@%011d' "$offset" | dd of="$MEDIUM/CAB/huge.bin" bs=1 seek="$offset" conv=notrunc status=none
  done
fi
files=$(find "$MEDIUM/CAB" -type f | wc -l)
dirs=$(find "$MEDIUM/CAB" -mindepth 1 -type d | wc -l)
longest=$(cd "$MEDIUM/CAB" && find . -type f | awk '{ print length($0) - 2 }' | sort -n | tail -n 1)
e2e_log "medium: $files files in $dirs folders, longest path below CAB $longest characters, made in $((SECONDS - started)) s"

e2e_start_setup
e2e_wait_page welcome 30
e2e_key Return
e2e_wait_page install 15
started=$SECONDS
e2e_key Return
e2e_wait 1500 "the uninstall entry (the last step of the installation)" e2e_uninstall_entry_exists
e2e_wait_page finish 30
e2e_log "installed in $((SECONDS - started)) s"
e2e_key Return
e2e_wait_setup_exit 15

# The trees differ only by the staged programs' names and INSTALL.CFG.
diff -rq "$MEDIUM/CAB" "$TARGET" >"$E2E_DIR/tree.diff" || true
expected="Only in $MEDIUM/CAB: Telmorquistane.DAT
Only in $MEDIUM/CAB: uninstall.DAT
Only in $TARGET: INSTALL.CFG
Only in $TARGET: Telmorquistane.EXE
Only in $TARGET: Uninstall.EXE"
[ "$(sort "$E2E_DIR/tree.diff")" = "$expected" ] ||
  e2e_fail "installed tree differs from the medium: $(grep -v -F -x "$expected" "$E2E_DIR/tree.diff" | head -n 5)"
cmp -s "$MEDIUM/CAB/Telmorquistane.DAT" "$TARGET/Telmorquistane.EXE" || e2e_fail "Telmorquistane.EXE differs"
cmp -s "$MEDIUM/CAB/uninstall.DAT" "$TARGET/Uninstall.EXE" || e2e_fail "Uninstall.EXE differs"
installed=$(find "$TARGET" -type f | wc -l)
e2e_log "scale: $installed installed files ($files on the medium + INSTALL.CFG), every file identical, longest C:\\Telmorquistane\\... path $((18 + longest)) characters"
[ "$installed" -eq $((files + 1)) ] || e2e_fail "expected $((files + 1)) installed files, found $installed"
e2e_pass
