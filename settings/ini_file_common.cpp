#include "settings/ini_document.h"

#include <new>

#include "settings/ini_file.h"

namespace pelmora {

bool IniDocument::ReadIni(const char16_t* section, const char16_t* path,
                          bool* unreadable) noexcept {
    if (section == nullptr || path == nullptr) {
        return false;
    }
    try {
        std::string bytes;
        const IniReadResult result = ReadIniFileBytes(path, bytes);
        if (unreadable != nullptr) {
            *unreadable =
                result == IniReadResult::kUnavailable || result == IniReadResult::kReadFailed;
        }
        if (result == IniReadResult::kReadFailed) {
            return true;  // an opened file whose bytes could not be read holds no entries
        }
        if (result != IniReadResult::kOpened) {
            return false;
        }
        return ParseIniText(IniTextFromBytes(bytes), section);
    } catch (const std::bad_alloc&) {
        if (unreadable != nullptr) {
            *unreadable = true;
        }
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
