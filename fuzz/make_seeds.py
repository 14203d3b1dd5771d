#!/usr/bin/env python3
"""Writes the seed corpora fuzz/corpus/dispatch and fuzz/corpus/conversion.

A fuzz input is read through libFuzzer's FuzzedDataProvider: strings from the
front, integers from the back. This script writes the bytes that make the
fuzz targets take chosen paths, so a seed reads as what it does: the
hand-written ones below, and one per scenario in examples/*.json.

It mirrors the order in which dispatch_fuzzer.cc, conversion_fuzzer.cc and
fuzz_support.cc consume their input; change them together. A seed that has
drifted still runs, it just explores something else.

    fuzz/make_seeds.py            rewrite the corpora
"""
import argparse
import base64
import glob
import hashlib
import json
import math
import os
import struct
import subprocess

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CORPUS = os.path.join(ROOT, "fuzz", "corpus")


class Provider:
    """Collects the bytes that FuzzedDataProvider will hand back in order."""

    def __init__(self):
        self.front = bytearray()  # strings, read from the start
        self.back = bytearray()  # integers, in the order they are read

    def integral(self, low, high, value, size=8):
        assert low <= value <= high, (low, high, value)
        span, offset, count = high - low, 0, 0
        while offset < size * 8 and (span >> offset) > 0:
            count += 1
            offset += 8
        # The first byte read is the most significant.
        self.back += (value - low).to_bytes(count, "big") if count else b""

    def boolean(self, value):
        self.integral(0, 255, 1 if value else 0, 1)

    def int32(self, value):
        self.integral(-(2**31), 2**31 - 1, value, 4)

    def string(self, text, max_length):
        data = text.encode("utf-8") if isinstance(text, str) else bytes(text)
        data = data[:max_length]
        for byte in data:
            self.front += b"\\\\" if byte == 0x5C else bytes([byte])
        if len(data) < max_length:
            self.front += b"\\ "  # a backslash and anything else ends it

    def bytes(self):
        return bytes(self.front) + bytes(reversed(self.back))


# --------------------------------------------------------------------------
# CEF value trees (fuzz_support.cc, ValueBuilder), written in the JSON form
# of docs/scenarios.md.

KEYS = ["bindToFrames", "functions", "properties", "objects", "__proto__",
        "constructor", "toString", "window", "", "a.b", "0", "4294967295",
        "length", "f", "$int"]
DOUBLES = [0.0, -0.0, 0.5, -1.5, 2147483648.0, 4294967295.0, 4294967296.0,
           1e300, "NaN", "Infinity", "-Infinity", 5e-324]
BINARY_SIZES = [0, 1, 3, 4, 5, 19, 20, 21, 40]


def same_double(a, b):
    if isinstance(a, str) or isinstance(b, str):
        return a == b
    return a == b and math.copysign(1, a) == math.copysign(1, b)


class ValueBuilder:
    def __init__(self, provider, max_depth, max_nodes):
        self.p = provider
        self.max_depth = max_depth
        self.nodes_left = max_nodes

    def fill_list(self, values, depth, max_entries=6):
        assert len(values) <= max_entries
        self.p.integral(0, max_entries, len(values), 4)
        for value in values:
            self.p.integral(0, 7, 1, 4)  # no padding
            self.set_value(value, depth)

    def fill_dictionary(self, members, depth, max_entries=6):
        assert len(members) <= max_entries
        self.p.integral(0, max_entries, len(members), 4)
        for key, value in members.items():
            self.key(key)
            self.set_value(value, depth)

    def key(self, key):
        if key in KEYS:
            self.p.boolean(True)
            self.p.integral(0, len(KEYS) - 1, KEYS.index(key))
        else:
            self.p.boolean(False)
            self.p.string(key, 16)

    def choice(self, value, depth):
        self.nodes_left -= 1
        may_nest = depth < self.max_depth and self.nodes_left > 0
        assert value <= 7 or may_nest, "too deep or too many values"
        self.p.integral(0, 10 if may_nest else 7, value, 4)

    def set_value(self, value, depth):
        if isinstance(value, dict) and len(value) == 1:
            tag, content = next(iter(value.items()))
            if tag == "$int":
                value = int(content)
            elif tag == "$double":
                value = content if isinstance(content, str) else float(content)
                return self.double(value, depth)
            elif tag == "$dict":
                value = content
            elif tag == "$callback":
                return self.binary(20, content, depth)
            elif tag == "$binary":
                return self.binary(len(content) // 2, bytes.fromhex(content),
                                   depth)
        if value is None:
            self.choice(0, depth)
        elif isinstance(value, bool):
            self.choice(1, depth)
            self.p.boolean(value)
        elif isinstance(value, int) and -(2**31) <= value < 2**31:
            self.choice(2, depth)
            self.p.boolean(False)
            self.p.int32(value)
        elif isinstance(value, (int, float)):
            self.double(float(value), depth)
        elif isinstance(value, str):
            self.choice(4, depth)
            self.p.string(value, 24)
        elif isinstance(value, list):
            self.choice(8, depth)
            self.fill_list(value, depth + 1)
        else:
            self.choice(10, depth)
            self.fill_dictionary(value, depth + 1)

    def double(self, value, depth):
        self.choice(3, depth)
        for index, known in enumerate(DOUBLES):
            if same_double(known, value):
                self.p.integral(0, 2, 0, 4)
                self.p.integral(0, len(DOUBLES) - 1, index)
                return
        # whole / 2^shift, the nearest such number.
        shift = 16
        while shift > 0 and abs(value) * 2**shift >= 2**31:
            shift -= 1
        whole = max(-(2**31), min(2**31 - 1, round(value * 2**shift)))
        self.p.integral(0, 2, 1, 4)
        self.p.int32(whole)
        self.p.integral(0, 16, shift, 4)

    def binary(self, size, content, depth):
        self.choice(5, depth)
        if size in BINARY_SIZES:
            self.p.boolean(True)
            self.p.integral(0, len(BINARY_SIZES) - 1, BINARY_SIZES.index(size))
        else:
            self.p.boolean(False)
            self.p.integral(0, 40, size)
        if isinstance(content, int):  # a host callback id
            self.p.boolean(True)
            self.p.integral(0, 255, content & 0xFF, 1)
            return
        if size >= 4:
            self.p.boolean(False)
        for byte in content:
            self.p.integral(0, 255, byte, 1)


# --------------------------------------------------------------------------
# dispatch_fuzzer.cc

MESSAGE_NAMES = ["DoJavascriptBindings", "ExecuteJavascriptCallback",
                 "OnContextCreated", "OnContextReleased",
                 "ExecutePythonCallback", "V8FunctionHandler::Execute",
                 "dojavascriptbindings", ""]
# kArgumentTemplates, by what they are.
TEMPLATES = ["1", "-2147483648", "2147483648", "4294967295", "4294967296",
             "0.5", "NaN", "-0", "Infinity", "text", "lone surrogates",
             "null", "undefined", "true", "eleven deep", "nested object",
             "counting callback", "callback that calls again",
             "throwing callback", "date", "symbol", "bigint", "cyclic array",
             "throwing getter", "throwing has trap", "throwing get trap",
             "sparse", "throwing element", "typed array",
             "getter that calls", "huge sparse", "huge sparse member",
             "getter that removes a frame", "getter in an array that removes",
             "array setter that removes", "callback that removes",
             "global setter that removes", "inherited setter that removes"]


class Dispatch:
    """The operations of dispatch_fuzzer.cc's Driver."""

    def __init__(self):
        self.p = Provider()
        self.browsers = []  # frame names per browser, the main frame first

    def _op(self, number):
        self.p.integral(0, 10, number, 4)

    def _browser(self, browser):
        self.p.integral(0, len(self.browsers) - 1, browser)

    def _frame(self, browser, frame):
        self._browser(browser)
        frames = self.browsers[browser]
        index = frames.index(frame)
        self.p.boolean(index == 0)
        if index:
            self.p.integral(0, len(frames) - 1, index)

    def create_browser(self, context=False):
        assert len(self.browsers) < 3
        self._op(0)
        self.p.boolean(True)  # an unnamed main frame
        self.p.boolean(context)
        self.browsers.append(["main"])

    def add_frame(self, browser, name, parent="main", context=False):
        frames = self.browsers[browser]
        assert len(frames) < 5
        self._op(1)
        self._browser(browser)
        self.p.integral(0, len(frames) - 1, frames.index(parent))
        self.p.string(name, 8)
        self.p.boolean(context)
        frames.append(name)

    def create_context(self, browser, frame):
        # The target makes the first 4 contexts an input asks for (here, in
        # create_browser or in add_frame); the bytes of later ones are read
        # all the same.
        self._op(2)
        self._frame(browser, frame)

    def release_context(self, browser, frame):
        self._op(3)
        self._frame(browser, frame)

    def message(self, browser, frame, name, args):
        self._op(4)
        self._frame(browser, frame)
        if name in MESSAGE_NAMES:
            self.p.integral(0, len(MESSAGE_NAMES), MESSAGE_NAMES.index(name))
        else:
            self.p.integral(0, len(MESSAGE_NAMES), len(MESSAGE_NAMES))
            self.p.string(name, 32)
        values = ValueBuilder(self.p, 12, 64)
        if name == "DoJavascriptBindings":
            self.p.integral(0, 3, 0, 4)  # the arguments exactly as given
        elif name == "ExecuteJavascriptCallback":
            if args and isinstance(args[0], int):
                self.p.integral(0, 3, 1, 4)
                self.p.integral(0, 5, 0, 4)
                self.p.int32(args[0])
                args = args[1:]
            else:
                self.p.integral(0, 3, 0, 4)
        values.fill_list(args, 1)

    def run_tasks(self):
        self._op(6)

    def page_call(self, browser, frame, target, arguments):
        self._op(7)
        self._frame(browser, frame)
        self.p.integral(0, 65535, target, 2)
        self.p.integral(0, 4, len(arguments), 4)
        for argument in arguments:
            # One byte: a template's index; above the templates, the grammar
            # of fuzz/page_values.h writes the value.
            self.p.integral(0, 255, TEMPLATES.index(argument), 8)

    def execute_directly(self, callback_id, args):
        self._op(9)
        ValueBuilder(self.p, 12, 32).fill_list(args, 1)
        self.p.integral(0, 5, 0, 4)
        self.p.int32(callback_id)

    def destroy_browser(self, browser):
        self._op(10)
        self._browser(browser)
        del self.browsers[browser]


def bindings(functions=(), properties=None, objects=None, to_frames=False):
    return {"bindToFrames": to_frames,
            "functions": {name: True for name in functions},
            "properties": properties or {},
            "objects": objects or {}}


def hand_written_dispatch():
    seeds = {}

    d = Dispatch()  # bindings, a page call with a callback, the host answers
    d.create_browser(context=True)
    d.message(0, "main", "DoJavascriptBindings",
              [bindings(["f"], {"v": 1, "cb": {"$callback": 3}},
                        {"o": {"m": None}})])
    d.run_tasks()
    d.page_call(0, "main", 0, ["text", "counting callback"])
    d.page_call(0, "main", 1, ["callback that calls again", "nested object"])
    d.message(0, "main", "ExecuteJavascriptCallback", [1, "x", [1, 2.5]])
    d.message(0, "main", "ExecuteJavascriptCallback", [2, {"$callback": 7}])
    d.execute_directly(3, [None, {"$binary": "01020304"}])
    d.release_context(0, "main")
    d.message(0, "main", "ExecuteJavascriptCallback", [1])
    seeds["road"] = d

    d = Dispatch()  # frames, bindToFrames, refused sub-frame messages
    d.create_browser(context=True)
    d.add_frame(0, "A", context=True)
    d.add_frame(0, "B", parent="A", context=True)
    d.message(0, "main", "DoJavascriptBindings",
              [bindings(["g", "a.b"], to_frames=True)])
    d.run_tasks()
    d.page_call(0, "B", 0, ["throwing callback", "getter that calls"])
    d.message(0, "A", "ExecuteJavascriptCallback", [1])
    d.message(0, "B", "DoJavascriptBindings", [bindings(["h"], to_frames=True)])
    d.create_context(0, "A")
    d.release_context(0, "B")
    d.message(0, "main", "ExecuteJavascriptCallback", [1, True])
    d.destroy_browser(0)
    seeds["frames"] = d

    d = Dispatch()  # hostile arguments through every route
    d.create_browser(context=True)
    d.message(0, "main", "DoJavascriptBindings", [bindings(["f", "g"])])
    d.run_tasks()
    d.page_call(0, "main", 0, ["cyclic array", "throwing getter",
                               "throwing has trap", "throwing get trap"])
    d.page_call(0, "main", 1, ["eleven deep", "sparse", "throwing element",
                               "typed array"])
    d.page_call(0, "main", 0, ["2147483648", "4294967295", "NaN",
                               "lone surrogates"])
    d.page_call(0, "main", 1, ["symbol", "bigint", "date", "-0"])
    d.page_call(0, "main", 0, ["huge sparse", "huge sparse member"])
    seeds["hostile_page"] = d

    d = Dispatch()  # odd messages: names, argument types, depth
    d.create_browser(context=True)
    deep = [[[[[[[[[[[1]]]]]]]]]]]
    d.message(0, "main", "DoJavascriptBindings", [[1], {"functions": 1}])
    d.message(0, "main", "DoJavascriptBindings",
              [{"bindToFrames": 1, "functions": {}, "objects": {"o": 1}}])
    d.message(0, "main", "ExecuteJavascriptCallback", ["1", deep])
    d.message(0, "main", "ExecutePythonCallback", [{"$callback": 1}])
    d.message(0, "main", "V8FunctionHandler::Execute", ["f", []])
    d.message(0, "main", "OnContextCreated", [])
    d.message(0, "main", "OnContextReleased", [{"$binary": "00"}])
    d.message(0, "main", "Anything", [1.5, "NaN", {"$binary": "00" * 40}])
    d.run_tasks()
    seeds["odd_messages"] = d

    d = Dispatch()  # bindings posted, then the context or browser goes
    d.create_browser(context=True)
    d.create_browser(context=True)
    d.message(0, "main", "DoJavascriptBindings", [bindings(["f"])])
    d.message(1, "main", "DoJavascriptBindings", [bindings(["f"])])
    d.release_context(0, "main")
    d.destroy_browser(1)
    d.run_tasks()
    d.create_context(0, "main")
    d.page_call(0, "main", 0, ["counting callback"])
    d.destroy_browser(0)
    d.run_tasks()
    seeds["teardown_races"] = d

    d = Dispatch()  # pages keep functions of bindings that were replaced
    d.create_browser(context=True)
    d.message(0, "main", "DoJavascriptBindings",
              [bindings(["f"], objects={"o": {"m": None}})])
    d.run_tasks()
    d.message(0, "main", "DoJavascriptBindings",
              [{"bindToFrames": False, "objects": {"o": 1}}])
    d.page_call(0, "main", 0, ["1"])
    d.page_call(0, "main", 1, ["1"])
    d.message(0, "main", "DoJavascriptBindings",
              [{"bindToFrames": False, "functions": {"g": True}}])
    d.page_call(0, "main", 1, ["1"])
    seeds["replaced_bindings"] = d
    return {name: d.p.bytes() for name, d in seeds.items()}


def dispatch_from_example(path):
    """The scenario's steps as dispatch operations; page script becomes a
    page call with a callback, as no fuzz operation runs arbitrary code."""
    with open(path) as f:
        scenario = json.load(f)
    d = Dispatch()
    ids = []

    def declare(browser):
        d.create_browser()
        ids.append(browser["id"])
        frames = browser.get("frames", [{"name": "main"}])
        names = {frames[0]["name"]: "main"}
        for frame in frames[1:5]:
            names[frame["name"]] = frame["name"][:8]
            d.add_frame(len(ids) - 1, frame["name"][:8],
                        names[frame.get("parent", frames[0]["name"])])
        frame_names[browser["id"]] = names

    frame_names = {}
    for browser in scenario.get("browsers", []):
        declare(browser)
    for step in scenario["steps"]:
        what = step["do"]
        if what == "createBrowser":
            declare(step)
            continue
        if what == "runTasks":
            d.run_tasks()
            continue
        browser = step.get("browser", ids[0] if ids else None)
        if browser not in ids:
            continue
        index = ids.index(browser)
        frame = frame_names[browser].get(step.get("frame"), "main")
        if what == "createContext":
            d.create_context(index, frame)
        elif what == "releaseContext":
            d.release_context(index, frame)
        elif what == "message":
            d.message(index, frame, step["name"], step.get("args", []))
        elif what in ("eval", "expect"):
            d.page_call(index, frame, 0, ["text", "counting callback"])
        elif what == "destroyBrowser":
            d.destroy_browser(index)
            ids.remove(browser)
    return d.p.bytes()


# --------------------------------------------------------------------------
# conversion_fuzzer.cc: page values, as (kind, ...) tuples.

NUMBERS = [0.0, 1.0, -1.0, 2147483647.0, -2147483648.0, 2147483648.0,
           4294967295.0, 4294967296.0, -2147483649.0, 0.5, -0.0, 1e300,
           9007199254740993.0, "NaN", "Infinity", "-Infinity", 5e-324]
UNITS = [ord("a"), ord('"'), ord("\\"), ord("'"), 0, 0x1F, 0x7F, 0xE9, 0x2028,
         0xD800, 0xDBFF, 0xDC00, 0xDFFF, 0xFFFF, 0xFFFD]
HUGE_LENGTHS = [2**20 + 1, 2**30, 2**31 - 1, 2**31, 2**32 - 1]
ASCII_KEYS = ["a", "b", "c", "0", "1", "10", "4294967295", "length", "toJSON",
              "constructor", "k"]
FUNCTIONS = ["named", "class", "bound", "keyed", "arrow", "async arrow",
             "callable proxy", "proxied class", "unnamed proxy",
             "revoked proxy"]
SPECIALS = ["map", "regexp", "uint8array", "string object", "number object",
            "error", "arguments", "arraybuffer", "revoked", "revoked array",
            "throwing descriptor", "throwing prototype", "duplicate keys",
            "big typed array", "big string object", "wrapped primitive"]
MARKER = "####quillmoss####"
MARKED = ["marker", "forged descriptor", "after a unit", "one short"]


class Conversion:
    def __init__(self):
        self.p = Provider()
        self.nodes_left = 32

    def arguments(self, values):
        self.p.integral(0, 5, len(values), 4)
        for value in values:
            self.value(value, 0)
        return self.p.bytes()

    def _choice(self, value, depth):
        self.nodes_left -= 1
        may_nest = depth < 12 and self.nodes_left > 0
        assert value <= 5 or may_nest, "too deep or too many values"
        self.p.integral(0, 14 if may_nest else 5, value, 4)

    def number(self, value):
        for index, known in enumerate(NUMBERS):
            if same_double(known, value):
                self.p.integral(0, 3, 0, 4)
                self.p.integral(0, len(NUMBERS) - 1, index)
                return
        if float(value).is_integer() and abs(value) < 2**63:
            self.p.integral(0, 3, 1, 4)
            self.p.integral(-(2**63), 2**63 - 1, int(value), 8)
            self.p.integral(0, 62, 0, 4)
            return
        shift = 16
        while shift > 0 and abs(value) * 2**shift >= 2**31:
            shift -= 1
        self.p.integral(0, 3, 2, 4)
        self.p.int32(round(value * 2**shift))
        self.p.integral(0, 16, shift, 4)

    def units(self, text):
        units = list(struct.unpack("<%dH" % (len(text.encode("utf-16-le",
                                                             "surrogatepass"))
                                             // 2),
                                   text.encode("utf-16-le", "surrogatepass")))
        units = units[:10]
        self.p.integral(0, 10, len(units), 4)
        for unit in units:
            if unit in UNITS:
                self.p.boolean(True)
                self.p.integral(0, len(UNITS) - 1, UNITS.index(unit))
            else:
                self.p.boolean(False)
                self.p.integral(0, 65535, unit, 2)

    def key(self, key, plain):
        if plain:
            self.p.integral(0, len(ASCII_KEYS) - 1, ASCII_KEYS.index(key))
        elif key in ASCII_KEYS:
            self.p.boolean(True)
            self.p.integral(0, len(ASCII_KEYS) - 1, ASCII_KEYS.index(key))
        elif key == "__proto__":
            self.p.boolean(False)
            self.p.integral(0, 9, 0, 4)
        elif key.startswith(MARKER):
            self.p.boolean(False)
            self.p.integral(0, 9, 8, 4)
            self.units(key[len(MARKER):])
        elif key == "k" + MARKER:
            self.p.boolean(False)
            self.p.integral(0, 9, 9, 4)
        else:
            self.p.boolean(False)
            self.p.integral(0, 9, 1, 4)
            self.units(key)

    def object_literal(self, members, depth, plain=False):
        """members: (key, value) or (key, "getter", value) or
        (key, "throwing getter") or (key, "calling getter", argument,
        value): a getter that calls record(argument) again."""
        self.p.integral(0, 5, len(members), 4)
        for member in members:
            self.key(member[0], plain)
            if plain:
                self.value(member[1], depth + 1, named_only=True)
            elif member[1] == "throwing getter":
                self.p.integral(0, 6, 5, 4)
            elif member[1] == "getter":
                self.p.integral(0, 6, 4, 4)
                self.value(member[2], depth + 1, named_only=True)
            elif member[1] == "calling getter":
                self.p.integral(0, 6, 6, 4)
                self.value(member[2], 0)  # the nested call's argument
                self.value(member[3], depth + 1, named_only=True)
            else:
                self.p.integral(0, 6, 0, 4)
                self.value(member[1], depth + 1, named_only=True)

    def value(self, value, depth, named_only=False):
        """|named_only|: where an anonymous function would take a name."""
        kind = value[0]
        if kind == "number":
            self._choice(0, depth)
            self.number(value[1])
        elif kind == "string":
            self._choice(1, depth)
            self.units(value[1])
        elif kind in ("null", "undefined", "symbol", "bigint", "bool"):
            self._choice(2, depth)
            self.p.integral(0, 7, ["null", "undefined", "symbol", "bigint",
                                   "bool"].index(kind), 4)
            if kind == "bool":
                self.p.boolean(value[1])
        elif kind == "marked":
            # ("marked", form, units or the unit before the marker)
            self._choice(2, depth)
            self.p.integral(0, 7, 5, 4)
            self.p.integral(0, 3, MARKED.index(value[1]), 4)
            if value[1] == "after a unit":
                self.p.integral(0, 2, [" ", "\ud800", "#"].index(value[2]), 4)
            elif value[1] != "forged descriptor":
                self.units(value[2])
        elif kind == "date":
            self._choice(3, depth)
            self.number(value[1])
        elif kind == "function":
            self._choice(4, depth)
            form = FUNCTIONS.index(value[1])
            assert not named_only or form not in (4, 5), "would be named"
            self.p.integral(0, 9, form, 4)
            if value[1] == "keyed":
                self.units(value[2])
        elif kind == "special":
            self._choice(5, depth)
            self.p.integral(0, 15, SPECIALS.index(value[1]), 4)
            if value[1] == "uint8array":
                self.p.integral(0, 255, value[2], 1)
                self.p.integral(0, 255, value[3], 1)
            elif value[1] == "big typed array":
                self.p.integral(0, 2, value[2], 4)  # which view
            elif value[1] in ("big string object", "wrapped primitive"):
                self.p.boolean(value[2])
        elif kind == "array":
            self._choice(6, depth)
            self.p.integral(0, 5, len(value[1]), 4)
            for item in value[1]:
                if item == "hole":
                    self.p.integral(0, 5, 0, 4)
                else:
                    self.p.integral(0, 5, 1, 4)
                    self.value(item, depth + 1)
        elif kind == "sparse":
            length, elements = value[1], value[2]
            self._choice(8, depth)
            if length <= 8:
                self.p.integral(0, 3, 0, 4)
                self.p.integral(0, 8, length)
            elif length <= 16:
                self.p.integral(0, 3, 2, 4)
                self.p.integral(0, 16, length)
            else:
                self.p.integral(0, 3, 3, 4)
                self.p.integral(0, len(HUGE_LENGTHS) - 1,
                                HUGE_LENGTHS.index(length))
            if length:
                self.p.integral(0, 4, len(elements), 4)
            for index, element in elements:
                self.p.integral(0, length - 1, index)
                if element == "throwing getter":
                    self.p.integral(0, 3, 0, 4)
                else:
                    self.p.integral(0, 3, 1, 4)
                    self.value(element, depth + 1, named_only=True)
        elif kind == "object":
            self._choice(9, depth)
            self.object_literal(value[1], depth)
        elif kind == "inherit":
            self._choice(11, depth)
            self.object_literal(value[1], depth, plain=True)
            self.object_literal(value[2], depth, plain=True)
        elif kind == "proxy array":
            self._choice(12, depth)
            self.p.boolean(True)
            self.p.integral(0, 4, len(value[1]), 4)
            for item in value[1]:
                self.value(item, depth + 1, named_only=True)
        elif kind == "proxy":
            self._choice(12, depth)
            self.p.boolean(False)
            self.object_literal(value[1], depth)
            self.p.integral(0, 3, ["none", "get", "ownKeys",
                                   "revoked"].index(value[2]), 4)
        elif kind == "cyclic":
            self._choice(13, depth)
            self.value(value[2], 12, named_only=True)  # a leaf
            shape = ["array", "object", "array and object"].index(value[1])
            self.p.integral(0, 2, shape, 4)
        else:
            raise ValueError(kind)


def page_value(json_value):
    """A host value in the scenario form as the page value closest to it."""
    if json_value is None:
        return ("null",)
    if isinstance(json_value, bool):
        return ("bool", json_value)
    if isinstance(json_value, (int, float)):
        return ("number", float(json_value))
    if isinstance(json_value, str):
        if json_value in ("NaN", "Infinity", "-Infinity"):
            return ("number", json_value)
        return ("string", json_value)
    if isinstance(json_value, list):
        return ("array", [page_value(v) for v in json_value[:5]])
    if len(json_value) == 1:
        tag, content = next(iter(json_value.items()))
        if tag == "$callback":
            return ("function", "named")
        if tag == "$binary":
            data = bytes.fromhex(content) + b"\0\0"
            return ("special", "uint8array", data[0], data[1])
        if tag in ("$int", "$double"):
            return ("number", float(content) if not isinstance(content, str)
                    else content)
        if tag == "$dict":
            json_value = content
    members = []
    for key, member in list(json_value.items())[:5]:
        key = key if key in ASCII_KEYS else key[:10]
        members.append((key, page_value(member)))
    return ("object", members)


def hand_written_conversion():
    n = lambda x: ("number", x)
    s = lambda x: ("string", x)
    seeds = {
        "numbers": [n(2147483647.0), n(2147483648.0), n(4294967295.0),
                    n(4294967296.0), n(-2147483649.0)],
        "odd_numbers": [n("NaN"), n(-0.0), n("Infinity"), n(1.5), n(5e-324)],
        "strings": [s("plain"), s("\ud800 lone"), s("\udc00"), s("\U0001f600"),
                    s("quote'\\")],
        "scalars": [("null",), ("undefined",), ("bool", True), ("symbol",),
                    ("bigint",)],
        "dates_and_functions": [("date", 0.0), ("date", "NaN"),
                                ("function", "named"), ("function", "arrow"),
                                ("function", "async arrow")],
        "function_names": [("function", "keyed", '"},"x":"'),
                           ("function", "keyed", "\\\n\t\x01\x1f"),
                           ("function", "keyed", "\ud800\u2028"),
                           ("function", "bound"), ("function", "class")],
        "sparse": [("sparse", 16, [(15, n(1.0)), (7, "throwing getter")]),
                   ("array", [n(1.0), "hole", n(3.0)]),
                   ("sparse", 2**31 - 1, [(5, "throwing getter")]),
                   ("sparse", 2**32 - 1, [])],
        "getters": [("object", [("a", n(1.0)), ("b", "throwing getter"),
                                ("c", "getter", ("function", "named"))]),
                    ("proxy", [("k", n(1.0))], "get"),
                    ("proxy array", [n(1.0), ("symbol",)])],
        "cycles": [("cyclic", "array", n(1.0)),
                   ("cyclic", "object", s("x")),
                   ("cyclic", "array and object", ("bool", False))],
        "inherited": [("inherit", [("a", n(1.0)), ("b", n(2.0))],
                       [("b", n(3.0))]),
                      ("object", [("__proto__", n(1.0)),
                                  ("\ud800", n(1.0)), ("\udc00", n(2.0))])],
        "unusual_values": [("special", "uint8array", 1, 255),
                     ("special", "string object"), ("special", "map"),
                     ("special", "arguments"), ("special", "error")],
    }
    seeds["markers"] = [
        ("marked", "marker", ""), ("marked", "forged descriptor"),
        ("marked", "after a unit", "\ud800"), ("marked", "one short", "#"),
        ("object", [(MARKER, n(1.0)), ("k" + MARKER, n(2.0)),
                    (MARKER + "a", s("x"))])]
    seeds["unlistable"] = [
        ("special", "revoked"), ("special", "throwing descriptor"),
        ("array", [("special", "revoked array"),
                   ("special", "throwing prototype"),
                   ("special", "duplicate keys")]),
        ("proxy", [("a", n(1.0))], "ownKeys"),
        ("object", [("p", ("proxy", [("a", n(1.0))], "revoked"))])]
    seeds["nested_call"] = [
        ("object", [("a", "calling getter", s("inner"),
                     ("function", "named")),
                    ("b", ("function", "class"))])]
    seeds["callable_proxies"] = [
        ("function", "callable proxy"), ("function", "proxied class"),
        ("function", "unnamed proxy"), ("function", "revoked proxy")]
    seeds["past_the_length_limit"] = [
        ("special", "big typed array", 0), ("special", "big typed array", 2),
        ("special", "big string object", True),
        ("special", "wrapped primitive", False),
        ("sparse", 2**20 + 1, [])]
    deep = n(1.0)
    for _ in range(10):  # 31 values, within the target's 32
        deep = ("array", [deep, ("object", [("k", s("v"))])])
    seeds["ten_deep"] = [deep]
    return {name: Conversion().arguments(values)
            for name, values in seeds.items()}


def conversion_from_example(path):
    """Every message argument of the scenario handed over by page script."""
    with open(path) as f:
        scenario = json.load(f)
    values = []
    for step in scenario["steps"]:
        if step.get("do") == "message":
            values.extend(page_value(v) for v in step.get("args", []))
    return Conversion().arguments(values[:5])


def committed_seeds(directory):
    """The files git tracks in |directory|: seeds this script wrote before.
    None outside a git checkout."""
    listing = subprocess.run(["git", "-C", directory, "ls-files", "-z", "."],
                             capture_output=True, check=False)
    if listing.returncode != 0:
        return None
    return {os.path.join(directory, name)
            for name in listing.stdout.decode().split("\0") if name}


def write(target, seeds):
    directory = os.path.join(CORPUS, target)
    os.makedirs(directory, exist_ok=True)
    # Old seeds go, but only those git has: an input someone put here (a
    # libFuzzer run given this folder first, a finding to keep) stays.
    committed = committed_seeds(directory)
    for old in glob.glob(os.path.join(directory, "*")):
        if os.path.basename(old) in seeds:
            continue
        if committed is not None and old in committed:
            os.remove(old)
        else:
            print("%s: left alone, not a seed this script wrote" % old)
    for name, data in sorted(seeds.items()):
        with open(os.path.join(directory, name), "wb") as f:
            f.write(data)
    print("%s: %d seeds" % (target, len(seeds)))


# Inputs the fuzzers found, kept byte for byte: they stay seeds whatever the
# targets' input order becomes, and tests/ plays each one's shape.
FOUND_DISPATCH = {
    # A page in a sub-frame passes an object of getters, one of which removes
    # the calling frame with more members to read after it.
    "found_getter_removes_its_frame": (
        "QVwgQlUgb2JhAAABAAEHEAkCAAABAQAGBwoDAQAKAgEAAGZ5XCAQCQIAAAEAAQoBAQAB"
        "AAEECgFEb0phdmFzY3JpcHRCaW5kaW5ncwEAAQQKAQEAAAEBBAEAAQIBOwHLy8vLywIA"
        "AQAAgAABAQEABAIAAAM19gkCAAABAAAHAQAAAgABAACAAAEBAQD/ZFz/////////////"
        "/wAJBBACAAACAAAHBgAKAwEACgIBAAABCgEBAQEAAQQKfQEAAAEABAIAAAIBAAACAQAC"
        "AAEBAAEAAAEBAAEAAQA="),
    # A getter removes the calling frame and returns a revoked Proxy: the
    # describer went with the context, and CEF's own key listing aborted.
    "found_removed_frame_then_revoked_proxy": (
        "XFtmXK9cQVz//wgAAG9c/Sr/PwEAEACAAYABAwEDCAAicVwxQVwADv///yj/AAEEAQEA"),
}


def main():
    # No options: a mistyped one must not rewrite the corpora silently.
    argparse.ArgumentParser(
        description=__doc__,
        formatter_class=argparse.RawDescriptionHelpFormatter).parse_args()
    examples = sorted(glob.glob(os.path.join(ROOT, "examples", "*.json")))
    dispatch = hand_written_dispatch()
    for name, encoded in FOUND_DISPATCH.items():
        dispatch[name] = base64.b64decode(encoded)
    conversion = hand_written_conversion()
    for path in examples:
        name = "example_" + os.path.splitext(os.path.basename(path))[0]
        dispatch[name] = dispatch_from_example(path)
        conversion[name] = conversion_from_example(path)
    write("dispatch", dispatch)
    write("conversion", conversion)


if __name__ == "__main__":
    main()
