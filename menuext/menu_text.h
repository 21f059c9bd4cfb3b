// The extension's menu items and the verbs that name them, with the helpers that copy and
// compare them. Portable: no platform types.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pelmora {

// The class identifier fixes the mode of every object it creates.
constexpr int kReadViewMode = 0;  // reply with a chosen account
constexpr int kListViewMode = 1;  // send/receive over a chosen connection

// Status values of the copy (the platform's HRESULT codes, spelled out for the native build).
constexpr int32_t kCopyOk = 0;
constexpr int32_t kCopyInvalidArgument = static_cast<int32_t>(0x80070057);     // E_INVALIDARG
constexpr int32_t kCopyInsufficientBuffer = static_cast<int32_t>(0x8007007A);  // too small

// The read view's item, "アカウントを指定して返信".
extern const char16_t kReplyMenuText[];
// The list view's item, "接続を指定して送受信".
extern const char16_t kSendReceiveMenuText[];

// The menu text of a mode; every mode other than the read view's names send/receive.
const char16_t* MenuTextForMode(int mode);

// Copies `text` with its terminator into `dest` of `capacity` characters. When it does not
// fit, `dest` receives as much as fits plus a terminator and the result is negative; a null
// `dest`, null `text` or zero capacity gives a negative result and writes nothing.
int32_t BoundedTextCopy(char16_t* dest, size_t capacity, const char16_t* text);

// What a context-menu verb pointer holds: nothing, a numeric command offset (a value below
// 65536 in place of a pointer), or the address of a wide string.
enum class VerbKind { None, Offset, Text };
VerbKind ClassifyVerb(const void* verb);

// Compares the wide string at `verb` code unit by code unit, terminator included, with
// `text`. The string may sit at any address: it is read byte-wise, and never beyond the
// first difference.
bool VerbEquals(const void* verb, const char16_t* text);

}  // namespace pelmora
