// Decoding throughput for the largest inputs a reply meets: a 32 KB ISO-2022-JP body, a
// header value made of many encoded words, and a UTF-8 body through the charset converter.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "text/mail_decode.h"

namespace {

constexpr size_t kBodySize = 32 * 1024;

// Lines of JIS kanji and ASCII, each line switching in and out of kanji mode.
std::string JisBody() {
    std::string body;
    const std::string line = "\x1b$B$3$l$O%F%9%H$G$9!#4A;z$H$+$J!#-!-j\x1b(B ascii text 123\r\n";
    while (body.size() + line.size() <= kBodySize) {
        body += line;
    }
    return body;
}

void BM_Iso2022JpBody(benchmark::State& state) {
    const std::string body = JisBody();
    std::u16string out;
    for (auto _ : state) {
        pelmora::DecodeBodyText(body.data(), body.size(), "text/plain; charset=ISO-2022-JP", out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(body.size()));
}
BENCHMARK(BM_Iso2022JpBody);

void BM_Utf8Body(benchmark::State& state) {
    std::string body;
    const std::string line = "\xE3\x81\x93\xE3\x82\x8C\xE3\x81\xAF test \xE2\x91\xA0\r\n";
    while (body.size() + line.size() <= kBodySize) {
        body += line;
    }
    std::u16string out;
    for (auto _ : state) {
        pelmora::DecodeBodyText(body.data(), body.size(), "text/plain; charset=utf-8", out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(body.size()));
}
BENCHMARK(BM_Utf8Body);

// A folded Subject of state.range(0) encoded words, B and Q, ISO-2022-JP and UTF-8.
void BM_EncodedWordHeader(benchmark::State& state) {
    std::string value = "Re: ";
    for (int64_t i = 0; i < state.range(0); ++i) {
        value += (i % 2 == 0) ? "=?ISO-2022-JP?B?GyRCJEQkNRsoQg==?=\r\n "
                              : "=?UTF-8?Q?=E3=81=82_x?=\r\n ";
    }
    std::vector<char16_t> out(value.size() + 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(pelmora::DecodeHeaderText(value.data(), value.size(), out.data()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(value.size()));
}
BENCHMARK(BM_EncodedWordHeader)->Arg(16)->Arg(256);

// A long run of one-character words of one charset, joined before conversion: must stay
// linear in the number of words.
void BM_SplitWordRun(benchmark::State& state) {
    std::string value = "=?ISO-2022-JP?B?GyRC?=";  // ESC $ B
    for (int64_t i = 0; i < state.range(0); ++i) {
        value += " =?ISO-2022-JP?Q?$D?=";
    }
    std::vector<char16_t> out(value.size() + 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(pelmora::DecodeHeaderText(value.data(), value.size(), out.data()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(value.size()));
}
BENCHMARK(BM_SplitWordRun)->Arg(16)->Arg(4096);

// A value full of "=?" that never closes must stay linear.
void BM_UnterminatedWords(benchmark::State& state) {
    std::string value;
    while (value.size() < kBodySize) {
        value += "=?ISO-2022-JP?B?abc ";
    }
    std::vector<char16_t> out(value.size() + 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(pelmora::DecodeHeaderText(value.data(), value.size(), out.data()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(value.size()));
}
BENCHMARK(BM_UnterminatedWords);

}  // namespace
