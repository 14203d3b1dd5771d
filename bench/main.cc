// quillmoss_bench: Google Benchmark's flags, plus --rss_mode=MODE, which
// runs one conversion of 1,000,000 integers instead and prints the peak
// memory (see RunRssMode).
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "bench_env.h"
#include "benchmarks.h"

int main(int argc, char** argv) {
  constexpr char kRssFlag[] = "--rss_mode=";
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], kRssFlag, sizeof(kRssFlag) - 1) == 0) {
      bench::BenchEnv::Create();
      const int code = bench::RunRssMode(argv[i] + sizeof(kRssFlag) - 1);
      bench::BenchEnv::Destroy();
      return code;
    }
  }

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  bench::BenchEnv::Create();
  bench::RegisterConversionBenchmarks();
  bench::RegisterCallBenchmarks();
  bench::RegisterInstallBenchmarks();
  bench::RegisterRegistryBenchmarks();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  bench::ReleasePayloads();
  bench::BenchEnv::Destroy();
  return 0;
}
