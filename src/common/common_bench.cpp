// Figures for the shared helpers: the digest of the start-up data check (the archive's first
// megabyte), the random generator's draw and array growth.
#include "common/common.h"
#include "common/mt19937.h"
#include "common/ripemd160.h"

#include <benchmark/benchmark.h>

#include <vector>

static void BM_Ripemd160Megabyte(benchmark::State &state) {
    std::vector<uint8_t> data(1 << 20);
    for (size_t i = 0; i < data.size(); i++)
        data[i] = uint8_t(i * 131 + 7);
    uint8_t digest[20];
    for (auto _ : state) {
        ripemd160(data.data(), data.size(), digest);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}
BENCHMARK(BM_Ripemd160Megabyte)->Unit(benchmark::kMillisecond);

static void BM_MtNext(benchmark::State &state) {
    mt_seed(5489);
    for (auto _ : state)
        benchmark::DoNotOptimize(mt_next());
}
BENCHMARK(BM_MtNext);

static void BM_ArrayPush1000(benchmark::State &state) {
    for (auto _ : state) {
        Array list;
        array_init(&list, 16);
        for (int i = 0; i < 1000; i++)
            array_push(&list, nullptr);
        array_shrink(&list);
        array_free(&list);
    }
}
BENCHMARK(BM_ArrayPush1000);

BENCHMARK_MAIN();
