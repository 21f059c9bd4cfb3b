// Identifiers of the extension's two classes and of the Inbox's message items.
#pragma once

#include <windows.h>

namespace pelmora {

// Read view: objects offer the reply command (mode 0).
inline const CLSID kReadViewClassId = {
    0x0ED86D47, 0x9EDC, 0x4878, {0x91, 0x65, 0x3F, 0x75, 0x53, 0x44, 0x01, 0x09}};
// List view: objects offer the send/receive command (mode 1).
inline const CLSID kListViewClassId = {
    0xA1F2C36C, 0xF0F2, 0x4AF1, {0xB4, 0x9C, 0x9E, 0xFF, 0xDC, 0x8B, 0x2B, 0x7E}};
}  // namespace pelmora
