// The Inbox's side of its context-menu extensions: the selection it hands an extension's
// data object in the "ItemRefArray" clipboard format.
#pragma once

#include <windows.h>

#include <cstddef>

// Name of the clipboard format in which the Inbox hands out its selection.
#define INBOX_ITEMREFARRAY_FORMAT L"ItemRefArray"

// Item type of a message in the selection.
inline const GUID kInboxMessageItemType = {
    0x412F24E9, 0x87E6, 0x4BD5, {0x98, 0x20, 0x23, 0xE9, 0x23, 0x0D, 0x6E, 0x8D}};

// The selection block: a 32-bit count, then the first item reference (the address of the
// item type and the address of the item). A message item is a MAPI entry identifier, an
// SBinary. The Inbox and its extensions read and write the block through this one layout.
typedef struct _ITEMREFARRAYBLOCK {
    ULONG count;
    const GUID* type;
    const void* item;
} ITEMREFARRAYBLOCK;

#if !defined(_WIN64)
// The handheld's 32-bit layout: 12 bytes, the reference at offsets 4 and 8.
static_assert(sizeof(ITEMREFARRAYBLOCK) == 12, "the handheld's selection block");
static_assert(offsetof(ITEMREFARRAYBLOCK, type) == 4 && offsetof(ITEMREFARRAYBLOCK, item) == 8,
              "count, then the first reference");
#else
static_assert(offsetof(ITEMREFARRAYBLOCK, type) == sizeof(void*) &&
                  offsetof(ITEMREFARRAYBLOCK, item) == 2 * sizeof(void*),
              "count, then the first reference, naturally aligned");
#endif
