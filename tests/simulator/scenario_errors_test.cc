// Malformed scenarios are refused before anything runs, with the place of
// the fault, and never crash the simulator.
#include <algorithm>
#include <iterator>
#include <sstream>
#include <string>

#include "cef_standin/simulator/scenario_runner.h"
#include "gtest/gtest.h"
#include "scenario_dump.h"

namespace standin {
namespace {

// One browser "b1" with frames main, A and B (a child of A).
std::string WithBrowser(const std::string& steps) {
  return R"({"browsers": [{"id": "b1", "frames": [{"name": "main"},)"
         R"( {"name": "A"}, {"name": "B", "parent": "A"}]}], "steps": )" +
         steps + "}";
}

std::string WithBrowsers(const std::string& browsers) {
  return R"({"browsers": )" + browsers + R"(, "steps": []})";
}

struct BadScenario {
  std::string text;
  const char* error;  // what err must contain after "bad.json: "
};

TEST(ScenarioErrorsTest, RefusedWithThePlaceOfTheFault) {
  const BadScenario rows[] = {
      // Not JSON.
      {"", "line 1, column 1: syntax error"},
      {"{\n  \"steps\": [\n    {\"do\": \"runTasks\",}\n  ]\n}",
       "line 3, column 23: syntax error"},
      {"{\"steps\": [\"\xc3\x28\"]}", "line 1, column 14: syntax error"},
      {std::string(300, '[') + std::string(300, ']'),
       "line 1, column 257: nested deeper than 256 levels"},
      // The document.
      {"[]", "the scenario: must be an object"},
      {"{}", "the scenario: missing key 'steps'"},
      {R"({"steps": {}})", "steps: must be an array"},
      {R"({"steps": [], "browser": []})", "browser: unknown key"},
      {R"({"browsers": {}, "steps": []})", "browsers: must be an array"},
      {R"({"steps": [], "autoRunTasks": 1})",
       "autoRunTasks: must be true or false"},
      // Browsers and frames.
      {WithBrowsers("[1]"), "browsers[0]: must be an object"},
      {WithBrowsers(R"([{"frames": []}])"), "browsers[0]: missing key 'id'"},
      {WithBrowsers(R"([{"id": ""}])"), "browsers[0].id: must not be empty"},
      {WithBrowsers(R"([{"id": "b1"}, {"id": "b1"}])"),
       "browsers[1].id: browser 'b1' is already declared at browsers[0]"},
      {WithBrowsers(R"([{"id": "b1", "frames": []}])"),
       "browsers[0].frames: must list at least the main frame"},
      {WithBrowsers(R"([{"id": "b1", "frames": {}}])"),
       "browsers[0].frames: must be an array"},
      {WithBrowsers(
           R"([{"id": "b1", "frames": [{"name": "m", "parent": "m"}]}])"),
       "browsers[0].frames[0].parent: the first frame is the main frame"},
      {WithBrowsers(
           R"([{"id": "b1", "frames": [{"name": "m"}, {"name": "A", "parent": "Z"}]}])"),
       "browsers[0].frames[1].parent: unknown frame 'Z' in browser 'b1'"},
      {WithBrowsers(
           R"([{"id": "b1", "frames": [{"name": "m"}, {"name": "m"}]}])"),
       "browsers[0].frames[1].name: frame 'm' is already declared"},
      {WithBrowsers(
           R"([{"id": "b1", "frames": [{"name": "m", "frameName": 3}]}])"),
       "browsers[0].frames[0].frameName: must be a string"},
      {WithBrowsers(R"([{"id": "b1", "frames": [{"name": "m", "url": "x"}]}])"),
       "browsers[0].frames[0].url: unknown key"},
      // Steps.
      {R"({"steps": [1]})", "steps[0]: must be an object"},
      {R"({"steps": [{"go": 1}]})", "steps[0]: missing key 'do'"},
      {R"({"steps": [{"do": "fly"}]})", "steps[0].do: unknown step 'fly'"},
      {R"({"steps": [{"do": "eval", "frame": "main", "code": "1"}]})",
       "steps[0]: no browser exists yet"},
      {WithBrowser(R"([{"do": "runTasks", "frame": "main"}])"),
       "steps[0].frame: unknown key"},
      {WithBrowser(R"([{"do": "eval", "frame": "x", "code": "1"}])"),
       "steps[0].frame: unknown frame 'x' in browser 'b1'"},
      {WithBrowser(R"([{"do": "eval", "frame": 7, "code": "1"}])"),
       "steps[0].frame: must be a string"},
      {WithBrowser(R"([{"do": "eval", "frame": "main"}])"),
       "steps[0]: missing key 'code'"},
      {WithBrowser(
           R"([{"do": "eval", "browser": "b9", "frame": "main", "code": ""}])"),
       "steps[0].browser: unknown browser 'b9'"},
      {WithBrowser(R"([{"do": "createContext"}])"),
       "steps[0]: missing key 'frame'"},
      {WithBrowser(
           R"([{"do": "destroyBrowser"}, {"do": "createContext", "frame": "main"}])"),
       "steps[1]: browser 'b1' was destroyed at steps[0]"},
      {WithBrowser(
           R"([{"do": "destroyBrowser"}, {"do": "destroyBrowser", "browser": "b1"}])"),
       "steps[1].browser: browser 'b1' was destroyed at steps[0]"},
      {WithBrowser(
           R"([{"do": "createContext", "frame": "main", "afterDestroy": true}])"),
       "steps[0]: browser 'b1' lives (afterDestroy needs a destroyed browser)"},
      {WithBrowser(
           R"([{"do": "releaseContext", "frame": "main", "afterDestroy": 1}])"),
       "steps[0].afterDestroy: must be true or false"},
      {WithBrowser(
           R"([{"do": "destroyBrowser"}, {"do": "message", "frame": "Z", "name": "M", "afterDestroy": true}])"),
       "steps[1].frame: unknown frame 'Z' in browser 'b1'"},
      {WithBrowser(
           R"([{"do": "eval", "frame": "main", "code": "1", "afterDestroy": true}])"),
       "steps[0].afterDestroy: unknown key"},
      {WithBrowser(R"([{"do": "message", "frame": "B", "name": ""}])"),
       "steps[0].name: must not be empty"},
      {WithBrowser(
           R"([{"do": "message", "frame": "B", "name": "M", "args": {}}])"),
       "steps[0].args: must be an array"},
      {WithBrowser(
           R"([{"do": "message", "frame": "B", "name": "M", "args": [1, {"k": {"$binary": "zz"}}]}])"),
       "steps[0].args[1].k.$binary: is not hex at offset 0"},
      {WithBrowser(
           R"([{"do": "message", "frame": "B", "name": "M", "args": [{"$callback": 1.5}]}])"),
       "steps[0].args[0].$callback: must be an integer"},
      {WithBrowser(R"([{"do": "expect", "frame": "A", "code": "1"}])"),
       "steps[0]: give exactly one of 'result', 'text' and 'exception'"},
      {WithBrowser(
           R"([{"do": "expect", "frame": "A", "code": "1", "result": 1, "text": "1"}])"),
       "steps[0]: give exactly one of"},
      {WithBrowser(
           R"([{"do": "expect", "frame": "A", "code": "1", "exception": 5}])"),
       "steps[0].exception: must be a string"},
      {WithBrowser(R"([{"do": "createBrowser", "id": "b1"}])"),
       "steps[0].id: browser 'b1' is already declared at browsers[0]"},
      {WithBrowser(R"([{"do": "addFrame", "name": "C", "parent": "Z"}])"),
       "steps[0].parent: unknown frame 'Z' in browser 'b1'"},
      {WithBrowser(R"([{"do": "addFrame", "name": "A"}])"),
       "steps[0].name: frame 'A' is already declared in browser 'b1'"},
      // A removed frame takes the frames below it along, for good.
      {WithBrowser(
           R"([{"do": "removeFrame", "frame": "A"}, {"do": "eval", "frame": "B", "code": "1"}])"),
       "steps[1].frame: frame 'B' was removed at steps[0]"},
      {WithBrowser(
           R"([{"do": "removeFrame", "frame": "A"}, {"do": "addFrame", "name": "A"}])"),
       "steps[1].name: frame 'A' is already declared in browser 'b1'"},
      {WithBrowser(R"([{"do": "removeFrame", "frame": "main"}])"),
       "steps[0].frame: a page cannot remove the main frame"},
      {WithBrowser(R"([{"do": "frameRemover", "frame": "main"}])"),
       "steps[0]: missing key 'as'"},
      // Frames whose page another renderer process holds.
      {WithBrowsers(
           R"([{"id": "b1", "frames": [{"name": "m", "remote": 1}]}])"),
       "browsers[0].frames[0].remote: must be true or false"},
      {WithBrowsers(R"([{"id": "b1", "browserId": 0}])"),
       "browsers[0].browserId: must be a whole number from 1 to 2147483647"},
      {WithBrowsers(R"([{"id": "b1"}, {"id": "b2", "browserId": 1}])"),
       "browsers[1].browserId: browser 1 is open already ('b1')"},
      {R"({"steps": [], "clientId": -4})",
       "clientId: must be a whole number from 1 to 2147483647"},
      {R"({"browsers": [{"id": "b1", "frames": [{"name": "m", "remote": true}]}],)"
       R"( "steps": [{"do": "createContext", "frame": "m"}]})",
       "steps[0].frame: frame 'm' is remote in this renderer process"},
      {WithBrowser(R"([{"do": "swapFrame", "frame": "A", "remote": true},)"
                   R"( {"do": "eval", "frame": "A", "code": "1"}])"),
       "steps[1].frame: frame 'A' is remote in this renderer process"},
      {WithBrowser(R"([{"do": "swapFrame", "frame": "A", "remote": true},)"
                   R"( {"do": "message", "frame": "A", "name": "M"}])"),
       "steps[1].frame: frame 'A' is remote in this renderer process"},
      {WithBrowser(
           R"([{"do": "addFrame", "name": "R", "remote": true},)"
           R"( {"do": "keep", "frame": "main", "code": "1", "into": "R", "as": "x"}])"),
       "steps[1].into: frame 'R' is remote in this renderer process"},
      {WithBrowser(R"([{"do": "swapFrame", "frame": "A", "remote": true},)"
                   R"( {"do": "eval", "frame": "B", "code": "1"}])"),
       "steps[1].frame: frame 'B' was removed at steps[0]"},
      {WithBrowser(R"([{"do": "swapFrame", "frame": "main", "remote": true}])"),
       "steps[0].frame: a main frame that leaves the process takes the browser"},
      {WithBrowser(R"([{"do": "swapFrame", "frame": "A"}])"),
       "steps[0].remote: must be true or false"},
      // A frame added later does not exist before.
      {WithBrowser(
           R"([{"do": "createContext", "frame": "C"}, {"do": "addFrame", "name": "C"}])"),
       "steps[0].frame: unknown frame 'C'"},
      {WithBrowser(
           R"([{"do": "createContext", "browser": "b2", "frame": "main"},)"
           R"( {"do": "createBrowser", "id": "b2"}])"),
       "steps[0].browser: unknown browser 'b2'"},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i) + ": " + rows[i].text);
    std::ostringstream out;
    std::ostringstream err;
    DumpScenarioForComparison(rows[i].text);
    EXPECT_EQ(kScenarioMalformed,
              RunScenario(nullptr, rows[i].text, "bad.json", out, err));
    EXPECT_EQ("", out.str());
    const std::string expected = std::string("bad.json: ") + rows[i].error;
    const std::string error = err.str();
    EXPECT_EQ(0u, error.find(expected)) << error;
    EXPECT_EQ(1, std::count(error.begin(), error.end(), '\n')) << error;
  }
}

}  // namespace
}  // namespace standin
