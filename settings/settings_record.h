// Every user setting, typed, and its load from and save to the settings file.
#pragma once

#include <cstdint>

#include "settings/ini_document.h"
#include "text/dual_string.h"

namespace pelmora {

class SettingsRecord : public IniDocument {
public:
    SettingsRecord();

    // Module whose string table holds the section and key names (an HINSTANCE on
    // Windows; unused by the native build, which has the same names built in).
    void* moduleHandle = nullptr;
    DualString trueText{u"TRUE"};
    DualString falseText{u"FALSE"};
    DualString connectName;
    int32_t resAccountIndex = -1;
    DualString cc;
    DualString bcc;
    bool prioFrom = false;
    bool resAll = false;
    bool resAllCc = false;
    bool quote = false;
    DualString quoteString;
    DualString resTemplate;
    DualString signature;

    // Returns every field but moduleHandle to its default, empties the document and reads
    // the file, so repeated loads into one record always show the file as it is now.
    // True when the file was read; false leaves the defaults. `unreadable`, when given,
    // tells whether the file holds settings that could not be had: saving over it would
    // lose them.
    bool LoadSettings(const char16_t* path, bool* unreadable = nullptr) noexcept;
    // Writes the whole record; false when the file could not be written (the old file is
    // then kept) or the module has no settings names.
    bool SaveSettings(const char16_t* path) noexcept;

private:
    void RestoreDefaults();
};

}  // namespace pelmora
