#include "settings/ini_document.h"

#include <new>

#include "settings/ini_file.h"

namespace pelmora {

bool IniDocument::ReadIni(const char16_t* section, const char16_t* path) noexcept {
    if (section == nullptr || path == nullptr) {
        return false;
    }
    try {
        std::string bytes;
        if (ReadIniFileBytes(path, bytes) != IniReadResult::kOpened) {
            return false;
        }
        return ParseIniText(IniTextFromBytes(bytes), section);
    } catch (const std::bad_alloc&) {
        return false;  // before any entry was added
    }
}

bool IniDocument::WriteIni(const char16_t* section, const char16_t* path) const noexcept {
    if (path == nullptr) {
        return false;
    }
    try {
        return ReplaceIniFile(path, FormatIniPieces(section != nullptr ? section : u""));
    } catch (const std::bad_alloc&) {
        return false;  // nothing was written yet, or the temporary file is abandoned
    }
}

}  // namespace pelmora
