#!/usr/bin/env bash
# Installs what the build needs on Debian 12 and unpacks Debian's Node 18
# libnode (V8 10.2) into third_party/libnode. Debian's libnode-dev cannot be
# installed next to a Node.js 20 image, so its packages are unpacked instead.
set -euo pipefail
cd "$(dirname "$0")/.."

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi

packages=(cmake g++ make python3 python3-pytest file googletest libgtest-dev libgmock-dev
          libbenchmark-dev nlohmann-json3-dev clang libclang-rt-14-dev
          valgrind libbrotli1 libc-ares2 libicu72 libnghttp2-14 libssl3
          libuv1 zlib1g)
windows_packages=(g++-mingw-w64-i686-posix wine wine32:i386)

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ "${QUILLMOSS_SKIP_WINDOWS:-0}" != 1 ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  for p in "${windows_packages[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
fi
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi

prefix=third_party/libnode
if [ ! -f "$prefix/usr/include/node/node_version.h" ]; then
  tmp=$(mktemp -d)
  # apt-get download runs as the _apt user, which must write here; on a
  # machine whose package lists were never fetched, fetch them first.
  chmod 777 "$tmp"
  (cd "$tmp" && { apt-get download libnode-dev libnode108 libuv1-dev ||
    { $SUDO apt-get update -qq &&
      apt-get download libnode-dev libnode108 libuv1-dev; }; })
  mkdir -p "$prefix"
  for deb in "$tmp"/*.deb; do dpkg-deb -x "$deb" "$prefix"; done
  rm -rf "$tmp"
fi
echo "dependencies ready"
