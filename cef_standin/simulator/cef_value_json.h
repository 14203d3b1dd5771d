// The JSON form of CEF values used by scenarios, the simulator's output,
// tests and benchmarks (docs/scenarios.md describes it).
//
//   null, true/false, "string", [list], {dictionary}
//   a JSON integer that fits int32     -> VTYPE_INT
//   any other JSON number              -> VTYPE_DOUBLE
//   {"$int": 5}                        -> VTYPE_INT
//   {"$double": 5} / "NaN" / "Infinity" / "-Infinity" -> VTYPE_DOUBLE
//                                      (CEF keeps 0 for the non-finite ones)
//   {"$binary": "0a0b"}                -> VTYPE_BINARY (hex, at least 1 byte)
//   {"$callback": 12}                  -> the 20-byte host-callback binary
//   {"$dict": {...}}                   -> a dictionary taken literally
//
// An object whose only key starts with '$' is a tag; any other object is a
// dictionary. Output writes doubles with a fraction or an exponent (5.0),
// non-finite doubles and binaries tagged, and a dictionary that would read
// as a tag inside {"$dict": ...}, so that output parses back to equal values.
#ifndef CEF_STANDIN_SIMULATOR_CEF_VALUE_JSON_H_
#define CEF_STANDIN_SIMULATOR_CEF_VALUE_JSON_H_

#include <string>

#include <nlohmann/json.hpp>

#include "include/cef_values.h"

namespace standin {

// Size of the binary value that stands for a host callback: its id as a
// little-endian int32, then zeros.
constexpr size_t kCallbackBinarySize = 20;

// Lists and dictionaries nested deeper than this are refused on input and
// written as {"$truncated": true} on output.
constexpr int kMaxValueDepth = 200;

// Convert a JSON array / object. On failure return nullptr and set |error|
// to "<path>: <what went wrong>", the path starting with |path|.
CefRefPtr<CefListValue> JsonToCefList(const nlohmann::json& value,
                                      std::string* error,
                                      const std::string& path = "value");
CefRefPtr<CefDictionaryValue> JsonToCefDictionary(
    const nlohmann::json& value,
    std::string* error,
    const std::string& path = "value");

// Appends the elements of the JSON array |json| to |list| (a message's
// argument list, say). On failure |list| may hold some of them.
bool AppendJsonToCefList(const nlohmann::json& value,
                         CefRefPtr<CefListValue> list,
                         std::string* error,
                         const std::string& path = "value");

// Never fail: an empty or invalid reference is written {"$invalid": true}.
nlohmann::json CefListToJson(CefRefPtr<CefListValue> list);
nlohmann::json CefDictionaryToJson(CefRefPtr<CefDictionaryValue> dictionary);
nlohmann::json CefBinaryToJson(CefRefPtr<CefBinaryValue> binary);

// The bytes of the host-callback binary for |id|.
std::string CallbackBinaryBytes(int id);

}  // namespace standin

#endif  // CEF_STANDIN_SIMULATOR_CEF_VALUE_JSON_H_
