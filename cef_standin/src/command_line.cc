// CefCommandLine with the switch rules of Chromium's base::CommandLine, which
// CEF's implementation wraps.
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cef_standin/src/command_line_internal.h"
#include "cef_standin/src/live_objects.h"
#include "cef_standin/src/verify_param.h"
#include "include/cef_command_line.h"

namespace standin {
namespace internal {
namespace {

#if defined(_WIN32)
constexpr std::u16string_view kSwitchPrefixes[] = {u"--", u"-", u"/"};
#else
constexpr std::u16string_view kSwitchPrefixes[] = {u"--", u"-"};
#endif
constexpr std::u16string_view kSwitchTerminator = u"--";
constexpr char16_t kSwitchValueSeparator = u'=';

std::u16string ToU16(const CefString& text) {
  const base::string16 units = text.ToString16();
  return std::u16string(units.begin(), units.end());
}

CefString FromU16(const std::u16string& text) {
  CefString result;
  result.FromString16(base::string16(text.begin(), text.end()));
  return result;
}

// Chromium trims every argument: Unicode whitespace on Windows, ASCII
// whitespace elsewhere.
bool IsTrimmedWhitespace(char16_t c) {
  if (c == u' ' || (c >= u'\t' && c <= u'\r'))
    return true;
#if defined(_WIN32)
  return c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 ||
         c == 0x202F || c == 0x205F || c == 0x3000;
#else
  return false;
#endif
}

std::u16string TrimWhitespace(const std::u16string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsTrimmedWhitespace(text[begin]))
    ++begin;
  while (end > begin && IsTrimmedWhitespace(text[end - 1]))
    --end;
  return text.substr(begin, end - begin);
}

bool IsArgvSpace(char16_t c) {
  return c == u' ' || c == u'\t';
}

size_t SwitchPrefixLength(const std::u16string& text) {
  for (std::u16string_view prefix : kSwitchPrefixes) {
    if (text.compare(0, prefix.size(), prefix) == 0)
      return prefix.size();
  }
  return 0;
}

// A switch is a prefix followed by at least one character; its name keeps
// the prefix here, as Chromium's IsSwitch gives it.
bool IsSwitch(const std::u16string& text,
              std::u16string* name,
              std::u16string* value) {
  name->clear();
  value->clear();
  const size_t prefix_length = SwitchPrefixLength(text);
  if (prefix_length == 0 || prefix_length == text.size())
    return false;
  const size_t separator = text.find(kSwitchValueSeparator);
  *name = text.substr(0, separator);
  if (separator != std::u16string::npos)
    *value = text.substr(separator + 1);
  return true;
}

// Chromium quotes so that CommandLineToArgvW gives the text back: a
// backslash run is doubled only where a quote (or the closing quote) follows.
std::u16string QuoteForCommandLineToArgvW(const std::u16string& arg) {
  if (arg.find_first_of(u" \\\"") == std::u16string::npos)
    return arg;
  std::u16string out = u"\"";
  for (size_t i = 0; i < arg.size(); ++i) {
    if (arg[i] == u'\\') {
      size_t end = i + 1;
      while (end < arg.size() && arg[end] == u'\\')
        ++end;
      size_t count = end - i;
      if (end == arg.size() || arg[end] == u'"')
        count *= 2;
      out.append(count, u'\\');
      i = end - 1;
    } else if (arg[i] == u'"') {
      out.append(u"\\\"");
    } else {
      out.push_back(arg[i]);
    }
  }
  out.push_back(u'"');
  return out;
}

// base::StringTokenizer with ' ' as delimiter and ' and " as quotes: quoted
// spaces do not split, and the quotes stay in the token.
std::vector<std::u16string> TokenizeWrapper(const std::u16string& wrapper) {
  std::vector<std::u16string> tokens;
  std::u16string token;
  char16_t quote = 0;
  bool escaped = false;
  for (char16_t c : wrapper) {
    if (quote) {
      if (escaped)
        escaped = false;
      else if (c == u'\\')
        escaped = true;
      else if (c == quote)
        quote = 0;
      token.push_back(c);
      continue;
    }
    if (c == u' ') {
      if (!token.empty())
        tokens.push_back(std::move(token));
      token.clear();
      continue;
    }
    if (c == u'\'' || c == u'"')
      quote = c;
    token.push_back(c);
  }
  if (!token.empty())
    tokens.push_back(std::move(token));
  return tokens;
}

class CommandLineImpl : public CefCommandLine {
 public:
  // The global command line is a process-wide singleton, so it is not
  // counted among the live objects.
  CommandLineImpl(bool read_only, bool counted) : read_only_(read_only) {
    if (counted)
      live_.emplace();
  }
  CommandLineImpl(const CommandLineImpl&) = delete;
  CommandLineImpl& operator=(const CommandLineImpl&) = delete;

  // Parses |argv| afresh, as base::CommandLine::InitFromArgv does.
  void InitFromArgvVector(const std::vector<std::u16string>& argv) {
    argv_.assign(1, std::u16string());
    switches_.clear();
    begin_args_ = 1;
    argv_[0] = argv.empty() ? std::u16string() : TrimWhitespace(argv[0]);
    bool parse_switches = true;
    for (size_t i = 1; i < argv.size(); ++i) {
      const std::u16string arg = TrimWhitespace(argv[i]);
      std::u16string name;
      std::u16string value;
      // The terminator itself is kept as an argument; GetArguments hides it.
      parse_switches = parse_switches && arg != kSwitchTerminator;
      if (parse_switches && IsSwitch(arg, &name, &value))
        AppendSwitchNative(name, value);
      else
        argv_.push_back(arg);
    }
  }

  const std::vector<std::u16string>& argv() const { return argv_; }

  // CefCommandLine methods:
  bool IsValid() override { return true; }
  bool IsReadOnly() override { return read_only_; }
  // CEF builds the copy from argv, so it is parsed again.
  CefRefPtr<CefCommandLine> Copy() override {
    CefRefPtr<CommandLineImpl> copy = new CommandLineImpl(false, true);
    copy->InitFromArgvVector(argv_);
    return copy.get();
  }
  void InitFromArgv(int argc, const char* const* argv) override {
    if (!VerifyParam(argv != nullptr, "CefCommandLine::InitFromArgv", "argv"))
      return;
#if defined(_WIN32)
      // CEF supports only InitFromString on Windows; this does nothing there.
#else
    if (read_only_)
      return;
    std::vector<std::u16string> args;
    for (int i = 0; argv && i < argc; ++i)
      args.push_back(argv[i] ? ToU16(CefString(argv[i])) : std::u16string());
    InitFromArgvVector(args);
#endif
  }
#if defined(_WIN32)
  // An empty (or blank) string leaves the command line as it was, as
  // base::CommandLine::ParseFromString does.
  void InitFromString(const CefString& command_line) override {
    if (!VerifyParam(!command_line.empty(), "CefCommandLine::InitFromString",
                     "!command_line.empty()") ||
        read_only_) {
      return;
    }
    const std::u16string text = TrimWhitespace(ToU16(command_line));
    if (text.empty())
      return;
    InitFromArgvVector(SplitWindowsCommandLine(text));
  }
#else
  // CEF supports only InitFromArgv here; this does nothing, as in CEF.
  void InitFromString(const CefString&) override {}
#endif
  void Reset() override {
    if (read_only_)
      return;
    InitFromArgvVector({argv_[0]});
  }
  // Appends to |argv|, as CEF does.
  void GetArgv(std::vector<CefString>& argv) override {
    for (const std::u16string& arg : argv_)
      argv.push_back(FromU16(arg));
  }
  CefString GetCommandLineString() override {
    std::u16string text = QuoteForCommandLineToArgvW(argv_[0]);
    bool parse_switches = true;
    for (size_t i = 1; i < argv_.size(); ++i) {
      const std::u16string& arg = argv_[i];
      std::u16string name;
      std::u16string value;
      parse_switches = parse_switches && arg != kSwitchTerminator;
      text.push_back(u' ');
      if (parse_switches && IsSwitch(arg, &name, &value)) {
        text.append(name);
        if (!value.empty()) {
          text.push_back(kSwitchValueSeparator);
          text.append(QuoteForCommandLineToArgvW(value));
        }
      } else {
        text.append(QuoteForCommandLineToArgvW(arg));
      }
    }
    return FromU16(text);
  }
  CefString GetProgram() override {
    return FromU16(argv_[0]);
  }
  void SetProgram(const CefString& program) override {
    if (!read_only_)
      argv_[0] = TrimWhitespace(ToU16(program));
  }
  bool HasSwitches() override {
    return !switches_.empty();
  }
  // Chromium looks the name up as given; only parsing lower-cases names (on
  // Windows), so a mixed-case query never matches there.
  bool HasSwitch(const CefString& name) override {
    return VerifyParam(!name.empty(), "CefCommandLine::HasSwitch",
                       "!name.empty()") &&
           switches_.count(ToU16(name)) != 0;
  }
  CefString GetSwitchValue(const CefString& name) override {
    if (!VerifyParam(!name.empty(), "CefCommandLine::GetSwitchValue",
                     "!name.empty()")) {
      return CefString();
    }
    auto it = switches_.find(ToU16(name));
    return it == switches_.end() ? CefString() : FromU16(it->second);
  }
  // Inserts into |switches|, keeping entries already there, as CEF does.
  void GetSwitches(SwitchMap& switches) override {
    for (const auto& entry : switches_)
      switches.insert(
          std::make_pair(FromU16(entry.first), FromU16(entry.second)));
  }
  void AppendSwitch(const CefString& name) override {
    if (!read_only_)
      AppendSwitchNative(ToU16(name), std::u16string());
  }
  void AppendSwitchWithValue(const CefString& name,
                             const CefString& value) override {
    if (!read_only_)
      AppendSwitchNative(ToU16(name), ToU16(value));
  }
  bool HasArguments() override {
    return !Arguments().empty();
  }
  void GetArguments(ArgumentList& arguments) override {
    for (const std::u16string& arg : Arguments())
      arguments.push_back(FromU16(arg));
  }
  void AppendArgument(const CefString& argument) override {
    if (!read_only_)
      argv_.push_back(ToU16(argument));
  }
  void PrependWrapper(const CefString& wrapper) override {
    if (read_only_)
      return;
    const std::vector<std::u16string> tokens = TokenizeWrapper(ToU16(wrapper));
    argv_.insert(argv_.begin(), tokens.begin(), tokens.end());
    begin_args_ += tokens.size();
  }

 private:
  // |name| may carry a prefix, which argv keeps and the switch map drops.
  void AppendSwitchNative(std::u16string name, const std::u16string& value) {
#if defined(_WIN32)
    for (char16_t& c : name) {
      if (c >= u'A' && c <= u'Z')
        c = c - u'A' + u'a';
    }
#endif
    const size_t prefix_length = SwitchPrefixLength(name);
    switches_[name.substr(prefix_length)] = value;
    std::u16string entry =
        prefix_length == 0 ? std::u16string(kSwitchPrefixes[0]) + name : name;
    if (!value.empty()) {
      entry.push_back(kSwitchValueSeparator);
      entry.append(value);
    }
    argv_.insert(argv_.begin() + begin_args_++, std::move(entry));
  }

  // Everything after the switches, less the first terminator.
  std::vector<std::u16string> Arguments() const {
    std::vector<std::u16string> args(argv_.begin() + begin_args_, argv_.end());
    for (auto it = args.begin(); it != args.end(); ++it) {
      if (*it == kSwitchTerminator) {
        args.erase(it);
        break;
      }
    }
    return args;
  }

  const bool read_only_;
  std::optional<LiveObject> live_;
  std::vector<std::u16string> argv_{std::u16string()};
  std::map<std::u16string, std::u16string> switches_;
  // Index in argv_ of the first argument; switches are inserted before it.
  size_t begin_args_ = 1;

  IMPLEMENT_REFCOUNTING(CommandLineImpl);
};

CommandLineImpl& GlobalCommandLine() {
  // Never destroyed: code may ask for it while the process exits.
  static CommandLineImpl* const global = [] {
    auto* command_line = new CommandLineImpl(true, false);
    command_line->AddRef();
    return command_line;
  }();
  return *global;
}

}  // namespace

void SetGlobalCommandLine(CefRefPtr<CefCommandLine> command_line) {
  std::vector<std::u16string> argv;
  if (auto* impl = dynamic_cast<CommandLineImpl*>(command_line.get())) {
    argv = impl->argv();
  } else if (command_line) {
    std::vector<CefString> cef_argv;
    command_line->GetArgv(cef_argv);
    for (const CefString& arg : cef_argv)
      argv.push_back(ToU16(arg));
  }
  GlobalCommandLine().InitFromArgvVector(argv);
}

std::vector<std::u16string> SplitWindowsCommandLine(
    const std::u16string& command_line) {
  std::vector<std::u16string> argv;
  const size_t length = command_line.size();
  if (length == 0)
    return argv;

  // The program name is taken literally: backslashes and inner quotes have
  // no meaning in it.
  size_t i = 0;
  std::u16string program;
  if (command_line[0] == u'"') {
    for (i = 1; i < length && command_line[i] != u'"'; ++i)
      program.push_back(command_line[i]);
    if (i < length)
      ++i;
  } else {
    for (; i < length && !IsArgvSpace(command_line[i]); ++i)
      program.push_back(command_line[i]);
  }
  argv.push_back(std::move(program));

  std::u16string arg;
  bool in_arg = false;
  // Quotes seen in the current run: 1 means inside quotes. A third quote in a
  // row stands for a literal quote and leaves quoted mode.
  int quote_count = 0;
  size_t backslashes = 0;
  while (i < length) {
    const char16_t c = command_line[i];
    if (IsArgvSpace(c) && quote_count == 0) {
      if (in_arg)
        argv.push_back(std::move(arg));
      arg.clear();
      in_arg = false;
      backslashes = 0;
      ++i;
      continue;
    }
    in_arg = true;
    if (c == u'\\') {
      arg.push_back(c);
      ++backslashes;
      ++i;
      continue;
    }
    if (c != u'"') {
      arg.push_back(c);
      backslashes = 0;
      ++i;
      continue;
    }
    // 2n backslashes and a quote: n backslashes, and the quote toggles
    // quoting; 2n+1 backslashes: n backslashes and a literal quote.
    if (backslashes % 2 == 0) {
      arg.resize(arg.size() - backslashes / 2);
      ++quote_count;
    } else {
      arg.resize(arg.size() - backslashes / 2 - 1);
      arg.push_back(u'"');
    }
    backslashes = 0;
    for (++i; i < length && command_line[i] == u'"'; ++i) {
      if (++quote_count == 3) {
        arg.push_back(u'"');
        quote_count = 0;
      }
    }
    if (quote_count == 2)
      quote_count = 0;
  }
  if (in_arg)
    argv.push_back(std::move(arg));
  return argv;
}

}  // namespace internal
}  // namespace standin

CefRefPtr<CefCommandLine> CefCommandLine::CreateCommandLine() {
  return new standin::internal::CommandLineImpl(false, true);
}

CefRefPtr<CefCommandLine> CefCommandLine::GetGlobalCommandLine() {
  return &standin::internal::GlobalCommandLine();
}
