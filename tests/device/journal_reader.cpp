#include "tests/device/journal_reader.h"

#include <algorithm>
#include <cstdlib>

#include "text/utf8.h"

namespace pelmora::testing_support {

namespace {

// Where the value starting at `i` ends: at the first ',', '}' or ']' outside strings and
// brackets.
size_t ValueEnd(std::string_view s, size_t i) {
    int depth = 0;
    for (bool quoted = false; i < s.size(); ++i) {
        const char c = s[i];
        if (quoted) {
            i += c == '\\';
            quoted = c != '"';
        } else if (c == '"') {
            quoted = true;
        } else if (c == '{' || c == '[') {
            ++depth;
        } else if (c == ',' || c == '}' || c == ']') {
            if (depth == 0) {
                return i;
            }
            depth -= c != ',';
        }
    }
    return s.size();
}

// The text of one JSON string value; nothing when `json` is not a string.
std::optional<std::u16string> JsonText(std::string_view json) {
    if (json.size() < 2 || json.front() != '"' || json.back() != '"') {
        return std::nullopt;
    }
    std::u16string out;
    std::string run;  // UTF-8 bytes since the last escape
    for (size_t i = 1; i + 1 < json.size(); ++i) {
        if (json[i] != '\\') {
            run += json[i];
            continue;
        }
        out += WideFromUtf8(run);
        run.clear();
        const char e = json[++i];
        const size_t k = std::string_view("\"\\/bfnrt").find(e);
        if (k != std::string_view::npos) {
            out += u"\"\\/\b\f\n\r\t"[k];
        } else if (e == 'u' && i + 5 < json.size()) {
            out += static_cast<char16_t>(
                std::strtoul(std::string(json.substr(i + 1, 4)).c_str(), nullptr, 16));
            i += 4;
        } else {
            return std::nullopt;
        }
    }
    return out + WideFromUtf8(run);
}

}  // namespace

std::string_view JournalLine::Raw(std::string_view key) const {
    // Member by member: each runs from its key's quote to the next ',' or '}' outside values.
    const std::string_view s = json;
    for (size_t i = s.find('{') + 1, end; i > 0 && i < s.size(); i = end + 1) {
        end = ValueEnd(s, i);
        const std::string_view member = s.substr(i, end - i);
        const size_t open = member.find('"'), close = member.find('"', open + 1);  // no '"' in keys
        const size_t colon = member.find(':', close);
        if (colon != member.npos && member.substr(open + 1, close - open - 1) == key) {
            const size_t start = member.find_first_not_of(' ', colon + 1);
            const std::string_view value = member.substr(std::min(start, member.size()));
            return value.substr(0, value.find_last_not_of(" \r\n") + 1);
        }
    }
    return {};
}

std::optional<std::u16string> JournalLine::Text(std::string_view key) const {
    return JsonText(Raw(key));
}

std::vector<JournalLine> JournalLines(std::string_view text) {
    std::vector<JournalLine> lines;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == text.npos ? text.size() : end + 1);
        if (line.find_first_not_of(" \r\t") != line.npos) {
            lines.push_back({std::string(line)});
        }
    }
    return lines;
}

}  // namespace pelmora::testing_support
