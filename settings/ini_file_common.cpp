#include "settings/ini_document.h"
#include "settings/ini_file.h"

namespace pelmora {

bool IniDocument::ReadIni(const char16_t* section, const char16_t* path) {
    if (section == nullptr || path == nullptr) {
        return false;
    }
    std::string bytes;
    if (ReadIniFileBytes(path, bytes) != IniReadResult::kOpened) {
        return false;
    }
    ParseIniText(IniTextFromBytes(bytes), section);
    return true;
}

bool IniDocument::WriteIni(const char16_t* section, const char16_t* path) const {
    if (path == nullptr) {
        return false;
    }
    return ReplaceIniFile(path, FormatIniPieces(section != nullptr ? section : u""));
}

}  // namespace pelmora
