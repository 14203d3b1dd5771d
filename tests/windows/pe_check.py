#!/usr/bin/env python3
"""Checks the genuine Windows executable's PE image: its type, resources and
imports (scripts/check-cef-build.sh --windows32 runs it).

Usage: pe_check.py file-type EXE
       pe_check.py resources EXE MANIFEST
       pe_check.py cef-imports EXE LIBCEF_DEF
Exits 0 when the check passes, 1 with the reasons on stderr when it fails.
"""

import os
import shutil
import struct
import subprocess
import sys

RT_MANIFEST = 24
LANG_EN_US = 1033

IMAGE_FILE_MACHINE_I386 = 0x14C
PE32_MAGIC = 0x10B
DIR_IMPORT = 1
DIR_RESOURCE = 2
DIR_DELAY_IMPORT = 13
# ld aligns the resource data.
MAX_RESOURCE_PADDING = 8

# What Windows itself provides; anything else would have to ship beside the
# executable. Lower case, without ".dll".
SYSTEM_DLLS = {
    "advapi32", "bcrypt", "comctl32", "comdlg32", "crypt32", "dbghelp",
    "dwmapi", "gdi32", "imm32", "kernel32", "msvcrt", "ntdll", "ole32",
    "oleaut32", "psapi", "rpcrt4", "secur32", "setupapi", "shcore", "shell32",
    "shlwapi", "user32", "userenv", "uxtheme", "version", "winmm", "ws2_32",
}
SYSTEM_DLL_PREFIXES = ("api-ms-win-",)


class PeError(Exception):
  pass


class PeImage:
  """The parts of a 32-bit PE image that the checks need."""

  def __init__(self, data):
    self.data = data
    if data[:2] != b"MZ":
      raise PeError("no MZ header")
    (pe_offset,) = self._unpack("<I", 0x3C)
    if data[pe_offset:pe_offset + 4] != b"PE\0\0":
      raise PeError("no PE signature at 0x%x" % pe_offset)
    coff = pe_offset + 4
    self.machine, section_count = self._unpack("<HH", coff)
    (optional_size,) = self._unpack("<H", coff + 16)
    optional = coff + 20
    (magic,) = self._unpack("<H", optional)
    if self.machine != IMAGE_FILE_MACHINE_I386 or magic != PE32_MAGIC:
      raise PeError("not a 32-bit x86 image (machine 0x%x, magic 0x%x)" %
                    (self.machine, magic))
    (self.subsystem,) = self._unpack("<H", optional + 68)
    (dir_count,) = self._unpack("<I", optional + 92)
    self.directories = [
        self._unpack("<II", optional + 96 + 8 * i) for i in range(dir_count)
    ]
    self.sections = []
    for i in range(section_count):
      header = optional + optional_size + 40 * i
      virtual_size, rva, raw_size, raw_offset = self._unpack("<IIII",
                                                             header + 8)
      self.sections.append((rva, max(virtual_size, raw_size), raw_offset))

  def _unpack(self, fmt, offset):
    size = struct.calcsize(fmt)
    if offset < 0 or offset + size > len(self.data):
      raise PeError("read past the end of the file at 0x%x" % offset)
    return struct.unpack_from(fmt, self.data, offset)

  def directory(self, index):
    return self.directories[index] if index < len(self.directories) else (0, 0)

  def offset(self, rva):
    for start, size, raw_offset in self.sections:
      if start <= rva < start + size:
        return raw_offset + rva - start
    raise PeError("RVA 0x%x is in no section" % rva)

  def u32(self, rva):
    return self._unpack("<I", self.offset(rva))[0]

  def c_string(self, rva):
    start = self.offset(rva)
    end = self.data.find(b"\0", start)
    if end < 0:
      raise PeError("unterminated string at RVA 0x%x" % rva)
    return self.data[start:end].decode("ascii", "replace")

  def resources(self):
    """Every resource as (type, name, language, bytes), and how many bytes of
    the resource directory the tree leaves unused."""
    root, size = self.directory(DIR_RESOURCE)
    if not root or not size:
      return [], 0
    found = []
    tree_end = root

    def used(rva, length):
      nonlocal tree_end
      tree_end = max(tree_end, rva + length)

    def entries(directory_rva):
      named, ids = self._unpack("<HH", self.offset(directory_rva) + 12)
      used(directory_rva, 16 + 8 * (named + ids))
      for i in range(named + ids):
        name, target = self._unpack("<II",
                                    self.offset(directory_rva) + 16 + 8 * i)
        if name & 0x80000000:
          name_rva = root + (name & 0x7FFFFFFF)
          (length,) = self._unpack("<H", self.offset(name_rva))
          used(name_rva, 2 + 2 * length)
          start = self.offset(name_rva) + 2
          name = self.data[start:start + 2 * length].decode("utf-16-le")
        yield name, target

    def walk(directory_rva, path):
      for name, target in entries(directory_rva):
        if target & 0x80000000:
          if len(path) >= 2:
            raise PeError("resource tree deeper than three levels")
          walk(root + (target & 0x7FFFFFFF), path + [name])
          continue
        if len(path) != 2:
          raise PeError("resource data at level %d" % (len(path) + 1))
        data_rva, data_size = self._unpack("<II", self.offset(root + target))
        used(root + target, 16)
        used(data_rva, data_size)
        start = self.offset(data_rva)
        found.append((path[0], path[1], name,
                      self.data[start:start + data_size]))

    walk(root, [])
    return found, root + size - tree_end

  def imported_functions(self):
    """{DLL name: [function names]} of the import table; an import by
    ordinal is "#ordinal"."""
    functions = {}
    rva, size = self.directory(DIR_IMPORT)
    while rva and size:
      lookup_rva, name_rva = self.u32(rva), self.u32(rva + 12)
      if not name_rva and not self.u32(rva + 16):
        break
      names = functions.setdefault(self.c_string(name_rva), [])
      # The lookup table, or the address table where it is missing.
      entry = lookup_rva or self.u32(rva + 16)
      while self.u32(entry):
        value = self.u32(entry)
        if value & 0x80000000:
          names.append("#%d" % (value & 0xFFFF))
        else:
          names.append(self.c_string(value + 2))  # after the 2-byte hint
        entry += 4
      rva += 20
    return functions

  def imported_dlls(self):
    """Names of the DLLs in the import and delay-import tables."""
    dlls = []
    rva, size = self.directory(DIR_IMPORT)
    while rva and size:
      name_rva = self.u32(rva + 12)
      if not name_rva and not self.u32(rva + 16):
        break
      dlls.append(self.c_string(name_rva))
      rva += 20
    rva, size = self.directory(DIR_DELAY_IMPORT)
    while rva and size:
      attributes, name = self.u32(rva), self.u32(rva + 4)
      if not name:
        break
      # Old-style descriptors hold addresses, not RVAs.
      if not attributes & 1:
        raise PeError("delay-import descriptor without RVAs")
      dlls.append(self.c_string(name))
      rva += 32
    return dlls


def is_system_dll(name):
  base = name.lower()
  if base.endswith(".dll"):
    base = base[:-4]
  return base in SYSTEM_DLLS or base.startswith(SYSTEM_DLL_PREFIXES)


def check_file_type(exe):
  file_tool = shutil.which("file")
  if not file_tool:
    return ["the file tool is not installed (scripts/install-deps.sh installs it)"]
  output = subprocess.run([file_tool, "-b", exe], capture_output=True,
                          text=True, check=False).stdout.strip()
  print("file:", output)
  errors = []
  for expected in ("PE32 executable (GUI) Intel 80386", "for MS Windows"):
    if expected not in output:
      errors.append("file does not say %r" % expected)
  return errors


def check_resources(exe, manifest):
  with open(manifest, "rb") as f:
    expected = f.read()
  resources, unused = PeImage(read(exe)).resources()
  for index, (kind, name, language, data) in enumerate(resources):
    print("resource %d: type %s, name %s, language %s, %d bytes" %
          (index, kind, name, language, len(data)))
  if len(resources) != 1:
    return ["%d resources instead of exactly one" % len(resources)]
  kind, name, language, data = resources[0]
  errors = []
  # ld appends a second object's resource tree without merging it in, e.g. a
  # default manifest of the toolchain's, where no directory points to it.
  if unused > MAX_RESOURCE_PADDING:
    errors.append("the resource directory holds %d bytes outside its tree "
                  "(another object's resources?)" % unused)
  if (kind, name, language) != (RT_MANIFEST, 1, LANG_EN_US):
    errors.append("the resource is type %s / id %s / language %s, not "
                  "%d / 1 / %d" % (kind, name, language, RT_MANIFEST,
                                   LANG_EN_US))
  if data != expected:
    errors.append("the embedded manifest (%d bytes) differs from %s "
                  "(%d bytes)" % (len(data), manifest, len(expected)))
  return errors


def check_cef_imports(exe, libcef_def):
  """The genuine build: from libcef.dll only functions of libcef.def, from
  anything else only system DLLs."""
  with open(libcef_def) as f:
    exported = {line.split()[0] for line in f
                if line.strip() and line.split()[0] not in ("LIBRARY", "EXPORTS")}
  image = PeImage(read(exe))
  functions = image.imported_functions()
  dlls = image.imported_dlls()  # delay-loaded ones too
  print("imports:", ", ".join(dlls))
  errors = []
  libcef = [names for dll, names in functions.items()
            if dll.lower() == "libcef.dll"]
  if not libcef:
    errors.append("nothing imported from libcef.dll")
  else:
    print("%d functions imported from libcef.dll" % len(libcef[0]))
    errors += ["imports %s from libcef.dll, which libcef.def does not export"
               % name for name in libcef[0] if name not in exported]
  errors += ["imports %s, which is neither libcef.dll nor a system DLL" % dll
             for dll in dlls
             if dll.lower() != "libcef.dll" and not is_system_dll(dll)]
  return errors


def read(path):
  with open(path, "rb") as f:
    return f.read()


def main(argv):
  checks = {
      "file-type": (check_file_type, 1),
      "resources": (check_resources, 2),
      "cef-imports": (check_cef_imports, 2),
  }
  if len(argv) < 2 or argv[1] not in checks or \
     len(argv) != 2 + checks[argv[1]][1] or \
     any(arg.startswith("-") for arg in argv[2:]):
    print(__doc__, file=sys.stderr)
    return 2
  check, _ = checks[argv[1]]
  exe = argv[2]
  if not os.path.isfile(exe):
    print("FAIL: %s does not exist; build the Windows executable first" % exe)
    return 1
  try:
    errors = check(*argv[2:])
  except PeError as e:
    errors = ["%s is not a readable PE32 image: %s" % (exe, e)]
  for error in errors:
    print("FAIL:", error)
  return 1 if errors else 0


if __name__ == "__main__":
  sys.exit(main(sys.argv))
