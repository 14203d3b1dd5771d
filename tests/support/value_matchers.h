// Deep comparison of CEF list and dictionary values for tests:
//   EXPECT_TRUE(testing_support::ListEq(expected, actual));
// On a difference the failure names the path to it, e.g.
//   [1]["name"][0]: expected int 5, got double 5.0
#ifndef QUILLMOSS_TESTS_SUPPORT_VALUE_MATCHERS_H_
#define QUILLMOSS_TESTS_SUPPORT_VALUE_MATCHERS_H_

#include <string>

#include "gtest/gtest.h"
#include "include/cef_values.h"

namespace testing_support {

// Types and values must match exactly (an int never equals a double). Two
// null references are equal; a null and a non-null one are not.
::testing::AssertionResult ListEq(CefRefPtr<CefListValue> expected,
                                  CefRefPtr<CefListValue> actual);
::testing::AssertionResult DictEq(CefRefPtr<CefDictionaryValue> expected,
                                  CefRefPtr<CefDictionaryValue> actual);

// The simulator's JSON form of the value (cef_value_json.h), compact; a
// null reference is "<none>".
std::string DescribeValue(CefRefPtr<CefListValue> list);
std::string DescribeValue(CefRefPtr<CefDictionaryValue> dictionary);

}  // namespace testing_support

#endif  // QUILLMOSS_TESTS_SUPPORT_VALUE_MATCHERS_H_
