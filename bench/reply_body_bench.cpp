// Quoting a message must stay linear in its length, also when it is made of many short
// lines (every CR LF adds a quote mark).
#include <benchmark/benchmark.h>

#include <string>

#include "reply/reply_rules.h"

namespace {

// A quote source of state.range(0) characters in lines of 2 to 60 characters.
void BM_QuoteBody(benchmark::State& state) {
    const size_t total = static_cast<size_t>(state.range(0));
    std::u16string source;
    for (size_t i = 0; source.size() < total; ++i) {
        source.append(i % 59, i % 2 == 0 ? u'あ' : u'a');
        source += u"\r\n";
    }
    const pelmora::DualString quoteSource(source);
    pelmora::SettingsRecord settings;
    settings.signature = u"署名";
    settings.quoteString = u">";
    for (auto _ : state) {
        pelmora::DualString body;
        pelmora::BuildReplyBody(quoteSource, settings, body);
        benchmark::DoNotOptimize(body.Multibyte().size());
    }
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(source.size() * sizeof(char16_t)));
}
BENCHMARK(BM_QuoteBody)->RangeMultiplier(4)->Range(1 << 10, 64 << 10)->Complexity(benchmark::oN);

}  // namespace
