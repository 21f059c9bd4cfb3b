// Header values (literal text, RFC 2047 encoded words, raw ISO-2022-JP) and body text to
// wide text.
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "text/codecs.h"
#include "text/codepage.h"
#include "text/mail_decode.h"
#include "text/parameter_value.h"
#include "text/string_util.h"

namespace pelmora {
namespace {

constexpr char kEsc = 0x1B;

size_t TextLength(const char* s, size_t n) {
    if (n == 0) {
        return 0;  // an empty view may have no storage at all
    }
    const void* nul = std::memchr(s, 0, n);
    return nul != nullptr ? static_cast<size_t>(static_cast<const char*>(nul) - s) : n;
}

bool IsFoldSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The wide form of literal header bytes; raw ISO-2022-JP is rewritten as Shift_JIS first.
std::u16string LiteralText(const char* bytes, size_t n, bool rawJis) {
    std::u16string wide;
    if (rawJis) {
        AppendWideFromIso2022Jp(bytes, n, wide);
    } else {
        AppendWideFromAnsi(bytes, n, wide);
    }
    return wide;
}

// "=?" charset "?" encoding "?" text "?=" at value[at]. The searches remember where they
// last failed: a delimiter that is missing after one position is missing after any later
// one, which keeps a value full of unterminated "=?" linear.
class WordParser {
public:
    WordParser(const char* value, size_t len) : v_(value), len_(len) {}

    struct Word {
        size_t charsetBegin, charsetEnd;
        char encoding;
        size_t textBegin, textEnd;
        size_t end;  // just after "?="
    };

    bool Parse(size_t at, Word& w) {
        const size_t charsetEnd = FindQuestion(at + 2);
        if (charsetEnd == kNone) {
            return false;
        }
        const size_t encodingEnd = FindQuestion(charsetEnd + 1);
        if (encodingEnd == kNone) {
            return false;
        }
        // Names hold no white space: "=?" in plain text ("1+1=? ...") must not swallow
        // the encoded word that follows it.
        if (HasFoldSpace(at + 2, encodingEnd)) {
            return false;
        }
        const size_t textEnd = FindClose(encodingEnd + 1);
        if (textEnd == kNone) {
            return false;
        }
        w.charsetBegin = at + 2;
        w.charsetEnd = charsetEnd;
        w.encoding = encodingEnd > charsetEnd + 1 ? v_[charsetEnd + 1] : '\0';
        w.textBegin = encodingEnd + 1;
        w.textEnd = textEnd;
        w.end = textEnd + 2;
        return true;
    }

private:
    static constexpr size_t kNone = static_cast<size_t>(-1);

    bool HasFoldSpace(size_t from, size_t to) const {
        for (size_t p = from; p < to; ++p) {
            if (IsFoldSpace(v_[p])) {
                return true;
            }
        }
        return false;
    }

    size_t FindQuestion(size_t from) {
        if (from >= noQuestionFrom_) {
            return kNone;
        }
        const void* q = std::memchr(v_ + from, '?', noQuestionFrom_ - from);
        if (q == nullptr) {
            noQuestionFrom_ = from;
            return kNone;
        }
        return static_cast<size_t>(static_cast<const char*>(q) - v_);
    }

    size_t FindClose(size_t from) {
        for (size_t p = from; p < noCloseFrom_ && p + 1 < len_; ++p) {
            const void* q = std::memchr(v_ + p, '?', len_ - 1 - p);
            if (q == nullptr) {
                break;
            }
            p = static_cast<size_t>(static_cast<const char*>(q) - v_);
            if (v_[p + 1] == '=') {
                return p;
            }
        }
        if (from < noCloseFrom_) {
            noCloseFrom_ = from;
        }
        return kNone;
    }

    const char* v_;
    size_t len_;
    size_t noQuestionFrom_ = len_;
    size_t noCloseFrom_ = len_;
};

// Appends the transfer-decoded bytes of one encoded word to `bytes`, cut at their first NUL.
void AppendWordBytes(const char* value, const WordParser::Word& w, std::string& bytes) {
    const size_t m = w.textEnd - w.textBegin;
    std::string text(value + w.textBegin, m);
    std::unique_ptr<unsigned char[]> decoded(new unsigned char[m + 1]);
    size_t count = m;
    if (w.encoding == 'B' || w.encoding == 'b') {
        count = Base64DecodeText(text.data(), m, decoded.get());
    } else if (w.encoding == 'Q' || w.encoding == 'q') {
        for (char& c : text) {
            if (c == '_') {
                c = ' ';
            }
        }
        count = QuotedPrintableDecode(text.data(), m, decoded.get());
    } else {
        std::memcpy(decoded.get(), text.data(), m);
        decoded[m] = 0;
    }
    const char* p = reinterpret_cast<const char*>(decoded.get());
    bytes.append(p, TextLength(p, count));
}

// The charset name of a word, without the language tag that may follow a "*" (RFC 2231).
std::string_view WordCharset(const char* value, const WordParser::Word& w) {
    size_t nameEnd = w.charsetBegin;
    while (nameEnd < w.charsetEnd && value[nameEnd] != '*') {
        ++nameEnd;
    }
    return std::string_view(value + w.charsetBegin, nameEnd - w.charsetBegin);
}

// The characters of decoded word bytes in the named charset, without CR and LF.
std::u16string WordText(const std::string& bytes, std::string_view charsetName) {
    std::u16string charset;
    AppendWideFromAnsi(charsetName.data(), charsetName.size(), charset);
    std::u16string wide;
    if (!ConvertCharsetText(bytes.data(), bytes.size(), charset, wide)) {
        wide.clear();
        AppendWideFromAnsi(bytes.data(), bytes.size(), wide);
    }
    std::u16string result;
    result.reserve(wide.size());
    for (char16_t c : wide) {
        if (c != u'\r' && c != u'\n') {
            result.push_back(c);
        }
    }
    return result;
}

// A stretch of the decoded value: literal bytes, or a run of encoded words of one charset
// separated only by white space, whose bytes are joined before they are converted (mailers
// cut a long text between words wherever its bytes happen to fall, even inside a character
// or a JIS escape).
struct Piece {
    size_t begin = 0;
    size_t end = 0;
    bool word = false;
    std::string_view charset;
    std::string bytes;
};

}  // namespace

size_t DecodeHeaderText(const char* value, size_t n, char16_t* out) noexcept {
    const size_t len = TextLength(value, n);
    size_t written = 0;
    out[0] = 0;
    try {
        std::vector<Piece> pieces;
        WordParser parser(value, len);
        size_t runStart = 0;
        bool afterWord = false;
        bool rawJis = false;
        size_t i = 0;
        while (i < len) {
            WordParser::Word w;
            if (value[i] == '=' && i + 1 < len && value[i + 1] == '?' && parser.Parse(i, w)) {
                const std::string_view charset = WordCharset(value, w);
                Piece* joined = nullptr;
                if (afterWord && !pieces.empty() && pieces.back().word &&
                    EqualsNoCase(pieces.back().charset, charset)) {
                    joined = &pieces.back();
                }
                std::string bytes;
                bool decoded = true;
                try {
                    AppendWordBytes(value, w, bytes);
                    if (joined != nullptr) {
                        joined->bytes += bytes;
                    }
                } catch (const std::bad_alloc&) {
                    decoded = false;  // the word stays literal text
                }
                if (decoded) {
                    if (joined != nullptr) {
                        joined->end = w.end;
                    } else {
                        // Whitespace between two encoded words is dropped.
                        if (!afterWord && runStart < i) {
                            pieces.push_back(Piece{runStart, i, false, {}, {}});
                        }
                        pieces.push_back(Piece{i, w.end, true, charset, std::move(bytes)});
                    }
                    i = w.end;
                    runStart = i;
                    afterWord = true;
                    continue;
                }
            }
            const char c = value[i];
            if (!IsFoldSpace(c)) {
                afterWord = false;
            }
            if (c == kEsc && i + 2 < len && value[i + 1] == '$' &&
                (value[i + 2] == '@' || value[i + 2] == 'B')) {
                rawJis = true;
            }
            ++i;
        }
        // Whitespace after the last encoded word is dropped too.
        if (!afterWord && runStart < len) {
            pieces.push_back(Piece{runStart, len, false, {}, {}});
        }

        for (Piece& p : pieces) {
            std::u16string text = p.word ? WordText(p.bytes, p.charset)
                                         : LiteralText(value + p.begin, p.end - p.begin, rawJis);
            // Never more characters than the words have bytes.
            if (text.size() > p.end - p.begin) {
                text.resize(p.end - p.begin);
            }
            bool ended = false;
            for (char16_t c : text) {
                if (c == 0 || written == len) {
                    ended = true;  // a NUL ends the text
                    break;
                }
                out[written++] = c;
            }
            if (ended) {
                break;
            }
        }
    } catch (const std::bad_alloc&) {
        // What was decoded so far stays.
    }
    out[written] = 0;
    return written;
}

bool DecodeBodyText(const char* bytes, size_t n, std::string_view contentType,
                    std::u16string& out) noexcept {
    try {
        const size_t len = TextLength(bytes, n);
        const size_t typeLen = TextLength(contentType.data(), contentType.size());
        const char* t = contentType.data();

        std::u16string charset;
        bool haveCharset = false;
        bool plainSegment = false;
        size_t p = 0;
        while (p < typeLen) {
            while (p < typeLen && (t[p] == ' ' || t[p] == '\t')) {
                ++p;
            }
            const std::string_view segment(t + p, typeLen - p);
            if (HasPrefixNoCase(segment, "charset") && !IsExtendedParameter(segment, "charset")) {
                plainSegment = true;
                p += 7;
                while (p < typeLen && (t[p] == ' ' || t[p] == '\t')) {
                    ++p;
                }
                if (p < typeLen && t[p] == '=') {
                    ++p;
                    while (p < typeLen && (t[p] == ' ' || t[p] == '\t')) {
                        ++p;
                    }
                    if (p < typeLen && t[p] == '"') {
                        ++p;
                    }
                    while (p < typeLen && (t[p] == ' ' || t[p] == '\t')) {
                        ++p;
                    }
                    // A charset token holds no quote, separator or white space; the
                    // unfolded value may go on after it.
                    size_t e = p;
                    while (e < typeLen && t[e] != '"' && t[e] != ';' && !IsFoldSpace(t[e])) {
                        ++e;
                    }
                    AppendWideFromAnsi(t + p, e - p, charset);
                    haveCharset = true;
                }
                break;
            }
            const void* semi = std::memchr(t + p, ';', typeLen - p);
            if (semi == nullptr) {
                break;
            }
            p = static_cast<size_t>(static_cast<const char*>(semi) - t) + 1;
        }

        // The extended form counts only where no plain "charset" segment stands.
        std::string extended;
        if (!plainSegment &&
            ExtendedParameterValue(std::string_view(t, typeLen), "charset", extended)) {
            AppendWideFromAnsi(extended.data(), extended.size(), charset);
            haveCharset = true;
        }

        std::u16string wide;
        if (haveCharset && ConvertCharsetText(bytes, len, charset, wide)) {
            out = std::move(wide);
            return true;
        }
        wide.clear();
        AppendWideFromIso2022Jp(bytes, len, wide);
        out = std::move(wide);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace pelmora
