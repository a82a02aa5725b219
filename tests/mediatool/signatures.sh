#!/usr/bin/env bash
# mediatool check on programs signed at test time: a test CA and code-signing certificates made
# with openssl, a small i686 PE signed with osslsigncode, the check's lines for a signed, an
# unsigned, a SHA-1 signed and a changed program, with osslsigncode verify as the witness that
# the check's digest agrees.  Usage: signatures.sh MEDIATOOL WORK_DIR
set -euo pipefail

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
for tool in openssl osslsigncode python3; do
  command -v "$tool" >/dev/null || fail "$tool is not installed; this test needs it (tools/setup.sh installs it)"
done
mediatool=$(realpath "$1")
work=$2
[ -x "$mediatool" ] || fail "no mediatool at $mediatool"
rm -rf "$work"
mkdir -p "$work"
cd "$work"

# An i686 console program of one code section, laid out as a linker does (headers and section
# on 0x200 boundaries), which osslsigncode signs like any other.
python3 - program.exe <<'EOF'
import struct, sys
headers = bytearray(0x200)
headers[0:2] = b"MZ"
struct.pack_into("<I", headers, 0x3C, 0x40)
headers[0x40:0x44] = b"PE\0\0"
struct.pack_into("<HHIIIHH", headers, 0x44, 0x14C, 1, 0, 0, 0, 224, 0x0102)
struct.pack_into("<HBBIIIIIIIIIHHHHHHIIIIHHIIIIII", headers, 0x58,
                 0x10B, 2, 30, 0x200, 0, 0, 0x1000, 0x1000, 0x2000, 0x400000, 0x1000, 0x200,
                 5, 1, 0, 0, 5, 1, 0, 0x2000, 0x200, 0, 3, 0,
                 0x100000, 0x1000, 0x100000, 0x1000, 0, 16)
struct.pack_into("<8sIIIIIIHHI", headers, 0x58 + 224, b".text", 0x200, 0x1000, 0x200, 0x200,
                 0, 0, 0, 0, 0x60000020)
code = bytearray(b"\x31\xC0\xC3") + bytes(range(256)) * 2
open(sys.argv[1], "wb").write(bytes(headers) + bytes(code[:0x200]))
EOF

quiet() { "$@" >/dev/null 2>&1 || fail "$* failed"; }
quiet openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 \
  -subj "/CN=Signature Test CA" -addext "basicConstraints=critical,CA:TRUE" \
  -addext "keyUsage=critical,keyCertSign,cRLSign"
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >leaf.ext
leaf() {  # NAME SUBJECT
  quiet openssl req -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -utf8 -subj "$2"
  quiet openssl x509 -req -in "$1.csr" -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 \
    -extfile leaf.ext -out "$1.pem"
}
leaf vendor "/O=Example Org/CN=Example Vendor"
leaf persian "/CN=شرکت نمونه"
leaf org "/C=IR/O=Organization Only"
sign() {  # CERT DIGEST IN OUT
  quiet osslsigncode sign -certs "$1.pem" -key "$1.key" -h "$2" -in "$3" -out "$4"
}
sign vendor sha256 program.exe signed.exe
sign persian sha256 program.exe persian.exe
sign org sha256 program.exe org.exe
sign vendor sha1 program.exe sha1.exe
# One byte of the code changed after signing.
cp signed.exe changed.exe
printf '\x90' | dd of=changed.exe bs=1 seek=$((0x201)) conv=notrunc status=none

# The witness: osslsigncode's own digest accepts the signed files and refuses the changed one.
for f in signed.exe persian.exe org.exe; do
  osslsigncode verify -CAfile ca.pem -in "$f" >"verify-$f.txt" 2>&1 || fail "osslsigncode verify refuses $f: $(cat "verify-$f.txt")"
done
if osslsigncode verify -CAfile ca.pem -in changed.exe >verify-changed.txt 2>&1; then
  fail "osslsigncode verify accepts the changed copy: the test's change does not reach the digest"
fi

medium() {  # DIR SETUP MAIN [UNINSTALLER]; with its uninstall.lst, as the build writes one
  mkdir -p "$1/CAB"
  cp "$2" "$1/setup.exe"
  printf '[autorun]\r\nopen=setup.exe\r\n' >"$1/autorun.inf"
  cp "$3" "$1/CAB/Telmorquistane.DAT"
  [ -z "${4:-}" ] || cp "$4" "$1/CAB/uninstall.DAT"
  echo readme >"$1/CAB/readme.txt"
  "$mediatool" uninstall-list "$1" >/dev/null || fail "mediatool uninstall-list $1 failed"
}
check() {  # DIR EXPECTED_STATUS [--json]
  local status=0
  "$mediatool" check "$1" "${@:3}" >"$1.out" 2>"$1.err" || status=$?
  [ "$status" = "$2" ] || fail "mediatool check $1 exited $status, not $2: $(cat "$1.out" "$1.err")"
}
has_line() {  # FILE LINE
  grep -qxF -- "$2" "$1" || fail "$1 lacks the line: $2
$(cat "$1")"
}

# Signed, by an organization only, unsigned: lines of the report, no warning, exit 0.
medium good signed.exe org.exe program.exe
check good 0
has_line good.out 'setup.exe: signed by "Example Vendor" (SHA-256)'
has_line good.out 'CAB\Telmorquistane.DAT: signed by "Organization Only" (SHA-256)'
has_line good.out 'CAB\uninstall.DAT: not signed'
has_line good.out '0 warnings, 0 errors'

# Changed after signing: the line and a warning naming the file; SHA-1 is named, not compared;
# a Persian common name comes through as UTF-8.
medium bad persian.exe changed.exe sha1.exe
check bad 1
has_line bad.out 'setup.exe: signed by "شرکت نمونه" (SHA-256)'
has_line bad.out 'CAB\Telmorquistane.DAT: signed by "Example Vendor", but the file was changed after signing'
has_line bad.out 'CAB\uninstall.DAT: signed by "Example Vendor" (SHA-1, not compared with the file)'
has_line bad.out '1 warnings, 0 errors'
grep -q '^warning: CAB\\Telmorquistane.DAT: signed by "Example Vendor", but the file was changed' bad.out ||
  fail "no warning for the changed program: $(cat bad.out)"

# The same in JSON, with both digests of the changed program as osslsigncode prints them.
digest() {  # VERIFY_OUTPUT Current|Calculated
  sed -n "s/^$2 message digest *: *\([0-9A-F]*\).*/\1/p" "$1" | head -1 | tr A-F a-f
}
check bad 1 --json
python3 - bad.out "$(digest verify-changed.txt Current)" "$(digest verify-changed.txt Calculated)" <<'EOF' ||
import json, sys
report = json.load(open(sys.argv[1], encoding="utf-8"))
signed, calculated = sys.argv[2], sys.argv[3]
assert len(signed) == 64 and len(calculated) == 64 and signed != calculated, sys.argv[2:]
got = [(s["file"], s["state"], s["signer"], s["digest_algorithm"], s["digest_matches"], s["error"])
       for s in report["signatures"]]
want = [("setup.exe", "signed", "شرکت نمونه", "SHA-256", True, None),
        ("CAB\\Telmorquistane.DAT", "signed", "Example Vendor", "SHA-256", False, None),
        ("CAB\\uninstall.DAT", "signed", "Example Vendor", "SHA-1", None, None)]
assert got == want, got
changed = report["signatures"][1]
assert (changed["signed_digest"], changed["file_digest"]) == (signed, calculated), changed
assert report["signatures"][0]["signed_digest"] == report["signatures"][0]["file_digest"]
assert report["signatures"][2]["file_digest"] is None
assert [(d["kind"], d["file"]) for d in report["diagnostics"]] == \
    [("signature-mismatch", "CAB\\Telmorquistane.DAT")], report["diagnostics"]
EOF
  fail "the JSON signatures are not as expected: $(cat bad.out)"

# No main program: only the programs present get a line.
rm bad/CAB/Telmorquistane.DAT
check bad 1
[ "$(grep -cE '^[^ ]+: (signed|not signed|signature unreadable)' bad.out)" = 2 ] ||
  fail "not one line for each of the two programs present: $(cat bad.out)"

# A signature cut short: unreadable with a reason, never a crash.
python3 - signed.exe cut.exe <<'EOF'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
offset, size = struct.unpack_from("<II", data, 0x58 + 96 + 32)
del data[offset + size // 2:]
struct.pack_into("<I", data, offset, size // 2)
struct.pack_into("<I", data, 0x58 + 96 + 36, size // 2)
open(sys.argv[2], "wb").write(data)
EOF
medium cut cut.exe program.exe program.exe
check cut 0
grep -q '^setup.exe: signature unreadable: .' cut.out || fail "the cut signature is not unreadable: $(cat cut.out)"

echo "signatures: signed, organization only, Persian name, SHA-1, changed, cut short: all as expected"
