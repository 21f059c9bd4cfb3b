// pelmora-parse: shows what the reply command makes of a raw message file.
//
//   pelmora-parse FILE
//   pelmora-parse --reply [--settings INI] [--sender ADDRESS] [--subject TEXT] FILE
//
// Prints one JSON object (UTF-8) with the parsed message's fields; with --reply also the
// To, Cc, Bcc, subject and body that the compose window would receive.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "mime/parse_message.h"
#include "reply/reply_rules.h"
#include "settings/settings_record.h"
#include "text/dual_string.h"
#include "text/utf8.h"
#include "tools/json_text.h"
#include "tools/message_json.h"

namespace pelmora {
namespace {

constexpr char kUsage[] =
    "usage: pelmora-parse [--reply [--settings INI] [--sender ADDRESS] [--subject TEXT]] FILE";

struct Options {
    bool reply = false;
    std::optional<std::string> settings;
    std::optional<std::string> sender;
    std::optional<std::string> subject;
    std::string file;
};

bool ParseArguments(int argc, char** argv, Options& options, std::string& error) {
    bool haveFile = false;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            std::optional<std::string>* target = nullptr;
            if (arg == "--reply") {
                options.reply = true;
                continue;
            }
            if (arg == "--settings") {
                target = &options.settings;
            } else if (arg == "--sender") {
                target = &options.sender;
            } else if (arg == "--subject") {
                target = &options.subject;
            } else {
                error = "unknown option " + std::string(arg);
                return false;
            }
            if (i + 1 >= argc) {
                error = std::string(arg) + " needs a value";
                return false;
            }
            *target = argv[++i];
            continue;
        }
        if (haveFile) {
            error = "unexpected argument " + std::string(arg);
            return false;
        }
        options.file = arg;
        haveFile = true;
    }
    if (!haveFile) {
        error = "missing FILE";
        return false;
    }
    if (!options.reply && (options.settings || options.sender || options.subject)) {
        error = "--settings, --sender and --subject need --reply";
        return false;
    }
    return true;
}

bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& error) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.append(buffer, n);
    }
    const bool failed = std::ferror(file) != 0;
    const int readErrno = errno;
    std::fclose(file);
    if (failed) {
        error = "cannot read " + path + ": " + std::strerror(readErrno);
        return false;
    }
    return true;
}

void AppendField(std::string& json, const char* key, const DualString& value) {
    json += ",\"";
    json += key;
    json += "\":";
    json += JsonString(value.Wide());
}

void AppendNullable(std::string& json, const char* key, const DualString& value, bool present) {
    if (present) {
        AppendField(json, key, value);
        return;
    }
    json += ",\"";
    json += key;
    json += "\":null";
}

// The raw text as the reply command gets it from the message store: reads of 255 bytes,
// each kept up to its first zero byte, until a short read or 32,895 bytes, then taken
// through the code page and back as the command's text object does.
std::string AsReadFromTheStore(const std::string& bytes) {
    constexpr size_t kChunk = 255;
    constexpr size_t kLastReadBelow = 32766;
    std::string collected;
    size_t total = 0;
    size_t pos = 0;
    for (;;) {
        const size_t n = std::min(kChunk, bytes.size() - pos);
        const std::string_view chunk(bytes.data() + pos, n);
        pos += n;
        if (n > 0) {
            collected.append(chunk.substr(0, chunk.find('\0')));
            total += n;
        }
        if (n != kChunk || total > kLastReadBelow) {
            break;
        }
    }
    if (collected.empty()) {
        return collected;
    }
    DualString text;
    text.AssignMultibyte(collected);
    return text.Multibyte();
}

// What the compose window would receive for a reply to `message`.
std::string ReplyJson(const ParsedMessage& message, bool textRead, const Options& options,
                      const SettingsRecord& settings) {
    std::optional<DualString> sender;
    if (options.sender) {
        sender = DualString(WideFromUtf8(*options.sender));
    }
    ReplyRecipients recipients;
    BuildReplyRecipients(message, sender ? sender->c_str() : nullptr, settings, recipients);
    DualString subject;
    std::optional<DualString> storeSubject;
    if (options.subject) {
        storeSubject = DualString(WideFromUtf8(*options.subject));
    }
    const bool haveSubject =
        BuildReplySubject(storeSubject ? storeSubject->c_str() : nullptr, subject);
    DualString quoteSource;
    if (settings.quote && textRead) {
        quoteSource = message.body;
    }
    DualString body;
    BuildReplyBody(quoteSource, settings, body);
    const bool haveBody = !body.Empty();
    SemicolonSeparate(recipients.to);
    SemicolonSeparate(recipients.cc);
    SemicolonSeparate(recipients.bcc);

    std::string json = ",\"reply\":{\"to\":" + JsonString(recipients.to.Wide());
    AppendField(json, "cc", recipients.cc);
    AppendField(json, "bcc", recipients.bcc);
    AppendNullable(json, "subject", subject, haveSubject);
    AppendNullable(json, "body", body, haveBody);
    json += "}";
    return json;
}

int Run(int argc, char** argv) {
    Options options;
    std::string error;
    if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
        std::printf("%s\n", kUsage);
        return 0;
    }
    if (!ParseArguments(argc, argv, options, error)) {
        std::fprintf(stderr, "pelmora-parse: %s; %s\n", error.c_str(), kUsage);
        return 2;
    }
    std::string bytes;
    if (!ReadWholeFile(options.file, bytes, error)) {
        std::fprintf(stderr, "pelmora-parse: %s\n", error.c_str());
        return 1;
    }
    SettingsRecord settings;
    if (options.settings) {
        std::string probe;
        if (!ReadWholeFile(*options.settings, probe, error)) {
            std::fprintf(stderr, "pelmora-parse: settings: %s\n", error.c_str());
            return 1;
        }
        // As in the extension, a file that cannot be loaded leaves the defaults.
        settings.LoadSettings(WideFromUtf8(*options.settings).c_str());
    }
    if (options.reply) {
        bytes = AsReadFromTheStore(bytes);
    }
    ParsedMessage message;
    ParseMessage(message, bytes.data(), bytes.size());
    std::string json = "{";
    AppendParsedMessageMembers(json, message);
    if (options.reply) {
        json += ReplyJson(message, !bytes.empty(), options, settings);
    }
    json += "}\n";
    std::fwrite(json.data(), 1, json.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace
}  // namespace pelmora

int main(int argc, char** argv) {
    return pelmora::Run(argc, argv);
}
