// Native builds have no string tables: the names come straight from the shared header.
#include <new>

#include "settings/settings_names.h"
#include "settings/settings_strings.h"

namespace pelmora {

bool LoadSettingsName(void* /*module*/, unsigned id, DualString& out) noexcept {
    static const struct {
        unsigned id;
        const char16_t* text;
    } kNames[] = {
        {IDS_SETTINGS_SECTION, u"" TEXT_SETTINGS_SECTION},
        {IDS_SETTINGS_FILE, u"" TEXT_SETTINGS_FILE},
        {IDS_KEY_CONNECTNAME, u"" TEXT_KEY_CONNECTNAME},
        {IDS_KEY_RESACCOUNTINDEX, u"" TEXT_KEY_RESACCOUNTINDEX},
        {IDS_KEY_SIGNATURE, u"" TEXT_KEY_SIGNATURE},
        {IDS_KEY_QUATE, u"" TEXT_KEY_QUATE},
        {IDS_KEY_RESTEMPLATE, u"" TEXT_KEY_RESTEMPLATE},
        {IDS_KEY_QUATESTRING, u"" TEXT_KEY_QUATESTRING},
        {IDS_KEY_CC, u"" TEXT_KEY_CC},
        {IDS_KEY_BCC, u"" TEXT_KEY_BCC},
        {IDS_KEY_PRIOFROM, u"" TEXT_KEY_PRIOFROM},
        {IDS_KEY_RESALL, u"" TEXT_KEY_RESALL},
        {IDS_KEY_RESALLCC, u"" TEXT_KEY_RESALLCC},
    };
    for (const auto& name : kNames) {
        if (name.id == id) {
            try {
                out = name.text;
                return true;
            } catch (const std::bad_alloc&) {
                return false;
            }
        }
    }
    return false;
}

}  // namespace pelmora
