#!/usr/bin/env bash
# A medium laid out to hit every warning the check gives that a real installation can show:
# empty, hidden (by name and by attribute) and system entries, a long Joliet name and one no
# disc holds, a path too long for Explorer, SYSTEM.TXT lines that register nothing (an empty
# line, a missing file, a library without DllRegisterServer, an i686 library, a text file), an
# unlisted self-registering library, a damaged library and font, a subfolder and an empty file
# in System and Fonts, more than 20 fonts, FONT.TXT pairs that fit the CD order but not this
# copy's, a wrong display name and an odd last line, no uninstaller, no list of installed files,
# no autorun.inf. The
# folder is installed as drive D: (a copy, which Wine lists like NTFS, attributes included) and
# the result must be exactly the check's plan for an NTFS copy.  Usage: vendor-warnings.sh BUILD_DIR
source "$(dirname "$0")/lib.sh"
e2e_init vendor-warnings "$1" 0
source "$e2e_top/tests/e2e/vendor-lib.sh"
trap vendor_cleanup EXIT

m="$E2E_DIR/warnings-medium"
src="$E2E_DIR/src"
mkdir -p "$m/CAB" "$m/System/Extra" "$m/Fonts/Sub" "$src"
cp "$E2E_BUILD/examples/programs/sample_main.exe" "$m/CAB/Telmorquistane.DAT"
cp "$E2E_BUILD/ui/setup.exe" "$m/setup.exe"
echo readme >"$m/CAB/readme.txt"
: >"$m/CAB/empty.txt"
echo dot >"$m/CAB/.hidden.txt"
echo attr >"$m/CAB/secret.txt"
setfattr -n user.DOSATTRIB -v '"0x2"' "$m/CAB/secret.txt"
mkdir -p "$m/CAB/Locked" && echo x >"$m/CAB/Locked/a.txt" && echo y >"$m/CAB/Locked/b.txt"
setfattr -n user.DOSATTRIB -v '"0x4"' "$m/CAB/Locked"
long70=$(printf 'L%.0s' $(seq 66)).txt
long110=$(printf 'N%.0s' $(seq 106)).txt
echo long >"$m/CAB/$long70"
echo longer >"$m/CAB/$long110"
deep="$m/CAB/$(printf 'd%.0s' $(seq 60))/$(printf 'e%.0s' $(seq 60))/$(printf 'f%.0s' $(seq 60))/$(printf 'g%.0s' $(seq 60))"
mkdir -p "$deep" && echo deep >"$deep/deep-file.txt"

# Libraries: the test library twice (listed and not), one without DllRegisterServer, one for the
# other processor than this build's setup.exe.
if [ "$E2E_ARCH" = win32 ]; then
  own_gcc=i686-w64-mingw32-gcc other_gcc=x86_64-w64-mingw32-gcc other_machine=x86-64
else
  own_gcc=x86_64-w64-mingw32-gcc other_gcc=i686-w64-mingw32-gcc other_machine=i686
fi
printf '__declspec(dllexport) int Other(void) { return 0; }\n' >"$src/noreg.c"
printf '#include <windows.h>\n__declspec(dllexport) HRESULT __stdcall DllRegisterServer(void) { return 0; }\n' >"$src/other.c"
$own_gcc -shared -o "$m/System/noreg.dll" "$src/noreg.c" || e2e_fail "cannot build noreg.dll"
$other_gcc -shared -Wl,--kill-at -o "$m/System/other.dll" "$src/other.c" || e2e_fail "cannot build other.dll"
cp "$E2E_BUILD/tests/register_marker.dll" "$m/System/good.dll"
cp "$E2E_BUILD/tests/register_marker.dll" "$m/System/unlisted.dll"
echo 'not a library' >"$m/System/broken.dll"
echo notes >"$m/System/notes.txt"
: >"$m/System/empty.dll"
echo x >"$m/System/Extra/inner.dll"
printf 'good.dll\r\n\r\nmissing.dll\r\nnoreg.dll\r\nother.dll\r\nnotes.txt\r\n' >"$m/System/SYSTEM.TXT"

# Fonts: B.ttf and a.ttf swap places between a CD (B first) and this copy (a first); 21 fonts.
sans=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
cp /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf "$m/Fonts/B.ttf"
cp "$sans" "$m/Fonts/a.ttf"
for i in $(seq -w 1 19); do cp "$sans" "$m/Fonts/c$i.ttf"; done
head -c 3000 "$sans" >"$m/Fonts/zz-broken.ttf"
: >"$m/Fonts/empty.ttf"
cp "$sans" "$m/Fonts/Sub/inner.ttf"
{
  printf 'B.ttf\r\nDejaVu Sans Bold (TrueType)\r\na.ttf\r\nDejaVu Sans (TrueType)\r\n'
  printf 'c01.ttf\r\nWrong Name (TrueType)\r\n'
  printf 'c02.ttf\r\nDejaVu Sans (TrueType)\r\nc03.ttf\r\n'
} >"$m/Fonts/FONT.TXT"

# As a CD the pairs fit; the CD order differs from this copy's for B.ttf and a.ttf.
vendor_tool "$E2E_DIR/check-cd.txt" 2 check "$m" --target cd
grep -q '^warning: Fonts\\a.ttf: font 2 on a CD but "B.ttf" on an NTFS copy' "$E2E_DIR/check-cd.txt" ||
  e2e_fail "the CD check does not warn that a.ttf moves: $(grep Fonts "$E2E_DIR/check-cd.txt")"

ln -sfn "$m" "$WINEPREFIX/dosdevices/d:"
MEDIUM=$m
vendor_shell_folders
vendor_tool "$E2E_DIR/check.txt" 2 check "$m" --target ntfs --desktop "$VENDOR_DESKTOP" --start-menu "$VENDOR_START_MENU"
sed -n '/ warnings, /,$p' "$E2E_DIR/check.txt"
vendor_tool "$E2E_DIR/plan.json" 2 check "$m" --target ntfs --json --desktop "$VENDOR_DESKTOP" --start-menu "$VENDOR_START_MENU"

# Every warning and error, with the file it names.
python3 - "$E2E_DIR/plan.json" "$long70" "$long110" "$E2E_ARCH" "$other_machine" <<'PY' || e2e_fail "a warning is missing"
import json, sys
plan = json.load(open(sys.argv[1], encoding="utf-8"))
have = {(d["kind"], d["file"]) for d in plan["diagnostics"]}
want = [
    ("empty-file", "CAB\\empty.txt"), ("hidden", "CAB\\.hidden.txt"), ("hidden", "CAB\\secret.txt"),
    ("hidden", "CAB\\Locked"), ("long-name", "CAB\\" + sys.argv[2]), ("name-too-long", "CAB\\" + sys.argv[3]),
    ("no-uninstaller", "CAB\\uninstall.DAT"), ("no-uninstall-list", "CAB\\uninstall.lst"),
    ("no-autorun", "autorun.inf"),
    ("subfolder", "System\\Extra"), ("empty-file", "System\\empty.dll"), ("not-pe", "System\\broken.dll"),
    ("component-machine", "System\\other.dll"), ("not-listed", "System\\unlisted.dll"),
    ("subfolder", "Fonts\\Sub"), ("empty-file", "Fonts\\empty.ttf"), ("bad-font", "Fonts\\zz-broken.ttf"),
    ("too-many-fonts", "Fonts\\zz-broken.ttf"), ("font-list", "Fonts\\FONT.TXT"),
    ("font-pair", "Fonts\\a.ttf"), ("font-pair", "Fonts\\B.ttf"), ("font-pair", "Fonts\\c01.ttf"),
    ("font-pair", "Fonts\\c04.ttf"), ("font-order", "Fonts\\a.ttf"), ("font-order", "Fonts\\B.ttf"),
]
if sys.argv[4] == "win64":
    want.append(("setup-machine", "setup.exe"))  # the x86_64 build is not the one a disc carries
missing = [w for w in want if w not in have]
lines = [d["message"] for d in plan["diagnostics"] if d["file"] == "System\\SYSTEM.TXT"]
for needle in ("line 2 is empty", '"missing.dll", which is not in the System folder',
               '"noreg.dll", which has no DllRegisterServer', '"other.dll", built for ' + sys.argv[5],
               '"notes.txt", which is not a library'):
    if not any(needle in line for line in lines):
        missing.append(("system-list", needle))
if not any(d["kind"] == "long-path" for d in plan["diagnostics"]):
    missing.append(("long-path", "CAB\\ddd...\\deep-file.txt"))
for m in missing:
    print("missing: %s %s" % m)
print("%d diagnostics, all %d expected ones present" % (len(plan["diagnostics"]), len(want) + 6) if not missing else "")
sys.exit(1 if missing else 0)
PY

vendor_snapshot "$E2E_DIR/before"
vendor_install
vendor_snapshot "$E2E_DIR/after"
vendor_compare "$E2E_DIR/plan.json"
e2e_pass
