// One entry point for every benchmark folder.
#include <benchmark/benchmark.h>

BENCHMARK_MAIN();
