#include "text/parameter_value.h"

#include <algorithm>
#include <vector>

#include "text/string_util.h"

namespace pelmora {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// Sections beyond this number are ignored: no real value is cut into so many, and the
// number must not overflow.
constexpr unsigned kMaxSection = 9999;
constexpr unsigned kUnnumbered = kMaxSection + 1;

struct Section {
    unsigned number;  // kUnnumbered for "name*"
    bool encoded;
    std::string_view text;  // without quotes
};

// Appends `text`, percent escapes decoded when `encoded`.
void AppendSection(std::string_view text, bool encoded, std::string& out) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (encoded && text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
            HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
}

}  // namespace

bool IsExtendedParameter(std::string_view segment, std::string_view name) {
    return HasPrefixNoCase(segment, name) && segment.size() > name.size() &&
           segment[name.size()] == '*';
}

bool ExtendedParameterValue(std::string_view value, std::string_view name, std::string& out) {
    std::vector<Section> sections;
    size_t pos = 0;
    while (pos < value.size()) {
        while (pos < value.size() && IsBlank(value[pos])) {
            ++pos;
        }
        const size_t segment = pos;
        // The attribute runs to "=" or ";"; a quoted string may follow the "=".
        while (pos < value.size() && value[pos] != '=' && value[pos] != ';') {
            ++pos;
        }
        std::string_view text;
        bool haveValue = false;
        if (pos < value.size() && value[pos] == '=') {
            ++pos;
            while (pos < value.size() && IsBlank(value[pos])) {
                ++pos;
            }
            if (pos < value.size() && value[pos] == '"') {
                const size_t open = ++pos;
                while (pos < value.size() && value[pos] != '"') {
                    pos += value[pos] == '\\' && pos + 1 < value.size() ? 2 : 1;
                }
                text = value.substr(open, std::min(pos, value.size()) - open);
            } else {
                const size_t begin = pos;
                while (pos < value.size() && value[pos] != ';' && !IsBlank(value[pos])) {
                    ++pos;
                }
                text = value.substr(begin, pos - begin);
            }
            haveValue = true;
        }
        const std::string_view attribute = value.substr(segment);
        if (haveValue && IsExtendedParameter(attribute, name)) {
            size_t p = name.size() + 1;
            Section s{kUnnumbered, true, text};
            if (p < attribute.size() && attribute[p] >= '0' && attribute[p] <= '9') {
                unsigned number = 0;
                while (p < attribute.size() && attribute[p] >= '0' && attribute[p] <= '9' &&
                       number <= kMaxSection) {  // stops before it can overflow
                    number = number * 10 + static_cast<unsigned>(attribute[p] - '0');
                    ++p;
                }
                s.number = number <= kMaxSection ? number : kMaxSection + 2;
                s.encoded = p < attribute.size() && attribute[p] == '*';
            }
            if (s.number <= kMaxSection || s.number == kUnnumbered) {
                sections.push_back(s);
            }
        }
        // On to the segment after the next ";".
        while (pos < value.size() && value[pos] != ';') {
            ++pos;
        }
        ++pos;
    }
    if (sections.empty()) {
        return false;
    }
    // Sorted by number, the first of equal numbers first; the unnumbered one sorts last.
    std::stable_sort(sections.begin(), sections.end(),
                     [](const Section& a, const Section& b) { return a.number < b.number; });
    std::string joined;
    if (sections.back().number == kUnnumbered) {
        const Section* whole = &sections.back();
        while (whole != sections.data() && (whole - 1)->number == kUnnumbered) {
            --whole;  // the first unnumbered segment in the value
        }
        sections.assign(1, *whole);
        sections[0].number = 0;
    }
    unsigned next = 0;
    for (const Section& s : sections) {
        if (s.number != next) {
            if (s.number < next) {
                continue;  // a repeated number: the first one stands
            }
            break;  // a missing section ends the value
        }
        std::string_view text = s.text;
        if (next == 0 && s.encoded) {
            // charset "'" language "'" in front of the encoded text
            const size_t first = text.find('\'');
            const size_t second =
                first == std::string_view::npos ? first : text.find('\'', first + 1);
            if (second != std::string_view::npos) {
                text = text.substr(second + 1);
            }
        }
        AppendSection(text, s.encoded, joined);
        ++next;
    }
    if (next == 0) {
        return false;
    }
    const size_t nul = joined.find('\0');
    if (nul != std::string::npos) {
        joined.resize(nul);
    }
    out = std::move(joined);
    return true;
}

}  // namespace pelmora
