#include "cef_standin/simulator/cef_value_json.h"

#include <cstring>
#include <iterator>
#include <string>

#include "cef_standin/simulator/json_text.h"
#include "gtest/gtest.h"

namespace standin {
namespace {

using nlohmann::json;

std::string Nested(const std::string& open,
                   const std::string& close,
                   int levels,
                   const std::string& inner) {
  std::string text;
  for (int i = 0; i < levels; ++i)
    text += open;
  text += inner;
  for (int i = 0; i < levels; ++i)
    text += close;
  return text;
}

// Converts |text| to a CEF list and back to JSON text.
std::string RoundTrip(const std::string& text) {
  std::string error;
  CefRefPtr<CefListValue> list = JsonToCefList(json::parse(text), &error);
  if (!list)
    return "error: " + error;
  return ToJsonText(CefListToJson(list));
}

struct RoundTripRow {
  const char* input;
  const char* output;
};

// Output must read back to the same values, so every row is also checked to
// be a fixed point.
const RoundTripRow kRoundTrips[] = {
    {R"([1, -2147483648, 2147483647, 0, -0])",
     R"([1,-2147483648,2147483647,0,0])"},
    {R"([2147483648, -2147483649, 1e2, 1.5, 0.1, -0.0, 1e300])",
     R"([2147483648.0,-2147483649.0,100.0,1.5,0.1,-0.0,1e+300])"},
    {R"([{"$double": 5}, {"$double": -7}, {"$int": 7}, {"$int": -2147483648}])",
     R"([5.0,-7.0,7,-2147483648])"},
    // Accepted, but CEF's values cannot hold them and keep 0 instead.
    {R"([{"$double": "NaN"}, {"$double": "Infinity"}, {"$double": "-Infinity"}])",
     R"([0.0,0.0,0.0])"},
    {R"([{"$binary": "00FFa0"}, {"$binary": "7f"}])",
     R"([{"$binary":"00ffa0"},{"$binary":"7f"}])"},
    {R"([{"$callback": 12}, {"$callback": -1}])",
     R"([{"$binary":"0c00000000000000000000000000000000000000"},)"
     R"({"$binary":"ffffffff00000000000000000000000000000000"}])"},
    {R"([null, true, false, "", "a\u0000b", "\u00e9\ud83d\ude00"])",
     "[null,true,false,\"\",\"a\\u0000b\",\"\xc3\xa9\xf0\x9f\x98\x80\"]"},
    {R"([[1, [2, {"a": [true, null, {"$binary": "01"}]}]], {}, []])",
     R"([[1,[2,{"a":[true,null,{"$binary":"01"}]}]],{},[]])"},
    // CEF hands keys back in byte order of their UTF-8.
    {R"([{"b": 1, "a": 2, "B": 3, "\u00e9": 4, "": 5}])",
     "[{\"\":5,\"B\":3,\"a\":2,\"b\":1,\"\xc3\xa9\":4}]"},
    {R"([{"$dict": {"$x": 1}}, {"$dict": {"a": {"$int": 1}}}])",
     R"([{"$dict":{"$x":1}},{"a":1}])"},
    {R"([{"$x": 1, "y": {"$double": 2}}])", R"([{"$x":1,"y":2.0}])"},
};

TEST(CefValueJsonTest, RoundTrips) {
  for (size_t i = 0; i < std::size(kRoundTrips); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    const std::string output = RoundTrip(kRoundTrips[i].input);
    EXPECT_EQ(kRoundTrips[i].output, output);
    EXPECT_EQ(output, RoundTrip(output));
  }
}

TEST(CefValueJsonTest, NumbersKeepTheirCefType) {
  std::string error;
  CefRefPtr<CefListValue> list = JsonToCefList(
      json::parse(R"([5, 5.0, {"$double": 5}, 2147483648, {"$int": 5}])"),
      &error);
  ASSERT_TRUE(list) << error;
  EXPECT_EQ(VTYPE_INT, list->GetType(0));
  EXPECT_EQ(VTYPE_DOUBLE, list->GetType(1));
  EXPECT_EQ(VTYPE_DOUBLE, list->GetType(2));
  EXPECT_EQ(5.0, list->GetDouble(2));
  EXPECT_EQ(VTYPE_DOUBLE, list->GetType(3));
  EXPECT_EQ(2147483648.0, list->GetDouble(3));
  EXPECT_EQ(VTYPE_INT, list->GetType(4));
}

TEST(CefValueJsonTest, CallbackIsTwentyBytesOfLittleEndianId) {
  std::string error;
  CefRefPtr<CefDictionaryValue> dictionary =
      JsonToCefDictionary(json::parse(R"({"cb": {"$callback": 12}})"), &error);
  ASSERT_TRUE(dictionary) << error;
  ASSERT_EQ(VTYPE_BINARY, dictionary->GetType("cb"));
  CefRefPtr<CefBinaryValue> binary = dictionary->GetBinary("cb");
  ASSERT_EQ(kCallbackBinarySize, binary->GetSize());
  unsigned char bytes[kCallbackBinarySize] = {};
  ASSERT_EQ(sizeof(bytes), binary->GetData(bytes, sizeof(bytes), 0));
  unsigned char expected[kCallbackBinarySize] = {0x0c};
  EXPECT_EQ(0, memcmp(expected, bytes, sizeof(bytes)));
  EXPECT_EQ(std::string("\x0c\0\0\0", 4) + std::string(16, '\0'),
            CallbackBinaryBytes(12));
}

TEST(CefValueJsonTest, AppendsToAnExistingList) {
  CefRefPtr<CefListValue> list = CefListValue::Create();
  list->SetString(0, "first");
  std::string error;
  ASSERT_TRUE(AppendJsonToCefList(json::parse("[1, [2]]"), list, &error))
      << error;
  EXPECT_EQ(R"(["first",1,[2]])", ToJsonText(CefListToJson(list)));
}

struct ErrorRow {
  std::string input;
  const char* error;
};

TEST(CefValueJsonTest, BadInputNamesThePlace) {
  const ErrorRow rows[] = {
      {R"({"a": 1})", "value: must be an array"},
      {R"([{"$binary": "0g"}])", "value[0].$binary: is not hex at offset 1"},
      {R"([{"$binary": "abc"}])", "value[0].$binary: has an odd number"},
      {R"([{"$binary": ""}])", "value[0].$binary: must hold at least one byte"},
      {R"([{"$binary": 5}])", "value[0].$binary: must be a string"},
      {R"([{"$int": 2147483648}])", "value[0].$int: must be an integer"},
      {R"([{"$int": 1.5}])", "value[0].$int: must be an integer"},
      {R"([{"$callback": "x"}])", "value[0].$callback: must be an integer"},
      {R"([{"$double": "nan"}])", "value[0].$double: must be a number"},
      {R"([{"$double": null}])", "value[0].$double: must be a number"},
      {R"([1, {"$foo": 1}])", "value[1]: unknown tag '$foo'"},
      {R"([{"$dict": [1]}])", "value[0].$dict: must be an object"},
      {R"([{"a b": [{"$binary": "z0"}]}])",
       R"(value[0]["a b"][0].$binary: is not hex at offset 0)"},
      {Nested("[", "]", kMaxValueDepth + 1, ""), "nested deeper than"},
      {"[" + Nested("{\"k\":", "}", kMaxValueDepth, "1") + "]",
       "nested deeper than"},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    std::string error;
    EXPECT_FALSE(JsonToCefList(json::parse(rows[i].input), &error));
    EXPECT_NE(std::string::npos, error.find(rows[i].error)) << error;
  }
  std::string error;
  EXPECT_TRUE(
      JsonToCefList(json::parse(Nested("[", "]", kMaxValueDepth, "")), &error))
      << error;
}

TEST(CefValueJsonTest, OutputOfValuesJsonCannotSayPlainly) {
  EXPECT_EQ(R"({"$invalid":true})", ToJsonText(CefListToJson(nullptr)));

  CefRefPtr<CefDictionaryValue> tag_like = CefDictionaryValue::Create();
  tag_like->SetDouble("$double", 3);
  EXPECT_EQ(R"({"$dict":{"$double":3.0}})",
            ToJsonText(CefDictionaryToJson(tag_like)));

  // Lists nested deeper than the bound are cut rather than recursed into.
  CefRefPtr<CefListValue> outer = CefListValue::Create();
  for (int i = 0; i < kMaxValueDepth + 5; ++i) {
    CefRefPtr<CefListValue> wrapper = CefListValue::Create();
    wrapper->SetList(0, outer);
    outer = wrapper;
  }
  const std::string text = ToJsonText(CefListToJson(outer));
  EXPECT_EQ(Nested("[", "]", kMaxValueDepth, R"({"$truncated":true})"), text);
}

TEST(JsonTextTest, ErrorsGiveLineAndColumn) {
  const ErrorRow rows[] = {
      {"", "line 1, column 1: syntax error"},
      {"{\n  \"a\": x}", "line 2, column 8: syntax error"},
      {"{\"a\":1}\n}", "line 2, column 1: syntax error"},
      {"[1,2", "line 1, column 5: syntax error"},
      {"[\"\xff\"]", "line 1, column 3: syntax error"},
      {"[\"1E400\",\n 1E400]",
       "line 2, column 2: number overflow parsing '1E400'"},
      {Nested("[", "]", kMaxJsonDepth + 1, ""),
       "line 1, column 257: nested deeper than 256 levels"},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    json out;
    std::string error;
    EXPECT_FALSE(ParseJsonText(rows[i].input, &out, &error));
    EXPECT_EQ(0u, error.find(rows[i].error)) << error;
  }
  json out;
  std::string error;
  EXPECT_TRUE(
      ParseJsonText(Nested("[", "]", kMaxJsonDepth, "\"[[[\""), &out, &error))
      << error;
}

TEST(JsonTextTest, PathsQuoteKeysThatAreNotNames) {
  EXPECT_EQ("steps[3].frame",
            JsonPathMember(JsonPathIndex("steps", 3), "frame"));
  EXPECT_EQ("a.$int", JsonPathMember("a", "$int"));
  EXPECT_EQ(R"(a["x y"])", JsonPathMember("a", "x y"));
  EXPECT_EQ(R"(a["1"])", JsonPathMember("a", "1"));
  EXPECT_EQ("key", JsonPathMember("", "key"));
}

}  // namespace
}  // namespace standin
