// CefListValue, CefDictionaryValue and CefBinaryValue as CEF 81 has them,
// surprises included: padding, key order, GetDouble of an int, ownership
// transfer and references that die with what they point into.
#include <limits>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "include/cef_values.h"
#include "support/live_object_check.h"
#include "support/value_matchers.h"

namespace {

using testing_support::DescribeValue;
using testing_support::DictEq;
using testing_support::ListEq;

using ValuesTest = testing_support::LiveObjectCheckedTest;
using OwnershipTest = testing_support::LiveObjectCheckedTest;
using ValueMatchersTest = testing_support::LiveObjectCheckedTest;

CefRefPtr<CefBinaryValue> MakeBinary(const std::string& bytes) {
  return CefBinaryValue::Create(bytes.data(), bytes.size());
}

TEST_F(ValuesTest, SettingPastTheEndPadsWithNulls) {
  CefRefPtr<CefListValue> list = CefListValue::Create();
  ASSERT_TRUE(list->SetInt(3, 7));
  ASSERT_EQ(4u, list->GetSize());
  for (size_t i = 0; i < 3; ++i)
    EXPECT_EQ(VTYPE_NULL, list->GetType(i)) << "index " << i;
  EXPECT_EQ(7, list->GetInt(3));

  EXPECT_TRUE(list->SetSize(6));
  EXPECT_EQ(VTYPE_NULL, list->GetType(5));
  EXPECT_TRUE(list->SetSize(2));
  EXPECT_EQ(2u, list->GetSize());
  EXPECT_FALSE(list->SetNull(std::numeric_limits<size_t>::max()));
}

TEST_F(ValuesTest, MissingOrWrongTypedEntriesGiveDefaults) {
  CefRefPtr<CefListValue> list = CefListValue::Create();
  list->SetInt(0, 5);
  list->SetDouble(1, 2.5);
  list->SetString(2, "text");
  EXPECT_EQ(VTYPE_INVALID, list->GetType(3));

  // base::Value reads an int as a double, but never the other way round.
  EXPECT_EQ(5.0, list->GetDouble(0));
  EXPECT_EQ(0, list->GetInt(1));
  EXPECT_FALSE(list->GetBool(0));
  EXPECT_EQ(CefString(), list->GetString(0));
  EXPECT_EQ(0, list->GetInt(3));
  EXPECT_EQ(nullptr, list->GetList(2));
  EXPECT_EQ(nullptr, list->GetDictionary(9));
  EXPECT_EQ(nullptr, list->GetBinary(0));

  CefRefPtr<CefDictionaryValue> dictionary = CefDictionaryValue::Create();
  EXPECT_EQ(VTYPE_INVALID, dictionary->GetType("missing"));
  EXPECT_EQ(0.0, dictionary->GetDouble("missing"));
  EXPECT_EQ(nullptr, dictionary->GetList("missing"));
}

TEST_F(ValuesTest, NonFiniteDoublesAreStoredAsZero) {
  CefRefPtr<CefListValue> list = CefListValue::Create();
  list->SetDouble(0, std::numeric_limits<double>::quiet_NaN());
  list->SetDouble(1, -std::numeric_limits<double>::infinity());
  EXPECT_EQ(VTYPE_DOUBLE, list->GetType(0));
  EXPECT_EQ(0.0, list->GetDouble(0));
  EXPECT_EQ(0.0, list->GetDouble(1));
}

TEST_F(ValuesTest, ListRemoveMovesLaterEntriesDown) {
  CefRefPtr<CefListValue> list = CefListValue::Create();
  for (int i = 0; i < 4; ++i)
    list->SetInt(i, i * 10);
  EXPECT_TRUE(list->Remove(1));
  EXPECT_FALSE(list->Remove(3));
  ASSERT_EQ(3u, list->GetSize());
  EXPECT_EQ(20, list->GetInt(1));
  EXPECT_EQ(30, list->GetInt(2));
}

TEST_F(ValuesTest, KeysComeSortedByUtf8Bytes) {
  CefRefPtr<CefDictionaryValue> dictionary = CefDictionaryValue::Create();
  // U+FF21 sorts before U+1F600 in UTF-8 but after it in UTF-16.
  const std::vector<std::string> inserted = {
      "b", "\xF0\x9F\x98\x80", "a", "\xEF\xBC\xA1", "B", "\xC3\xA9", ""};
  {
    // The empty key as a dictionary from IPC holds it: CEF's wrapper would
    // refuse to set it.
    standin::ScopedWrapperChecksOff checks_off;
    for (const std::string& key : inserted)
      dictionary->SetNull(key);
  }

  CefDictionaryValue::KeyList keys = {"kept"};
  ASSERT_TRUE(dictionary->GetKeys(keys));
  std::vector<std::string> utf8;
  for (const CefString& key : keys)
    utf8.push_back(key.ToString());
  // GetKeys appends to what the list held.
  const std::vector<std::string> expected = {"kept",
                                             "",
                                             "B",
                                             "a",
                                             "b",
                                             "\xC3\xA9",
                                             "\xEF\xBC\xA1",
                                             "\xF0\x9F\x98\x80"};
  EXPECT_EQ(expected, utf8);

  EXPECT_TRUE(dictionary->Remove("a"));
  EXPECT_FALSE(dictionary->Remove("a"));
  EXPECT_FALSE(dictionary->HasKey("a"));
  EXPECT_EQ(inserted.size() - 1, dictionary->GetSize());
}

TEST_F(ValuesTest, CopyIsDeep) {
  CefRefPtr<CefDictionaryValue> original = CefDictionaryValue::Create();
  CefRefPtr<CefListValue> inner = CefListValue::Create();
  inner->SetString(0, "x");
  original->SetList("inner", inner);

  CefRefPtr<CefDictionaryValue> copy = original->Copy(false);
  EXPECT_TRUE(copy->IsEqual(original));
  EXPECT_FALSE(copy->IsSame(original));
  EXPECT_FALSE(copy->IsOwned());
  copy->GetList("inner")->SetString(0, "changed");
  EXPECT_EQ("x", original->GetList("inner")->GetString(0).ToString());
  EXPECT_FALSE(copy->IsEqual(original));
}

TEST_F(ValuesTest, CopyCanLeaveOutEmptyChildren) {
  CefRefPtr<CefDictionaryValue> original = CefDictionaryValue::Create();
  original->SetDictionary("emptyDict", CefDictionaryValue::Create());
  original->SetList("emptyList", CefListValue::Create());
  CefRefPtr<CefDictionaryValue> nested = CefDictionaryValue::Create();
  nested->SetList("onlyEmpty", CefListValue::Create());
  original->SetDictionary("emptiedDict", nested);
  CefRefPtr<CefListValue> mixed = CefListValue::Create();
  mixed->SetDictionary(0, CefDictionaryValue::Create());
  mixed->SetInt(1, 1);
  mixed->SetList(2, CefListValue::Create());
  original->SetList("mixed", mixed);
  original->SetString("emptyString", "");
  original->SetNull("null");

  CefRefPtr<CefDictionaryValue> expected = CefDictionaryValue::Create();
  CefRefPtr<CefListValue> expected_mixed = CefListValue::Create();
  expected_mixed->SetInt(0, 1);
  expected->SetList("mixed", expected_mixed);
  expected->SetString("emptyString", "");
  expected->SetNull("null");
  EXPECT_TRUE(DictEq(expected, original->Copy(true)));
  EXPECT_EQ(6u, original->Copy(false)->GetSize());
}

TEST_F(ValuesTest, BinaryGetDataHonoursOffsetAndSize) {
  EXPECT_EQ(nullptr, CefBinaryValue::Create(nullptr, 4));
  EXPECT_EQ(nullptr, CefBinaryValue::Create("x", 0));

  CefRefPtr<CefBinaryValue> binary = MakeBinary("0123456789");
  char buffer[16] = {};
  EXPECT_EQ(4u, binary->GetData(buffer, 4, 0));
  EXPECT_EQ("0123", std::string(buffer, 4));
  EXPECT_EQ(3u, binary->GetData(buffer, sizeof(buffer), 7));
  EXPECT_EQ("789", std::string(buffer, 3));
  EXPECT_EQ(0u, binary->GetData(buffer, sizeof(buffer), 10));
  EXPECT_EQ(0u, binary->GetData(nullptr, sizeof(buffer), 0));

  EXPECT_TRUE(binary->IsEqual(MakeBinary("0123456789")));
  EXPECT_FALSE(binary->IsEqual(MakeBinary("012345678")));
  EXPECT_TRUE(binary->Copy()->IsEqual(binary));
}

TEST_F(ValuesTest, EqualityIsDeepAndTypeStrict) {
  CefRefPtr<CefListValue> a = CefListValue::Create();
  CefRefPtr<CefListValue> b = CefListValue::Create();
  a->SetInt(0, 5);
  b->SetDouble(0, 5);
  EXPECT_FALSE(a->IsEqual(b));
  b->SetInt(0, 5);
  EXPECT_TRUE(a->IsEqual(b));
  EXPECT_FALSE(a->IsSame(b));
  EXPECT_TRUE(a->IsSame(a));
  EXPECT_FALSE(a->IsEqual(nullptr));
}

TEST_F(OwnershipTest, UnownedValueIsTakenOver) {
  CefRefPtr<CefListValue> parent = CefListValue::Create();
  CefRefPtr<CefDictionaryValue> child = CefDictionaryValue::Create();
  child->SetList("grandchild", CefListValue::Create());
  CefRefPtr<CefListValue> grandchild = child->GetList("grandchild");
  child->SetInt("n", 1);
  ASSERT_FALSE(child->IsOwned());

  ASSERT_TRUE(parent->SetDictionary(0, child));
  // The old reference, and every reference obtained through it, is dead.
  EXPECT_FALSE(child->IsValid());
  EXPECT_FALSE(grandchild->IsValid());
  EXPECT_FALSE(child->SetInt("n", 2));
  EXPECT_EQ(0, child->GetInt("n"));
  EXPECT_FALSE(parent->SetDictionary(1, child));
  EXPECT_EQ(1u, parent->GetSize());
  // The container holds the data itself.
  EXPECT_EQ(1, parent->GetDictionary(0)->GetInt("n"));

  CefRefPtr<CefBinaryValue> binary = MakeBinary("ab");
  ASSERT_TRUE(parent->SetBinary(1, binary));
  EXPECT_FALSE(binary->IsValid());
  EXPECT_EQ(2u, parent->GetBinary(1)->GetSize());
}

TEST_F(OwnershipTest, OwnedValueIsCopied) {
  CefRefPtr<CefListValue> first = CefListValue::Create();
  first->SetList(0, CefListValue::Create());
  CefRefPtr<CefListValue> owned = first->GetList(0);
  EXPECT_TRUE(owned->IsOwned());

  CefRefPtr<CefDictionaryValue> second = CefDictionaryValue::Create();
  ASSERT_TRUE(second->SetList("copy", owned));
  EXPECT_TRUE(owned->IsValid());
  owned->SetInt(0, 1);
  EXPECT_EQ(0u, second->GetList("copy")->GetSize());
}

TEST_F(OwnershipTest, ReferencesShareTheContainersData) {
  CefRefPtr<CefDictionaryValue> root = CefDictionaryValue::Create();
  root->SetList("list", CefListValue::Create());
  CefRefPtr<CefListValue> reference = root->GetList("list");
  reference->SetDictionary(0, CefDictionaryValue::Create());
  reference->GetDictionary(0)->SetString("deep", "yes");
  EXPECT_EQ(
      "yes",
      root->GetList("list")->GetDictionary(0)->GetString("deep").ToString());
  EXPECT_TRUE(reference->IsSame(root->GetList("list")));
}

TEST_F(OwnershipTest, ReferencesDieWhenTheirEntryGoes) {
  CefRefPtr<CefDictionaryValue> root = CefDictionaryValue::Create();
  root->SetList("removed", CefListValue::Create());
  root->SetList("replaced", CefListValue::Create());
  root->SetDictionary("cleared", CefDictionaryValue::Create());
  root->GetDictionary("cleared")->SetList("inner", CefListValue::Create());
  CefRefPtr<CefListValue> removed = root->GetList("removed");
  CefRefPtr<CefListValue> replaced = root->GetList("replaced");
  CefRefPtr<CefListValue> inner =
      root->GetDictionary("cleared")->GetList("inner");

  root->Remove("removed");
  root->SetInt("replaced", 1);
  root->GetDictionary("cleared")->Clear();
  EXPECT_FALSE(removed->IsValid());
  EXPECT_FALSE(replaced->IsValid());
  EXPECT_FALSE(inner->IsValid());
}

TEST_F(OwnershipTest, ReferencesDieWithTheirOwner) {
  CefRefPtr<CefListValue> inner;
  {
    CefRefPtr<CefListValue> root = CefListValue::Create();
    root->SetList(0, CefListValue::Create());
    inner = root->GetList(0);
    EXPECT_TRUE(inner->IsValid());
  }
  EXPECT_FALSE(inner->IsValid());
  EXPECT_FALSE(inner->SetInt(0, 1));
}

TEST_F(OwnershipTest, ATreePutIntoItselfIsCopied) {
  CefRefPtr<CefDictionaryValue> root = CefDictionaryValue::Create();
  root->SetDictionary("child", CefDictionaryValue::Create());
  ASSERT_TRUE(root->GetDictionary("child")->SetDictionary("loop", root));
  EXPECT_TRUE(root->IsValid());
  EXPECT_EQ(
      VTYPE_DICTIONARY,
      root->GetDictionary("child")->GetDictionary("loop")->GetType("child"));
}

TEST_F(OwnershipTest, NullOrInvalidValuesAreRefused) {
  CefRefPtr<CefListValue> list = CefListValue::Create();
  EXPECT_FALSE(list->SetList(0, nullptr));
  EXPECT_FALSE(list->SetBinary(0, nullptr));
  CefRefPtr<CefListValue> taken = CefListValue::Create();
  list->SetList(0, taken);
  EXPECT_FALSE(list->SetList(1, taken));
  EXPECT_EQ(1u, list->GetSize());
}

TEST_F(OwnershipTest, InvalidValuesAnswerWithDefaults) {
  CefRefPtr<CefListValue> holder = CefListValue::Create();
  CefRefPtr<CefListValue> list = CefListValue::Create();
  CefRefPtr<CefDictionaryValue> dictionary = CefDictionaryValue::Create();
  CefRefPtr<CefBinaryValue> binary = MakeBinary("x");
  holder->SetList(0, list);
  holder->SetDictionary(1, dictionary);
  holder->SetBinary(2, binary);

  EXPECT_FALSE(list->IsOwned());
  EXPECT_FALSE(list->IsReadOnly());
  EXPECT_EQ(nullptr, list->Copy());
  EXPECT_EQ(0u, list->GetSize());
  EXPECT_FALSE(list->SetSize(3));
  EXPECT_FALSE(list->Clear());
  EXPECT_EQ(VTYPE_INVALID, list->GetType(0));

  CefDictionaryValue::KeyList keys;
  EXPECT_FALSE(dictionary->GetKeys(keys));
  EXPECT_FALSE(dictionary->SetString("k", "v"));
  EXPECT_FALSE(dictionary->HasKey("k"));
  EXPECT_EQ(nullptr, dictionary->Copy(false));

  char buffer[4];
  EXPECT_EQ(0u, binary->GetData(buffer, sizeof(buffer), 0));
  EXPECT_EQ(0u, binary->GetSize());
  EXPECT_EQ(nullptr, binary->Copy());
}

TEST_F(ValueMatchersTest, FailureNamesThePathOfTheFirstDifference) {
  auto build = [](bool as_double) {
    CefRefPtr<CefListValue> list = CefListValue::Create();
    list->SetBool(0, true);
    CefRefPtr<CefDictionaryValue> entry = CefDictionaryValue::Create();
    CefRefPtr<CefListValue> name = CefListValue::Create();
    if (as_double)
      name->SetDouble(0, 5);
    else
      name->SetInt(0, 5);
    entry->SetList("name", name);
    list->SetDictionary(1, entry);
    return list;
  };
  EXPECT_TRUE(ListEq(build(false), build(false)));
  const ::testing::AssertionResult result = ListEq(build(false), build(true));
  ASSERT_FALSE(result);
  EXPECT_NE(std::string::npos,
            std::string(result.message())
                .find("[1][\"name\"][0]: expected int 5, got double 5"))
      << result.message();
}

TEST_F(ValueMatchersTest, MissingAndExtraEntriesAreNamed) {
  CefRefPtr<CefDictionaryValue> expected = CefDictionaryValue::Create();
  CefRefPtr<CefDictionaryValue> actual = CefDictionaryValue::Create();
  expected->SetInt("a", 1);
  actual->SetInt("a", 1);
  actual->SetString("b", "x");
  const ::testing::AssertionResult extra = DictEq(expected, actual);
  EXPECT_NE(std::string::npos,
            std::string(extra.message())
                .find("[\"b\"]: expected nothing, got string \"x\""))
      << extra.message();

  CefRefPtr<CefListValue> short_list = CefListValue::Create();
  CefRefPtr<CefListValue> long_list = CefListValue::Create();
  long_list->SetNull(0);
  const ::testing::AssertionResult missing = ListEq(long_list, short_list);
  EXPECT_NE(
      std::string::npos,
      std::string(missing.message()).find("[0]: expected null, got nothing"))
      << missing.message();
  EXPECT_TRUE(ListEq(nullptr, nullptr));
  EXPECT_FALSE(ListEq(nullptr, short_list));
}

TEST_F(ValueMatchersTest, DescribeValueIsCompact) {
  CefRefPtr<CefListValue> list = CefListValue::Create();
  list->SetInt(0, 1);
  list->SetDouble(1, 2);
  list->SetString(2, "q\"");
  list->SetBinary(3, MakeBinary("\x0a\xff"));
  CefRefPtr<CefDictionaryValue> dictionary = CefDictionaryValue::Create();
  dictionary->SetBool("t", true);
  list->SetDictionary(4, dictionary);
  list->SetList(5, CefListValue::Create());
  list->SetNull(6);
  EXPECT_EQ(R"([1,2.0,"q\"",{"$binary":"0aff"},{"t":true},[],null])",
            DescribeValue(list));
}

TEST(LiveObjectCountTest, CountsValuesUntilTheyGo) {
  const int start = standin::LiveObjectCount();
  {
    CefRefPtr<CefListValue> list = CefListValue::Create();
    CefRefPtr<CefDictionaryValue> dictionary = CefDictionaryValue::Create();
    list->SetDictionary(0, dictionary);
    CefRefPtr<CefDictionaryValue> reference = list->GetDictionary(0);
    EXPECT_EQ(start + 3, standin::LiveObjectCount());
  }
  EXPECT_EQ(start, standin::LiveObjectCount());
}

}  // namespace
