"""Python values <-> the JSON form of CEF values."""

import math

import pytest

from quillmoss_sim import (INVALID, TRUNCATED, HostCallback, JavascriptCallback,
                           bindings, from_cef_json, parse_callback_descriptor,
                           to_cef_json)

DESCRIPTOR = ('####quillmoss####{"what":"javascript-callback","callbackId":1,'
              '"frameId":17179869185,"functionName":"onClosed"}')


@pytest.mark.parametrize("value, expected", [
    (None, None),
    (True, True),
    (5, 5),
    (-2**31, -2**31),
    (2.5, 2.5),
    (3.0, 3.0),
    (math.nan, {"$double": "NaN"}),
    (-math.inf, {"$double": "-Infinity"}),
    ("text", "text"),
    (b"\x0c\x00\xff", {"$binary": "0c00ff"}),
    (bytearray(b"\x01"), {"$binary": "01"}),
    (HostCallback(12), {"$callback": 12}),
    ((1, [2]), [1, [2]]),
    ({"k": [None]}, {"k": [None]}),
    ({"$x": 1}, {"$dict": {"$x": 1}}),
    ({"$x": 1, "y": 2}, {"$x": 1, "y": 2}),
])
def test_to_cef_json(value, expected):
    assert to_cef_json(value) == expected


def test_callables_take_the_ids_the_hook_gives():
    ids = {print: 7, len: 8}
    assert to_cef_json({"f": [print, HostCallback(3)], "g": len},
                       host_callback=ids.__getitem__) == {
        "f": [{"$callback": 7}, {"$callback": 3}], "g": {"$callback": 8}}


def test_whole_floats_stay_doubles_in_the_text():
    import json
    assert json.dumps(to_cef_json([3.0, 3])) == "[3.0, 3]"


def test_a_value_held_twice_is_copied_twice():
    shared = {"x": [1]}
    assert to_cef_json([shared, shared]) == [{"x": [1]}, {"x": [1]}]


def _containing_itself():
    outer = {"a": [1]}
    outer["a"].append(outer)
    return outer


@pytest.mark.parametrize("value, error, text", [
    (2**31, ValueError, "does not fit a CEF int"),
    (b"", ValueError, "no empty binary"),
    ({1: 2}, TypeError, "is not a string"),
    ({"a": [object()]}, TypeError, "value.a[0]: object has no CEF value"),
    ({"a": len}, TypeError, "value.a: a Python callable becomes a host callback only"),
    ({"a": ["ok", "\ud83d"]}, ValueError,
     "value.a[1]: the string holds a lone surrogate '.ud83d' at index 0"),
    ({"\udc00": 1}, ValueError, "value: the key '.udc00'"),
    (_containing_itself(), ValueError, "value.a[1]: the value contains itself"),
])
def test_to_cef_json_refuses(value, error, text):
    with pytest.raises(error, match=text.replace("[", r"\[").replace("]", r"\]")):
        to_cef_json(value)


@pytest.mark.parametrize("value, expected", [
    ({"$binary": "005ed0b2"}, b"\x00\x5e\xd0\xb2"),
    ({"$dict": {"$x": {"$binary": "01"}}}, {"$x": b"\x01"}),
    ({"$invalid": True}, INVALID),
    ({"$truncated": True}, TRUNCATED),
    ([1, 2.5, "s", None], [1, 2.5, "s", None]),
    ({"a": 1, "b": 2}, {"a": 1, "b": 2}),
    ("####quillmoss####not json", "####quillmoss####not json"),
])
def test_from_cef_json(value, expected):
    assert from_cef_json(value) == expected


def test_callback_descriptors_are_parsed():
    callback = from_cef_json([DESCRIPTOR])[0]
    assert callback == JavascriptCallback(1, 17179869185, "onClosed", DESCRIPTOR)
    assert parse_callback_descriptor("plain") is None


def test_bindings_has_the_four_keys():
    assert bindings(["f"], {"v": 1}, {"o": ["m"]}, True) == {
        "bindToFrames": True,
        "functions": {"f": None},
        "properties": {"v": 1},
        "objects": {"o": {"m": None}},
    }


def test_host_callback_ids_are_int32():
    with pytest.raises(ValueError):
        HostCallback(2**31)
