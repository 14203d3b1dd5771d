// With QUILLMOSS_SCENARIO_DUMP_DIR set, every scenario a test plays is also
// written there, one file each, so scripts/compare-builds.py can play them
// through both builds of the executable.
#ifndef QUILLMOSS_TESTS_SIMULATOR_SCENARIO_DUMP_H_
#define QUILLMOSS_TESTS_SIMULATOR_SCENARIO_DUMP_H_

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include "gtest/gtest.h"

inline void DumpScenarioForComparison(const std::string& text) {
  const char* dir = std::getenv("QUILLMOSS_SCENARIO_DUMP_DIR");
  if (!dir || !*dir)
    return;
  const testing::TestInfo* test =
      testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(test->test_suite_name()) + "." + test->name();
  static std::map<std::string, int> played;
  name += "." + std::to_string(played[name]++) + ".json";
  std::ofstream(std::string(dir) + "/" + name) << text;
}

#endif  // QUILLMOSS_TESTS_SIMULATOR_SCENARIO_DUMP_H_
