#!/usr/bin/env bash
# Installs what is missing from Debian 12's packages and unpacks Debian's
# Node 18 libnode (V8 10.2) into third_party/libnode. Debian's libnode-dev
# cannot be installed next to a Node.js 20 image, so its packages are
# unpacked instead.
#   scripts/install-deps.sh --example
#                                    what the executable's build needs alone
#                                    (scripts/run-example.sh): g++, CMake,
#                                    make, nlohmann-json and libnode's runtime
#                                    libraries
#   scripts/install-deps.sh          also what the tests, the sanitizer
#                                    build, the benchmarks and the fuzzers
#                                    need (scripts/test.sh)
#   scripts/install-deps.sh --i386   also the 32-bit build's: g++-multilib,
#                                    GoogleTest and libnode's runtime libraries
#                                    for i386, libnode unpacked into
#                                    third_party/libnode-i386
#   scripts/install-deps.sh --windows-genuine
#                                    also what the genuine Windows build and
#                                    its stand-in libcef.dll need: the i386
#                                    set above, wine's Winelib compiler and
#                                    headers (wine32-tools:i386,
#                                    libwine-dev:i386)
# When the native and the i386 package lists disagree on a library both
# architectures need, scripts/twin_pins.py holds the pair at a version both
# offer (said in one line) or says why none fits.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() { echo "usage: $0 [--example | [--i386] [--windows-genuine]]" >&2; exit 2; }
example=0
i386=0
windows_genuine=0
for flag in "$@"; do
  case $flag in
    --example) example=1 ;;
    --i386) i386=1 ;;
    --windows-genuine) i386=1; windows_genuine=1 ;;
    *) usage ;;
  esac
done
if [ "$example" = 1 ] && [ $# -gt 1 ]; then usage; fi

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi

# The executable against the stand-in: the compiler, the build tools, the
# JSON library and what libnode.so.108 loads.
packages=(cmake g++ make nlohmann-json3-dev
          libbrotli1 libc-ares2 libicu72 libnghttp2-14 libssl3 libuv1 zlib1g)
test_packages=(python3 python3-pytest python3-venv python3-wheel python3-mypy file
               googletest libgtest-dev libgmock-dev libbenchmark-dev
               clang libclang-rt-14-dev valgrind
               # CEF's standard libraries, linked by the build against a CEF root
               libx11-dev)
if [ "$example" = 0 ]; then packages+=("${test_packages[@]}"); fi
windows_packages=(g++-mingw-w64-i686-posix wine wine32:i386)
# The stand-in's libcef.dll is Winelib code: an i386 ELF library built by
# winegcc with wine's Windows headers, which wine loads as a DLL.
winelib_packages=(wine32-tools:i386 libwine-dev:i386)
# The 32-bit build: Debian's gcc finds the :i386 packages' headers and
# libraries under -m32 (multiarch); libnode108 itself is unpacked below.
i386_packages=(g++-multilib libgtest-dev:i386 libgmock-dev:i386 libstdc++6:i386
               libbrotli1:i386 libc-ares2:i386 libicu72:i386 libnghttp2-14:i386
               libssl3:i386 libuv1:i386 zlib1g:i386
               # the genuine build for i386 (scripts/check-cef-build.sh --i386)
               libx11-dev:i386)

# A name without an architecture is ambiguous to dpkg once its :i386 twin is
# installed too, so ask for the native one as well.
native_arch=$(dpkg --print-architecture)
installed() { dpkg -s "$1" >/dev/null 2>&1 || dpkg -s "$1:$native_arch" >/dev/null 2>&1; }
extra=()
if [ "$i386" = 1 ]; then extra+=("${i386_packages[@]}"); fi
if [ "$windows_genuine" = 1 ]; then
  extra+=("${windows_packages[@]}" "${winelib_packages[@]}")
fi
if [ ${#extra[@]} -gt 0 ] &&
   ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
# apt_install PACKAGE...: apt-get install, unless the native and the i386
# lists disagree on a library both architectures need; then with each such
# pair held at a version both lists offer (downgrades allowed), or not at all.
apt_install() {
  if apt-get install -s "$@" >/dev/null 2>&1 || ! command -v python3 >/dev/null ||
     ! dpkg --print-foreign-architectures | grep -qx i386; then
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "$@"
    return
  fi
  local prefs status=0
  prefs=$(mktemp)
  python3 scripts/twin_pins.py --preferences "$prefs" "$@" >&2 &&
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --allow-downgrades \
      -o Dir::Etc::Preferences="$prefs" "$@" || status=$?
  rm -f "$prefs"
  return $status
}

missing=()
missing_extra=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
for p in "${extra[@]}"; do installed "$p" || missing_extra+=("$p"); done
if [ ${#missing[@]} -gt 0 ] || [ ${#missing_extra[@]} -gt 0 ]; then
  # A mirror caught mid-sync fails the update but keeps the old lists, from
  # which the install below may still succeed; it fails if they cannot serve.
  $SUDO apt-get update -qq ||
    echo "install-deps: apt-get update failed; going on with the package lists at hand" >&2
  # The native set first: it brings python3, which twin_pins.py needs when
  # the i386 set meets lists that disagree.
  [ ${#missing[@]} = 0 ] || apt_install "${missing[@]}"
  [ ${#missing_extra[@]} = 0 ] || apt_install "${missing_extra[@]}"
fi

# unpack_libnode PREFIX [:ARCH]
unpack_libnode() {
  local prefix=$1 arch=${2:-} tmp deb
  [ -f "$prefix/usr/include/node/node_version.h" ] && return 0
  local debs=("libnode-dev$arch" "libnode108$arch" "libuv1-dev$arch")
  tmp=$(mktemp -d)
  # apt-get download runs as the _apt user, which must write here; on a
  # machine whose package lists were never fetched, fetch them first.
  chmod 777 "$tmp"
  (cd "$tmp" && { apt-get download "${debs[@]}" ||
    { $SUDO apt-get update -qq && apt-get download "${debs[@]}"; }; })
  mkdir -p "$prefix"
  for deb in "$tmp"/*.deb; do dpkg-deb -x "$deb" "$prefix"; done
  rm -rf "$tmp"
}
unpack_libnode third_party/libnode
if [ "$i386" = 1 ]; then unpack_libnode third_party/libnode-i386 :i386; fi
echo "dependencies ready"
