// Reads the JSON lines that the emulated device writes (outbox.jsonl, live.jsonl), so that
// tests can look at single fields. Accepts the JSON the device writes and nothing fancier.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pelmora::testing_support {

struct JsonValue {
    enum class Kind { kNull, kBool, kNumber, kText, kArray, kObject };
    Kind kind = Kind::kNull;
    bool flag = false;
    int64_t number = 0;
    std::u16string text;
    std::vector<JsonValue> items;
    std::vector<std::pair<std::string, JsonValue>> members;

    bool IsNull() const { return kind == Kind::kNull; }
    // The member named `key`; null when there is none.
    const JsonValue* Find(std::string_view key) const;
    // Text of member `key`; nothing when it is missing or not text.
    std::optional<std::u16string> Text(std::string_view key) const;
    // Number of member `key`; nothing when it is missing or not a number.
    std::optional<int64_t> Number(std::string_view key) const;
};

// One JSON value; nothing when the text is not well-formed.
std::optional<JsonValue> ParseJson(std::string_view text);
// Each non-empty line of a journal file parsed; a malformed line gives a null value.
std::vector<JsonValue> ParseJsonLines(std::string_view text);

}  // namespace pelmora::testing_support
