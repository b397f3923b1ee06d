// The runtime core against the obvious library choice: the generator and the shuffle against
// std::mt19937, file names in the temporary string area against std::wstring, and
// Registry_Get against std::unordered_map. Each pair runs in this one program, so the ratios
// hold on a shared machine. Rows are named "<case>:ours" and "<case>:base".
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <random>
#include <string>
#include <unordered_map>

#include "bench/common.h"
#include "runtime/memory.h"
#include "runtime/random.h"
#include "runtime/registry.h"
#include "runtime/tempstring.h"

namespace {

const uint32_t kSeed = 20240607;

// ---- generator ----

// The draw's own ranges: a shuffle of 50 asks for 1..49.
void randomRangeOurs(benchmark::State& state) {
  Random_Seed(kSeed);
  uint32_t max = 1;
  for (auto _ : state) {
    benchmark::DoNotOptimize(Random_Range(max));
    max = max == 49 ? 1 : max + 1;
  }
}
BENCHMARK(randomRangeOurs)->Name("random_range:ours");

void randomRangeBase(benchmark::State& state) {
  std::mt19937 generator(kSeed);
  uint32_t max = 1;
  for (auto _ : state) {
    std::uniform_int_distribution<uint32_t> range(0, max);
    benchmark::DoNotOptimize(range(generator));
    max = max == 49 ? 1 : max + 1;
  }
}
BENCHMARK(randomRangeBase)->Name("random_range:base");

// The full 32-bit word, against the engine's raw output.
void randomWordOurs(benchmark::State& state) {
  Random_Seed(kSeed);
  for (auto _ : state) benchmark::DoNotOptimize(Random_Range(0xFFFFFFFFu));
}
BENCHMARK(randomWordOurs)->Name("random_word:ours");

void randomWordBase(benchmark::State& state) {
  std::mt19937 generator(kSeed);
  for (auto _ : state) benchmark::DoNotOptimize(generator());
}
BENCHMARK(randomWordBase)->Name("random_word:base");

// ---- shuffle: refill the pool with 0..n-1 and shuffle it whole, as each draw does ----

template <int N>
void shuffleOurs(benchmark::State& state) {
  bench::startRuntimeCore();
  Random_Seed(kSeed);
  void* pool = nullptr;
  int32_t* values = (int32_t*)Array_Allocate(4, N, 0, nullptr, &pool);
  for (auto _ : state) {
    for (int32_t i = 0; i < N; i++) values[i] = i;
    Array_Shuffle(values);
    benchmark::DoNotOptimize(values[0]);
    benchmark::ClobberMemory();
  }
  Array_Free(values);
  bench::endRuntimeCore();
}
BENCHMARK_TEMPLATE(shuffleOurs, 50)->Name("shuffle_50:ours");
BENCHMARK_TEMPLATE(shuffleOurs, 12)->Name("shuffle_12:ours");

template <int N>
void shuffleBase(benchmark::State& state) {
  std::mt19937 generator(kSeed);
  std::array<int32_t, N> values;
  for (auto _ : state) {
    for (int32_t i = 0; i < N; i++) values[i] = i;
    std::shuffle(values.begin(), values.end(), generator);
    benchmark::DoNotOptimize(values[0]);
    benchmark::ClobberMemory();
  }
}
BENCHMARK_TEMPLATE(shuffleBase, 50)->Name("shuffle_50:base");
BENCHMARK_TEMPLATE(shuffleBase, 12)->Name("shuffle_12:base");

// ---- picture file names: folder + decimal value + ".png", handed to a consumer ----

const int kCountedNames = 1000;

// What Image_Load does first with the name: reads it. Kept out of line on both sides.
__attribute__((noinline)) size_t consumeName(const Char16* name) {
  size_t n = 0;
  while (name[n]) n++;
  benchmark::DoNotOptimize(name);
  return n;
}
__attribute__((noinline)) size_t consumeWideName(const wchar_t* name) {
  size_t n = 0;
  while (name[n]) n++;
  benchmark::DoNotOptimize(name);
  return n;
}

// The draw's call protocol, unchanged.
inline void buildNameOurs(const Char16* folder, int32_t value) {
  TempStringArea& area = TempString_Area();
  int32_t start = area.end;
  TempString_Append(folder);
  Number_AppendText((int64_t)value, area.end);
  TempString_Append(TEXT16(".png"));
  area.end += 2;
  benchmark::DoNotOptimize(consumeName(TempString_Address(start)));
  area.end = start;
}

void fileNameOurs(benchmark::State& state) {
  bench::startRuntimeCore();
  Char16* folder = nullptr;
  String_Assign(&folder, TEXT16("GFX\\Balls\\"));
  int32_t value = 0;
  for (auto _ : state) {
    buildNameOurs(folder, value);
    value = value == 49 ? 0 : value + 1;
  }
  bench::startCounting();
  for (int i = 0; i < kCountedNames; i++) buildNameOurs(folder, i % 50);
  state.counters["allocs_per_name"] = (double)bench::stopCounting() / kCountedNames;
  String_Assign(&folder, nullptr);
  bench::endRuntimeCore();
}
BENCHMARK(fileNameOurs)->Name("file_name:ours");

inline void buildNameBase(const std::wstring& folder, int32_t value) {
  std::wstring name = folder + std::to_wstring(value) + L".png";
  benchmark::DoNotOptimize(consumeWideName(name.c_str()));
}

void fileNameBase(benchmark::State& state) {
  const std::wstring folder = L"GFX\\Balls\\";
  int32_t value = 0;
  for (auto _ : state) {
    buildNameBase(folder, value);
    value = value == 49 ? 0 : value + 1;
  }
  bench::startCounting();
  for (int i = 0; i < kCountedNames; i++) buildNameBase(folder, i % 50);
  state.counters["allocs_per_name"] = (double)bench::stopCounting() / kCountedNames;
}
BENCHMARK(fileNameBase)->Name("file_name:base");

// ---- registry look-up: the program's numbered objects (windows, images, gadgets 0..9) ----

struct Record {
  void* handle;  // the live mark
  int32_t width, height;
};
const int kObjects = 10;

void registryGetOurs(benchmark::State& state) {
  bench::startRuntimeCore();
  ObjectRegistry* registry = Registry_Create(sizeof(Record), 16, nullptr);
  for (intptr_t n = 0; n < kObjects; n++)
    ((Record*)Registry_Allocate(registry, n))->handle = (void*)(n + 1);
  intptr_t n = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(Registry_Get(registry, n));
    n = n == kObjects - 1 ? 0 : n + 1;
  }
  bench::endRuntimeCore();
}
BENCHMARK(registryGetOurs)->Name("registry_get:ours");

void registryGetBase(benchmark::State& state) {
  std::unordered_map<intptr_t, Record> registry;
  for (intptr_t n = 0; n < kObjects; n++) registry[n].handle = (void*)(n + 1);
  intptr_t n = 0;
  for (auto _ : state) {
    auto it = registry.find(n);
    Record* record = it != registry.end() && it->second.handle ? &it->second : nullptr;
    benchmark::DoNotOptimize(record);
    n = n == kObjects - 1 ? 0 : n + 1;
  }
}
BENCHMARK(registryGetBase)->Name("registry_get:base");

// Dynamic numbers (record addresses, OBJECT_DYNAMIC) are found by walking the kind's chain.
// The program never creates one; reported for completeness.
void registryGetDynamicOurs(benchmark::State& state) {
  bench::startRuntimeCore();
  ObjectRegistry* registry = Registry_Create(sizeof(Record), 16, nullptr);
  intptr_t numbers[kObjects];
  for (int i = 0; i < kObjects; i++) {
    Record* record = (Record*)Registry_Allocate(registry, OBJECT_DYNAMIC);
    record->handle = record;
    numbers[i] = (intptr_t)record;
  }
  int i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(Registry_Get(registry, numbers[i]));
    i = i == kObjects - 1 ? 0 : i + 1;
  }
  bench::endRuntimeCore();
}
BENCHMARK(registryGetDynamicOurs)->Name("registry_get_dynamic:ours");

void registryGetDynamicBase(benchmark::State& state) {
  std::unordered_map<intptr_t, Record*> registry;
  Record records[kObjects] = {};
  intptr_t numbers[kObjects];
  for (int i = 0; i < kObjects; i++) {
    records[i].handle = &records[i];
    numbers[i] = (intptr_t)&records[i];
    registry[numbers[i]] = &records[i];
  }
  int i = 0;
  for (auto _ : state) {
    auto it = registry.find(numbers[i]);
    Record* record = it != registry.end() && it->second->handle ? it->second : nullptr;
    benchmark::DoNotOptimize(record);
    i = i == kObjects - 1 ? 0 : i + 1;
  }
}
BENCHMARK(registryGetDynamicBase)->Name("registry_get_dynamic:base");

}  // namespace

BENCHMARK_MAIN();
