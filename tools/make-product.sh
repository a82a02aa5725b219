#!/usr/bin/env bash
# A vendor's product, from its product file to a disc image, in one command:
#   bash tools/make-product.sh FILE [--out DIR] [--arch i686|x86_64]
#   DIR default: build/product/<Name>. --arch: the i686 build by default, the one a disc carries
#   (it starts on 32-bit and 64-bit Windows alike); x86_64 for a medium for 64-bit Windows only.
# Checks the product file (every problem at once, nothing built on one), builds the i686
# setup.exe with the product's names and pictures, signs setup.exe, the main program and the
# uninstaller when the file has a [Signing] section, lays out the medium with `mediatool build`,
# prints `mediatool check`'s report, makes the image with `mediatool image`, and says where
# everything is. Exit status as mediatool's: 0 done, 1 the check warns, 2 an error.
# Needs what `bash tools/setup.sh` installs (run it once, as root).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

usage() { echo "usage: bash tools/make-product.sh FILE [--out DIR] [--arch i686|x86_64]" >&2; exit 2; }
fail() { echo "make-product: $*" >&2; exit 2; }
[ $# -ge 1 ] || usage
file=$1
shift
out=
arch=i686
while [ $# -gt 0 ]; do
  case $1 in
    --out) [ $# -ge 2 ] || usage; out=$2; shift 2 ;;
    --out=*) out=${1#--out=}; shift ;;
    --arch) [ $# -ge 2 ] || usage; arch=$2; shift 2 ;;
    --arch=*) arch=${1#--arch=}; shift ;;
    *) usage ;;
  esac
done
case $arch in
  i686) tree=win32 ;;
  x86_64) tree=win64 ;;
  *) usage ;;
esac
[ -f "$file" ] || fail "$file: no such product file"
file=$(cd "$(dirname "$file")" && pwd)/$(basename "$file")
for tool in cmake ninja "$arch-w64-mingw32-g++-posix" osslsigncode xorriso python3; do
  command -v "$tool" >/dev/null || fail "$tool is missing: run 'sudo bash tools/setup.sh' once"
done

# The vendor tool and the product-file reader, from the native build.
echo "== the vendor tool (build/native)"
if [ ! -f "$top/build/native/build.ninja" ]; then
  (cd "$top" && cmake --preset native >/dev/null) || fail "configuring the native build failed"
fi
cmake --build "$top/build/native" --target mediatool >/dev/null || fail "building mediatool failed"
mediatool="$top/build/native/mediatool/mediatool"
productgen="$top/build/native/host-tools/productgen/productgen"

echo "== the product file $file"
"$productgen" "$file" || exit 2
get() { "$productgen" "$file" --get "$1"; }
name=$(get name)
label=$(get label)
[ -n "$out" ] || out="$top/build/product/$name"
mkdir -p "$out"
out=$(cd "$out" && pwd)

# The installer with this product's names and pictures. The build tree stays for the next run.
echo "== setup.exe for \"$name\" ($arch, $out/$tree)"
cmake -S "$top" -B "$out/$tree" -G Ninja --toolchain "$top/cmake/toolchain-mingw-$arch.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DINSTALLER_PRODUCT="$file" >"$out/configure.log" 2>&1 ||
  { cat "$out/configure.log" >&2; fail "configuring the $arch build failed (the product file's problems are above)"; }
main=$(get mainprogram)
uninstaller=$(get uninstaller)
targets=(setup)
[ -n "$main" ] || { targets+=(sample_main); main="$out/$tree/examples/programs/sample_main.exe"; }
[ -n "$uninstaller" ] || { targets+=(uninstall); uninstaller="$out/$tree/ui/uninstall.exe"; }
cmake --build "$out/$tree" --target "${targets[@]}" >"$out/build.log" 2>&1 ||
  { tail -n 30 "$out/build.log" >&2; fail "building setup.exe failed (log: $out/build.log)"; }
setup="$out/$tree/ui/setup.exe"

# Everything this run writes anew.
rm -rf "$out/medium" "$out/signed" "$out/check.txt" "$out/$label.iso" "$out/$label.iso.xorriso.log"

certificate=$(get certificate)
if [ -n "$certificate" ]; then
  key=$(get key)
  variable=$(get passwordvariable)
  mkdir -p "$out/signed"
  args=()
  case $certificate in
    *.p12|*.P12|*.pfx|*.PFX) args+=(-pkcs12 "$certificate") ;;
    *) args+=(-certs "$certificate" -key "$key") ;;
  esac
  if [ -n "$variable" ]; then
    [ -n "${!variable+set}" ] || fail "[Signing] PasswordVariable names $variable, which is not set"
  fi
  echo "== signing with $certificate (SHA-256; no time stamp: see the README)"
  sign() {
    local in=$1 signed=$2
    if [ -n "$variable" ]; then
      # The password reaches osslsigncode through a pipe, never on a command line.
      osslsigncode sign "${args[@]}" -readpass <(printf '%s' "${!variable}") -h sha256 -n "$(get title)" \
        -in "$in" -out "$signed" >"$out/sign.log" 2>&1
    else
      osslsigncode sign "${args[@]}" -h sha256 -n "$(get title)" -in "$in" -out "$signed" >"$out/sign.log" 2>&1
    fi || { cat "$out/sign.log" >&2; fail "signing $in failed"; }
    echo "  signed $signed"
  }
  sign "$setup" "$out/signed/setup.exe"
  sign "$main" "$out/signed/main.exe"
  sign "$uninstaller" "$out/signed/uninstall.exe"
  setup="$out/signed/setup.exe"
  main="$out/signed/main.exe"
  uninstaller="$out/signed/uninstall.exe"
fi

echo "== the medium"
build_args=(build --product-file "$file" --product "$(get product)" --main "$main" --uninstaller "$uninstaller"
            --setup "$setup" --target "$(get target)" --out "$out/medium")
system=$(get system)
fonts=$(get fonts)
[ -z "$system" ] || build_args+=(--system "$system")
[ -z "$fonts" ] || build_args+=(--fonts "$fonts")
"$mediatool" "${build_args[@]}" || exit 2

echo "== the check"
status=0
"$mediatool" check "$out/medium" --product-file "$file" --target "$(get target)" >"$out/check.txt" || status=$?
cat "$out/check.txt"
[ "$status" -le 1 ] || exit 2

echo "== the disc image"
"$mediatool" image "$out/medium" --label "$label" --out "$out/$label.iso" || exit 2

echo
echo "medium: $out/medium"
echo "image:  $out/$label.iso"
echo "report: $out/check.txt"
[ "$status" -eq 0 ] || echo "the check warns: see the report"
exit "$status"
