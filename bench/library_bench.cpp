// Library figures: every operation on the same bytes as its limit, for three
// shapes of data at three sizes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "baselines.h"
#include "bench_data.h"

namespace {

using bench::shape;

const bench::data_set &data(const benchmark::State &state)
{
    return bench::get(shape(state.range(0)), size_t(state.range(1)) << 20);
}

// Bytes of uncompressed NBT and nodes handled per iteration.
void account(benchmark::State &state, const bench::data_set &d)
{
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(d.binary.size()));
    state.counters["nodes"] = double(d.nodes);
    state.counters["bytes"] = double(d.binary.size());
    state.counters["compressed"] = double(d.gzip.size());
}

void BM_memcpy(benchmark::State &state)
{
    const auto &d = data(state);
    std::vector<uint8_t> out(d.binary.size());
    for (auto _ : state) {
        memcpy(out.data(), d.binary.data(), d.binary.size());
        benchmark::ClobberMemory();
    }
    account(state, d);
}

void BM_parse(benchmark::State &state)
{
    const auto &d = data(state);
    for (auto _ : state) {
        nbt_node *t = nbt_parse(d.binary.data(), d.binary.size());
        state.PauseTiming();
        nbt_free(t);
        state.ResumeTiming();
    }
    account(state, d);
}

// Parse and release together, against allocating and releasing the same
// blocks bare.
void BM_parse_and_free(benchmark::State &state)
{
    const auto &d = data(state);
    for (auto _ : state)
        nbt_free(nbt_parse(d.binary.data(), d.binary.size()));
    account(state, d);
}

void BM_malloc_free(benchmark::State &state)
{
    const auto &d = data(state);
    auto sizes = bench::block_sizes(d.tree());
    for (auto _ : state)
        bench::malloc_free(sizes);
    account(state, d);
    state.counters["blocks"] = double(sizes.size());
}

void BM_inflate_alone(benchmark::State &state)
{
    const auto &d = data(state);
    for (auto _ : state)
        benchmark::DoNotOptimize(bench::inflate_alone(d.gzip.data(), d.gzip.size()));
    account(state, d);
}

void BM_parse_compressed(benchmark::State &state)
{
    const auto &d = data(state);
    for (auto _ : state) {
        nbt_node *t = nbt_parse_compressed(d.gzip.data(), d.gzip.size());
        state.PauseTiming();
        nbt_free(t);
        state.ResumeTiming();
    }
    account(state, d);
}

void BM_parse_path(benchmark::State &state)
{
    const auto &d = data(state);
    std::string path = "/tmp/burl_bench_" + std::to_string(getpid()) + ".nbt";
    FILE *fp = fopen(path.c_str(), "wb");
    fwrite(d.gzip.data(), 1, d.gzip.size(), fp);
    fclose(fp);
    for (auto _ : state) {
        nbt_node *t = nbt_parse_path(path.c_str());
        state.PauseTiming();
        nbt_free(t);
        state.ResumeTiming();
    }
    unlink(path.c_str());
    account(state, d);
}

void BM_dump_binary(benchmark::State &state)
{
    const auto &d = data(state);
    for (auto _ : state) {
        struct buffer b = nbt_dump_binary(d.tree());
        benchmark::DoNotOptimize(b.data);
        free(b.data);
    }
    account(state, d);
}

void BM_deflate_alone(benchmark::State &state)
{
    const auto &d = data(state);
    for (auto _ : state)
        benchmark::DoNotOptimize(bench::deflate_alone(d.binary.data(), d.binary.size(), true));
    account(state, d);
}

void BM_dump_compressed(benchmark::State &state)
{
    const auto &d = data(state);
    for (auto _ : state) {
        struct buffer b = nbt_dump_compressed(d.tree(), COMPRESSION_GZIP);
        benchmark::DoNotOptimize(b.data);
        free(b.data);
    }
    account(state, d);
}

void BM_free(benchmark::State &state)
{
    const auto &d = data(state);
    for (auto _ : state) {
        state.PauseTiming();
        nbt_node *t = nbt_parse(d.binary.data(), d.binary.size());
        state.ResumeTiming();
        nbt_free(t);
    }
    account(state, d);
}

void BM_dump_ascii(benchmark::State &state)
{
    const auto &d = data(state);
    for (auto _ : state)
        free(nbt_dump_ascii(d.tree()));
    account(state, d);
}

void BM_dump_ascii_file(benchmark::State &state)
{
    const auto &d = data(state);
    FILE *fp = fopen("/dev/null", "w");
    for (auto _ : state)
        benchmark::DoNotOptimize(nbt_dump_ascii_file(d.tree(), fp));
    fclose(fp);
    account(state, d);
}

// Clone and release together, against the bare allocation of its blocks.
void BM_clone(benchmark::State &state)
{
    const auto &d = data(state);
    for (auto _ : state)
        nbt_free(nbt_clone(d.tree()));
    account(state, d);
}

void BM_eq(benchmark::State &state)
{
    const auto &d = data(state);
    nbt_node *copy = nbt_clone(d.tree());
    for (auto _ : state)
        benchmark::DoNotOptimize(nbt_eq(d.tree(), copy));
    nbt_free(copy);
    account(state, d);
}

void sizes(benchmark::internal::Benchmark *b)
{
    for (int s : {int(shape::chunk_like), int(shape::small_nodes), int(shape::array_heavy)})
        for (int mb : {1, 10, 100})
            b->Args({s, mb});
    b->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(0.3);
}

} // namespace

BENCHMARK(BM_memcpy)->Apply(sizes);
BENCHMARK(BM_parse)->Apply(sizes);
BENCHMARK(BM_parse_and_free)->Apply(sizes);
BENCHMARK(BM_malloc_free)->Apply(sizes);
BENCHMARK(BM_inflate_alone)->Apply(sizes);
BENCHMARK(BM_parse_compressed)->Apply(sizes);
BENCHMARK(BM_parse_path)->Apply(sizes);
BENCHMARK(BM_dump_binary)->Apply(sizes);
BENCHMARK(BM_deflate_alone)->Apply(sizes);
BENCHMARK(BM_dump_compressed)->Apply(sizes);
BENCHMARK(BM_dump_ascii)->Apply(sizes);
BENCHMARK(BM_dump_ascii_file)->Apply(sizes);
BENCHMARK(BM_clone)->Apply(sizes);
BENCHMARK(BM_eq)->Apply(sizes);
BENCHMARK(BM_free)->Apply(sizes);

BENCHMARK_MAIN();
