// Reads the JSON lines that the emulated device writes (outbox.jsonl, live.jsonl), so that
// tests can look at single members. Reads the JSON the device writes and nothing fancier.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelmora::testing_support {

// One JSON object, its members found by name at its top level.
struct JournalLine {
    std::string json;

    // The member's value as JSON text; empty when there is no such member.
    std::string_view Raw(std::string_view key) const;
    std::optional<std::u16string> Text(std::string_view key) const;
    bool IsNull(std::string_view key) const { return Raw(key) == "null"; }
};

// The non-blank lines of a journal file.
std::vector<JournalLine> JournalLines(std::string_view text);

}  // namespace pelmora::testing_support
