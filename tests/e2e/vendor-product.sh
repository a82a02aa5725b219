#!/usr/bin/env bash
# A vendor's own product, from a product file written in Persian to an installation: the file
# (Title and Group with the Persian yeh and ZWNJ, a Persian Folder, a Publisher full of quotes,
# backslashes and code) goes through tools/make-product.sh with a test certificate made here by
# openssl; the signed programs verify against the test CA and a changed copy does not; none of
# the sample's names is in a program on the disc or in the image; the image, mounted as a CD-ROM
# drive, installs through the wizard; the folder, the renamed programs, INSTALL.CFG's bytes,
# both shortcuts and the uninstall entry are the product's; a second start opens the product.
# Usage: vendor-product.sh BUILD_DIR. With the i686 build (the one a disc carries) the product
# is built for i686 and installs in a pure 32-bit prefix; with the x86_64 build, for x86_64.
source "$(dirname "$0")/lib.sh"
fusermount -u "$1/e2e/vendor-product/cdrom" 2>/dev/null || true
e2e_init vendor-product "$1" 0
source "$e2e_top/tests/e2e/vendor-lib.sh"
trap vendor_cleanup EXIT
for tool in openssl osslsigncode lnkinfo; do
  command -v "$tool" >/dev/null || e2e_fail "$tool is not installed (tools/setup.sh)"
done

src="$E2E_DIR/vendor"
mkdir -p "$src/cab/راهنما" "$src/fonts" "$src/system"
printf 'Daneshyar\r\n' >"$src/cab/readme.txt"
printf 'راهنمای نرم‌افزار\r\n' >"$src/cab/راهنما/شروع.txt"
cp /usr/share/fonts/truetype/noto/NotoNaskhArabic-Regular.ttf "$src/fonts/"
cp "$E2E_BUILD/tests/register_marker.dll" "$src/system/DaneshyarCore.dll"

# A test CA and a code-signing certificate whose key has a password, made for this run.
pki="$src/pki"
mkdir -p "$pki"
export DANESHYAR_KEY_PASSWORD='pass "word" \ 100%'
(
  cd "$pki"
  openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj '/CN=Daneshyar Test CA' \
    -addext 'basicConstraints=critical,CA:TRUE' -addext 'keyUsage=critical,keyCertSign,cRLSign'
  openssl req -newkey rsa:2048 -keyout vendor.key -passout env:DANESHYAR_KEY_PASSWORD -out vendor.csr \
    -subj '/CN=Daneshyar Vendor/O=Daneshyar'
  printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >leaf.ext
  openssl x509 -req -in vendor.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile leaf.ext -out vendor.pem
) >"$pki/openssl.log" 2>&1 || e2e_fail "openssl could not make the test certificates: $(cat "$pki/openssl.log")"

title='نرم‌افزار دانشیار'
group='آموزشی‌های من'
folder='دانشیار'
name='Daneshyar 2'
publisher='Ali "Q" \ 100% $(rm -rf /) ");system("x'
first_line='dsh "2026" \n %s ${HOME} `id`'
cat >"$src/product.ini" <<EOF
; Daneshyar: a product file written as a Persian vendor would
[product]
name = $name
Title = $title
GROUP = $group
Folder = $folder
Publisher = $publisher
Author = گروه دانشیار
ConfigFirstLine = $first_line
ConfigPublisher = انتشارات دانشیار

[Medium]
Product = cab
System = system
Fonts = fonts

[Signing]
Certificate = pki/vendor.pem
Key = pki/vendor.key
PasswordVariable = DANESHYAR_KEY_PASSWORD
EOF

out="$E2E_DIR/product"
arch=$([ "$E2E_ARCH" = win32 ] && echo i686 || echo x86_64)
tree=$E2E_ARCH
status=0
e2e_log "bash tools/make-product.sh $src/product.ini --out $out --arch $arch"
bash "$e2e_top/tools/make-product.sh" "$src/product.ini" --out "$out" --arch "$arch" >"$E2E_DIR/make-product.txt" 2>&1 ||
  status=$?
cat "$E2E_DIR/make-product.txt"
# The Persian yeh in three INSTALL.CFG lines is the check's only warning (and, for x86_64, the
# processor of setup.exe).
[ "$status" -eq 1 ] || e2e_fail "make-product.sh exited with $status, expected 1 (the code-page warnings)"
expected_warnings=$([ "$arch" = i686 ] && echo 3 || echo 4)
warnings=$(grep -c '^warning: ' "$out/check.txt" || true)
[ "$warnings" -eq "$expected_warnings" ] &&
  [ "$(grep -c '^warning: .*INSTALL.CFG line [356]: "ی" (U+06CC) is not in code page 1256; written as 0xED' "$out/check.txt")" -eq 3 ] ||
  e2e_fail "expected the code-page warnings of INSTALL.CFG lines 3, 5 and 6, got: $(grep '^warning' "$out/check.txt")"
for program in setup.exe "CAB\\$name.DAT" "CAB\\uninstall.DAT"; do
  grep -qxF "$program: signed by \"Daneshyar Vendor\" (SHA-256)" "$out/check.txt" ||
    e2e_fail "the check does not say that $program is signed by the vendor"
done
image="$out/DANESHYAR_2.iso"  # the label derived from Name
[ -f "$image" ] || e2e_fail "make-product.sh made no image $image"
grep -q "^image:  $image\$" "$E2E_DIR/make-product.txt" || e2e_fail "make-product.sh did not say where the image is"

# The three programs carry the vendor's signature: osslsigncode accepts them against the test
# CA, and rejects a copy with one byte changed.
medium="$out/medium"
for program in setup.exe "CAB/$name.DAT" CAB/uninstall.DAT; do
  osslsigncode verify -CAfile "$src/pki/ca.pem" -in "$medium/$program" >"$E2E_DIR/verify.log" 2>&1 ||
    e2e_fail "osslsigncode does not accept $program: $(tail -n 5 "$E2E_DIR/verify.log")"
  grep -q 'Daneshyar Vendor' "$E2E_DIR/verify.log" || e2e_fail "$program is not signed by the vendor"
done
cp "$medium/setup.exe" "$E2E_DIR/changed.exe"
printf 'X' | dd of="$E2E_DIR/changed.exe" bs=1 seek=1100 conv=notrunc 2>/dev/null
if osslsigncode verify -CAfile "$src/pki/ca.pem" -in "$E2E_DIR/changed.exe" >"$E2E_DIR/verify-changed.log" 2>&1; then
  e2e_fail "osslsigncode accepted a signed setup.exe with one byte changed"
fi
e2e_log "osslsigncode verifies the three signed programs and rejects a changed copy"

# None of the sample product's names in the programs on the disc or in the image, in any of
# the encodings a program holds text in.
python3 - "$medium/setup.exe" "$medium/CAB/$name.DAT" "$medium/CAB/uninstall.DAT" "$image" <<'PY' ||
import sys
names = ["Telmorquistane", "Telmorquistan", "Rivenholt", "Gradellovanthe", "Quenbrastow",
         "morrowfenlate", "Caldertiphon"]
found = []
for path in sys.argv[1:]:
    data = open(path, "rb").read().lower()
    for n in names:
        for encoded in (n.lower().encode("ascii"), n.lower().encode("utf-16-le")):
            if encoded in data:
                found.append(f"{path}: {n}")
if found:
    sys.exit("the sample's names are still there:\n" + "\n".join(found))
print(f"none of the {len(names)} sample names in {len(sys.argv) - 1} files")
PY
  e2e_fail "a program on the disc or the image carries the sample's names"

# The image as a CD-ROM drive, installed through the wizard with the product's own pictures.
E2E_PICTURES="$out/$tree/generated/pictures"
E2E_UNINSTALL_KEY="HKLM\\Software\\Microsoft\\windows\\CurrentVersion\\uninstall\\$name"
vendor_mount_cdrom "$image"
vendor_shell_folders
(cd "$MEDIUM" && exec "$INSTALLER_WINE" setup.exe) </dev/null >>"$E2E_DIR/setup.log" 2>&1 &
SETUP_PID=$!
e2e_wait_page welcome 30
e2e_shot welcome
e2e_key Return
e2e_wait_page install 15
e2e_shot install
e2e_key Return
e2e_wait 90 "the uninstall entry (the last step of the installation)" e2e_uninstall_entry_exists
e2e_wait_page finish 15
e2e_shot finish
e2e_key Return
e2e_wait_setup_exit 15

install_dir="C:\\$folder"
TARGET="$WINEPREFIX/drive_c/$folder"
[ -d "$TARGET" ] || e2e_fail "nothing installed in $install_dir"
expected=$(cd "$src/cab" && find . -type f; printf '%s\n' "./$name.EXE" ./Uninstall.EXE ./INSTALL.CFG ./uninstall.lst)
actual=$(cd "$TARGET" && find . -type f ! -name '*.started')
diff <(sort <<<"$expected") <(sort <<<"$actual") >"$E2E_DIR/tree.diff" ||
  e2e_fail "installed tree differs (expected < > installed): $(cat "$E2E_DIR/tree.diff")"
# The list of installed files that the uninstaller will read names exactly what is there.
diff <(sed -e '1s/^\xEF\xBB\xBF//' -e 's/\r$//' -e '/^;/d' -e 's|\\|/|g' -e 's|^|./|' "$TARGET/uninstall.lst" | sort) \
  <(sort <<<"$actual") >"$E2E_DIR/list.diff" ||
  e2e_fail "uninstall.lst differs from the installed files (listed < > installed): $(cat "$E2E_DIR/list.diff")"
cmp "$medium/CAB/$name.DAT" "$TARGET/$name.EXE" && cmp "$medium/CAB/uninstall.DAT" "$TARGET/Uninstall.EXE" &&
  cmp "$src/cab/راهنما/شروع.txt" "$TARGET/راهنما/شروع.txt" || e2e_fail "an installed file differs from the medium's"

# INSTALL.CFG: code page 1256, the Persian yeh written as the Arabic yeh, as Windows would.
python3 - "$TARGET/INSTALL.CFG" "$folder" "$name" "$title" "$first_line" <<'PY' || e2e_fail "INSTALL.CFG's bytes are not the product's"
import sys
path, folder, name, title, first_line = sys.argv[1:]
lines = [first_line, "", folder, name, title, "انتشارات دانشیار"]
expected = b"".join(l.replace("\u06cc", "\u064a").encode("cp1256") + b"\r\n" for l in lines)
actual = open(path, "rb").read()
if actual != expected:
    sys.exit(f"INSTALL.CFG is {actual!r}, expected {expected!r}")
print(f"INSTALL.CFG: {len(actual)} bytes as expected")
PY

e2e_expect_reg "$E2E_UNINSTALL_KEY" UninstallString "$install_dir\\Uninstall.exe"
e2e_expect_reg "$E2E_UNINSTALL_KEY" MainProgram "$install_dir\\$name.exe"
e2e_expect_reg "$E2E_UNINSTALL_KEY" DisplayName "$name"
e2e_expect_reg "$E2E_UNINSTALL_KEY" Publisher "$publisher"
e2e_expect_reg "$E2E_UNINSTALL_KEY" Author "گروه دانشیار"
installer_wine uninstaller --list 2>/dev/null | grep -qF "$name" || e2e_fail "Wine's Add/Remove Programs does not list $name"

# Both shortcuts under the Persian title; lnkinfo (liblnk) reads their target, and each starts
# the installed program in the installation folder.
desktop_link="$VENDOR_DESKTOP\\$title.lnk"
# The Start Menu's "Programs" folder is spelt that way in the prefix; Windows ignores the case
# of the installer's "programs", the Linux folder below Wine does not.
group_link=$(cd "$(e2e_unix_path "$VENDOR_START_MENU")" && find . -maxdepth 3 -ipath "./programs/$group/$title.lnk" | head -n 1)
[ -n "$group_link" ] || e2e_fail "no Start Menu shortcut below $VENDOR_START_MENU\\programs\\$group"
group_link="$VENDOR_START_MENU\\${group_link#./}"
group_link=${group_link//\//\\}
# The program names its marker after the path it was started by: a shortcut's ends in .EXE,
# the uninstall entry's MainProgram in .exe.
marker="$TARGET/$name.EXE.started"
for link in "$desktop_link" "$group_link"; do
  file=$(e2e_unix_path "$link")
  [ -s "$file" ] || e2e_fail "shortcut missing: $link"
  lnkinfo "$file" >"$E2E_DIR/lnkinfo.txt" 2>&1 || e2e_fail "lnkinfo cannot read $link"
  grep -qF "$name.EXE" "$E2E_DIR/lnkinfo.txt" || e2e_fail "$link does not point at $name.EXE: $(cat "$E2E_DIR/lnkinfo.txt")"
  rm -f "$marker"
  installer_wine "$E2E_BUILD/tests/open_link.exe" "$link" </dev/null >>"$E2E_DIR/start.log" 2>&1 ||
    e2e_fail "could not open $link"
  e2e_wait 20 "the program started by $link" test -s "$marker"
  started_in=$(iconv -f UTF-16LE -t UTF-8 "$marker")
  [ "${started_in%\\}" = "$install_dir" ] || e2e_fail "$link started the program in '$started_in'"
  e2e_log "$link started the program in $started_in"
  installer_wine taskkill /f /im "$name.EXE" >/dev/null 2>&1 || true
done

# A second start of the disc opens the installed product, and no page shows.
rm -f "$marker"
marker="$TARGET/$name.exe.started"
(cd "$MEDIUM" && exec "$INSTALLER_WINE" setup.exe) </dev/null >>"$E2E_DIR/setup.log" 2>&1 &
SETUP_PID=$!
e2e_wait 30 "the installed program, started by a second start" test -s "$marker"
e2e_wait_setup_exit 15
e2e_visible "$E2E_WELCOME_NAME" && e2e_fail "the wizard showed on a second start"
installer_wine taskkill /f /im "$name.EXE" >/dev/null 2>&1 || true
e2e_log "a second start opened $name.EXE"

# Removed through Wine's Add/Remove Programs with the product's own uninstaller: its Persian
# confirmation answered Yes with the keyboard; everything installed goes, the entry last.
rm -f "$TARGET"/*.started
confirmation_shows() {
  [ "$(e2e_picture_mismatch "$E2E_PICTURES/remove1.gif" $((E2E_WIDE_LEFT + 2)) "$E2E_TOP" 0 0 819 400)" -eq 0 ]
}
entry_gone() { ! e2e_uninstall_entry_exists; }
remover_ended() { ! kill -0 "$remove_pid" 2>/dev/null; }
installer_wine uninstaller --remove "$name" </dev/null >>"$E2E_DIR/uninstall.log" 2>&1 &
remove_pid=$!
e2e_wait 30 "the product's uninstaller" e2e_visible "حذف $title"
e2e_wait 15 "the confirmation picture" confirmation_shows
e2e_shot product-uninstall-confirmation
e2e_key Tab
e2e_key Return
e2e_wait 60 "the removal of the uninstall entry" entry_gone
sleep 0.5
e2e_shot product-uninstall-done
e2e_key Return
e2e_wait 30 "the uninstaller to end" remover_ended
e2e_wait 15 "the installation folder to go" test ! -e "$TARGET"
for link in "$desktop_link" "$group_link"; do
  [ ! -e "$(e2e_unix_path "$link")" ] || e2e_fail "shortcut still there after the removal: $link"
done
[ ! -e "$(dirname "$(e2e_unix_path "$group_link")")" ] || e2e_fail "the program group's folder is still there"
installer_wine uninstaller --list 2>/dev/null | grep -qF "$name" && e2e_fail "Add/Remove Programs still lists $name"
e2e_log "removed: the folder, both shortcuts, the group and the entry are gone"
e2e_pass
