#include "support/misuse_lines.h"

#include "standin_core.h"

namespace testing_support {

std::vector<std::string> MisuseLines() {
  std::vector<std::string> lines;
  for (const standin::LogRecord& record : standin::LogRecords()) {
    if (record.message.find("CEF NOTREACHED()") != std::string::npos ||
        record.message.find("CEF wrapper DCHECK") != std::string::npos) {
      lines.push_back(record.message);
    }
  }
  return lines;
}

}  // namespace testing_support
