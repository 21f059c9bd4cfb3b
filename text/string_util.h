// Small string services shared by the parsers and the settings program.
#pragma once

#include <cstddef>
#include <string_view>

namespace pelmora {

// True when the first `n` characters of `a` and `b` match with "A"-"Z" folded to
// "a"-"z" (ASCII only). The end of a view counts as a NUL: two texts that end together
// before `n` characters match; one that ends before the other does not.
bool StartsWithNoCase(std::string_view a, std::string_view b, size_t n);
bool StartsWithNoCase(std::u16string_view a, std::u16string_view b, size_t n);

// The prefix test the parsers use: `text` begins with all of `prefix`, ignoring ASCII case.
inline bool HasPrefixNoCase(std::string_view text, std::string_view prefix) {
    return StartsWithNoCase(text, prefix, prefix.size());
}
inline bool HasPrefixNoCase(std::u16string_view text, std::u16string_view prefix) {
    return StartsWithNoCase(text, prefix, prefix.size());
}

// Same length and the same characters with "A"-"Z" folded to "a"-"z" (ASCII only).
bool EqualsNoCase(std::string_view a, std::string_view b);
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);

constexpr size_t kMaxPathChars = 260;

// Splits a path at its last backslash into `folder` (no trailing backslash) and `file`,
// both arrays of kMaxPathChars. Fails for a null path or one of 260 characters or more.
bool SplitPath(const char16_t* path, char16_t* folder, char16_t* file);

}  // namespace pelmora
