// The part walk of the message parser on hostile structure (the reply's whole text work on
// ordinary messages is in reply_text_bench).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "mime/message_parts.h"

namespace {

// Hostile structure: a message made only of tiny parts, and one nested as deep as its
// size allows. The part walk must stay linear in both.
std::string ManyParts(size_t size, bool nested) {
    std::string text = "Content-Type: multipart/mixed; boundary=b\r\n\r\n";
    const std::string part = nested ? "--b\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n"
                                    : "--b\r\nContent-Type: image/gif\r\n\r\nx\r\n";
    while (text.size() + part.size() <= size) {
        text += part;
    }
    return text;
}

void WalkParts(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        std::vector<pelmora::MessagePart> parts;
        pelmora::CollectParts("multipart/mixed; boundary=b", text, parts);
        benchmark::DoNotOptimize(parts.size());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_ManyParts(benchmark::State& state) {
    WalkParts(state, ManyParts(static_cast<size_t>(state.range(0)), false));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ManyParts)->RangeMultiplier(2)->Range(4 << 10, 32 << 10)->Complexity(benchmark::oN);

// The walk stops at the nesting bound, so any size costs the same.
void BM_DeepNesting(benchmark::State& state) {
    WalkParts(state, ManyParts(static_cast<size_t>(state.range(0)), true));
}
BENCHMARK(BM_DeepNesting)->RangeMultiplier(8)->Range(4 << 10, 256 << 10);

}  // namespace
