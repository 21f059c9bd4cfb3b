// Runs the reply's text work on one generated message for callgrind, which counts only
// the calls of CountedReplyText: a first, uncounted call builds the one-time conversion
// tables. Also writes the generated messages out for the peers that cannot include them.
//
//   valgrind --tool=callgrind --toggle-collect=CountedReplyText reply_text_instructions [SIZE [N]]
//   reply_text_instructions --write FOLDER     (FOLDER/message-SIZE.eml for every size)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/bench_message.h"
#include "bench/reply_text.h"

extern "C" __attribute__((noinline)) size_t CountedReplyText(const std::string& message,
                                                             const pelmora::SettingsRecord& s) {
    return pelmora_bench::ReplyText(message.data(), message.size(), s);
}

namespace {

int WriteMessages(const char* folder) {
    for (size_t size : pelmora_bench::kMessageSizes) {
        const std::string path = std::string(folder) + "/message-" + std::to_string(size) + ".eml";
        const std::string message = pelmora_bench::MakeMessage(size);
        FILE* f = std::fopen(path.c_str(), "wb");
        if (f == nullptr || std::fwrite(message.data(), 1, message.size(), f) != message.size()) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            if (f != nullptr) {
                std::fclose(f);
            }
            return 1;
        }
        std::fclose(f);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--write") == 0) {
        return WriteMessages(argv[2]);
    }
    const size_t size = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : pelmora_bench::kLargestRead;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 1;
    const std::string message = pelmora_bench::MakeMessage(size);
    const pelmora::SettingsRecord settings = pelmora_bench::ReplySettings();
    size_t out = pelmora_bench::ReplyText(message.data(), message.size(), settings);
    for (int i = 0; i < runs; ++i) {
        out += CountedReplyText(message, settings);
    }
    std::printf("%zu bytes, %d counted runs, %zu characters out\n", message.size(), runs, out);
    return 0;
}
