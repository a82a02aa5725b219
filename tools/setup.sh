#!/usr/bin/env bash
# Installs everything the builds and tests need on a Debian 12 machine, as root.
# Safe to run again: every step checks what is already there.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config dpkg-dev
  googletest libgtest-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  wine64 wine32:i386 fonts-wine xvfb xdotool imagemagick attr x11-utils
  libgif-dev libfreetype-dev libharfbuzz-dev fonts-noto-core fonts-dejavu-core
  clang-14 libclang-rt-14-dev llvm-14
  python3
  # disc images, mounted with fuseiso over the emulated drive (tools/cddrive, libfuse3; fuse3
  # provides the fuse that fuseiso asks for, and keeps fusermount as a name of fusermount3)
  xorriso fuse3 libfuse3-dev fuseiso
  # signing, and witnesses of signatures and shortcuts made by others
  openssl osslsigncode liblnk-utils
)

# giflib for the Windows target is built from Debian's source package, which needs
# a deb-src entry for the same mirror and suites as the binary entries.
add_source_entries() {
  if grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    return 1
  fi
  local added=1
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
      > /etc/apt/sources.list.d/installer-deb-src.sources
    added=0
  fi
  if [ -f /etc/apt/sources.list ] && grep -qE '^deb ' /etc/apt/sources.list; then
    grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' \
      > /etc/apt/sources.list.d/installer-deb-src.list
    added=0
  fi
  return $added
}

# The i686 build's tests run 32-bit Windows programs: Debian's 32-bit Wine loader (wine32) comes
# from the i386 architecture.
add_i386_architecture() {
  dpkg --print-foreign-architectures | grep -qx i386 && return 1
  dpkg --add-architecture i386
  return 0
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

need_update=0
add_source_entries && need_update=1
add_i386_architecture && need_update=1
[ ${#missing[@]} -gt 0 ] && need_update=1
# apt-get source needs the source lists even when every package is present.
[ -n "$(ls /var/lib/apt/lists/*_source_Sources* 2>/dev/null)" ] || need_update=1

# A mirror in the middle of a sync answers with an index of the wrong size ("Mirror sync in
# progress?"): try again a little later. If one index still fails, the install below says
# whether what did arrive is enough.
if [ $need_update = 1 ]; then
  for attempt in 1 2 3; do
    apt-get update -q && break
    [ $attempt = 3 ] && { echo "setup: apt-get update failed three times; going on with the indexes there are" >&2; break; }
    echo "setup: apt-get update failed (attempt $attempt); trying again in $((attempt * 15)) s" >&2
    sleep $((attempt * 15))
  done
fi
install_packages() {
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$@"
}
if [ ${#missing[@]} -gt 0 ] && ! install_packages "${missing[@]}"; then
  # The 32-bit Wine loader needs the i386 indexes, the security archive's among them; when a
  # mirror fails to deliver one, everything else is still installed and the i686 build's Wine
  # tests report themselves skipped with the reason (no 32-bit loader). Anything else missing
  # is a failure.
  native=() foreign=()
  for p in "${missing[@]}"; do
    if [[ $p == *:i386 ]]; then foreign+=("$p"); else native+=("$p"); fi
  done
  [ ${#foreign[@]} -gt 0 ] || exit 1
  [ ${#native[@]} -eq 0 ] || install_packages "${native[@]}"
  echo "setup: WARNING: ${foreign[*]} could not be installed (see above): without the 32-bit Wine loader the i686 build's Wine tests report themselves skipped" >&2
  incomplete=1
fi
# Debian's giflib source, built for the Windows target inside each build tree.
giflib_src=/var/cache/installer-src
if ! ls "$giflib_src"/giflib_*.dsc >/dev/null 2>&1; then
  mkdir -p "$giflib_src"
  (cd "$giflib_src" && apt-get source --download-only -q giflib)
fi
[ -n "${incomplete:-}" ] || echo "setup: all build and test packages present"
