// Look-up and data-file load speed of the attribution service.
//   service_bench [benchmark flags]        run the benchmarks
//   service_bench --write-data FILE        write the generated 500,000-entry file and exit
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "attribution/builtin_table.h"
#include "attribution/data_file.h"
#include "attribution/generate/builtin_data.h"
#include "attribution/local_attributor.h"
#include "attribution/protocol.h"
#include "service/attribution_service.h"
#include "service/query.h"

namespace {

using namespace numtrail::attribution;
using namespace numtrail::service;

constexpr std::uint32_t kEntries = 500000;

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

// 500,000 prefixes from 1300000 up, sharing 400 records (roughly the country's cities).
const std::vector<std::uint8_t>& GeneratedFile() {
    static const std::vector<std::uint8_t> bytes = [] {
        std::vector<std::uint8_t> out = {'B', 'E', 'N', 'C', 0, 0, 0, 0};
        std::vector<std::uint32_t> offsets;
        for (int i = 0; i < 400; ++i) {
            offsets.push_back(static_cast<std::uint32_t>(out.size()));
            const std::string record = "江苏|城市" + std::to_string(i) + "|" +
                                       std::to_string(100000 + i) + "|0" + std::to_string(510 + i);
            out.insert(out.end(), record.begin(), record.end());
            out.push_back(0);
        }
        const auto index = static_cast<std::uint32_t>(out.size());
        std::memcpy(out.data() + 4, &index, 4);  // the machine is little-endian, like the file
        for (std::uint32_t i = 0; i < kEntries; ++i) {
            PutU32(out, kFirstPrefix + i);
            PutU32(out, offsets[i % offsets.size()]);
            out.push_back(static_cast<std::uint8_t>(1 + i % 8));
        }
        return out;
    }();
    return bytes;
}

LocalAttributor& Table() {
    static LocalAttributor table(ParseDataFile(GeneratedFile()).file, false);
    return table;
}

const Record* Find(Attributor& table, const std::string& number) {
    return table.Attribute(MobileNumber(number)).record;
}

std::vector<std::string> Numbers(std::size_t count) {
    std::mt19937 random(42);
    std::uniform_int_distribution<std::uint64_t> pick(13000000000ull, 19999999999ull);
    std::vector<std::string> numbers;
    for (std::size_t i = 0; i < count; ++i) numbers.push_back(std::to_string(pick(random)));
    return numbers;
}

// Numbers spread over the whole table: mostly cache misses.
void BM_Lookup(benchmark::State& state) {
    LocalAttributor& table = Table();
    const std::vector<std::string> numbers = Numbers(4096);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Find(table, numbers[i++ & 4095]));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Lookup);

// Numbers of one neighbourhood, as in a batch list: the table slots stay in cache.
void BM_LookupClustered(benchmark::State& state) {
    LocalAttributor& table = Table();
    std::vector<std::string> numbers;
    for (int i = 0; i < 4096; ++i) numbers.push_back(std::to_string(13905190000ull + i * 37));
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Find(table, numbers[i++ & 4095]));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LookupClustered);

void BM_AnswerQuery(benchmark::State& state) {
    LocalAttributor& table = Table();
    const std::vector<std::string> numbers = Numbers(4096);
    std::vector<std::string> targets;
    for (const auto& n : numbers) targets.push_back(QueryFor("/", n));
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(HandleQuery(targets[i++ & 4095], table, "V4.1"));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AnswerQuery);

// Parsing and checking the file plus building the prefix table, as at start.
void BM_LoadDataFile500k(benchmark::State& state) {
    const std::vector<std::uint8_t>& bytes = GeneratedFile();
    for (auto _ : state) {
        DataFileResult result = ParseDataFile(bytes);
        LocalAttributor table(std::move(result.file), false);
        benchmark::DoNotOptimize(table.AnswerAt(0));
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_LoadDataFile500k)->Unit(benchmark::kMillisecond);

// Built-in data straight from the library's geocoder, as the build works out the compiled
// table: what each prefix's first look-up cost before the table was compiled in.
const BuiltinData& Builtin() {
    static const BuiltinData data;
    return data;
}

void BM_GeocoderFirstLookup(benchmark::State& state) {
    const BuiltinData& data = Builtin();
    std::uint32_t prefix = kFirstPrefix;
    for (auto _ : state) {
        benchmark::DoNotOptimize(data.Resolve(prefix));
        prefix = prefix == kLastPrefix ? kFirstPrefix : prefix + 1;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GeocoderFirstLookup);

// A prefix's look-up in the compiled table alone: a binary search over its runs.
void BM_BuiltinTableLookup(benchmark::State& state) {
    const BuiltinTable& table = BuiltinTable::Get();
    std::uint32_t prefix = kFirstPrefix;
    for (auto _ : state) {
        benchmark::DoNotOptimize(table.Find(prefix));
        prefix = prefix == kLastPrefix ? kFirstPrefix : prefix + 1;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BuiltinTableLookup);

// The local source with built-in data, as the service, the window and numtrail-lookup ask it.
void BM_BuiltinLookup(benchmark::State& state) {
    static LocalAttributor table;
    const std::vector<std::string> numbers = Numbers(4096);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Find(table, numbers[i++ & 4095]));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BuiltinLookup);

// From nothing to a listening service with built-in data, and back.
void BM_StartWithBuiltinData(benchmark::State& state) {
    for (auto _ : state) {
        ServiceOptions options;
        options.port = 0;
        auto service = AttributionService::Start(options);
        state.PauseTiming();
        service.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartWithBuiltinData)->Unit(benchmark::kMillisecond);

// The very first look-up of a process also builds the compiled table's records; it happens once, so
// it is timed once rather than averaged.
void PrintColdFirstLookup() {
    const auto start = std::chrono::steady_clock::now();
    const Record* record = BuiltinTable::Get().Find(1380013);
    const auto looked_up = std::chrono::steady_clock::now();
    const auto ms = [](auto d) { return std::chrono::duration<double, std::milli>(d).count(); };
    std::printf(
        "built-in data: first look-up after start, the table's records built, %.3f ms (%s)\n",
        ms(looked_up - start), record ? record->province.c_str() : "none");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--write-data") == 0) {
        const auto& bytes = GeneratedFile();
        std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        return out ? 0 : 1;
    }
    PrintColdFirstLookup();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
