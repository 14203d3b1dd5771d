// CEF's C string API in the stand-in (cef_string_c_api.cc): set and clear
// with their dtors, conversions and what they say of invalid input, strcmp()
// order, userfree structures, lists, maps and multimaps; CefString::c_str()
// of an empty string; the thread-id and vlog functions, the trace calls and
// the X display.
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "gtest/gtest.h"
#include "include/internal/cef_logging_internal.h"
#include "include/internal/cef_string.h"
#include "include/internal/cef_string_list.h"
#include "include/internal/cef_string_map.h"
#include "include/internal/cef_string_multimap.h"
#include "include/internal/cef_thread_internal.h"
#include "include/internal/cef_trace_event_internal.h"
#include "include/internal/cef_types_linux.h"
#include "standin_core.h"

namespace {

const char16* Units(const std::u16string& text) {
  return reinterpret_cast<const char16*>(text.data());
}

// String structures that clear themselves.
struct Utf16 {
  Utf16() = default;
  Utf16(Utf16&& other) : s(other.s) { other.s = {}; }
  ~Utf16() { cef_string_utf16_clear(&s); }
  cef_string_utf16_t s = {};
  std::u16string text() const {
    return std::u16string(reinterpret_cast<const char16_t*>(s.str), s.length);
  }
};
struct Utf8 {
  cef_string_utf8_t s = {};
  ~Utf8() { cef_string_utf8_clear(&s); }
  std::string text() const { return std::string(s.str, s.length); }
};
struct Wide {
  cef_string_wide_t s = {};
  ~Wide() { cef_string_wide_clear(&s); }
  std::wstring text() const { return std::wstring(s.str, s.length); }
};

Utf16 FromUtf8(const std::string& text) {
  Utf16 out;
  cef_string_utf8_to_utf16(text.data(), text.size(), &out.s);
  return out;
}

// The structure of a temporary, for the call it is an argument of.
const cef_string_t* Ptr(const Utf16& text) {
  return &text.s;
}

int g_dtor_calls = 0;
void CountingDtor(char16* str) {
  ++g_dtor_calls;
  delete[] str;
}

int Sign(int value) {
  return (value > 0) - (value < 0);
}

class StringCApiTest : public ::testing::Test {
 protected:
  void SetUp() override { misuses_ = standin::CefMisuseCount(); }
  void TearDown() override { standin::ClearLog(); }
  // Misuse lines (CEF's DCHECKs) since the last call.
  int NewMisuses() {
    const int now = standin::CefMisuseCount();
    const int count = now - misuses_;
    misuses_ = now;
    return count;
  }

 private:
  int misuses_ = 0;
};

struct Utf8Row {
  std::string utf8;
  std::u16string utf16;
  int valid;
};

// Invalid UTF-8 follows Unicode's "maximal subpart" practice (what ICU 60+
// and the WHATWG decoder do; Chromium 81's exact granularity is not known
// here): one U+FFFD per maximal well-formed prefix, or per byte that starts
// none. The result is written either way; the return says whether it was
// valid, as CEF's header promises.
TEST_F(StringCApiTest, Utf8ConvertsBothWaysAndReportsInvalidInput) {
  const std::vector<Utf8Row> rows = {
      {"", u"", 1},
      {"plain ASCII", u"plain ASCII", 1},
      {std::string("nul\0in", 6), std::u16string(u"nul\0in", 6), 1},
      {"\xC3\xA9\xE2\x82\xAC", u"\u00E9\u20AC", 1},
      {"\xF0\x9F\x98\x80!", u"\U0001F600!", 1},
      {"\xEF\xBF\xBD", u"\uFFFD", 1},  // a U+FFFD of the input is valid
      {"a\x80z", u"a\uFFFDz", 0},
      {"\xE2\x82z", u"\uFFFDz", 0},
      {"\xC0\xAF", u"\uFFFD\uFFFD", 0},
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD", 0},
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", 0},
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(::testing::Message() << "row " << i);
    const Utf8Row& row = rows[i];
    Utf16 utf16;
    EXPECT_EQ(row.valid, cef_string_utf8_to_utf16(row.utf8.data(),
                                                  row.utf8.size(), &utf16.s));
    EXPECT_EQ(row.utf16, utf16.text());
    Wide wide;
    EXPECT_EQ(row.valid, cef_string_utf8_to_wide(row.utf8.data(),
                                                 row.utf8.size(), &wide.s));
    Utf16 from_wide;
    EXPECT_EQ(
        1, cef_string_wide_to_utf16(wide.s.str, wide.s.length, &from_wide.s));
    EXPECT_EQ(row.utf16, from_wide.text());
    if (!row.valid)
      continue;
    Utf8 back;
    EXPECT_EQ(1,
              cef_string_utf16_to_utf8(utf16.s.str, utf16.s.length, &back.s));
    EXPECT_EQ(row.utf8, back.text());
    EXPECT_EQ(1, cef_string_wide_to_utf8(wide.s.str, wide.s.length, &back.s));
    EXPECT_EQ(row.utf8, back.text());
  }
  EXPECT_EQ(0, NewMisuses());
}

TEST_F(StringCApiTest, LoneSurrogatesAndNonCodePointsBecomeReplacements) {
  const std::vector<std::u16string> lone = {u"\xD800z", u"z\xD800", u"\xDC00",
                                            u"\xDC00\xD800"};
  for (const std::u16string& units : lone) {
    Utf8 utf8;
    EXPECT_EQ(0, cef_string_utf16_to_utf8(Units(units), units.size(), &utf8.s));
    Wide wide;
    EXPECT_EQ(0, cef_string_utf16_to_wide(Units(units), units.size(), &wide.s));
    EXPECT_EQ(units.size(), wide.s.length);
    EXPECT_NE(std::string::npos, utf8.text().find("\xEF\xBF\xBD"));
  }
  // wchar_t is UTF-32 here: a surrogate or a value past U+10FFFF is no code
  // point.
  const std::wstring wide = {L'a', static_cast<wchar_t>(0xD800),
                             static_cast<wchar_t>(0x110000),
                             static_cast<wchar_t>(0x1F600)};
  Utf16 utf16;
  EXPECT_EQ(0, cef_string_wide_to_utf16(wide.data(), wide.size(), &utf16.s));
  EXPECT_EQ(u"a\uFFFD\uFFFD\U0001F600", utf16.text());
  Utf8 utf8;
  EXPECT_EQ(0, cef_string_wide_to_utf8(wide.data(), wide.size(), &utf8.s));
  EXPECT_EQ("a\xEF\xBF\xBD\xEF\xBF\xBD\xF0\x9F\x98\x80", utf8.text());
  EXPECT_EQ(0, NewMisuses());
}

TEST_F(StringCApiTest, SetCopiesOrRefersAndClearCallsTheDtor) {
  const char16 text[] = {'a', 'b', 'c'};  // no terminator
  Utf16 copy;
  ASSERT_EQ(1, cef_string_utf16_set(text, 3, &copy.s, /*copy=*/1));
  EXPECT_NE(text, copy.s.str);
  EXPECT_EQ(0, copy.s.str[3]);  // a copy is terminated
  EXPECT_NE(nullptr, copy.s.dtor);
  Utf16 reference;
  ASSERT_EQ(1, cef_string_utf16_set(text, 3, &reference.s, /*copy=*/0));
  EXPECT_EQ(text, reference.s.str);
  EXPECT_EQ(nullptr, reference.s.dtor);
  // An empty copy holds nothing; an empty reference still refers.
  ASSERT_EQ(1, cef_string_utf16_set(text, 0, &copy.s, 1));
  EXPECT_EQ(nullptr, copy.s.str);
  EXPECT_EQ(nullptr, copy.s.dtor);
  ASSERT_EQ(1, cef_string_utf16_set(text, 0, &reference.s, 0));
  EXPECT_EQ(text, reference.s.str);
  EXPECT_EQ(0u, reference.s.length);

  // Setting, converting into and clearing a string release its old text
  // through its dtor, once each; a set from its own text is safe.
  g_dtor_calls = 0;
  cef_string_utf16_t mine = {new char16[2]{'x', 0}, 1, CountingDtor};
  cef_string_utf16_set(mine.str, mine.length, &mine, 1);
  EXPECT_EQ(1, g_dtor_calls);
  EXPECT_EQ('x', mine.str[0]);
  cef_string_utf16_clear(&mine);
  mine.str = new char16[1]{0};
  mine.dtor = CountingDtor;
  cef_string_utf8_to_utf16("yz", 2, &mine);
  EXPECT_EQ(2, g_dtor_calls);
  mine.dtor = CountingDtor;  // the copy's own dtor, counted
  cef_string_utf16_clear(&mine);
  EXPECT_EQ(3, g_dtor_calls);
  EXPECT_EQ(nullptr, mine.str);
  EXPECT_EQ(0u, mine.length);
  EXPECT_EQ(nullptr, mine.dtor);

  // What CEF only DCHECKs is a misuse line here, then a refusal.
  EXPECT_EQ(0, cef_string_utf16_set(text, 3, nullptr, 1));
  EXPECT_EQ(0, cef_string_utf8_to_utf16(nullptr, 3, &copy.s));
  EXPECT_EQ(2, NewMisuses());
  EXPECT_EQ(1, cef_string_utf8_to_utf16(nullptr, 0, &copy.s));
  EXPECT_EQ(0, NewMisuses());
}

struct CompareRow {
  std::u16string a;
  std::u16string b;
  int sign;
};

TEST_F(StringCApiTest, CompareOrdersAsStrcmp) {
  const std::vector<CompareRow> rows = {
      {u"", u"", 0},
      {u"", u"a", -1},
      {u"abc", u"abd", -1},
      {u"abc", u"ab", 1},
      {u"\uE000", u"z", 1},            // units are unsigned
      {u"\U0001F600", u"\uFFFF", -1},  // UTF-16 order, not code points'
      {std::u16string(u"a\0b", 3), std::u16string(u"a\0c", 3), -1},
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    cef_string_utf16_t sa = {const_cast<char16*>(Units(rows[i].a)),
                             rows[i].a.size(), nullptr};
    cef_string_utf16_t sb = {const_cast<char16*>(Units(rows[i].b)),
                             rows[i].b.size(), nullptr};
    EXPECT_EQ(rows[i].sign, Sign(cef_string_utf16_cmp(&sa, &sb))) << i;
    EXPECT_EQ(-rows[i].sign, Sign(cef_string_utf16_cmp(&sb, &sa))) << i;
  }
  // UTF-8 and wide strings go through strncmp and wcsncmp, as in CEF: bytes
  // unsigned, and a NUL both share ends the comparison.
  cef_string_utf8_t e_acute = {const_cast<char*>("\xC3\xA9"), 2, nullptr};
  cef_string_utf8_t z = {const_cast<char*>("z"), 1, nullptr};
  EXPECT_EQ(1, Sign(cef_string_utf8_cmp(&e_acute, &z)));
  cef_string_utf8_t nul_b = {const_cast<char*>("a\0b"), 3, nullptr};
  cef_string_utf8_t nul_c = {const_cast<char*>("a\0c"), 3, nullptr};
  EXPECT_EQ(0, cef_string_utf8_cmp(&nul_b, &nul_c));
  cef_string_wide_t wide_ab = {const_cast<wchar_t*>(L"ab"), 2, nullptr};
  cef_string_wide_t wide_abc = {const_cast<wchar_t*>(L"abc"), 3, nullptr};
  EXPECT_EQ(-1, Sign(cef_string_wide_cmp(&wide_ab, &wide_abc)));
}

TEST_F(StringCApiTest, AsciiAndCaseMapping) {
  Utf16 utf16;
  EXPECT_EQ(1, cef_string_ascii_to_utf16("Hi!", 3, &utf16.s));
  EXPECT_EQ(u"Hi!", utf16.text());
  Wide wide;
  EXPECT_EQ(1, cef_string_ascii_to_wide("Hi!", 3, &wide.s));
  EXPECT_EQ(L"Hi!", wide.text());
  EXPECT_EQ(0, NewMisuses());
  // Not ASCII: a DCHECK in CEF; its release build widens the char as it is.
  EXPECT_EQ(1, cef_string_ascii_to_utf16("\xE9", 1, &utf16.s));
  EXPECT_EQ(static_cast<char16>('\xE9'), utf16.s.str[0]);
  EXPECT_EQ(1, NewMisuses());

  // Simple (one code point to one) case mapping: no ICU here, so upper-case
  // "ß" stays "ß" where CEF gives "SS".
  const std::vector<std::vector<std::u16string>> rows = {
      // input, lower, upper
      {u"Hello, World", u"hello, world", u"HELLO, WORLD"},
      {u"\u00C9t\u00E9", u"\u00E9t\u00E9", u"\u00C9T\u00C9"},
      {u"\u03A3\u0436", u"\u03C3\u0436", u"\u03A3\u0416"},
      {u"\U00010400", u"\U00010428", u"\U00010400"},
      {u"\xD800x", u"\xD800x", u"\xD800X"},
      {u"stra\u00DFe", u"stra\u00DFe", u"STRA\u00DFE"},
  };
  for (const auto& row : rows) {
    Utf16 lower;
    Utf16 upper;
    EXPECT_EQ(
        1, cef_string_utf16_to_lower(Units(row[0]), row[0].size(), &lower.s));
    EXPECT_EQ(
        1, cef_string_utf16_to_upper(Units(row[0]), row[0].size(), &upper.s));
    EXPECT_EQ(row[1], lower.text());
    EXPECT_EQ(row[2], upper.text());
  }
}

TEST_F(StringCApiTest, UserfreeStructuresStartEmptyAndFreeTheirText) {
  cef_string_userfree_utf16_t utf16 = cef_string_userfree_utf16_alloc();
  EXPECT_EQ(nullptr, utf16->str);
  EXPECT_EQ(0u, utf16->length);
  EXPECT_EQ(nullptr, utf16->dtor);
  cef_string_utf8_to_utf16("kept", 4, utf16);
  cef_string_userfree_utf16_free(utf16);  // LeakSanitizer sees the rest
  cef_string_userfree_utf8_t utf8 = cef_string_userfree_utf8_alloc();
  cef_string_utf8_set("x", 1, utf8, 1);
  cef_string_userfree_utf8_free(utf8);
  cef_string_userfree_wide_t wide = cef_string_userfree_wide_alloc();
  cef_string_wide_set(L"x", 1, wide, 1);
  cef_string_userfree_wide_free(wide);
  EXPECT_EQ(0, NewMisuses());
  cef_string_userfree_utf16_free(nullptr);
  EXPECT_EQ(1, NewMisuses());
}

TEST_F(StringCApiTest, ListsHoldCopiesByIndex) {
  cef_string_list_t list = cef_string_list_alloc();
  std::u16string source = u"one";
  cef_string_t one = {const_cast<char16*>(Units(source)), 3, nullptr};
  cef_string_list_append(list, &one);
  source[0] = 'X';  // the list kept its own copy
  cef_string_list_append(list, Ptr(FromUtf8("\xF0\x9F\x98\x80")));
  cef_string_list_append(list, nullptr);  // an empty string
  ASSERT_EQ(3u, cef_string_list_size(list));

  Utf16 value;
  EXPECT_EQ(1, cef_string_list_value(list, 0, &value.s));
  EXPECT_EQ(u"one", value.text());
  EXPECT_EQ(1, cef_string_list_value(list, 2, &value.s));
  EXPECT_EQ(nullptr, value.s.str);
  EXPECT_EQ(0, NewMisuses());
  EXPECT_EQ(0, cef_string_list_value(list, 3, &value.s));
  EXPECT_EQ(1, NewMisuses());

  cef_string_list_t copy = cef_string_list_copy(list);
  cef_string_list_clear(list);
  EXPECT_EQ(0u, cef_string_list_size(list));
  ASSERT_EQ(3u, cef_string_list_size(copy));
  EXPECT_EQ(1, cef_string_list_value(copy, 1, &value.s));
  EXPECT_EQ(u"\U0001F600", value.text());
  cef_string_list_free(list);
  cef_string_list_free(copy);
}

TEST_F(StringCApiTest, MapsKeepOneValuePerKeyInKeyOrder) {
  cef_string_map_t map = cef_string_map_alloc();
  EXPECT_EQ(1,
            cef_string_map_append(map, Ptr(FromUtf8("b")), Ptr(FromUtf8("2"))));
  EXPECT_EQ(1,
            cef_string_map_append(map, Ptr(FromUtf8("a")), Ptr(FromUtf8("1"))));
  EXPECT_EQ(1, cef_string_map_append(map, nullptr, Ptr(FromUtf8("empty"))));
  // A key already there keeps its value, and the append still answers 1.
  EXPECT_EQ(1,
            cef_string_map_append(map, Ptr(FromUtf8("a")), Ptr(FromUtf8("9"))));
  ASSERT_EQ(3u, cef_string_map_size(map));

  // Indices follow the keys' order (CEF's std::map), the empty key first.
  const std::u16string keys[] = {u"", u"a", u"b"};
  const std::u16string values[] = {u"empty", u"1", u"2"};
  for (size_t i = 0; i < 3; ++i) {
    Utf16 key;
    Utf16 value;
    EXPECT_EQ(1, cef_string_map_key(map, i, &key.s));
    EXPECT_EQ(1, cef_string_map_value(map, i, &value.s));
    EXPECT_EQ(keys[i], key.text());
    EXPECT_EQ(values[i], value.text());
  }
  Utf16 found = FromUtf8("untouched");
  EXPECT_EQ(0, cef_string_map_find(map, Ptr(FromUtf8("zz")), &found.s));
  EXPECT_EQ(u"untouched", found.text());
  EXPECT_EQ(1, cef_string_map_find(map, Ptr(FromUtf8("a")), &found.s));
  EXPECT_EQ(u"1", found.text());
  EXPECT_EQ(1, cef_string_map_find(map, nullptr, &found.s));
  EXPECT_EQ(u"empty", found.text());
  EXPECT_EQ(0, NewMisuses());
  EXPECT_EQ(0, cef_string_map_key(map, 3, &found.s));
  EXPECT_EQ(0, cef_string_map_find(nullptr, nullptr, &found.s));
  EXPECT_EQ(2, NewMisuses());
  cef_string_map_clear(map);
  EXPECT_EQ(0u, cef_string_map_size(map));
  cef_string_map_free(map);
}

TEST_F(StringCApiTest, MultimapsKeepEveryValueInArrivalOrderPerKey) {
  cef_string_multimap_t map = cef_string_multimap_alloc();
  const char* const pairs[][2] = {
      {"k", "v1"}, {"a", "x"}, {"k", "v2"}, {"k", "v3"}};
  for (const auto& pair : pairs) {
    EXPECT_EQ(1, cef_string_multimap_append(map, Ptr(FromUtf8(pair[0])),
                                            Ptr(FromUtf8(pair[1]))));
  }
  EXPECT_EQ(4u, cef_string_multimap_size(map));
  EXPECT_EQ(3u, cef_string_multimap_find_count(map, Ptr(FromUtf8("k"))));
  EXPECT_EQ(0u, cef_string_multimap_find_count(map, Ptr(FromUtf8("none"))));

  const std::u16string keys[] = {u"a", u"k", u"k", u"k"};
  const std::u16string values[] = {u"x", u"v1", u"v2", u"v3"};
  for (size_t i = 0; i < 4; ++i) {
    Utf16 key;
    Utf16 value;
    EXPECT_EQ(1, cef_string_multimap_key(map, i, &key.s));
    EXPECT_EQ(1, cef_string_multimap_value(map, i, &value.s));
    EXPECT_EQ(keys[i], key.text());
    EXPECT_EQ(values[i], value.text());
    if (i == 0)
      continue;
    Utf16 enumerated;
    EXPECT_EQ(1, cef_string_multimap_enumerate(map, Ptr(FromUtf8("k")), i - 1,
                                               &enumerated.s));
    EXPECT_EQ(values[i], enumerated.text());
  }
  EXPECT_EQ(0, NewMisuses());
  Utf16 value;
  EXPECT_EQ(
      0, cef_string_multimap_enumerate(map, Ptr(FromUtf8("k")), 3, &value.s));
  EXPECT_EQ(0, cef_string_multimap_value(map, 4, &value.s));
  EXPECT_EQ(2, NewMisuses());
  cef_string_multimap_clear(map);
  EXPECT_EQ(0u, cef_string_multimap_size(map));
  cef_string_multimap_free(map);
}

// As in CEF, whose CefString holds no text until set and none after clear().
TEST_F(StringCApiTest, CefStringCStrIsNullWhileEmpty) {
  const char16 units[] = {'x'};
  const std::vector<CefString> empty = {CefString(),
                                        CefString(""),
                                        CefString(std::string()),
                                        CefString(L""),
                                        CefString(units, 0, true),
                                        CefString(CefString())};
  for (const CefString& text : empty)
    EXPECT_EQ(nullptr, text.c_str());
  CefString text("x");
  ASSERT_NE(nullptr, text.c_str());
  EXPECT_EQ('x', text.c_str()[0]);
  EXPECT_EQ(0, text.c_str()[1]);
  text.clear();
  EXPECT_EQ(nullptr, text.c_str());
  EXPECT_EQ("", text.ToString());
}

TEST_F(StringCApiTest, ThreadIdAndHandleAreTheCallingThreads) {
  const cef_platform_thread_id_t id = cef_get_current_platform_thread_id();
  EXPECT_EQ(static_cast<pid_t>(syscall(SYS_gettid)), id);
  EXPECT_NE(kInvalidPlatformThreadId, id);
  EXPECT_TRUE(
      pthread_equal(pthread_self(), cef_get_current_platform_thread_handle()));
  cef_platform_thread_id_t other_id = kInvalidPlatformThreadId;
  cef_platform_thread_handle_t other_handle = pthread_self();
  std::thread([&] {
    other_id = cef_get_current_platform_thread_id();
    other_handle = cef_get_current_platform_thread_handle();
  }).join();
  EXPECT_NE(id, other_id);
  EXPECT_FALSE(pthread_equal(pthread_self(), other_handle));
}

// Without --v or --vmodule, Chromium's verbosity of the minimum log level.
TEST_F(StringCApiTest, VlogLevelFollowsTheMinimumLogLevel) {
  EXPECT_EQ(0, cef_get_vlog_level(__FILE__, sizeof(__FILE__)));
  standin::SetMinLogLevel(-1);
  EXPECT_EQ(1, cef_get_vlog_level(__FILE__, sizeof(__FILE__)));
  standin::SetMinLogLevel(2);
  EXPECT_EQ(-1, cef_get_vlog_level(__FILE__, sizeof(__FILE__)));
  standin::SetMinLogLevel(0);
}

// No trace is ever collected, so the calls (null names included) record
// nothing; the X display belongs to the browser process, which the stand-in
// does not play.
TEST_F(StringCApiTest, TracesRecordNothingAndThereIsNoXDisplay) {
  const size_t lines = standin::LogRecords().size();
  cef_trace_event_instant("cat", "instant", "a", 1, nullptr, 0, 0);
  cef_trace_event_begin("cat", "span", "a", 1, "b", 2, 1);
  cef_trace_event_end("cat", "span", nullptr, 0, nullptr, 0, 0);
  cef_trace_counter("cat", "counter", "v", 3, nullptr, 0, 0);
  cef_trace_counter_id("cat", "counter", 9, "v", 3, "w", 4, 1);
  cef_trace_event_async_begin("cat", "async", 9, nullptr, 0, nullptr, 0, 0);
  cef_trace_event_async_step_into("cat", "async", 9, 1, "a", 1, 0);
  cef_trace_event_async_step_past("cat", "async", 9, 2, nullptr, 0, 0);
  cef_trace_event_async_end("cat", "async", 9, nullptr, 0, nullptr, 0, 0);
  EXPECT_EQ(lines, standin::LogRecords().size());
  EXPECT_EQ(0, NewMisuses());
  EXPECT_DEATH(cef_get_xdisplay(),
               "not implemented by the CEF stand-in: cef_get_xdisplay");
}

}  // namespace
