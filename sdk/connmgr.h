/* The handheld's Connection Manager destination enumeration (cellcore.dll), which the desktop
   headers do not carry. Written from the documented call shape; the emulated device's own
   cellcore.dll serves the destinations of its profile. */
#ifndef PELMORA_DEVICE_CONNMGR_H
#define PELMORA_DEVICE_CONNMGR_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#define CONNMGR_MAX_DESC 128

/* One destination network: its identifier, its description (the array holds the
   terminator too) and whether multihoming is allowed on it. */
typedef struct _CONNMGR_DESTINATION_INFO {
    GUID guid;
    WCHAR szDescription[CONNMGR_MAX_DESC];
    BOOL fSecure;
} CONNMGR_DESTINATION_INFO;

/* The destination at nIndex (from 0); a failure status past the last one. */
HRESULT WINAPI ConnMgrEnumDestinations(int nIndex, CONNMGR_DESTINATION_INFO* pDestInfo);

#ifdef __cplusplus
} /* extern "C" */

#include <cstddef>
/* The handheld's layout; it holds no pointer, so the 64-bit build lays it out the same. */
#if !defined(_WIN64)
static_assert(sizeof(CONNMGR_DESTINATION_INFO) == 276, "handheld layout");
#endif
static_assert(offsetof(CONNMGR_DESTINATION_INFO, szDescription) == 16, "handheld layout");
static_assert(offsetof(CONNMGR_DESTINATION_INFO, fSecure) == 272, "handheld layout");
#endif

#endif
