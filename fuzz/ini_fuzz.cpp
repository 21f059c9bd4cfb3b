// The settings file parser on arbitrary bytes, and the writer on what it parsed: whatever
// was read must write back as a file that reads to the same entries (each text as the
// code page carries it).
#include <cstddef>
#include <cstdint>
#include <string>

#include "settings/ini_document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using pelmora::IniDocument;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    IniDocument doc;
    doc.ParseIniText(pelmora::IniTextFromBytes(bytes), u"Pelmora");

    std::string written;
    for (const std::string& piece : doc.FormatIniPieces(u"Pelmora")) {
        written += piece;
    }
    IniDocument again;
    again.ParseIniText(pelmora::IniTextFromBytes(written), u"Pelmora");
    if (again.Entries().size() != doc.Entries().size()) {
        __builtin_trap();
    }
    for (size_t i = 0; i < doc.Entries().size(); ++i) {
        const auto& before = doc.Entries()[i];
        const auto& after = again.Entries()[i];
        if (after.key.Wide() != pelmora::ToWide(before.key.Multibyte()) ||
            after.value.Wide() != pelmora::ToWide(before.value.Multibyte())) {
            __builtin_trap();
        }
    }
    return 0;
}
