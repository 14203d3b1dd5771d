#include "cef_standin/simulator/json_text.h"

#include <algorithm>

namespace standin {

namespace {

bool IsIdentifier(const std::string& key) {
  if (key.empty())
    return false;
  for (size_t i = 0; i < key.size(); ++i) {
    const char c = key[i];
    const bool alpha = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                       c == '_' || c == '$';
    const bool digit = c >= '0' && c <= '9';
    if (!alpha && !(digit && i > 0))
      return false;
  }
  return true;
}

// nlohmann's message repeats the position in its own words; keep only what
// went wrong so the position is stated once, in the simulator's form.
std::string ParseErrorDescription(const std::string& what) {
  const size_t column = what.find("column ");
  if (column != std::string::npos) {
    const size_t colon = what.find(": ", column);
    if (colon != std::string::npos)
      return what.substr(colon + 2);
  }
  const size_t bracket = what.find("] ");
  return bracket == std::string::npos ? what : what.substr(bracket + 2);
}

bool IsNumberChar(char c) {
  return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' ||
         c == 'e' || c == 'E';
}

// Calls |visit(i)| for every byte of |text| outside string literals, until
// it returns true; returns that byte's offset, or npos.
template <typename Visit>
size_t FindOutsideStrings(const std::string& text, Visit visit) {
  bool in_string = false;
  bool escaped = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (in_string) {
      if (escaped)
        escaped = false;
      else if (c == '\\')
        escaped = true;
      else if (c == '"')
        in_string = false;
      continue;
    }
    if (c == '"') {
      in_string = true;
      continue;
    }
    if (visit(i))
      return i;
  }
  return std::string::npos;
}

// Offset of the number literal |token| outside strings, or 0.
size_t FindNumberToken(const std::string& text, const std::string& token) {
  if (token.empty())
    return 0;
  const size_t found = FindOutsideStrings(text, [&](size_t i) {
    const size_t end = i + token.size();
    return text.compare(i, token.size(), token) == 0 &&
           (i == 0 || !IsNumberChar(text[i - 1])) &&
           (end >= text.size() || !IsNumberChar(text[end]));
  });
  return found == std::string::npos ? 0 : found;
}

}  // namespace

bool ParseJsonText(const std::string& text,
                   nlohmann::json* out,
                   std::string* error) {
  try {
    *out = nlohmann::json::parse(text);
  } catch (const nlohmann::json::parse_error& e) {
    // |byte| counts the characters read, the offending one included.
    const size_t offset = e.byte > 0 ? e.byte - 1 : 0;
    *error = DescribeTextPosition(text, offset) + ": " +
             ParseErrorDescription(e.what());
    return false;
  } catch (const nlohmann::json::out_of_range& e) {
    // A number too large for a double; nlohmann names the token but not
    // where it is.
    const std::string what = ParseErrorDescription(e.what());
    const size_t quote = what.find('\'');
    const std::string token =
        quote == std::string::npos
            ? std::string()
            : what.substr(quote + 1, what.size() - quote - 2);
    *error =
        DescribeTextPosition(text, FindNumberToken(text, token)) + ": " + what;
    return false;
  } catch (const nlohmann::json::exception& e) {
    *error =
        DescribeTextPosition(text, 0) + ": " + ParseErrorDescription(e.what());
    return false;
  }
  const size_t deep = FindExcessiveNesting(text, kMaxJsonDepth);
  if (deep != std::string::npos) {
    *out = nullptr;
    *error = DescribeTextPosition(text, deep) + ": nested deeper than " +
             std::to_string(kMaxJsonDepth) + " levels";
    return false;
  }
  return true;
}

size_t FindExcessiveNesting(const std::string& text, int max_depth) {
  int depth = 0;
  return FindOutsideStrings(text, [&](size_t i) {
    const char c = text[i];
    if (c == '[' || c == '{')
      return ++depth > max_depth;
    if (c == ']' || c == '}')
      --depth;
    return false;
  });
}

std::string DescribeTextPosition(const std::string& text, size_t offset) {
  const size_t end = std::min(offset, text.size());
  const size_t line = 1 + static_cast<size_t>(std::count(
                              text.begin(), text.begin() + end, '\n'));
  const size_t newline =
      end == 0 ? std::string::npos : text.rfind('\n', end - 1);
  const size_t line_start = newline == std::string::npos ? 0 : newline + 1;
  return "line " + std::to_string(line) + ", column " +
         std::to_string(offset - line_start + 1);
}

std::string JsonPathIndex(const std::string& base, size_t index) {
  return base + "[" + std::to_string(index) + "]";
}

std::string JsonPathMember(const std::string& base, const std::string& key) {
  if (!IsIdentifier(key))
    return base + "[" + ToJsonText(key) + "]";
  return base.empty() ? key : base + "." + key;
}

std::string ToJsonText(const nlohmann::json& json) {
  return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace standin
