// The parameter checks of CEF's C++ wrapper ("// Verify param: ..." in
// libcef_dll's CToCpp and CppToC glue) on the methods the system calls: the
// stand-in refuses what the wrapper refuses, answering as the wrapper does,
// with one error line counted as a misuse, since a debug renderer aborts
// there. CEF's own code (IPC, CefParseJSON) is not bound by them.
#include <functional>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "include/cef_command_line.h"
#include "include/cef_process_message.h"
#include "include/cef_v8.h"
#include "include/cef_values.h"
#include "renderer_test_support.h"

namespace {

using standin_test::ScopedEnter;
using WrapperChecksTest = standin_test::RendererTest;

class NullHandler : public CefV8Handler {
 public:
  bool Execute(const CefString& name,
               CefRefPtr<CefV8Value> object,
               const CefV8ValueList& arguments,
               CefRefPtr<CefV8Value>& retval,
               CefString& exception) override {
    return false;
  }

 private:
  IMPLEMENT_REFCOUNTING(NullHandler);
};

struct Row {
  const char* method;  // as the line names it
  const char* check;   // the wrapper's DCHECK expression
  // Makes the call; true when it answered with the wrapper's refusal.
  std::function<bool()> refused;
};

void ExpectRefusals(const std::vector<Row>& rows) {
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(::testing::Message()
                 << "row " << i << ": " << rows[i].method << " "
                 << rows[i].check);
    standin::ClearLog();
    const int misuses = standin::CefMisuseCount();
    EXPECT_TRUE(rows[i].refused());
    EXPECT_EQ(misuses + 1, standin::CefMisuseCount());
    std::vector<std::string> lines;
    for (const standin::LogRecord& record : standin::LogRecords())
      lines.push_back(record.message);
    const std::vector<std::string> expected = {
        std::string("[stand-in] CEF wrapper DCHECK(") + rows[i].check +
        ") failed: " + rows[i].method + " refused"};
    EXPECT_EQ(expected, lines);
  }
}

TEST_F(WrapperChecksTest, ValuesRefuseEmptyKeysAndMissingValues) {
  CefRefPtr<CefDictionaryValue> dictionary = CefDictionaryValue::Create();
  dictionary->SetInt("k", 1);
  {
    // An entry under the empty key, as a dictionary from IPC may hold: the
    // refusals below are not mere absence.
    standin::ScopedWrapperChecksOff checks_off;
    ASSERT_TRUE(dictionary->SetInt("", 7));
  }
  CefRefPtr<CefListValue> list = CefListValue::Create();
  CefRefPtr<CefBinaryValue> binary = CefBinaryValue::Create("ab", 2);
  // Refused before anything is taken over.
  CefRefPtr<CefBinaryValue> kept_binary = CefBinaryValue::Create("c", 1);
  CefRefPtr<CefListValue> kept_list = CefListValue::Create();
  CefRefPtr<CefDictionaryValue> kept_dictionary = CefDictionaryValue::Create();

  const char* const kKey = "!key.empty()";
  const char* const kValue = "value.get()";
  const char* const kThat = "that.get()";
  ExpectRefusals({
      {"CefDictionaryValue::HasKey", kKey, [&] { return !dictionary->HasKey(""); }},
      {"CefDictionaryValue::Remove", kKey, [&] { return !dictionary->Remove(""); }},
      {"CefDictionaryValue::GetType", kKey,
       [&] { return dictionary->GetType("") == VTYPE_INVALID; }},
      {"CefDictionaryValue::GetBool", kKey, [&] { return !dictionary->GetBool(""); }},
      {"CefDictionaryValue::GetInt", kKey, [&] { return dictionary->GetInt("") == 0; }},
      {"CefDictionaryValue::GetDouble", kKey,
       [&] { return dictionary->GetDouble("") == 0.0; }},
      {"CefDictionaryValue::GetString", kKey,
       [&] { return dictionary->GetString("").empty(); }},
      {"CefDictionaryValue::GetBinary", kKey, [&] { return !dictionary->GetBinary(""); }},
      {"CefDictionaryValue::GetDictionary", kKey,
       [&] { return !dictionary->GetDictionary(""); }},
      {"CefDictionaryValue::GetList", kKey, [&] { return !dictionary->GetList(""); }},
      {"CefDictionaryValue::SetNull", kKey, [&] { return !dictionary->SetNull(""); }},
      {"CefDictionaryValue::SetBool", kKey,
       [&] { return !dictionary->SetBool("", true); }},
      {"CefDictionaryValue::SetInt", kKey, [&] { return !dictionary->SetInt("", 2); }},
      {"CefDictionaryValue::SetDouble", kKey,
       [&] { return !dictionary->SetDouble("", 2.5); }},
      {"CefDictionaryValue::SetString", kKey,
       [&] { return !dictionary->SetString("", "x"); }},
      {"CefDictionaryValue::SetBinary", kKey,
       [&] { return !dictionary->SetBinary("", kept_binary); }},
      {"CefDictionaryValue::SetDictionary", kKey,
       [&] { return !dictionary->SetDictionary("", kept_dictionary); }},
      {"CefDictionaryValue::SetList", kKey,
       [&] { return !dictionary->SetList("", kept_list); }},
      {"CefDictionaryValue::SetBinary", kValue,
       [&] { return !dictionary->SetBinary("k", nullptr); }},
      {"CefDictionaryValue::SetDictionary", kValue,
       [&] { return !dictionary->SetDictionary("k", nullptr); }},
      {"CefDictionaryValue::SetList", kValue,
       [&] { return !dictionary->SetList("k", nullptr); }},
      {"CefDictionaryValue::IsSame", kThat, [&] { return !dictionary->IsSame(nullptr); }},
      {"CefDictionaryValue::IsEqual", kThat,
       [&] { return !dictionary->IsEqual(nullptr); }},
      {"CefListValue::SetBinary", kValue, [&] { return !list->SetBinary(0, nullptr); }},
      {"CefListValue::SetDictionary", kValue,
       [&] { return !list->SetDictionary(0, nullptr); }},
      {"CefListValue::SetList", kValue, [&] { return !list->SetList(0, nullptr); }},
      {"CefListValue::IsSame", kThat, [&] { return !list->IsSame(nullptr); }},
      {"CefListValue::IsEqual", kThat, [&] { return !list->IsEqual(nullptr); }},
      {"CefBinaryValue::Create", "data",
       [&] { return !CefBinaryValue::Create(nullptr, 2); }},
      {"CefBinaryValue::GetData", "buffer",
       [&] { return binary->GetData(nullptr, 2, 0) == 0; }},
      {"CefBinaryValue::IsSame", kThat, [&] { return !binary->IsSame(nullptr); }},
      {"CefBinaryValue::IsEqual", kThat, [&] { return !binary->IsEqual(nullptr); }},
  });

  // Nothing changed or was taken over.
  EXPECT_EQ(2u, dictionary->GetSize());
  EXPECT_EQ(1, dictionary->GetInt("k"));
  EXPECT_EQ(0u, list->GetSize());
  EXPECT_TRUE(kept_binary->IsValid());
  EXPECT_TRUE(kept_list->IsValid());
  EXPECT_TRUE(kept_dictionary->IsValid());
  // CEF's own code still reaches the entry.
  standin::ScopedWrapperChecksOff checks_off;
  EXPECT_EQ(7, dictionary->GetInt(""));
  EXPECT_TRUE(dictionary->Remove(""));
}

TEST_F(WrapperChecksTest, MessagesTasksAndCommandLinesRefuseEmptyOrNull) {
  CefRefPtr<CefCommandLine> command_line = CefCommandLine::CreateCommandLine();
  const char* const argv[] = {"prog", "--kept=1"};
  command_line->InitFromArgv(2, argv);
  CefRefPtr<CefTaskRunner> runner = context()->GetTaskRunner();
  ASSERT_TRUE(runner);
  renderer_->ClearSentMessages();

  ExpectRefusals({
      {"CefProcessMessage::Create", "!name.empty()",
       [&] { return !CefProcessMessage::Create(""); }},
      {"CefFrame::SendProcessMessage", "message.get()",
       [&] {
         main_frame()->SendProcessMessage(PID_BROWSER, nullptr);
         return renderer_->SentMessages().empty();
       }},
      {"CefTaskRunner::PostTask", "task.get()",
       [&] { return !runner->PostTask(nullptr); }},
      {"CefTaskRunner::PostDelayedTask", "task.get()",
       [&] { return !runner->PostDelayedTask(nullptr, 5); }},
      {"CefCommandLine::InitFromArgv", "argv",
       [&] {
         command_line->InitFromArgv(2, nullptr);
         return command_line->GetSwitchValue("kept") == "1";
       }},
      {"CefCommandLine::HasSwitch", "!name.empty()",
       [&] { return !command_line->HasSwitch(""); }},
      {"CefCommandLine::GetSwitchValue", "!name.empty()",
       [&] { return command_line->GetSwitchValue("").empty(); }},
  });
  EXPECT_EQ(0u, renderer_->PendingTaskCount());
}

TEST_F(WrapperChecksTest, V8RefusesEmptyNamesNullValuesAndNegativeIndices) {
  ScopedEnter enter(context());
  CefRefPtr<CefV8Value> object = Eval("({a: 1})");
  CefRefPtr<CefV8Value> array = Eval("[1]");
  CefRefPtr<CefV8Value> function = Eval("(function () { return 1; })");
  CefRefPtr<CefV8Handler> handler = new NullHandler();

  const char* const kIndex = "index >= 0";
  ExpectRefusals({
      {"CefV8Value::CreateFunction", "!name.empty()",
       [&] { return !CefV8Value::CreateFunction("", handler); }},
      {"CefV8Value::CreateFunction", "handler.get()",
       [&] { return !CefV8Value::CreateFunction("f", nullptr); }},
      {"CefV8Value::SetValue", "value.get()",
       [&] {
         return !object->SetValue("b", nullptr, V8_PROPERTY_ATTRIBUTE_NONE);
       }},
      {"CefV8Value::SetValue", "value.get()",
       [&] { return !array->SetValue(0, nullptr); }},
      {"CefV8Value::SetValue", kIndex,
       [&] { return !array->SetValue(-1, CefV8Value::CreateInt(2)); }},
      {"CefV8Value::GetValue", kIndex, [&] { return !array->GetValue(-1); }},
      {"CefV8Value::HasValue", kIndex, [&] { return !array->HasValue(-1); }},
      {"CefV8Value::DeleteValue", kIndex, [&] { return !array->DeleteValue(-1); }},
      {"CefV8Value::IsSame", "that.get()", [&] { return !object->IsSame(nullptr); }},
      {"CefV8Value::ExecuteFunctionWithContext", "context.get()",
       [&] {
         return !function->ExecuteFunctionWithContext(nullptr, nullptr, {});
       }},
      {"CefV8Context::IsSame", "that.get()",
       [&] { return !context()->IsSame(nullptr); }},
  });
  EXPECT_FALSE(object->HasValue("b"));
  EXPECT_EQ(1, array->GetArrayLength());
  EXPECT_EQ(1, array->GetValue(0)->GetIntValue());
}

}  // namespace
