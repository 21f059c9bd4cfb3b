// Building a text by appending lines must stay linear in the total length, mirror included.
#include <benchmark/benchmark.h>

#include <string>

#include "text/dual_string.h"

namespace {

// Appends 1,000 lines whose total is state.range(0) characters (mixed kana and ASCII), then
// reads the multibyte mirror once, as the reply builder does.
void BM_AppendLines(benchmark::State& state) {
    const size_t total = static_cast<size_t>(state.range(0));
    const size_t lineLength = total / 1000;
    std::u16string line;
    for (size_t i = 0; line.size() + 1 < lineLength; ++i) {
        line.push_back(i % 3 == 0 ? u'あ' : u'a');
    }
    line += u"\n";
    for (auto _ : state) {
        pelmora::DualString text;
        for (int i = 0; i < 1000; ++i) {
            text.Append(line.c_str(), line.size());
        }
        benchmark::DoNotOptimize(text.Multibyte().size());
    }
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 1000 *
                            static_cast<int64_t>(line.size() * sizeof(char16_t)));
}
BENCHMARK(BM_AppendLines)->RangeMultiplier(2)->Range(4 << 10, 32 << 10)->Complexity(benchmark::oN);

}  // namespace
