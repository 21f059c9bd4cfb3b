#include "tests/device/journal_reader.h"

#include "text/utf8.h"

namespace pelmora::testing_support {

namespace {

class Reader {
  public:
    explicit Reader(std::string_view s) : s_(s) {}

    bool Value(JsonValue& v, int depth) {
        Blank();
        if (depth > 32 || i_ >= s_.size()) {
            return false;
        }
        const char c = s_[i_];
        if (c == '{') {
            return Object(v, depth);
        }
        if (c == '[') {
            return Array(v, depth);
        }
        if (c == '"') {
            v.kind = JsonValue::Kind::kText;
            return String(v.text);
        }
        if (Word("null")) {
            v.kind = JsonValue::Kind::kNull;
            return true;
        }
        if (Word("true")) {
            v.kind = JsonValue::Kind::kBool;
            v.flag = true;
            return true;
        }
        if (Word("false")) {
            v.kind = JsonValue::Kind::kBool;
            return true;
        }
        return Number(v);
    }

    bool AtEnd() {
        Blank();
        return i_ == s_.size();
    }

  private:
    void Blank() {
        while (i_ < s_.size() &&
               (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\r' || s_[i_] == '\n')) {
            ++i_;
        }
    }
    bool Word(std::string_view w) {
        if (s_.substr(i_, w.size()) != w) {
            return false;
        }
        i_ += w.size();
        return true;
    }
    bool Number(JsonValue& v) {
        bool negative = Word("-");
        size_t start = i_;
        int64_t n = 0;
        while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9' && i_ - start < 18) {
            n = n * 10 + (s_[i_++] - '0');
        }
        if (i_ == start) {
            return false;
        }
        v.kind = JsonValue::Kind::kNumber;
        v.number = negative ? -n : n;
        return true;
    }
    bool Hex4(unsigned& out) {
        if (i_ + 4 > s_.size()) {
            return false;
        }
        out = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = s_[i_++];
            const int d = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
            if (d < 0) {
                return false;
            }
            out = out * 16 + static_cast<unsigned>(d);
        }
        return true;
    }
    bool String(std::u16string& out) {
        ++i_;  // opening quote
        std::string run;
        auto flush = [&] {
            out += WideFromUtf8(run);
            run.clear();
        };
        while (i_ < s_.size()) {
            const char c = s_[i_++];
            if (c == '"') {
                flush();
                return true;
            }
            if (c != '\\') {
                run += c;
                continue;
            }
            if (i_ >= s_.size()) {
                return false;
            }
            const char e = s_[i_++];
            const std::string_view simple = "\"\\/bfnrt";
            const std::string_view meant = "\"\\/\b\f\n\r\t";
            const size_t k = simple.find(e);
            if (k != std::string_view::npos) {
                run += meant[k];
                continue;
            }
            unsigned u = 0;
            if (e != 'u' || !Hex4(u)) {
                return false;
            }
            flush();
            out += static_cast<char16_t>(u);
        }
        return false;
    }
    bool Array(JsonValue& v, int depth) {
        v.kind = JsonValue::Kind::kArray;
        ++i_;
        Blank();
        if (Word("]")) {
            return true;
        }
        for (;;) {
            JsonValue item;
            if (!Value(item, depth + 1)) {
                return false;
            }
            v.items.push_back(std::move(item));
            Blank();
            if (Word("]")) {
                return true;
            }
            if (!Word(",")) {
                return false;
            }
        }
    }
    bool Object(JsonValue& v, int depth) {
        v.kind = JsonValue::Kind::kObject;
        ++i_;
        Blank();
        if (Word("}")) {
            return true;
        }
        for (;;) {
            Blank();
            std::u16string key;
            if (i_ >= s_.size() || s_[i_] != '"' || !String(key)) {
                return false;
            }
            Blank();
            JsonValue member;
            if (!Word(":") || !Value(member, depth + 1)) {
                return false;
            }
            v.members.emplace_back(Utf8FromWide(key), std::move(member));
            Blank();
            if (Word("}")) {
                return true;
            }
            if (!Word(",")) {
                return false;
            }
        }
    }

    std::string_view s_;
    size_t i_ = 0;
};

}  // namespace

const JsonValue* JsonValue::Find(std::string_view key) const {
    for (const auto& m : members) {
        if (m.first == key) {
            return &m.second;
        }
    }
    return nullptr;
}

std::optional<std::u16string> JsonValue::Text(std::string_view key) const {
    const JsonValue* v = Find(key);
    if (v == nullptr || v->kind != Kind::kText) {
        return std::nullopt;
    }
    return v->text;
}

std::optional<int64_t> JsonValue::Number(std::string_view key) const {
    const JsonValue* v = Find(key);
    if (v == nullptr || v->kind != Kind::kNumber) {
        return std::nullopt;
    }
    return v->number;
}

std::optional<JsonValue> ParseJson(std::string_view text) {
    Reader r(text);
    JsonValue v;
    if (!r.Value(v, 0) || !r.AtEnd()) {
        return std::nullopt;
    }
    return v;
}

std::vector<JsonValue> ParseJsonLines(std::string_view text) {
    std::vector<JsonValue> lines;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.find_first_not_of(" \r\t") == std::string_view::npos) {
            continue;
        }
        lines.push_back(ParseJson(line).value_or(JsonValue{}));
    }
    return lines;
}

}  // namespace pelmora::testing_support
