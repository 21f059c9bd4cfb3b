// Header values (literal text, RFC 2047 encoded words, raw ISO-2022-JP) and body text to
// wide text.
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "text/codecs.h"
#include "text/codepage.h"
#include "text/mail_decode.h"
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

// The decoded characters of one encoded word, without CR and LF.
std::u16string DecodeWord(const char* value, const WordParser::Word& w) {
    const size_t m = w.textEnd - w.textBegin;
    std::string text(value + w.textBegin, m);
    std::unique_ptr<unsigned char[]> bytes(new unsigned char[m + 1]);
    size_t count = m;
    if (w.encoding == 'B' || w.encoding == 'b') {
        count = Base64DecodeText(text.data(), m, bytes.get());
    } else if (w.encoding == 'Q' || w.encoding == 'q') {
        for (char& c : text) {
            if (c == '_') {
                c = ' ';
            }
        }
        count = QuotedPrintableDecode(text.data(), m, bytes.get());
    } else {
        std::memcpy(bytes.get(), text.data(), m);
        bytes[m] = 0;
    }
    const char* decoded = reinterpret_cast<const char*>(bytes.get());
    count = TextLength(decoded, count);

    // A language tag after "*" (RFC 2231) is not part of the charset name.
    size_t nameEnd = w.charsetBegin;
    while (nameEnd < w.charsetEnd && value[nameEnd] != '*') {
        ++nameEnd;
    }
    std::u16string charset;
    AppendWideFromAnsi(value + w.charsetBegin, nameEnd - w.charsetBegin, charset);
    std::u16string wide;
    if (!ConvertCharsetText(decoded, count, charset, wide)) {
        wide.clear();
        AppendWideFromAnsi(decoded, count, wide);
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

// A stretch of the decoded value: literal bytes, or the text of an encoded word.
struct Piece {
    size_t begin = 0;
    size_t end = 0;
    bool word = false;
    std::u16string text;
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
                std::u16string text;
                bool decoded = true;
                try {
                    text = DecodeWord(value, w);
                } catch (const std::bad_alloc&) {
                    decoded = false;  // the word stays literal text
                }
                if (decoded) {
                    // Whitespace between two encoded words is dropped.
                    if (!afterWord && runStart < i) {
                        pieces.push_back(Piece{runStart, i, false, {}});
                    }
                    // Never more characters than the word has bytes.
                    if (text.size() > w.end - i) {
                        text.resize(w.end - i);
                    }
                    pieces.push_back(Piece{i, w.end, true, std::move(text)});
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
            pieces.push_back(Piece{runStart, len, false, {}});
        }

        for (Piece& p : pieces) {
            const std::u16string text =
                p.word ? std::move(p.text) : LiteralText(value + p.begin, p.end - p.begin, rawJis);
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
        size_t p = 0;
        while (p < typeLen) {
            while (p < typeLen && (t[p] == ' ' || t[p] == '\t')) {
                ++p;
            }
            if (HasPrefixNoCase(std::string_view(t + p, typeLen - p), "charset")) {
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
