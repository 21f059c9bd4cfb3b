// Test-only export of the stand-in messaging library: how many of its objects and buffers
// are alive in this process, so a test can prove that a caller released everything.
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct CEMAPI_DEVICE_COUNTS {
    LONG sessions;  // IMAPISession objects
    LONG tables;    // IMAPITable objects
    LONG messages;  // message objects from OpenEntry
    LONG streams;   // IStream objects from OpenProperty
    LONG buffers;   // MAPIAllocateBuffer blocks not yet freed (row sets, property arrays)
    LONG badFrees;  // MAPIFreeBuffer calls on a pointer that is not a live block
} CEMAPI_DEVICE_COUNTS;

void WINAPI CemapiDeviceCounts(CEMAPI_DEVICE_COUNTS* counts);

#ifdef __cplusplus
}  // extern "C"
#endif
