#include "mime/message_parts.h"

#include <cstring>

#include "text/parameter_value.h"
#include "text/string_util.h"

namespace pelmora {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

size_t SkipBlanks(std::string_view text, size_t pos) {
    while (pos < text.size() && IsBlank(text[pos])) {
        ++pos;
    }
    return pos;
}

size_t NextLineStart(std::string_view text, size_t pos) {
    const size_t crlf = text.find("\r\n", pos);
    return crlf == std::string_view::npos ? text.size() : crlf + 2;
}

// The state of one walk over a message: the boundaries of every open multipart level,
// innermost last.
struct Walk {
    std::string_view text;
    std::vector<MessagePart>& parts;
    std::vector<std::string_view> boundaries;
    bool stopped = false;
};

// Start of the next line from `pos` (taken as a line start) that is a boundary line of the
// innermost level (`own` true) or of an enclosing one (`own` false); the end of the text
// when there is none. The innermost boundary is tried first, so that a nested boundary
// that begins with an outer one still belongs to the nested level. Only the "-" bytes are
// visited: a line start is `pos` or the byte after a CR LF at or after `pos`.
size_t NextBoundaryLine(const Walk& walk, size_t pos, bool& own) {
    const std::string_view text = walk.text;
    const size_t from = pos;
    while (pos < text.size()) {
        const void* hit = std::memchr(text.data() + pos, '-', text.size() - pos);
        if (hit == nullptr) {
            break;
        }
        const size_t dash = static_cast<size_t>(static_cast<const char*>(hit) - text.data());
        const bool lineStart =
            dash == from || (dash >= from + 2 && text[dash - 2] == '\r' && text[dash - 1] == '\n');
        if (lineStart && dash + 1 < text.size() && text[dash + 1] == '-') {
            for (size_t i = walk.boundaries.size(); i-- > 0;) {
                if (HasPrefixNoCase(text.substr(dash + 2), walk.boundaries[i])) {
                    own = i + 1 == walk.boundaries.size();
                    return dash;
                }
            }
        }
        // Any later boundary line starts after the next CR LF.
        pos = NextLineStart(text, dash);
    }
    own = true;
    return text.size();
}

// Walks one multipart level from `from`. Gives the line start from which the enclosing
// level goes on searching for its own boundary.
size_t CollectLevel(Walk& walk, std::string_view contentType, size_t from, int depth) {
    const std::string_view text = walk.text;
    std::string boundary;  // the level's entry in walk.boundaries views it
    if (contentType.empty() || from >= text.size() ||
        !GetParameterValue(contentType, "boundary", boundary)) {
        return from;
    }
    const bool digest = HasPrefixNoCase(contentType, "multipart/digest");
    walk.boundaries.push_back(boundary);
    size_t resume = text.size();
    bool own = true;
    size_t p = NextBoundaryLine(walk, from, own);
    while (p < text.size()) {
        if (!own) {
            resume = p;  // an enclosing level's boundary ends this one
            break;
        }
        const size_t q = p + 2 + boundary.size();
        if (q + 1 < text.size() && text[q] == '-' && text[q + 1] == '-') {
            resume = NextLineStart(text, q);  // closing delimiter
            break;
        }
        MessagePart part;
        part.contentType = UnfoldedField(text, "Content-Type:", q, false);
        if (digest && part.contentType.empty()) {
            part.contentType = "message/rfc822";
        }
        part.bodyStart = FindBodyStart(text, q, false);
        if (HasPrefixNoCase(part.contentType, "multipart")) {
            if (part.bodyStart == kNoPosition) {
                resume = NextLineStart(text, q);
                break;
            }
            if (depth >= kMaxPartNesting) {
                walk.stopped = true;
                break;
            }
            const size_t next = CollectLevel(walk, part.contentType, part.bodyStart, depth + 1);
            if (walk.stopped) {
                break;
            }
            p = NextBoundaryLine(walk, next, own);
            continue;
        }
        part.transferEncoding = UnfoldedField(text, "Content-Transfer-Encoding:", q, false);
        if (part.bodyStart == kNoPosition) {
            walk.parts.push_back(std::move(part));
            resume = NextLineStart(text, q);
            break;
        }
        p = NextBoundaryLine(walk, part.bodyStart, own);
        if (p < text.size()) {
            part.bodyEnd = p;
        }
        walk.parts.push_back(std::move(part));
    }
    walk.boundaries.pop_back();
    return resume;
}

}  // namespace

bool GetParameterValue(std::string_view value, std::string_view name, std::string& out) {
    size_t pos = SkipBlanks(value, 0);
    for (;;) {
        if (pos >= value.size()) {
            // Only the extended form names it, if anything does.
            return ExtendedParameterValue(value, name, out);
        }
        // "name*" segments are the extended form: the plain one wins where both stand,
        // as every reader understands it and its bytes need no decoding.
        if (HasPrefixNoCase(value.substr(pos), name) &&
            !IsExtendedParameter(value.substr(pos), name)) {
            break;
        }
        const size_t semicolon = value.find(';', pos);
        if (semicolon == std::string_view::npos) {
            return ExtendedParameterValue(value, name, out);
        }
        pos = SkipBlanks(value, semicolon + 1);
    }
    pos = SkipBlanks(value, pos + name.size());
    if (pos < value.size() && value[pos] == '=') {
        pos = SkipBlanks(value, pos + 1);
    }
    if (pos < value.size() && value[pos] == '"') {
        ++pos;
    }
    size_t end = value.find_first_of("\";", pos);
    if (end == std::string_view::npos) {
        end = value.size();
    }
    out.assign(value.data() + pos, end - pos);
    return true;
}

void CollectParts(std::string_view contentType, std::string_view text,
                  std::vector<MessagePart>& parts, size_t from) {
    Walk walk{text, parts, {}, false};
    CollectLevel(walk, contentType, from, 1);
}

}  // namespace pelmora
