// JSON text helpers of the simulator: parsing with positions people can find,
// paths into a document and a serialisation that never throws.
#ifndef CEF_STANDIN_SIMULATOR_JSON_TEXT_H_
#define CEF_STANDIN_SIMULATOR_JSON_TEXT_H_

#include <cstddef>
#include <string>

#include <nlohmann/json.hpp>

namespace standin {

// Deepest nesting of arrays and objects the simulator accepts. nlohmann
// parses and destroys without recursion, but copying, comparing and dumping
// recurse; a bound keeps hostile input from exhausting the stack.
constexpr int kMaxJsonDepth = 256;

// Parses |text| into |out|. On failure returns false and sets |error| to
// "line L, column C: what" (lines and columns count from 1; columns count
// bytes). Text nested deeper than kMaxJsonDepth is refused the same way.
bool ParseJsonText(const std::string& text,
                   nlohmann::json* out,
                   std::string* error);

// Byte offset of the bracket that opens nesting level |max_depth| + 1 of a
// well-formed JSON text, or std::string::npos when it stays within bounds.
size_t FindExcessiveNesting(const std::string& text, int max_depth);

// "line L, column C" of the byte at |offset| (0-based) of |text|.
std::string DescribeTextPosition(const std::string& text, size_t offset);

// Paths name a place in a document: steps[3].frame, args[0]["a b"].
std::string JsonPathIndex(const std::string& base, size_t index);
std::string JsonPathMember(const std::string& base, const std::string& key);

// Compact JSON text. Invalid UTF-8 becomes U+FFFD instead of throwing.
std::string ToJsonText(const nlohmann::json& json);

}  // namespace standin

#endif  // CEF_STANDIN_SIMULATOR_JSON_TEXT_H_
