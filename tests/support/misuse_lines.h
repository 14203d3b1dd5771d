// The log lines that say the system called CEF where CEF hits NOTREACHED()
// or its wrapper refuses the parameters: what tests and fuzzers show beside
// standin::CefMisuseCount() to say which call it was.
#ifndef QUILLMOSS_TESTS_SUPPORT_MISUSE_LINES_H_
#define QUILLMOSS_TESTS_SUPPORT_MISUSE_LINES_H_

#include <string>
#include <vector>

namespace testing_support {

// The misuse lines still in the stand-in's log (it may have been cleared
// since), oldest first.
std::vector<std::string> MisuseLines();

}  // namespace testing_support

#endif  // QUILLMOSS_TESTS_SUPPORT_MISUSE_LINES_H_
