// The reply's text work (parse, recipients, subject, quoted body) on the generated
// messages, with the peak heap that one call takes on top of what was in use before it.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <new>
#include <string>

#include "bench/bench_message.h"
#include "bench/reply_text.h"

namespace {

// A counting allocator: every block carries its size in front of it.
constexpr size_t kHeader = alignof(std::max_align_t);
size_t gInUse = 0;
size_t gPeak = 0;

void* CountedAlloc(size_t n) {
    auto* block = static_cast<char*>(std::malloc(n + kHeader));
    if (block == nullptr) {
        return nullptr;
    }
    *reinterpret_cast<size_t*>(block) = n;
    gInUse += n;
    if (gInUse > gPeak) {
        gPeak = gInUse;
    }
    return block + kHeader;
}

void CountedFree(void* p) {
    if (p != nullptr) {
        char* block = static_cast<char*>(p) - kHeader;
        gInUse -= *reinterpret_cast<size_t*>(block);
        std::free(block);
    }
}

void* ThrowingAlloc(size_t n) {
    void* p = CountedAlloc(n);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    return p;
}

// Bytes of heap one call of the work takes at its peak, beyond what was in use before.
size_t PeakExtraHeap(const std::string& message, const pelmora::SettingsRecord& settings) {
    const size_t before = gInUse;
    gPeak = gInUse;
    benchmark::DoNotOptimize(pelmora_bench::ReplyText(message.data(), message.size(), settings));
    return gPeak - before;
}

void BM_ReplyText(benchmark::State& state) {
    const std::string message = pelmora_bench::MakeMessage(static_cast<size_t>(state.range(0)));
    const pelmora::SettingsRecord settings = pelmora_bench::ReplySettings();
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            pelmora_bench::ReplyText(message.data(), message.size(), settings));
    }
    const size_t peak = PeakExtraHeap(message, settings);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * message.size()));
    state.counters["peak_heap"] = static_cast<double>(peak);
    state.counters["heap_per_byte"] = static_cast<double>(peak) / message.size();
}

void Sizes(benchmark::internal::Benchmark* b) {
    for (size_t size : pelmora_bench::kMessageSizes) {
        b->Arg(static_cast<int64_t>(size));
    }
}
BENCHMARK(BM_ReplyText)->Apply(Sizes);

}  // namespace

void* operator new(size_t n) {
    return ThrowingAlloc(n);
}
void* operator new[](size_t n) {
    return ThrowingAlloc(n);
}
void* operator new(size_t n, const std::nothrow_t&) noexcept {
    return CountedAlloc(n);
}
void* operator new[](size_t n, const std::nothrow_t&) noexcept {
    return CountedAlloc(n);
}
void operator delete(void* p) noexcept {
    CountedFree(p);
}
void operator delete[](void* p) noexcept {
    CountedFree(p);
}
void operator delete(void* p, size_t) noexcept {
    CountedFree(p);
}
void operator delete[](void* p, size_t) noexcept {
    CountedFree(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    CountedFree(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    CountedFree(p);
}
