// The stand-in's log: what LOG() composes, what cef_log() records and echoes.
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "cef_standin/driver/renderer_driver.h"
#include "cef_standin/src/logging_internal.h"
#include "gtest/gtest.h"
#include "include/base/cef_logging.h"

namespace {

class LoggingTest : public ::testing::Test {
 protected:
  void SetUp() override { standin::ClearLog(); }
  void TearDown() override {
    standin::SetMinLogLevel(0);
    standin::SetLogEcho(nullptr);
    standin::ClearLog();
  }
};

int g_compositions = 0;

std::string Composed(const std::string& text) {
  ++g_compositions;
  return text;
}

TEST_F(LoggingTest, RecordsEveryLine) {
  cef_log("unit_source", 12, cef::logging::LOG_ERROR, "went wrong");
  ASSERT_EQ(1u, standin::LogRecords().size());
  const standin::LogRecord& record = standin::LogRecords()[0];
  EXPECT_EQ("unit_source", record.file);
  EXPECT_EQ(12, record.line);
  EXPECT_EQ(cef::logging::LOG_ERROR, record.severity);
  EXPECT_EQ("went wrong", record.message);

  cef_log(nullptr, 0, cef::logging::LOG_INFO, nullptr);
  EXPECT_EQ(2u, standin::LogRecords().size());
  standin::ClearLog();
  EXPECT_TRUE(standin::LogRecords().empty());
}

TEST_F(LoggingTest, LinesBelowTheMinimumLevelAreNotComposed) {
  EXPECT_EQ(0, cef_get_min_log_level());
  standin::SetMinLogLevel(cef::logging::LOG_ERROR);
  EXPECT_EQ(cef::logging::LOG_ERROR, cef_get_min_log_level());
  g_compositions = 0;

  LOG(INFO) << Composed("hidden");
  LOG(WARNING) << Composed("hidden");
  EXPECT_EQ(0, g_compositions);
  EXPECT_TRUE(standin::LogRecords().empty());

  LOG(ERROR) << Composed("shown ") << 42;
  EXPECT_EQ(1, g_compositions);
  ASSERT_EQ(1u, standin::LogRecords().size());
  EXPECT_EQ("shown 42", standin::LogRecords()[0].message);
  EXPECT_EQ(__FILE__, standin::LogRecords()[0].file);
}

TEST_F(LoggingTest, EchoWritesChromiumStylePrefixes) {
  FILE* stream = std::tmpfile();
  ASSERT_NE(nullptr, stream);
  standin::SetLogEcho(stream);
  cef_log("a.cc", 1, cef::logging::LOG_INFO, "info");
  cef_log("b.cc", 2, cef::logging::LOG_WARNING, "warn");
  cef_log("c.cc", 3, cef::logging::LOG_ERROR, "error");
  standin::SetLogEcho(nullptr);
  cef_log("e.cc", 5, cef::logging::LOG_ERROR, "not echoed");

  std::rewind(stream);
  std::string echoed;
  char buffer[256];
  size_t read = 0;
  while ((read = std::fread(buffer, 1, sizeof(buffer), stream)) > 0)
    echoed.append(buffer, read);
  std::fclose(stream);
  EXPECT_EQ(
      "[INFO:a.cc(1)] info\n[WARNING:b.cc(2)] warn\n"
      "[ERROR:c.cc(3)] error\n",
      echoed);
  EXPECT_EQ(4u, standin::LogRecords().size());
}

// As in CEF, whose wrapper's DCHECKs log FATAL and rely on it ending the run.
TEST_F(LoggingTest, FatalEndsTheProcessAfterWritingTheLine) {
  EXPECT_DEATH(cef_log("d.cc", 4, cef::logging::LOG_FATAL, "fatal"),
               "\\[FATAL:d\\.cc\\(4\\)\\] fatal");
  EXPECT_DEATH(standin::internal::NotImplemented("CefFrame::LoadURL"),
               "not implemented by the CEF stand-in: CefFrame::LoadURL");
}

TEST_F(LoggingTest, ThreadsMayLogAtOnce) {
  constexpr int kThreads = 4;
  constexpr int kLinesEach = 250;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([] {
      for (int i = 0; i < kLinesEach; ++i)
        LOG(INFO) << "line " << i;
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  EXPECT_EQ(static_cast<size_t>(kThreads * kLinesEach),
            standin::LogRecords().size());
}

}  // namespace
