#!/usr/bin/env bash
# Builds the compression libraries for 32-bit Windows from Debian's source
# packages (lzo2, libzstd) into <prefix>/lib and <prefix>/include, as static
# libraries. The sources come from `apt-get source`, which needs a deb-src
# entry for the release (scripts/install-win32-deps.sh adds one). A library
# already built is left alone.
#   scripts/build-win32-deps.sh <prefix>
set -euo pipefail
prefix=$(realpath -m "${1:?usage: build-win32-deps.sh <prefix>}")
host=i686-w64-mingw32
src="$prefix/src"
mkdir -p "$src" "$prefix/lib" "$prefix/include"

# Unpacks Debian's source package $1 in $src; prints the source directory.
unpack() {
  local package=$1 dir
  dir=$(find "$src" -maxdepth 1 -mindepth 1 -type d -name "$package-*" | head -n 1)
  if [ -z "$dir" ]; then
    (cd "$src" && apt-get source -qq "$package" >/dev/null 2>&1) ||
      { echo "build-win32-deps: apt-get source $package failed (is there a deb-src entry?)" >&2; exit 1; }
    dir=$(find "$src" -maxdepth 1 -mindepth 1 -type d -name "$package-*" | head -n 1)
  fi
  echo "$dir"
}

jobs=$(nproc)
if [ ! -f "$prefix/lib/liblzo2.a" ]; then
  dir=$(unpack lzo2)
  (cd "$dir" &&
   ./configure -q --host=$host --disable-shared --enable-static --prefix="$prefix" CFLAGS=-O2 &&
   make -s -j"$jobs" src/liblzo2.la &&
   make -s install-libLTLIBRARIES install-pkgincludeHEADERS) >"$src/lzo2.log" 2>&1 ||
    { cat "$src/lzo2.log" >&2; exit 1; }
  rm -f "$prefix/lib/liblzo2.la"
fi

if [ ! -f "$prefix/lib/libzstd.a" ]; then
  dir=$(unpack libzstd)
  # Single-threaded, without the legacy formats and the dictionary builder:
  # the writer and the reader use the plain one-shot calls.
  make -s -j"$jobs" -C "$dir/lib" libzstd.a CC=$host-gcc AR=$host-ar \
    ZSTD_LEGACY_SUPPORT=0 HAVE_THREAD=0 ZSTD_LIB_DICTBUILDER=0 ZSTD_LIB_DEPRECATED=0 \
    >"$src/zstd.log" 2>&1 || { cat "$src/zstd.log" >&2; exit 1; }
  cp "$dir/lib/libzstd.a" "$prefix/lib/"
  cp "$dir/lib/zstd.h" "$dir/lib/zstd_errors.h" "$prefix/include/"
fi
