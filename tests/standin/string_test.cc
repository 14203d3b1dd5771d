// CefString's conversions: valid text round-trips, and every kind of invalid
// input becomes U+FFFD instead of failing.
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "include/internal/cef_string.h"

namespace {

std::u16string ToUtf16(const std::string& utf8) {
  base::string16 out;
  standin::cef_string_utf8_to_utf16_std(utf8.data(), utf8.size(), &out);
  return std::u16string(out.begin(), out.end());
}

std::string ToUtf8(const std::u16string& utf16) {
  const base::string16 units(utf16.begin(), utf16.end());
  std::string out;
  standin::cef_string_utf16_to_utf8_std(units.data(), units.size(), &out);
  return out;
}

struct Utf8Row {
  std::string utf8;
  std::u16string utf16;
};

TEST(StringConversionTest, Utf8ToUtf16) {
  const std::vector<Utf8Row> rows = {
      {"", u""},
      {"plain ASCII", u"plain ASCII"},
      {std::string("nul\0inside", 10), std::u16string(u"nul\0inside", 10)},
      {"\xC3\xA9\xE2\x82\xAC", u"\u00E9\u20AC"},
      {"\xF0\x9F\x98\x80", u"\xD83D\xDE00"},
      {"\xF4\x8F\xBF\xBF", u"\xDBFF\xDFFF"},  // U+10FFFF, the last one
      // A stray continuation byte, and bytes that never start a sequence.
      {"a\x80z", u"a\uFFFDz"},
      {"\xF5\xFF", u"\uFFFD\uFFFD"},
      // Overlong forms: each byte of them is replaced.
      {"\xC0\xAF", u"\uFFFD\uFFFD"},
      {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
      // A truncated sequence is one U+FFFD, and what broke it is kept.
      {"\xE2\x82", u"\uFFFD"},
      {"\xE2\x82z", u"\uFFFDz"},
      {"\xF0\x9F\x98", u"\uFFFD"},
      // Above U+10FFFF, and a surrogate encoded as UTF-8.
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
  };
  for (size_t i = 0; i < rows.size(); ++i)
    EXPECT_EQ(rows[i].utf16, ToUtf16(rows[i].utf8)) << "row " << i;
}

struct Utf16Row {
  std::u16string utf16;
  std::string utf8;
};

TEST(StringConversionTest, Utf16ToUtf8) {
  const std::vector<Utf16Row> rows = {
      {u"plain", "plain"},
      {u"\u00E9\u20AC", "\xC3\xA9\xE2\x82\xAC"},
      {u"\xD83D\xDE00!", "\xF0\x9F\x98\x80!"},
      // Lone surrogates: high before a non-surrogate, high at the end, low
      // alone, and a pair in the wrong order.
      {u"\xD800z", "\xEF\xBF\xBDz"},
      {u"z\xD800", "z\xEF\xBF\xBD"},
      {u"\xDC00", "\xEF\xBF\xBD"},
      {u"\xDC00\xD800", "\xEF\xBF\xBD\xEF\xBF\xBD"},
  };
  for (size_t i = 0; i < rows.size(); ++i)
    EXPECT_EQ(rows[i].utf8, ToUtf8(rows[i].utf16)) << "row " << i;
}

TEST(StringConversionTest, WideStringsAreUtf32OnLinux) {
  if (sizeof(wchar_t) != 4)
    GTEST_SKIP() << "wchar_t is UTF-16 here";
  const std::wstring wide = {L'a', static_cast<wchar_t>(0x1F600),
                             static_cast<wchar_t>(0xD800),
                             static_cast<wchar_t>(0x110000)};
  base::string16 utf16;
  standin::cef_string_wide_to_utf16_std(wide.data(), wide.size(), &utf16);
  EXPECT_EQ(u"a\xD83D\xDE00\uFFFD\uFFFD",
            std::u16string(utf16.begin(), utf16.end()));

  std::wstring back;
  standin::cef_string_utf16_to_wide_std(utf16.data(), utf16.size(), &back);
  EXPECT_EQ((std::wstring{L'a', static_cast<wchar_t>(0x1F600), 0xFFFD, 0xFFFD}),
            back);
}

TEST(StringConversionTest, CefStringRoundTrips) {
  const std::string utf8 = "ascii \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80";
  EXPECT_EQ(utf8, CefString(utf8).ToString());
  const std::wstring wide = CefString(utf8).ToWString();
  EXPECT_EQ(utf8, CefString(wide).ToString());
  // Invalid input is mended once and then stays stable.
  const std::string mended = CefString("\xC0\xAF").ToString();
  EXPECT_EQ("\xEF\xBF\xBD\xEF\xBF\xBD", mended);
  EXPECT_EQ(mended, CefString(mended).ToString());
}

TEST(StringConversionTest, CefStringFromUnitsComparesThemUnsigned) {
  const char16 units[] = {'a', 0xE000, 'z'};
  const CefString text(units, 2, /*copy=*/true);
  EXPECT_EQ(2u, text.length());
  EXPECT_EQ("a\xEE\x80\x80", text.ToString());
  EXPECT_TRUE(CefString(units, 0, true).empty());
  // UTF-16 units order as unsigned numbers: U+E000 sorts after 'z'.
  EXPECT_LT(CefString(units + 2, 1, true), CefString(units + 1, 1, true));
  const base::string16 copy = text.ToString16();
  EXPECT_EQ(1u, copy.find(static_cast<char16>(0xE000)));
  EXPECT_EQ(text, CefString(copy));
}

TEST(StringConversionTest, NullInputGivesEmptyOutput) {
  std::string utf8 = "stale";
  standin::cef_string_utf16_to_utf8_std(nullptr, 3, &utf8);
  EXPECT_EQ("", utf8);
  base::string16 utf16(3, 'x');
  standin::cef_string_utf8_to_utf16_std(nullptr, 3, &utf16);
  EXPECT_TRUE(utf16.empty());
}

}  // namespace
