#include "settings/ini_document.h"

#include <new>

namespace pelmora {

std::u16string IniTextFromBytes(std::string_view bytes) {
    const size_t nul = bytes.find('\0');
    return ToWide(bytes.substr(0, nul));
}

bool IniDocument::ParseIniText(std::u16string_view text, std::u16string_view section) noexcept {
    const size_t before = entries_.size();
    try {
        AppendSection(text, section);
        return true;
    } catch (const std::bad_alloc&) {
        entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(before), entries_.end());
        return false;
    }
}

void IniDocument::AppendSection(std::u16string_view text, std::u16string_view section) {
    const std::u16string_view crlf = u"\r\n";
    size_t end = text.find(crlf);
    if (end == std::u16string_view::npos) {
        return;
    }
    // Only the first line can be our header; a later one is never looked for.
    const std::u16string_view header = text.substr(0, end);
    if (header.size() < 2 || header.front() != u'[' || header.back() != u']' ||
        header.substr(1, header.size() - 2) != section) {
        return;
    }
    size_t pos = end + 2;
    while ((end = text.find(crlf, pos)) != std::u16string_view::npos) {
        const std::u16string_view line = text.substr(pos, end - pos);
        pos = end + 2;
        const size_t eq = line.find(u'=');
        if (eq == std::u16string_view::npos) {
            continue;  // blank lines, comments and other sections' headers
        }
        const std::u16string_view key = line.substr(0, eq);
        const std::u16string_view value = line.substr(eq + 1);
        entries_.push_back(
            IniEntry{DualString(key.data(), key.size()), DualString(value.data(), value.size())});
    }
}

std::vector<std::string> IniDocument::FormatIniPieces(std::u16string_view section) const {
    std::vector<std::string> pieces;
    if (!section.empty()) {
        std::u16string header = u"[";
        header.append(section);
        header += u"]\r\n";
        pieces.push_back(ToMultibyte(header));
    }
    for (const IniEntry& e : entries_) {
        pieces.push_back(e.key.Multibyte());
        pieces.emplace_back("=");
        pieces.push_back(e.value.Multibyte());
        pieces.emplace_back("\r\n");
    }
    return pieces;
}

bool IniDocument::GetValue(const char16_t* key, DualString& value) const noexcept {
    if (key == nullptr || key[0] == 0) {
        return false;
    }
    for (const IniEntry& e : entries_) {
        if (e.key == key) {
            try {
                DualString copy(e.value);
                value = std::move(copy);
                return true;
            } catch (const std::bad_alloc&) {
                return false;
            }
        }
    }
    return false;
}

bool IniDocument::AddValue(const char16_t* key, const char16_t* value) noexcept {
    if (key == nullptr || key[0] == 0 || value == nullptr) {
        return false;
    }
    try {
        entries_.push_back(IniEntry{DualString(key), DualString(value)});
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace pelmora
