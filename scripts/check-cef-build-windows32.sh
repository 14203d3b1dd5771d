# The --windows32 part of scripts/check-cef-build.sh, sourced by it (its
# variables and fail/show_log/configure_and_build/check_layers/
# remove_own_build): the genuine 32-bit Windows executable, built with
# MinGW-w64 against a Windows root, and the stand-in's libcef.dll that it
# runs on under wine.

[ -f "$root/Release/libcef.lib" ] && [ -f "$root/Release/libcef.def" ] &&
  [ -f "$root/include/internal/cef_win.h" ] ||
  fail "no Release/libcef.lib, Release/libcef.def or include/internal/cef_win.h: not a Windows 32-bit root (make-root.sh DIR --windows32)"
for tool in i686-w64-mingw32-g++-posix i686-w64-mingw32-nm wineg++ wine; do
  command -v "$tool" >/dev/null ||
    fail "no $tool: scripts/install-deps.sh --windows-genuine installs what the Windows build needs"
done

flavour=" for 32-bit Windows"
glue_flags=(--windows32)
cmake_args=(-DCEF_ROOT="$root" -DCMAKE_BUILD_TYPE=Release
            -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-i686.cmake")
if [ $dcheck = 1 ]; then
  glue_flags+=(--dcheck)
  cmake_args+=(-DQUILLMOSS_CEF_DCHECK=ON)
  flavour="$flavour with DCHECKs on"
fi
[ -d "$root/library-side" ] ||
  fail "no library-side/ in the root: the stand-in's libcef.dll cannot be built"
glue=$("$src/scripts/build-cef-glue.sh" "$root" "${glue_flags[@]}" 2>>"$log") ||
  { show_log; fail "CEF's library-side glue did not build for Winelib (log: $log)"; }
cmake_args+=(-DQUILLMOSS_CEF_GLUE="$glue")

configure_and_build

exe="$build/genuine/quillmoss_subprocess.exe"
dll="$build/genuine/libcef.dll"
[ -f "$exe" ] || fail "no executable at $exe"
[ -f "$dll" ] || fail "no stand-in libcef.dll at $dll"
[ -x "$build/quillmoss_subprocess" ] || fail "no launcher at $build/quillmoss_subprocess"

pe_check() {
  python3 "$src/tests/windows/pe_check.py" "$@" >>"$log" 2>&1 ||
    { show_log; fail "pe_check.py $1: see $log"; }
}
pe_check file-type "$exe"
pe_check cef-imports "$exe" "$root/Release/libcef.def"
pe_check resources "$exe" "$src/entry/quillmoss.manifest"
check_layers

symbols=$(i686-w64-mingw32-nm -C "$exe")
grep -q 'CToCpp' <<<"$symbols" || fail "CEF's wrapper library is not in it"
foreign=$(grep -E 'v8::|nlohmann|standin|node::|RendererDriver|[Ss]cenario' <<<"$symbols" |
  head -n 5 || true)
[ -z "$foreign" ] || fail "stand-in, V8 or JSON code linked in: $(echo "$foreign" | head -n 1)"

# The DLL: the functions of libcef.def, each defined in it, and no wide
# function of libstdc++ or glibc, which take 4-byte units where the DLL's
# wchar_t has 2.
def_names=$(awk 'NF && $1 != "LIBRARY" && $1 != "EXPORTS" { print $1 }' \
  "$root/Release/libcef.def" | sort -u)
dll_defined=$(nm -D --defined-only "$dll" | awk '{ print $3 }' | sort -u)
missing=$(comm -23 <(echo "$def_names") <(echo "$dll_defined") | head -n 5)
[ -z "$missing" ] || fail "libcef.dll does not define: $(echo $missing)"
wide=$(nm -D --undefined-only "$dll" | awk '{ print $2 }' | c++filt |
  grep -E 'wchar_t|^(wcs|wmem|wcr|wct|mbrtowc|mbsrtowcs|mbstowcs|mbtowc|wcstombs|wctomb|btowc|fgetw|fputw|getwc|putwc|ungetwc|tow|isw|vswprintf|swprintf|wprintf|fwprintf)' |
  head -n 5 || true)
[ -z "$wide" ] || fail "libcef.dll binds wide-character functions from outside: $(echo $wide)"

count=$(python3 "$src/tests/windows/pe_check.py" cef-imports "$exe" "$root/Release/libcef.def" |
  sed -n 's/^\([0-9]*\) functions imported from libcef.dll$/\1/p')
generated=$(grep -c 'NotImplemented(' "$build/standin-libcef/gen/not_implemented.cc" || true)
echo "CEF build check: passed against CEF $version$flavour: a PE32 GUI program" \
  "for Intel 80386 with the manifest as its only resource; $count imports from" \
  "libcef.dll, all in libcef.def, the others system DLLs; no stand-in, V8 or" \
  "JSON code; the stand-in's libcef.dll exports the $(echo "$def_names" | wc -l)" \
  "functions of libcef.def ($generated C++ functions of CEF it does not play" \
  "end the run) and binds no wide-character function from outside"
remove_own_build
