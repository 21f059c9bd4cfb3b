#include "mime/message_headers.h"

#include <cstring>
#include <memory>
#include <new>

#include "text/mail_decode.h"
#include "text/string_util.h"

namespace pelmora {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool CrLfAt(std::string_view text, size_t pos) {
    return pos + 1 < text.size() && text[pos] == '\r' && text[pos + 1] == '\n';
}

// Start of the line after the one holding `pos`, counting folded continuation lines as
// part of it; kNoPosition when the text ends first.
size_t NextLogicalLine(std::string_view text, size_t pos) {
    do {
        const size_t crlf = text.find("\r\n", pos);
        if (crlf == std::string_view::npos) {
            return kNoPosition;
        }
        pos = crlf + 2;
    } while (pos < text.size() && IsBlank(text[pos]));
    return pos;
}

}  // namespace

bool IsHeaderLine(std::string_view text, size_t pos) {
    if (pos >= text.size()) {
        return false;
    }
    const char first = text[pos];
    if (IsBlank(first)) {
        return true;  // a fold
    }
    // The mailbox separator line that some stores keep in front of a message.
    if (pos == 0 && HasPrefixNoCase(text, "From ")) {
        return true;
    }
    // A field name is printable ASCII: JIS, Shift_JIS or UTF-8 text is body text even when
    // its bytes hold a ":".
    const unsigned char lead = static_cast<unsigned char>(first);
    if (lead <= ' ' || lead >= 0x7F) {
        return false;
    }
    for (size_t p = pos; p < text.size() && !CrLfAt(text, p); ++p) {
        if (text[p] == ':') {
            return true;
        }
    }
    return false;
}

std::string_view MessageText(const char* text, size_t n) {
    if (text == nullptr) {
        return {};
    }
    const void* nul = std::memchr(text, 0, n);
    return {text, nul ? static_cast<size_t>(static_cast<const char*>(nul) - text) : n};
}

size_t FindHeaderField(std::string_view text, std::string_view name, size_t from,
                       bool compareFirstLine) {
    if (from > text.size()) {
        return kNoPosition;
    }
    size_t pos = from;
    bool compare = compareFirstLine;
    if (compare && !IsHeaderLine(text, pos)) {
        return kNoPosition;  // the body begins right there
    }
    for (;;) {
        if (compare && HasPrefixNoCase(text.substr(pos), name)) {
            pos += name.size();
            while (pos < text.size() && IsBlank(text[pos])) {
                ++pos;
            }
            return pos;
        }
        compare = true;
        pos = NextLogicalLine(text, pos);
        if (pos == kNoPosition || pos >= text.size() || CrLfAt(text, pos) ||
            !IsHeaderLine(text, pos)) {
            return kNoPosition;
        }
    }
}

size_t ValueExtent(std::string_view value) {
    size_t pos = 0;
    for (;;) {
        const size_t crlf = value.find("\r\n", pos);
        if (crlf == std::string_view::npos) {
            return value.size();
        }
        if (crlf + 2 >= value.size() || !IsBlank(value[crlf + 2])) {
            return crlf;
        }
        pos = crlf + 2;
    }
}

size_t UnfoldedLength(std::string_view value) {
    const size_t extent = ValueExtent(value);
    size_t folds = 0;
    for (size_t pos = value.find("\r\n"); pos < extent; pos = value.find("\r\n", pos + 3)) {
        ++folds;
    }
    return extent - 3 * folds;
}

size_t CopyUnfolded(std::string_view value, std::string& out) {
    const size_t extent = ValueExtent(value);
    size_t pos = 0;
    while (pos < extent) {
        size_t crlf = value.find("\r\n", pos);
        if (crlf > extent) {
            crlf = extent;
        }
        out.append(value.data() + pos, crlf - pos);
        pos = crlf + 3;  // a fold: CR LF and one blank
    }
    return extent;
}

std::string UnfoldedField(std::string_view text, std::string_view name, size_t from,
                          bool compareFirstLine) {
    std::string out;
    const size_t value = FindHeaderField(text, name, from, compareFirstLine);
    if (value != kNoPosition) {
        CopyUnfolded(text.substr(value), out);
    }
    return out;
}

size_t FindBodyStart(std::string_view text, size_t from, bool firstLineIsHeader) {
    if (from > text.size()) {
        return kNoPosition;
    }
    size_t pos = from;
    if (!firstLineIsHeader) {
        const size_t crlf = text.find("\r\n", pos);
        if (crlf == std::string_view::npos) {
            return kNoPosition;
        }
        pos = crlf + 2;
    }
    for (;;) {
        if (pos >= text.size()) {
            return kNoPosition;  // the text ends inside the header block
        }
        if (CrLfAt(text, pos)) {
            return pos + 2;
        }
        if (!IsHeaderLine(text, pos)) {
            return pos;  // mailers that leave out the empty line start the body here
        }
        const size_t crlf = text.find("\r\n", pos);
        if (crlf == std::string_view::npos) {
            return kNoPosition;
        }
        pos = crlf + 2;
    }
}

size_t ReadHeaderField(std::string_view text, std::string_view name, DualString& field,
                       bool allOccurrences) {
    std::string joined;
    size_t count = 0;
    size_t pos = 0;
    bool first = true;
    try {
        for (;;) {
            const size_t value = FindHeaderField(text, name, pos, first);
            if (value == kNoPosition) {
                break;
            }
            first = false;
            if (!joined.empty()) {
                joined += ',';
            }
            const size_t before = joined.size();
            // The next search resumes where this value ends, so that text inside a folded
            // value is never taken for another field.
            pos = value + CopyUnfolded(text.substr(value), joined);
            count += joined.size() - before;
            if (!allOccurrences) {
                break;
            }
            ++count;
        }
        if (count == 0) {
            return 0;
        }
        std::unique_ptr<char16_t[]> wide(new (std::nothrow) char16_t[joined.size() + 1]);
        if (!wide) {
            return count;
        }
        const size_t n = DecodeHeaderText(joined.data(), joined.size(), wide.get());
        if (n > 0) {
            field = DualString(wide.get(), n);
        }
    } catch (const std::bad_alloc&) {
        // Out of memory while reading one field leaves that field as it was.
    }
    return count;
}

}  // namespace pelmora
