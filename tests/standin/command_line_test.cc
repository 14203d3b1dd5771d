// CefCommandLine with Chromium's switch rules, and the Windows command-line
// splitting behind InitFromString.
#include <map>
#include <string>
#include <vector>

#include "cef_standin/src/command_line_internal.h"
#include "gtest/gtest.h"
#include "include/cef_command_line.h"
#include "support/live_object_check.h"

namespace {

using CommandLineTest = testing_support::LiveObjectCheckedTest;
using Strings = std::vector<std::string>;
using SwitchValues = std::map<std::string, std::string>;

CefRefPtr<CefCommandLine> Parse(const Strings& argv) {
  std::vector<const char*> pointers;
  for (const std::string& arg : argv)
    pointers.push_back(arg.c_str());
  CefRefPtr<CefCommandLine> command_line = CefCommandLine::CreateCommandLine();
  command_line->InitFromArgv(static_cast<int>(pointers.size()),
                             pointers.data());
  return command_line;
}

Strings Utf8(const std::vector<CefString>& strings) {
  Strings out;
  for (const CefString& s : strings)
    out.push_back(s.ToString());
  return out;
}

SwitchValues Switches(CefRefPtr<CefCommandLine> command_line) {
  CefCommandLine::SwitchMap switches;
  command_line->GetSwitches(switches);
  SwitchValues out;
  for (const auto& entry : switches)
    out[entry.first.ToString()] = entry.second.ToString();
  return out;
}

Strings Arguments(CefRefPtr<CefCommandLine> command_line) {
  CefCommandLine::ArgumentList arguments;
  command_line->GetArguments(arguments);
  return Utf8(arguments);
}

Strings Argv(CefRefPtr<CefCommandLine> command_line) {
  std::vector<CefString> argv;
  command_line->GetArgv(argv);
  return Utf8(argv);
}

struct ParseRow {
  Strings argv;
  std::string program;
  SwitchValues switches;
  Strings arguments;
  std::string command_line_string;
};

TEST_F(CommandLineTest, ParsesArgv) {
  const std::vector<ParseRow> rows = {
    {{"prog", "--a", "--b=1", "-c", "-d=x y", "arg"},
     "prog",
     {{"a", ""}, {"b", "1"}, {"c", ""}, {"d", "x y"}},
     {"arg"},
     "prog --a --b=1 -c -d=\"x y\" arg"},
    // A lone "--" ends the switches; it stays in argv and the string.
    {{"prog", "--a", "--", "--b", "c"},
     "prog",
     {{"a", ""}},
     {"--b", "c"},
     "prog --a -- --b c"},
    // Switches come before arguments wherever they were given.
    {{"prog", "arg", "--s=v"}, "prog", {{"s", "v"}}, {"arg"}, "prog --s=v arg"},
    {{"prog", "--x=1", "--x=2"}, "prog", {{"x", "2"}}, {}, "prog --x=1 --x=2"},
    // Every argument is trimmed; "-" alone is not a switch.
    {{" prog ", " --a=1 ", " b ", "-"},
     "prog",
     {{"a", "1"}},
     {"b", "-"},
     "prog --a=1 b -"},
    {{"prog", "--v=a=b", "---x"},
     "prog",
     {{"v", "a=b"}, {"-x", ""}},
     {},
     "prog --v=a=b ---x"},
    {{"prog", "say \"hi\"", "dir\\"},
     "prog",
     {},
     {"say \"hi\"", "dir\\"},
     "prog \"say \\\"hi\\\"\" \"dir\\\\\""},
#if !defined(_WIN32)
    {{"prog", "/x", "--Mixed"},
     "prog",
     {{"Mixed", ""}},
     {"/x"},
     "prog --Mixed /x"},
#endif
    {{}, "", {}, {}, ""},
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    const ParseRow& row = rows[i];
    CefRefPtr<CefCommandLine> command_line = Parse(row.argv);
    EXPECT_EQ(row.program, command_line->GetProgram().ToString())
        << "row " << i;
    EXPECT_EQ(row.switches, Switches(command_line)) << "row " << i;
    EXPECT_EQ(!row.switches.empty(), command_line->HasSwitches())
        << "row " << i;
    EXPECT_EQ(row.arguments, Arguments(command_line)) << "row " << i;
    EXPECT_EQ(!row.arguments.empty(), command_line->HasArguments())
        << "row " << i;
    EXPECT_EQ(row.command_line_string,
              command_line->GetCommandLineString().ToString())
        << "row " << i;
  }
}

TEST_F(CommandLineTest, SwitchesAreLookedUpWithoutDashes) {
  CefRefPtr<CefCommandLine> command_line =
      Parse({"prog", "--enable-thing", "--key=value"});
  EXPECT_TRUE(command_line->HasSwitch("enable-thing"));
  EXPECT_FALSE(command_line->HasSwitch("--enable-thing"));
  EXPECT_EQ("value", command_line->GetSwitchValue("key").ToString());
  EXPECT_EQ("", command_line->GetSwitchValue("missing").ToString());
}

TEST_F(CommandLineTest, AppendedSwitchesGoBeforeArguments) {
  CefRefPtr<CefCommandLine> command_line = Parse({"prog"});
  command_line->AppendArgument("first arg");
  command_line->AppendSwitchWithValue("k", "v");
  command_line->AppendSwitch("--dashed");
  EXPECT_EQ((Strings{"prog", "--k=v", "--dashed", "first arg"}),
            Argv(command_line));
  EXPECT_TRUE(command_line->HasSwitch("dashed"));

  // Getters append to what the caller passes in.
  std::vector<CefString> argv = {"kept"};
  command_line->GetArgv(argv);
  EXPECT_EQ(5u, argv.size());
}

TEST_F(CommandLineTest, PrependWrapperSplitsOnUnquotedSpaces) {
  CefRefPtr<CefCommandLine> command_line = Parse({"prog", "--a", "x"});
  command_line->PrependWrapper("gdb  'two words' --args");
  EXPECT_EQ((Strings{"gdb", "'two words'", "--args", "prog", "--a", "x"}),
            Argv(command_line));
  EXPECT_EQ("gdb", command_line->GetProgram().ToString());
  EXPECT_EQ((SwitchValues{{"a", ""}}), Switches(command_line));
  EXPECT_EQ((Strings{"x"}), Arguments(command_line));
}

TEST_F(CommandLineTest, ResetKeepsTheProgramAndCopyParsesAgain) {
  CefRefPtr<CefCommandLine> command_line = Parse({"prog", "--a", "x"});
  command_line->AppendArgument("--looks-like-a-switch");
  CefRefPtr<CefCommandLine> copy = command_line->Copy();
  EXPECT_TRUE(copy->HasSwitch("looks-like-a-switch"));
  EXPECT_FALSE(command_line->HasSwitch("looks-like-a-switch"));

  command_line->Reset();
  EXPECT_EQ((Strings{"prog"}), Argv(command_line));
  EXPECT_FALSE(command_line->HasSwitches());
  EXPECT_TRUE(copy->HasSwitch("a"));
}

TEST_F(CommandLineTest, GlobalCommandLineIsReadOnly) {
  CefRefPtr<CefCommandLine> global = CefCommandLine::GetGlobalCommandLine();
  ASSERT_TRUE(global);
  EXPECT_TRUE(global->IsReadOnly());

  standin::internal::SetGlobalCommandLine(Parse({"child", "--type=renderer"}));
  EXPECT_EQ(global.get(), CefCommandLine::GetGlobalCommandLine().get());
  EXPECT_EQ("renderer", global->GetSwitchValue("type").ToString());
  global->AppendSwitch("refused");
  global->Reset();
  EXPECT_EQ((Strings{"child", "--type=renderer"}), Argv(global));
  EXPECT_FALSE(global->Copy()->IsReadOnly());

  standin::internal::SetGlobalCommandLine(nullptr);
  EXPECT_EQ((Strings{""}), Argv(global));
}

struct SplitRow {
  std::u16string command_line;
  std::vector<std::u16string> argv;
};

TEST(SplitWindowsCommandLineTest, FollowsCommandLineToArgvW) {
  const std::vector<SplitRow> rows = {
      {u"", {}},
      {u"prog a  b\t c", {u"prog", u"a", u"b", u"c"}},
      // The program name is literal: quotes delimit it, backslashes stay.
      {u"\"C:\\Program Files\\x.exe\" --a",
       {u"C:\\Program Files\\x.exe", u"--a"}},
      {u"\"p q\"r s", {u"p q", u"r", u"s"}},
      {u"p\\\"x y", {u"p\\\"x", u"y"}},
      {u"p \"a b\" c", {u"p", u"a b", u"c"}},
      {u"p a\\b c\\\\", {u"p", u"a\\b", u"c\\\\"}},
      // 2n+1 backslashes before a quote: n of them and a literal quote.
      {u"p a\\\\\\\"b", {u"p", u"a\\\"b"}},
      // 2n backslashes before a quote: n of them, and the quote opens.
      {u"p a\\\\\"b c\"", {u"p", u"a\\b c"}},
      // A doubled quote inside quotes is a literal one and ends quoting.
      {u"p \"a\"\"b\" c", {u"p", u"a\"b c"}},
      {u"p \"a\"\"b c", {u"p", u"a\"b", u"c"}},
      {u"p \"\" x", {u"p", u"", u"x"}},
      {u"p \"unterminated arg", {u"p", u"unterminated arg"}},
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].argv,
              standin::internal::SplitWindowsCommandLine(rows[i].command_line))
        << "row " << i;
  }
}

}  // namespace
