// Process messages, and the read-only, short-lived form in which the
// renderer receives them.
#include "cef_standin/src/values_internal.h"
#include "gtest/gtest.h"
#include "include/cef_process_message.h"
#include "support/live_object_check.h"
#include "support/value_matchers.h"

namespace {

using standin::internal::InvalidateReceivedMessage;
using standin::internal::MakeReceivedMessage;
using testing_support::ListEq;

using ProcessMessageTest = testing_support::LiveObjectCheckedTest;

// A message with an argument of every kind, nested.
CefRefPtr<CefProcessMessage> MakeMessage() {
  CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create("Name");
  CefRefPtr<CefListValue> args = message->GetArgumentList();
  args->SetInt(0, 1);
  args->SetString(1, "two");
  CefRefPtr<CefDictionaryValue> dictionary = CefDictionaryValue::Create();
  CefRefPtr<CefListValue> nested = CefListValue::Create();
  nested->SetDouble(0, 0.5);
  dictionary->SetList("nested", nested);
  args->SetDictionary(2, dictionary);
  const char bytes[] = {1, 2, 3};
  args->SetBinary(3, CefBinaryValue::Create(bytes, sizeof(bytes)));
  return message;
}

TEST_F(ProcessMessageTest, ArgumentListBelongsToTheMessage) {
  CefRefPtr<CefProcessMessage> message = MakeMessage();
  EXPECT_EQ("Name", message->GetName().ToString());
  EXPECT_FALSE(message->IsReadOnly());
  CefRefPtr<CefListValue> args = message->GetArgumentList();
  EXPECT_EQ(args.get(), message->GetArgumentList().get());
  EXPECT_TRUE(args->IsOwned());

  CefRefPtr<CefProcessMessage> copy = message->Copy();
  EXPECT_TRUE(ListEq(args, copy->GetArgumentList()));
  copy->GetArgumentList()->GetDictionary(2)->Clear();
  EXPECT_EQ(1u, args->GetDictionary(2)->GetSize());
}

TEST_F(ProcessMessageTest, ArgumentsDieWithTheMessage) {
  CefRefPtr<CefListValue> args = MakeMessage()->GetArgumentList();
  EXPECT_FALSE(args->IsValid());
}

TEST_F(ProcessMessageTest, ReceivedMessageIsReadOnlyThroughout) {
  CefRefPtr<CefProcessMessage> sent = MakeMessage();
  CefRefPtr<CefProcessMessage> received = MakeReceivedMessage(sent);
  ASSERT_TRUE(received);
  EXPECT_TRUE(received->IsReadOnly());
  CefRefPtr<CefListValue> args = received->GetArgumentList();
  EXPECT_TRUE(ListEq(sent->GetArgumentList(), args));
  EXPECT_TRUE(args->IsReadOnly());

  EXPECT_FALSE(args->SetInt(0, 9));
  EXPECT_FALSE(args->SetNull(10));
  EXPECT_FALSE(args->Remove(0));
  EXPECT_FALSE(args->SetSize(0));
  EXPECT_FALSE(args->Clear());
  CefRefPtr<CefDictionaryValue> dictionary = args->GetDictionary(2);
  EXPECT_TRUE(dictionary->IsReadOnly());
  EXPECT_FALSE(dictionary->SetBool("x", true));
  EXPECT_FALSE(dictionary->Remove("nested"));
  EXPECT_FALSE(dictionary->GetList("nested")->SetInt(0, 1));
  EXPECT_TRUE(ListEq(sent->GetArgumentList(), args));

  // A refused setter does not take its value over.
  CefRefPtr<CefListValue> fresh = CefListValue::Create();
  EXPECT_FALSE(args->SetList(0, fresh));
  EXPECT_TRUE(fresh->IsValid());

  CefRefPtr<CefProcessMessage> copy = received->Copy();
  EXPECT_FALSE(copy->IsReadOnly());
  EXPECT_TRUE(copy->GetArgumentList()->SetInt(0, 9));
  InvalidateReceivedMessage(received);
}

TEST_F(ProcessMessageTest, InvalidatedMessageTakesEveryReferenceWithIt) {
  CefRefPtr<CefProcessMessage> received = MakeReceivedMessage(MakeMessage());
  CefRefPtr<CefListValue> args = received->GetArgumentList();
  CefRefPtr<CefListValue> nested = args->GetDictionary(2)->GetList("nested");
  CefRefPtr<CefBinaryValue> binary = args->GetBinary(3);
  CefRefPtr<CefDictionaryValue> kept = args->GetDictionary(2)->Copy(false);
  CefRefPtr<CefProcessMessage> kept_message = received->Copy();

  InvalidateReceivedMessage(received);
  EXPECT_FALSE(received->IsValid());
  EXPECT_EQ(CefString(), received->GetName());
  EXPECT_FALSE(received->GetArgumentList());
  EXPECT_FALSE(received->Copy());
  EXPECT_FALSE(args->IsValid());
  EXPECT_FALSE(nested->IsValid());
  EXPECT_FALSE(binary->IsValid());
  EXPECT_EQ(0.0, nested->GetDouble(0));

  EXPECT_TRUE(kept->IsValid());
  EXPECT_TRUE(kept->GetList("nested")->SetInt(1, 2));
  EXPECT_TRUE(kept_message->IsValid());
  EXPECT_EQ(4u, kept_message->GetArgumentList()->GetSize());
}

TEST_F(ProcessMessageTest, ForeignOrMissingMessagesAreIgnored) {
  EXPECT_FALSE(MakeReceivedMessage(nullptr));
  InvalidateReceivedMessage(nullptr);
}

}  // namespace
