// The GMime peer of reply_text_bench: the same work on the same messages with GMime 3
// (decode Subject, From, To and Cc; find the first text leaf; transfer-decode and convert
// it from its charset; quote it line by line), for the speed comparison that
// tools/pelmora bench prints.
#include <benchmark/benchmark.h>
#include <gmime/gmime.h>

#include <cstring>
#include <string>

#include "bench/bench_message.h"

namespace {

// The first leaf part whose type is text/*, depth first.
GMimeObject* FirstTextLeaf(GMimeObject* object) {
    if (GMIME_IS_MULTIPART(object)) {
        GMimeMultipart* multipart = GMIME_MULTIPART(object);
        const int count = g_mime_multipart_get_count(multipart);
        for (int i = 0; i < count; ++i) {
            if (GMimeObject* leaf = FirstTextLeaf(g_mime_multipart_get_part(multipart, i))) {
                return leaf;
            }
        }
        return nullptr;
    }
    GMimeContentType* type = g_mime_object_get_content_type(object);
    return GMIME_IS_TEXT_PART(object) && g_mime_content_type_is_type(type, "text", "*") ? object
                                                                                        : nullptr;
}

size_t AddressesLength(InternetAddressList* list) {
    if (list == nullptr) {
        return 0;
    }
    char* text = internet_address_list_to_string(list, nullptr, FALSE);
    const size_t n = text != nullptr ? std::strlen(text) : 0;
    g_free(text);
    return n;
}

size_t ReplyText(const std::string& message) {
    GMimeStream* stream = g_mime_stream_mem_new_with_buffer(message.data(), message.size());
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    GMimeMessage* parsed = g_mime_parser_construct_message(parser, nullptr);
    size_t out = 0;
    if (parsed != nullptr) {
        const char* subject = g_mime_message_get_subject(parsed);
        out += subject != nullptr ? std::strlen(subject) + 3 : 0;  // "RE:"
        out += AddressesLength(g_mime_message_get_from(parsed));
        out += AddressesLength(g_mime_message_get_to(parsed));
        out += AddressesLength(g_mime_message_get_cc(parsed));
        GMimeObject* leaf = FirstTextLeaf(g_mime_message_get_mime_part(parsed));
        char* text = leaf != nullptr ? g_mime_text_part_get_text(GMIME_TEXT_PART(leaf)) : nullptr;
        if (text != nullptr) {
            GString* body = g_string_new("-- \r\nTaro Yamada\n");
            const char* p = text;
            for (;;) {
                g_string_append(body, "> ");
                const char* crlf = std::strstr(p, "\r\n");
                if (crlf == nullptr) {
                    g_string_append(body, p);
                    break;
                }
                g_string_append_len(body, p, crlf - p);
                g_string_append_c(body, '\n');
                p = crlf + 2;
            }
            out += body->len;
            g_string_free(body, TRUE);
            g_free(text);
        }
        g_object_unref(parsed);
    }
    g_object_unref(parser);
    g_object_unref(stream);
    return out;
}

void BM_GMimeReplyText(benchmark::State& state) {
    static const bool initialised = (g_mime_init(), true);
    benchmark::DoNotOptimize(initialised);
    const std::string message = pelmora_bench::MakeMessage(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReplyText(message));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * message.size()));
}

void Sizes(benchmark::internal::Benchmark* b) {
    for (size_t size : pelmora_bench::kMessageSizes) {
        b->Arg(static_cast<int64_t>(size));
    }
}
BENCHMARK(BM_GMimeReplyText)->Apply(Sizes);

}  // namespace
