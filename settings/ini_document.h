// The settings file: one section of key=value lines in the ANSI code page, CR LF line ends.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "text/dual_string.h"

namespace pelmora {

struct IniEntry {
    DualString key;
    DualString value;
};

// Ordered key/value list of one INI section. Duplicate keys are kept; lookups take the
// first. The section is named on every read and write, not stored.
class IniDocument {
public:
    virtual ~IniDocument() = default;

    // Appends the entries of `section` from the file at `path` (the document is not
    // cleared). False when an argument is null or the file cannot be opened for read and
    // write access, is empty or 4 GiB or more, or cannot be held in memory (the document
    // is then unchanged); true otherwise, also when the section is not the file's first
    // line. `unreadable`, when given, tells whether the file holds content that could not
    // be had (any failure but a missing or empty file).
    bool ReadIni(const char16_t* section, const char16_t* path,
                 bool* unreadable = nullptr) noexcept;

    // Replaces the file at `path` with the section header and all entries. The new text
    // goes to a file of its own in the same folder that replaces the old file only once
    // everything was written and flushed, so a failure leaves the old content readable.
    bool WriteIni(const char16_t* section, const char16_t* path) const noexcept;

    // False, with the output or the document unchanged, when there is no such key, an
    // argument is unusable or memory runs out.
    bool GetValue(const char16_t* key, DualString& value) const noexcept;
    bool AddValue(const char16_t* key, const char16_t* value) noexcept;
    void Clear() { entries_.clear(); }

    const std::vector<IniEntry>& Entries() const { return entries_; }

    // Pure halves of ReadIni and WriteIni, for tests and fuzzing. ParseIniText appends the
    // section's entries; false, with the document unchanged, when memory runs out.
    bool ParseIniText(std::u16string_view text, std::u16string_view section) noexcept;
    // The file's bytes, as WriteIni writes them, in the order of its write calls.
    std::vector<std::string> FormatIniPieces(std::u16string_view section) const;

private:
    void AppendSection(std::u16string_view text, std::u16string_view section);

    std::vector<IniEntry> entries_;
};

// Turns the raw bytes of a settings file into the text ParseIniText reads: the bytes up
// to the first NUL, converted from the ANSI code page.
std::u16string IniTextFromBytes(std::string_view bytes);

}  // namespace pelmora
