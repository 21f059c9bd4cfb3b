// Test-only export of the emulated device's contacts library: how many application objects
// and returned strings are alive in this process, so a test can prove a caller released them.
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct PIMSTORE_DEVICE_COUNTS {
    LONG applications;  // contacts application objects
    LONG strings;       // strings ChooseContact returned and nobody has freed yet
} PIMSTORE_DEVICE_COUNTS;

void WINAPI PimstoreDeviceCounts(PIMSTORE_DEVICE_COUNTS* counts);

#ifdef __cplusplus
}  // extern "C"
#endif
