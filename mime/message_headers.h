// The header side of the message parser: locating, unfolding and decoding header fields.
//
// Positions are byte offsets into the message text; kNoPosition stands for "none". Lines
// end with CR LF only: a bare LF is ordinary text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "text/dual_string.h"

namespace pelmora {

constexpr size_t kNoPosition = std::string_view::npos;

// The message text as the parser sees it: `n` bytes, cut at the first NUL.
std::string_view MessageText(const char* text, size_t n);

// Position of the value of field `name` (colon included, matched ignoring ASCII case at
// line starts only), searching the header block that holds `from`, from there on. The
// block ends at an empty line or at a line that cannot be a header line (IsHeaderLine). The
// value starts after the spaces and tabs that follow the name. The line at `from` is
// compared only when `compareFirstLine` is true: a boundary line's tail or the end of the
// previous value is never a field.
size_t FindHeaderField(std::string_view text, std::string_view name, size_t from = 0,
                       bool compareFirstLine = true);

// Number of raw bytes of the value starting at `value`'s first byte: up to the first CR LF
// that is not followed by a space or a tab, or to the end.
size_t ValueExtent(std::string_view value);

// Bytes of that value once every fold (CR LF and the one space or tab after it) is removed.
size_t UnfoldedLength(std::string_view value);

// Appends the unfolded value to `out`; gives the value's raw extent.
size_t CopyUnfolded(std::string_view value, std::string& out);

// The unfolded value of the first `name` field from `from`, or an empty text.
std::string UnfoldedField(std::string_view text, std::string_view name, size_t from = 0,
                          bool compareFirstLine = true);

// Whether the line at `pos` can belong to a header block: a fold (it begins with a space or
// a tab), a line that begins with printable ASCII and holds a ":", or the mailbox "From "
// line at the start of the text.
bool IsHeaderLine(std::string_view text, size_t pos);

// Where the body begins in the header block from `from`: the first byte after its empty
// line, or the start of its first line that cannot be a header line (IsHeaderLine); none
// when the text ends first. The line at `from` is tested only when `firstLineIsHeader` (a
// boundary line's tail is not).
size_t FindBodyStart(std::string_view text, size_t from = 0, bool firstLineIsHeader = true);

// Fills `field` with the decoded value of the first `name` field, or of all of them joined
// by ",". Gives the number of unfolded bytes read (plus one per occurrence when reading all),
// 0 when the field is absent. An absent field, or one that decodes to nothing, leaves
// `field` unchanged.
size_t ReadHeaderField(std::string_view text, std::string_view name, DualString& field,
                       bool allOccurrences);

}  // namespace pelmora
