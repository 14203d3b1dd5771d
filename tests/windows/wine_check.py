#!/usr/bin/env python3
"""Runs the genuine Windows executable under wine and checks what only
Windows does: the command line as Windows passes it to a child process,
process types other than the renderer and their exit codes, the high-DPI
switch, and the application user-model id, read back from the shell.

Usage: wine_check.py EXE EXAMPLES_DIR
EXE is the genuine build's (scripts/check-cef-build.sh --windows32), with the
stand-in's libcef.dll beside it. Exits 0 when every row passes, 1 when one
fails, 77 (skip) only when wine is not installed at all.
"""

import argparse
import collections
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile

RUN_TIMEOUT = 60
SETUP_TIMEOUT = 300
SKIP = 77

# The stand-in echoes its log to stderr in a child process as
# "[SEVERITY:file(line)] message".
DPI_LINE = re.compile(r"\[INFO:[^\]]*\(\d+\)\] .*CefEnableHighDPISupport\(\) called")
AUMID_FAILED = re.compile(r"SetCurrentProcessExplicitAppUserModelID failed")
APP_ID = "Quillmoss.Test"
# Spaces, quotes and characters beyond Latin-1 and the BMP, which Windows
# passes in UTF-16 and CEF's command line must give back whole.
ODD_APP_ID = 'Quillmoss "Notes" \u00e9\u2713\U0001F600'
# The folder of a scenario whose path Windows must quote and encode.
ODD_FOLDER = "it's a caf\u00e9 \U0001F600"
SCENARIO = "frames.json"


def wine_debugstr(text):
  """|text| as wine's relay trace prints a wide string: UTF-16 units, those
  outside printable ASCII as \\xxxx, quotes and backslashes escaped."""
  units = text.encode("utf-16-le")
  out = []
  for index in range(0, len(units), 2):
    unit = units[index] | units[index + 1] << 8
    if unit in (0x22, 0x5C):
      out.append("\\" + chr(unit))
    elif 0x20 <= unit < 0x7F:
      out.append(chr(unit))
    else:
      out.append("\\%04x" % unit)
  return "".join(out)


def windows_path(path):
  """The path as Windows sees it: wine's Z: drive is /."""
  return "Z:" + os.path.abspath(path).replace("/", "\\")


# Wine's relay trace of the shell calls shows which module the function came
# from and what it returned; only the row that asks for it enables it.
RELAY_FUNCTIONS = ("KERNEL32.LoadLibraryW;KERNEL32.GetProcAddress;"
                   "SetCurrentProcessExplicitAppUserModelID")

# check_shell_call: the application user-model id the relay trace must show
# set through the shell (wine keeps none to read back), or None.
Row = collections.namedtuple(
    "Row", "name args exit_code present absent check_shell_call same_stdout",
    defaults=(False,))

ROWS = [
    # CEF's "not a child process" result, -1, of which the shell sees the
    # low byte.
    Row("no process type", [], 255, [], [], None),
    Row("gpu process", ["--type=gpu-process"], 0, [], [DPI_LINE], None),
    Row("gpu process, high DPI",
        ["--type=gpu-process", "--enable-high-dpi-support"], 0, [DPI_LINE], [],
        None),
    # The switch's presence decides, whatever its value.
    Row("gpu process, high DPI =0",
        ["--type=gpu-process", "--enable-high-dpi-support=0"], 0, [DPI_LINE],
        [], None),
    # The high-DPI switch proves that the log reaches stderr at all, so the
    # missing failure line means something.
    Row("gpu process, app user model id",
        ["--type=gpu-process", "--enable-high-dpi-support",
         "--app-user-model-id=" + APP_ID], 0, [DPI_LINE], [AUMID_FAILED],
        APP_ID),
    Row("utility process, CEF's switches",
        ["--type=utility", "--utility-sub-type=network.mojom.NetworkService",
         "--lang=en-US", "--service-request-channel-token=4711",
         "--app-user-model-id=" + ODD_APP_ID], 0, [], [AUMID_FAILED],
        ODD_APP_ID),
    Row("renderer without a scenario", ["--type=renderer"], 1, [], [], None),
    # The scenario's output must be what the plain path gives.
    Row("renderer, CEF's switches, an odd scenario path",
        ["--type=renderer", "--lang=en-US", "--enable-features=A,B",
         "--disable-features=C", "--renderer-client-id=4",
         "--num-raster-threads=2", "--app-user-model-id=" + ODD_APP_ID,
         "--scenario={odd}"], 0, [], [AUMID_FAILED], ODD_APP_ID, True),
]


class WineError(Exception):
  pass


# Relay lines about module and thread set-up, which only bury the rest.
RELAY_NOISE = re.compile(
    r"^[0-9a-f]{4}:(Call|Ret ) +(PE DLL|TLS callback)|^[0-9a-f]{4}:Starting "
    r"thread|^[0-9a-f]{4}:trace:relay:")


def tail(text, lines=40):
  kept = [line for line in text.splitlines() if not RELAY_NOISE.search(line)]
  return "\n".join(kept[-lines:])


class WinePrefix:
  """A throw-away wine prefix with wine's services already running, so that
  none of them starts during (and inherits the output files of) a run."""

  def __init__(self):
    self.directory = tempfile.mkdtemp(prefix="quillmoss-wine-")
    self.env = dict(os.environ)
    for name in ("DISPLAY", "WAYLAND_DISPLAY"):
      self.env.pop(name, None)
    self.env.update({
        "WINEPREFIX": self.directory,
        "WINEARCH": "win32",
        "WINEDEBUG": "-all",
        # Wine turns arguments and file names into UTF-16 by the locale.
        "LC_ALL": "C.UTF-8",
        # No prompts to install Mono or Gecko.
        "WINEDLLOVERRIDES": "mscoree,mshtml=",
    })

  def setup(self):
    self._quiet(["wineboot", "--init"])
    self._quiet(["wineserver", "-w"])
    self._quiet(["wine", "reg", "add", r"HKCU\Software\Wine\Debug", "/v",
                 "RelayInclude", "/t", "REG_SZ", "/d", RELAY_FUNCTIONS, "/f"])
    self._quiet(["wine", "cmd", "/c", "exit"])

  def _quiet(self, command):
    # A file, unlike a pipe, does not keep us waiting for the services that
    # inherit it.
    with tempfile.TemporaryFile() as output:
      try:
        result = subprocess.run(command, env=self.env, stdin=subprocess.DEVNULL,
                                stdout=output, stderr=output,
                                timeout=SETUP_TIMEOUT, check=False)
      except subprocess.TimeoutExpired:
        raise WineError("%s took longer than %d s" %
                        (" ".join(command), SETUP_TIMEOUT))
      if result.returncode != 0:
        output.seek(0)
        raise WineError("%s exited with %d (is wine32:i386 installed?):\n%s" %
                        (" ".join(command), result.returncode,
                         tail(output.read().decode("utf-8", "replace"))))

  def run(self, exe, args, wine_debug):
    """Returns (exit code, stdout, stderr), or raises WineError on a
    timeout."""
    env = dict(self.env, WINEDEBUG=wine_debug)
    with tempfile.TemporaryFile() as stdout, \
         tempfile.TemporaryFile() as stderr:
      process = subprocess.Popen(["wine", exe] + args, env=env,
                                 stdin=subprocess.DEVNULL, stdout=stdout,
                                 stderr=stderr)
      try:
        exit_code = process.wait(timeout=RUN_TIMEOUT)
      except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
        raise WineError("no exit within %d s" % RUN_TIMEOUT)
      stdout.seek(0)
      stderr.seek(0)
      return (exit_code, stdout.read(),
              stderr.read().decode("utf-8", "replace"))

  def close(self):
    try:
      subprocess.run(["wineserver", "-k"], env=self.env,
                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                     stderr=subprocess.DEVNULL, timeout=RUN_TIMEOUT,
                     check=False)
    except subprocess.TimeoutExpired:
      print("warning: wineserver -k did not return", file=sys.stderr)
    self._remove_server_directory()
    shutil.rmtree(self.directory, ignore_errors=True)

  def _remove_server_directory(self):
    # wineserver leaves its socket directory, named after the prefix's
    # device and inode, in a temporary directory of its own.
    prefix = os.stat(self.directory)
    name = "server-%x-%x" % (prefix.st_dev, prefix.st_ino)
    for pattern in ("wine-*", ".wine-%d" % os.getuid()):
      for server in glob.glob(os.path.join(tempfile.gettempdir(), pattern,
                                           name)):
        shutil.rmtree(server, ignore_errors=True)
        try:
          os.rmdir(os.path.dirname(server))
        except OSError:
          pass  # Still in use by another prefix.


def shell_call_errors(trace, app_id):
  """Checks the relay trace: shell32.dll loaded, the function looked up in
  it, called with the id, and S_OK returned."""
  loads = re.findall(
      r'Call KERNEL32\.LoadLibraryW\([0-9a-f]+ L"shell32\.dll"\) '
      r"ret=([0-9a-f]+)", trace, re.IGNORECASE)
  handles = set()
  for caller in loads:
    handles.update(re.findall(
        r"Ret  KERNEL32\.LoadLibraryW\(\) retval=([0-9a-f]+) ret=%s" % caller,
        trace))
  handles.discard("00000000")
  if not handles:
    return ["shell32.dll was not loaded with LoadLibraryW"]
  lookups = re.findall(
      r'Call KERNEL32\.GetProcAddress\(([0-9a-f]+),[0-9a-f]+ '
      r'"SetCurrentProcessExplicitAppUserModelID"\)', trace)
  if not handles.intersection(lookups):
    return ["SetCurrentProcessExplicitAppUserModelID was not looked up in "
            "shell32.dll (looked up in %s, shell32.dll is %s)" %
            (lookups or "nothing", sorted(handles))]
  if not re.search(r'Call [\w.]+\.SetCurrentProcessExplicitAppUserModelID'
                   r'\([0-9a-f]+ L"%s"\)' % re.escape(wine_debugstr(app_id)),
                   trace):
    return ["SetCurrentProcessExplicitAppUserModelID was not called with "
            "L\"%s\"" % wine_debugstr(app_id)]
  if not re.search(r"Ret  [\w.]+\.SetCurrentProcessExplicitAppUserModelID"
                   r"\(\) retval=00000000", trace):
    return ["SetCurrentProcessExplicitAppUserModelID did not return S_OK"]
  return []


def check_row(prefix, exe, row, paths, plain_stdout):
  wine_debug = "-all,+relay" if row.check_shell_call is not None else "-all"
  args = [arg.format(**paths) for arg in row.args]
  try:
    exit_code, stdout, stderr = prefix.run(exe, args, wine_debug)
  except WineError as e:
    return [str(e)], ""
  errors = []
  if exit_code != row.exit_code:
    errors.append("exit code %d, expected %d" % (exit_code, row.exit_code))
  if row.same_stdout and stdout != plain_stdout:
    errors.append("stdout differs from the plain path's run (%d against %d "
                  "bytes)" % (len(stdout), len(plain_stdout)))
  errors += ["stderr lacks %r" % p.pattern for p in row.present
             if not p.search(stderr)]
  errors += ["stderr has %r" % p.pattern for p in row.absent
             if p.search(stderr)]
  if row.check_shell_call is not None:
    errors += shell_call_errors(stderr, row.check_shell_call)
  return errors, stderr


def main(argv):
  # The arguments are checked before wine is looked for: a mistyped call
  # must fail (exit 2), not pass as a skip.
  parser = argparse.ArgumentParser(description=__doc__.splitlines()[0],
                                   allow_abbrev=False)
  parser.add_argument("exe")
  parser.add_argument("examples_dir")
  args = parser.parse_args(argv[1:])
  exe = os.path.abspath(args.exe)
  examples = os.path.abspath(args.examples_dir)
  if not shutil.which("wine"):
    print("SKIP: wine is not installed (scripts/install-deps.sh installs it)")
    return SKIP
  if not os.path.isfile(exe):
    print("FAIL: %s does not exist; build the Windows executable first" % exe)
    return 1
  for tool in ("wineboot", "wineserver"):
    if not shutil.which(tool):
      print("FAIL: wine is installed without %s" % tool)
      return 1

  prefix = WinePrefix()
  failed = 0
  odd_folder = os.path.join(prefix.directory, ODD_FOLDER)
  os.makedirs(odd_folder)
  shutil.copy(os.path.join(examples, SCENARIO), odd_folder)
  paths = {"odd": windows_path(os.path.join(odd_folder, SCENARIO))}
  try:
    prefix.setup()
    code, plain_stdout, stderr = prefix.run(
        exe, ["--type=renderer",
              "--scenario=" + windows_path(os.path.join(examples, SCENARIO))],
        "-all")
    if code != 0 or not plain_stdout:
      print("FAIL: the plain scenario run: exit code %d\n%s" %
            (code, tail(stderr)))
      return 1
    for index, row in enumerate(ROWS):
      errors, stderr = check_row(prefix, exe, row, paths, plain_stdout)
      command = " ".join(["wine", os.path.basename(exe)] + row.args)
      if not errors:
        print("row %d (%s): ok" % (index, row.name))
        continue
      failed += 1
      print("row %d (%s) FAILED: %s\n  %s\n  stderr:\n%s" %
            (index, row.name, command, "\n  ".join(errors), tail(stderr)))
  except WineError as e:
    print("FAIL: preparing the wine prefix: %s" % e)
    return 1
  finally:
    prefix.close()
  print("%d of %d rows passed" % (len(ROWS) - failed, len(ROWS)))
  return 1 if failed else 0


if __name__ == "__main__":
  sys.stdout.reconfigure(line_buffering=True)
  sys.exit(main(sys.argv))
