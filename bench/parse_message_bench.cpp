// The reply's text work on one message: ParseMessage, then BuildReplyBody quoting the
// body. Cost must grow linearly with the message, up to the 32,895 bytes that the reply
// command reads from the store.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "mime/message_parts.h"
#include "mime/parse_message.h"
#include "reply/reply_rules.h"
#include "settings/settings_record.h"

namespace {

constexpr size_t kLargestRead = 32895;

// A multipart/alternative ISO-2022-JP message of exactly `size` bytes: encoded-word
// headers, a 7-bit text/plain part of short lines (about 1,000 at the largest size), and
// a small text/html alternative after it.
std::string MakeMessage(size_t size) {
    std::string head =
        "From: =?ISO-2022-JP?B?GyRCOzNFRBsoQg==?= <yamada@example.jp>\r\n"
        "To: =?ISO-2022-JP?B?GyRCTmtMWhsoQg==?= <suzuki@example.jp>,\r\n"
        " sato@example.jp\r\n"
        "Cc: tanaka@example.jp\r\n"
        "Subject: =?ISO-2022-JP?B?GyRCSlY/LiROJUYlOSVIGyhC?=\r\n"
        " =?ISO-2022-JP?B?GyRCJEckORsoQg==?=\r\n"
        "MIME-Version: 1.0\r\n"
        "Content-Type: multipart/alternative; boundary=\"==alt-0123456789\"\r\n\r\n"
        "--==alt-0123456789\r\n"
        "Content-Type: text/plain; charset=ISO-2022-JP\r\n"
        "Content-Transfer-Encoding: 7bit\r\n\r\n";
    const std::string tail =
        "--==alt-0123456789\r\n"
        "Content-Type: text/html; charset=ISO-2022-JP\r\n\r\n"
        "<p>html</p>\r\n"
        "--==alt-0123456789--\r\n";
    // こんにちは元気ですか and a line number.
    const std::string words = "\x1b$B$3$s$K$A$O855$$G$9$+\x1b(B ";
    std::string body;
    for (int i = 0; head.size() + body.size() + tail.size() + words.size() + 8 <= size; ++i) {
        body += words + std::to_string(i % 1000) + "\r\n";
    }
    const size_t fill = size - head.size() - body.size() - tail.size();
    body += std::string(fill > 2 ? fill - 2 : 0, 'x') + (fill >= 2 ? "\r\n" : "");
    return head + body + tail;
}

pelmora::SettingsRecord QuotingSettings() {
    pelmora::SettingsRecord settings;
    settings.quote = true;
    settings.quoteString = u">";
    settings.signature = u"-- \r\nTaro Yamada";
    return settings;
}

void ParseAndQuote(benchmark::State& state, const std::string& message) {
    const pelmora::SettingsRecord settings = QuotingSettings();
    size_t quoted = 0;
    for (auto _ : state) {
        pelmora::ParsedMessage parsed;
        pelmora::ParseMessage(parsed, message.data(), message.size());
        pelmora::DualString body;
        pelmora::BuildReplyBody(parsed.body, settings, body);
        quoted = body.Length();
        benchmark::DoNotOptimize(body.Multibyte().size());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * message.size()));
    state.counters["per_byte"] = benchmark::Counter(
        static_cast<double>(message.size()),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["body_chars"] = static_cast<double>(quoted);
}

void BM_ParseAndQuote(benchmark::State& state) {
    ParseAndQuote(state, MakeMessage(static_cast<size_t>(state.range(0))));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ParseAndQuote)
    ->RangeMultiplier(2)
    ->Range(4 << 10, 32 << 10)
    ->Complexity(benchmark::oN);

// The largest message the reply command reads.
void BM_ParseAndQuoteLargest(benchmark::State& state) {
    const std::string message = MakeMessage(kLargestRead);
    ParseAndQuote(state, message);
    size_t lines = 0;
    for (size_t p = message.find("\x1b$B"); p != std::string::npos;
         p = message.find("\x1b$B", p + 1)) {
        ++lines;
    }
    state.counters["lines"] = static_cast<double>(lines);
}
BENCHMARK(BM_ParseAndQuoteLargest);

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
