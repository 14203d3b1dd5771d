#!/usr/bin/env bash
# Builds the child-process executable against a CEF 81.3 binary distribution
# (Linux layout: Release/libcef.so) in a fresh build directory (BUILD_DIR new,
# empty, or made by this script before; any other is refused, never wiped),
# with CEF's own CMake files and flags, and checks what came out:
#   - it linked, against libcef.so and CEF's wrapper library;
#   - the system's sources read no header of this project outside entry/,
#     app/, convert/ and common/ (CEF's headers are the only other ones);
#   - everything it imports from libcef is a function of CEF's C API;
#   - no code of the stand-in, of V8 or of the JSON library went into it.
# Where the root has CEF's library-side glue (make-root.sh lays it), it also
# builds the stand-in's libcef (cmake/standin_libcef.cmake; the glue comes
# from scripts/build-cef-glue.sh's cache) and checks that it exports exactly
# the distribution's cef_* functions. BUILD_DIR/quillmoss_subprocess then
# starts the genuine executable (BUILD_DIR/genuine/) on it from any working
# directory, like the stand-in build: --type=renderer --scenario=FILE.
#   --i386    build for 32-bit x86 Linux (cmake/i386-linux.cmake), against a
#             32-bit build of the distribution's stub libcef
#   --dcheck  CEF's DCHECKs on (DCHECK_ALWAYS_ON) in the wrapper, the system
#             and the glue, as in a debug renderer: a failed one ends the run
#   --windows32
#             the program that ships: a Windows 32-bit root (make-root.sh DIR
#             --windows32), MinGW-w64 i686 with CEF's Windows definitions and
#             GCC's spelling of its flags (cmake/cef_mingw.cmake), linked
#             against Release/libcef.lib into BUILD_DIR/genuine/; checked to
#             be a PE32 GUI program for Intel 80386 whose libcef.dll imports
#             are all in Release/libcef.def and whose other imports are
#             system DLLs, with the manifest as its only resource, byte for
#             byte, and no stand-in, V8 or JSON code. Its libcef.dll is the
#             stand-in's, a Winelib DLL (cmake/standin_libcef_winelib.cmake)
#             that exports exactly libcef.def and binds no wide-character
#             function from outside; BUILD_DIR/quillmoss_subprocess runs the
#             executable on it under wine.
# Prints one line with the result; exits 1 on a failed check.
#   scripts/check-cef-build.sh CEF_ROOT [BUILD_DIR] [--i386 | --windows32] [--dcheck]
set -euo pipefail

usage() { echo "usage: $0 CEF_ROOT [BUILD_DIR] [--i386 | --windows32] [--dcheck]" >&2; exit 2; }
positional=()
i386=0
windows32=0
dcheck=0
for arg in "$@"; do
  case $arg in
    --i386) i386=1 ;;
    --windows32) windows32=1 ;;
    --dcheck) dcheck=1 ;;
    -*) echo "$0: unknown flag $arg" >&2; usage ;;
    *) positional+=("$arg") ;;
  esac
done
if [ ${#positional[@]} -lt 1 ] || [ ${#positional[@]} -gt 2 ] ||
   [ $((i386 + windows32)) -gt 1 ]; then
  usage
fi
src=$(cd "$(dirname "$0")/.." && pwd -P)
if [ ! -d "${positional[0]}" ]; then
  echo "CEF build check: FAILED: no CEF root at ${positional[0]}"
  exit 1
fi
root=$(cd "${positional[0]}" && pwd)
# BUILD_DIR starts fresh, but only a directory this script made is emptied:
# it holds the marker below. Any other non-empty one (the main build, the
# checkout) is refused.
marker=.made-by-check-cef-build
own_build=0
if [ ${#positional[@]} -eq 2 ]; then
  build=${positional[1]}
else
  build=$(mktemp -d "${TMPDIR:-/tmp}/quillmoss-cef-build.XXXXXX")
  own_build=1
fi
if [ -e "$build" ] && { [ ! -d "$build" ] || [ -L "$build" ]; }; then
  echo "CEF build check: refused: $build is not a directory (a link or a file); name a new directory" >&2
  exit 2
fi
if [ -n "$(ls -A "$build" 2>/dev/null)" ]; then
  if [ ! -f "$build/$marker" ]; then
    echo "CEF build check: refused: $build is not empty and was not made by this script (no $marker in it); name a new or empty directory" >&2
    exit 2
  fi
  rm -rf "$build"
fi
mkdir -p "$build"
touch "$build/$marker"
build=$(cd "$build" && pwd -P)
# The temporary build directory goes when the check passed.
remove_own_build() {
  [ "$own_build" = 0 ] || [ ! -f "$build/$marker" ] || rm -rf "$build"
}

fail() {
  echo "CEF build check: FAILED against $root: $*"
  exit 1
}

[ -f "$root/cmake/FindCEF.cmake" ] ||
  fail "no cmake/FindCEF.cmake: not a CEF binary distribution root"
version=$(sed -n 's/^#define CEF_VERSION "\(.*\)"$/\1/p' "$root/include/cef_version.h")
[[ "$version" == 81.3.* ]] || fail "CEF_VERSION is '$version', not 81.3"

log="$build/check.log"
show_log() { tail -n 40 "$log" | sed 's/^/  | /' >&2; }

# Configures and builds BUILD_DIR from cmake_args, the output in the log.
configure_and_build() {
  if ! cmake -S "$src" -B "$build" "${cmake_args[@]}" >"$log" 2>&1; then
    show_log
    fail "configure failed (log: $log)"
  fi
  if ! cmake --build "$build" -j"$(nproc)" >>"$log" 2>&1; then
    show_log
    fail "build failed (log: $log)"
  fi
}

check_layers() {
  # Every project header the system's objects were compiled with, from the
  # compiler's own dependency files, the layer roots' links resolved (each
  # system folder's object library and the entry point's, quillmoss_*).
  deps=$(find "$build"/CMakeFiles/quillmoss_*.dir \( -name '*.o.d' -o -name '*.obj.d' \) -print0 |
    xargs -0 cat | tr -s ' \\' '\n\n' | grep -E '^/' |
    xargs -r realpath -m -- | sort -u)
  [ -n "$(grep "^$src/entry/" <<<"$deps" || true)" ] ||
    fail "no dependency files of the system's objects under $build/CMakeFiles"
  outside=$(grep "^$src/" <<<"$deps" |
    grep -v -E "^$src/(entry|app|convert|common)/" || true)
  [ -z "$outside" ] || fail "system sources include project headers outside entry/, app/, convert/, common/: $(echo $outside)"
}

if [ $windows32 = 1 ]; then
  source "$src/scripts/check-cef-build-windows32.sh"
  exit 0
fi

libcef="$root/Release/libcef.so"
[ -f "$libcef" ] || fail "no Release/libcef.so: not a Linux root (a Windows one is checked with --windows32)"

cmake_args=(-DCEF_ROOT="$root" -DCMAKE_BUILD_TYPE=Release)
flavour=""
if [ $i386 = 1 ]; then
  # The distribution's stub libcef is 64-bit: a root whose Release/ holds a
  # 32-bit build of the same stub, everything else linked to the original.
  root32="$build/cef-root-i386"
  mkdir -p "$root32/Release"
  for entry in "$root"/*; do
    [ "$(basename "$entry")" = Release ] || ln -s "$entry" "$root32/"
  done
  cc -m32 -std=c99 -O1 -fPIC -fvisibility=hidden -DBUILDING_CEF_SHARED -I"$root" \
    -shared -o "$root32/Release/libcef.so" "$root/Release/stub-src/libcef_stub.c" \
    -Wl,-soname,libcef.so -Wl,--version-script,"$src/cef_standin/libcef/exports.map" \
    >>"$log" 2>&1 || fail "no 32-bit stub libcef (is gcc-multilib installed?)"
  root=$root32
  libcef="$root/Release/libcef.so"
  cmake_args=(-DCEF_ROOT="$root" -DCMAKE_BUILD_TYPE=Release
              -DCMAKE_TOOLCHAIN_FILE="$src/cmake/i386-linux.cmake")
  flavour=" for i386"
fi
glue_flags=()
[ $i386 = 1 ] && glue_flags+=(--i386)
if [ $dcheck = 1 ]; then
  glue_flags+=(--dcheck)
  cmake_args+=(-DQUILLMOSS_CEF_DCHECK=ON)
  flavour="$flavour with DCHECKs on"
fi
libcef_note="no library-side glue in the root: the stand-in's libcef not built"
standin_libcef=0
if [ -d "$root/library-side" ]; then
  glue=$("$src/scripts/build-cef-glue.sh" "$root" "${glue_flags[@]}" 2>>"$log") ||
    { show_log; fail "CEF's library-side glue did not build (log: $log)"; }
  cmake_args+=(-DQUILLMOSS_CEF_GLUE="$glue")
  standin_libcef=1
fi

configure_and_build

exe="$build/quillmoss_subprocess"
[ $standin_libcef = 0 ] || exe="$build/genuine/quillmoss_subprocess"
[ -x "$exe" ] || fail "no executable at $exe"
# Captured first: grep -q closing a pipe early trips pipefail.
dynamic=$(readelf -d "$exe")
symbols=$(nm -C "$exe")
grep -q 'NEEDED.*\[libcef\.so\]' <<<"$dynamic" || fail "not linked against libcef.so"
# The C++ API reaches libcef only through the wrapper's CToCpp/CppToC glue.
grep -q 'CToCpp' <<<"$symbols" || fail "CEF's wrapper library is not in it"

check_layers

# C API functions the distribution declares.
declared=$(grep -rhoE 'CEF_EXPORT[^(;]*\(' "$root/include" |
  grep -oE '[A-Za-z_][A-Za-z0-9_]*[[:space:]]*\($' | tr -d ' (' | sort -u)
exported=$(nm -D --defined-only "$libcef" | awk '{print $3}' | sed 's/@.*//' | sort -u)
imported=$(nm -D --undefined-only "$exe" | awk '{print $2}' | sed 's/@.*//' | sort -u)
from_libcef=$(comm -12 <(echo "$imported") <(echo "$exported"))
[ -n "$from_libcef" ] || fail "imports nothing from libcef"
not_c_api=$(comm -23 <(echo "$from_libcef") <(echo "$declared"))
[ -z "$not_c_api" ] || fail "imports from libcef what is not CEF's C API: $(echo $not_c_api)"

if [ $standin_libcef = 1 ]; then
  ours="$build/standin-libcef/libcef.so"
  [ -f "$ours" ] || fail "no stand-in libcef at $ours"
  [ -x "$build/quillmoss_subprocess" ] || fail "no launcher at $build/quillmoss_subprocess"
  ours_exported=$(nm -D --defined-only "$ours" | awk '{print $3}' | sed 's/@.*//' | sort -u)
  # The stub marks itself with one export of its own.
  cef_exported=$(grep -v '^cef_stub_libcef_marker$' <<<"$exported")
  differ=$(diff <(echo "$cef_exported") <(echo "$ours_exported") | grep '^[<>]' | head -n 5 || true)
  [ -z "$differ" ] || fail "the stand-in's libcef does not export exactly CEF's C API: $(echo $differ)"
  generated=$(grep -c 'NotImplemented(' "$build/standin-libcef/gen/not_implemented.cc" || true)
  libcef_note="the stand-in's libcef exports the $(echo "$cef_exported" | wc -l) functions of CEF's C API ($generated C++ functions of CEF it does not play end the run)"
fi

foreign=$(grep -E 'v8::|nlohmann|standin|node::|RendererDriver|[Ss]cenario' <<<"$symbols" |
  head -n 5 || true)
[ -z "$foreign" ] || fail "stand-in, V8 or JSON code linked in: $(echo "$foreign" | head -n 1)"
if grep -E 'NEEDED.*(libnode|libv8|libuv)' <<<"$dynamic" >/dev/null; then
  fail "linked against a JavaScript engine"
fi

count=$(echo "$from_libcef" | wc -l)
echo "CEF build check: passed against CEF $version$flavour: linked with CEF's flags;" \
  "$count imports from libcef, all CEF C API functions; no stand-in, V8 or" \
  "JSON code; $libcef_note"
remove_own_build
