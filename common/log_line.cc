#include "common/log_line.h"

#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace quillmoss {

namespace {

// Setting up a string stream (its locale above all) costs more than
// composing a short line, and every bound call logs one. So each thread
// keeps its streams and reuses them; a line composed while another one is
// being composed (a streamed value whose conversion logs) takes the next.
struct StreamPool {
  std::vector<std::unique_ptr<std::ostringstream>> streams;
  size_t in_use = 0;
};

thread_local StreamPool g_stream_pool;

std::ostringstream& TakeStream() {
  StreamPool& pool = g_stream_pool;
  if (pool.in_use == pool.streams.size())
    pool.streams.push_back(std::make_unique<std::ostringstream>());
  std::ostringstream& stream = *pool.streams[pool.in_use++];
  // A line starts from an empty stream in its default format.
  stream.str(std::string());
  stream.clear();
  stream.flags(std::ios_base::dec | std::ios_base::skipws);
  stream.precision(6);
  stream.width(0);
  stream.fill(' ');
  return stream;
}

}  // namespace

LogLine::LogLine(const char* source, int line, int severity)
    : source_(source),
      line_(line),
      severity_(severity),
      stream_(TakeStream()) {}

LogLine::~LogLine() {
  const std::string text = static_cast<std::ostringstream&>(stream_).str();
  --g_stream_pool.in_use;
  cef_log(source_, line_, severity_, text.c_str());
}

}  // namespace quillmoss
