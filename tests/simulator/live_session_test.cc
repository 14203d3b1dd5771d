// Live sessions: steps read a line at a time, each closed by its own line.
#include <sstream>
#include <string>
#include <vector>

#include "cef_standin/driver/renderer_driver.h"
#include "cef_standin/simulator/scenario_runner.h"
#include "gtest/gtest.h"

namespace standin {
namespace {

class LiveSessionTest : public testing::Test {
 protected:
  int Run(const std::string& input) {
    std::istringstream in(input);
    out_.str("");
    err_.str("");
    return RunLiveSession(nullptr, in, "stdin", out_, err_);
  }

  std::vector<std::string> OutLines() const {
    std::vector<std::string> lines;
    std::istringstream in(out_.str());
    for (std::string line; std::getline(in, line);)
      lines.push_back(line);
    return lines;
  }

  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(LiveSessionTest, ClosesEveryStepAfterItsOutput) {
  EXPECT_EQ(kScenarioPassed,
            Run("{\"do\": \"createBrowser\", \"id\": \"b1\"}\n"
                "\n"
                "{\"do\": \"createContext\", \"frame\": \"main\"}\n"
                "{\"do\": \"eval\", \"frame\": \"main\", \"code\": "
                "\"console.log('hi'); 6 * 7\"}\n"))
      << err_.str();
  const std::vector<std::string> expected = {
      R"({"step":0,"ok":true,"notes":[],"log":[]})",
      R"({"step":1,"ok":true,"notes":[],"log":[]})",
      R"({"browser":1,"frame":"main","console":"log","level":"info",)"
      R"("message":"hi","source":"","line":1})",
      R"({"eval":"main","result":42})",
      R"({"step":2,"ok":true,"notes":[],"log":[]})",
  };
  EXPECT_EQ(expected, OutLines());
}

TEST_F(LiveSessionTest, RefusedLinesGetAnErrorAndTheSessionGoesOn) {
  EXPECT_EQ(kScenarioExpectFailed,
            Run("not json\n"
                "{\"do\": \"eval\", \"frame\": \"main\", \"code\": \"1\"}\n"
                "[1, 2]\n"
                "{\"do\": \"createBrowser\", \"id\": \"b1\"}\n"
                "{\"do\": \"createBrowser\", \"id\": \"b1\"}\n"
                "{\"do\": \"createContext\", \"frame\": \"main\"}\n"
                "{\"do\": \"expect\", \"frame\": \"main\", \"code\": \"1\", "
                "\"result\": 2}\n"
                "{\"do\": \"eval\", \"frame\": \"main\", \"code\": \"2\"}\n"
                // A frame added below the main frame is no main frame.
                "{\"do\": \"addFrame\", \"name\": \"A\"}\n"
                "{\"do\": \"removeFrame\", \"frame\": \"A\"}\n"));
  const std::vector<std::string> lines = OutLines();
  ASSERT_EQ(11u, lines.size()) << out_.str();
  EXPECT_EQ(R"({"step":9,"ok":true,"notes":[],"log":[]})", lines[10]);
  EXPECT_EQ(0u, lines[0].find(R"({"step":0,"ok":false,"error":"steps[0]: )"
                              R"(line 1, column 2: syntax error)"))
      << lines[0];
  EXPECT_EQ(0u, lines[1].find(R"({"step":1,"ok":false,"error":"steps[1]: )"
                              R"(no browser exists yet)"))
      << lines[1];
  EXPECT_EQ(
      0u, lines[2].find(
              R"({"step":2,"ok":false,"error":"steps[2]: must be an object")"))
      << lines[2];
  EXPECT_EQ(R"({"step":3,"ok":true,"notes":[],"log":[]})", lines[3]);
  EXPECT_EQ(0u,
            lines[4].find(R"({"step":4,"ok":false,"error":"steps[4].id: )"
                          R"(browser 'b1' is already declared at steps[3]")"))
      << lines[4];
  EXPECT_EQ(R"({"step":5,"ok":true,"notes":[],"log":[]})", lines[5]);
  EXPECT_EQ(R"({"step":6,"ok":false,"error":"expectation failed: \"1\" gave )"
            R"(result 1, expected result 2","notes":["expectation failed: )"
            R"(\"1\" gave result 1, expected result 2"],"log":[]})",
            lines[6]);
  EXPECT_EQ(R"({"eval":"main","result":2})", lines[7]);
  EXPECT_EQ(R"({"step":7,"ok":true,"notes":[],"log":[]})", lines[8]);
  EXPECT_NE(std::string::npos,
            err_.str().find("stdin: steps[1]: no browser exists yet"))
      << err_.str();
}

TEST_F(LiveSessionTest, EmptyInputEndsCleanly) {
  EXPECT_EQ(kScenarioPassed, Run(""));
  EXPECT_EQ("", out_.str());
  EXPECT_EQ(kScenarioPassed, Run("\n  \n"));
  EXPECT_EQ("", out_.str());
}

TEST_F(LiveSessionTest, StepsAfterDestroyAreLiveToo) {
  EXPECT_EQ(kScenarioPassed,
            Run("{\"do\": \"createBrowser\", \"id\": \"b1\"}\n"
                "{\"do\": \"destroyBrowser\"}\n"
                "{\"do\": \"createContext\", \"frame\": \"main\", "
                "\"afterDestroy\": true}\n"
                "{\"do\": \"releaseContext\", \"frame\": \"main\", "
                "\"afterDestroy\": true}\n"));
  EXPECT_EQ(4u, OutLines().size()) << out_.str();
  EXPECT_EQ("", err_.str());
}

}  // namespace
}  // namespace standin
