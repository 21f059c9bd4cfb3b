#include "settings/settings_record.h"

#include <climits>
#include <new>
#include <string>

#include "settings/settings_names.h"
#include "settings/settings_strings.h"
#include "text/codecs.h"
#include "text/format.h"

namespace pelmora {
namespace {

struct SettingsNames {
    DualString section;
    DualString connectName;
    DualString resAccountIndex;
    DualString signature;
    DualString quote;
    DualString resTemplate;
    DualString quoteString;
    DualString cc;
    DualString bcc;
    DualString prioFrom;
    DualString resAll;
    DualString resAllCc;
};

// All names or none: a module without our string table must not read or write keys
// without names (a save would otherwise replace the file with an empty one).
bool LoadNames(void* module, SettingsNames& n) {
    const struct {
        unsigned id;
        DualString* out;
    } table[] = {
        {IDS_SETTINGS_SECTION, &n.section},
        {IDS_KEY_CONNECTNAME, &n.connectName},
        {IDS_KEY_RESACCOUNTINDEX, &n.resAccountIndex},
        {IDS_KEY_SIGNATURE, &n.signature},
        {IDS_KEY_QUATE, &n.quote},
        {IDS_KEY_RESTEMPLATE, &n.resTemplate},
        {IDS_KEY_QUATESTRING, &n.quoteString},
        {IDS_KEY_CC, &n.cc},
        {IDS_KEY_BCC, &n.bcc},
        {IDS_KEY_PRIOFROM, &n.prioFrom},
        {IDS_KEY_RESALL, &n.resAll},
        {IDS_KEY_RESALLCC, &n.resAllCc},
    };
    for (const auto& name : table) {
        if (!LoadSettingsName(module, name.id, *name.out)) {
            return false;
        }
    }
    return true;
}

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

// Decimal as people write it by hand: leading blanks, an optional sign, digits up to the
// first non-digit. No digits gives 0; a value beyond 32 bits stops at the nearest limit.
int32_t ParseIndex(const std::u16string& s) {
    size_t i = 0;
    while (i < s.size() && IsBlank(s[i])) {
        ++i;
    }
    bool negative = false;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) {
        negative = s[i] == u'-';
        ++i;
    }
    const long long limit = negative ? -static_cast<long long>(INT32_MIN) : INT32_MAX;
    long long v = 0;
    for (; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i) {
        v = v * 10 + (s[i] - u'0');
        if (v > limit) {
            v = limit;
        }
    }
    return static_cast<int32_t>(negative ? -v : v);
}

// A stored text is base64 of its multibyte bytes. Text that decodes to nothing stays as
// it was written; decoded bytes count up to the first NUL.
void DecodeInPlace(DualString& field) {
    if (field.Empty()) {
        return;
    }
    const std::string& text = field.Multibyte();
    std::string bytes(text.size(), '\0');
    const size_t n =
        Base64Decode(text.data(), text.size(), reinterpret_cast<unsigned char*>(&bytes[0]));
    if (n == 0) {
        return;
    }
    bytes.resize(n);
    const size_t nul = bytes.find('\0');
    if (nul != std::string::npos) {
        bytes.resize(nul);
    }
    // The mirror keeps the decoded bytes, so a text saved again gets the same bytes back.
    field = DualString::FromMultibyte(bytes);
}

std::u16string FromAscii(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

}  // namespace

SettingsRecord::SettingsRecord() = default;

void SettingsRecord::RestoreDefaults() {
    trueText = u"TRUE";
    falseText = u"FALSE";
    connectName.Clear();
    resAccountIndex = -1;
    cc.Clear();
    bcc.Clear();
    prioFrom = false;
    resAll = false;
    resAllCc = false;
    quote = false;
    quoteString.Clear();
    resTemplate.Clear();
    signature.Clear();
}

bool SettingsRecord::LoadSettings(const char16_t* path, bool* unreadable) noexcept {
    if (unreadable != nullptr) {
        *unreadable = false;
    }
    try {
        // Every load shows the file as it is now: nothing of an earlier load survives, and
        // no text is decoded twice.
        RestoreDefaults();
        Clear();
        SettingsNames names;
        if (!LoadNames(moduleHandle, names) || !ReadIni(names.section.c_str(), path, unreadable)) {
            return false;
        }
        DualString value;
        auto readBool = [&](const DualString& key, bool& field) {
            if (GetValue(key.c_str(), value)) {
                field = value == trueText;
            }
        };
        GetValue(names.connectName.c_str(), connectName);
        if (GetValue(names.resAccountIndex.c_str(), value)) {
            resAccountIndex = ParseIndex(value.Wide());
        }
        readBool(names.quote, quote);
        GetValue(names.cc.c_str(), cc);
        GetValue(names.bcc.c_str(), bcc);
        readBool(names.prioFrom, prioFrom);
        readBool(names.resAll, resAll);
        readBool(names.resAllCc, resAllCc);
        GetValue(names.quoteString.c_str(), quoteString);
        GetValue(names.resTemplate.c_str(), resTemplate);
        GetValue(names.signature.c_str(), signature);

        for (DualString* field :
             {&connectName, &quoteString, &cc, &bcc, &signature, &resTemplate}) {
            DecodeInPlace(*field);
        }
        return true;
    } catch (const std::bad_alloc&) {
        if (unreadable != nullptr) {
            *unreadable = true;  // what the file holds is not known
        }
        return false;
    }
}

bool SettingsRecord::SaveSettings(const char16_t* path) noexcept {
    try {
        SettingsNames names;
        if (!LoadNames(moduleHandle, names)) {
            return false;
        }
        Clear();
        auto addText = [&](const DualString& key, const DualString& field) {
            if (field.Empty()) {
                return;
            }
            const std::string& bytes = field.Multibyte();
            const std::string encoded = Base64Encode(bytes.data(), bytes.size());
            if (!encoded.empty()) {
                AddValue(key.c_str(), FromAscii(encoded).c_str());
            }
        };
        auto addBool = [&](const DualString& key, bool field) {
            AddValue(key.c_str(), (field ? trueText : falseText).c_str());
        };
        addText(names.connectName, connectName);
        if (resAccountIndex >= 0) {
            AddValue(names.resAccountIndex.c_str(), FormatWide(u"%d", resAccountIndex).c_str());
        }
        addText(names.cc, cc);
        addText(names.bcc, bcc);
        addBool(names.prioFrom, prioFrom);
        addBool(names.resAll, resAll);
        addBool(names.resAllCc, resAllCc);
        addBool(names.quote, quote);
        addText(names.quoteString, quoteString);
        addText(names.resTemplate, resTemplate);
        addText(names.signature, signature);
        return WriteIni(names.section.c_str(), path);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace pelmora
