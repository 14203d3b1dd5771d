#!/usr/bin/env bash
# Builds CEF's library-side glue (cef_standin/libcef/glue) from a CEF root laid
# out by make-root.sh, for the stand-in's libcef, and prints the archive's
# path. The glue depends on the root alone, so the archive is kept in a cache
# keyed by the root's glue, base and headers, the compiler and the flavour:
# CI pays for it once per root, not once per run.
#   scripts/build-cef-glue.sh CEF_ROOT [--i386 | --windows32] [--dcheck]
#   --windows32  for the Windows DLL: Winelib, 32-bit (cmake/winelib-i386.cmake)
# The cache is $QUILLMOSS_CACHE_DIR, else ${XDG_CACHE_HOME:-~/.cache}/quillmoss.
set -euo pipefail

usage() { echo "usage: $0 CEF_ROOT [--i386 | --windows32] [--dcheck]" >&2; exit 2; }
[ $# -ge 1 ] && [[ $1 != -* ]] || usage
src=$(cd "$(dirname "$0")/.." && pwd -P)
root=$(cd "$1" && pwd -P)
shift
i386=0
windows32=0
dcheck=0
for flag in "$@"; do
  case $flag in
    --i386) i386=1 ;;
    --windows32) windows32=1 ;;
    --dcheck) dcheck=1 ;;
    *) echo "$0: unknown flag $flag" >&2; usage ;;
  esac
done
[ -f "$root/library-side/libcef_dll/libcef_dll.cc" ] || {
  echo "$0: $root has no library-side/: lay it with make-root.sh" >&2
  exit 1
}

cmake_args=(-DCEF_ROOT="$root" -DCMAKE_BUILD_TYPE=Release
            -DGLUE_DCHECK_ALWAYS_ON=$([ $dcheck = 1 ] && echo ON || echo OFF))
[ $((i386 + windows32)) -le 1 ] || usage
toolchain=""
if [ $i386 = 1 ]; then
  toolchain="$src/cmake/i386-linux.cmake"
elif [ $windows32 = 1 ]; then
  toolchain="$src/cmake/winelib-i386.cmake"
  command -v wineg++ >/dev/null || {
    echo "$0: no wineg++: install wine32-tools:i386 and libwine-dev:i386 (scripts/install-deps.sh --windows-genuine)" >&2
    exit 1
  }
fi
[ -z "$toolchain" ] || cmake_args+=(-DCMAKE_TOOLCHAIN_FILE="$toolchain")
compiler=c++
[ $windows32 = 0 ] || compiler=wineg++

# What the objects depend on: the sources and headers they read, how they
# are built, and by which compiler.
key=$(
  cd "$root"
  {
    find library-side include libcef_dll/base libcef_dll/*.h libcef_dll/*.cc \
      -type f -print0 | sort -z | xargs -0 sha256sum
    sha256sum "$src/cef_standin/libcef/glue/CMakeLists.txt" \
      "$src/cmake/i386-linux.cmake" "$src/cmake/winelib-i386.cmake"
    "$compiler" --version 2>&1 | head -n 1
    echo "i386=$i386 windows32=$windows32 dcheck=$dcheck"
  } | sha256sum | cut -c1-16
)
cache=${QUILLMOSS_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/quillmoss}
archive="$cache/cef-glue/$key/libcef_glue.a"
if [ -f "$archive" ]; then
  echo "$archive"
  exit 0
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/quillmoss-cef-glue.XXXXXX")
trap 'rm -rf "$work"' EXIT
log="$work/build.log"
if ! { cmake -S "$src/cef_standin/libcef/glue" -B "$work/build" "${cmake_args[@]}" &&
       cmake --build "$work/build" -j"$(nproc)"; } >"$log" 2>&1; then
  tail -n 40 "$log" | sed 's/^/  | /' >&2
  echo "$0: building CEF's glue failed" >&2
  exit 1
fi
mkdir -p "$(dirname "$archive")"
# Moved into place whole, so a run that stops halfway leaves no archive.
cp "$work/build/libcef_glue.a" "$archive.tmp.$$"
mv "$archive.tmp.$$" "$archive"
echo "$archive"
