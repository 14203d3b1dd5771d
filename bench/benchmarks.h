// Registration of each group of paired benchmarks. A pair is two benchmarks
// named "<group>/<case>/ours" and "<group>/<case>/baseline"; ratios.py
// divides their medians.
#ifndef QUILLMOSS_BENCH_BENCHMARKS_H_
#define QUILLMOSS_BENCH_BENCHMARKS_H_

#include <string>

namespace bench {

void RegisterConversionBenchmarks();
void RegisterCallBenchmarks();
void RegisterInstallBenchmarks();
void RegisterRegistryBenchmarks();

// Drops the page values the conversion benchmarks keep between runs; called
// before the renderer goes.
void ReleasePayloads();

// Peak memory of one conversion of 1,000,000 integers: |mode| is "setup"
// (only the page array), "convert" (V8ArgumentsToCefListValue of it) or
// "stringify" (JSON.stringify of it). Prints the process's maxrss in KiB;
// returns the exit code.
int RunRssMode(const std::string& mode);

}  // namespace bench

#endif  // QUILLMOSS_BENCH_BENCHMARKS_H_
