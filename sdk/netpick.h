/* The connection picker component (Netpick.dll), loaded at run time by name. Only its two
   exports and two entries of its object's operation table are used: entry 3 (with the
   object and five numbers; exactly 1 lets the caller go on) and entry 8 (with the object;
   non-zero lets the caller go on). Entries are counted from 0. */
#ifndef PELMORA_DEVICE_NETPICK_H
#define PELMORA_DEVICE_NETPICK_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct NETPICK_OBJECT NETPICK_OBJECT;

typedef int(WINAPI* NETPICK_ENTRY3)(NETPICK_OBJECT* self, DWORD a, DWORD b, DWORD c, DWORD d,
                                    DWORD e);
typedef int(WINAPI* NETPICK_ENTRY8)(NETPICK_OBJECT* self);
typedef void(WINAPI* NETPICK_UNUSED_ENTRY)(void);

typedef struct NETPICK_VTBL {
    NETPICK_UNUSED_ENTRY entries0to2[3];
    NETPICK_ENTRY3 entry3;
    NETPICK_UNUSED_ENTRY entries4to7[4];
    NETPICK_ENTRY8 entry8;
} NETPICK_VTBL;

struct NETPICK_OBJECT {
    const NETPICK_VTBL* lpVtbl;
};

/* The exports, looked up by these names. */
typedef NETPICK_OBJECT*(WINAPI* CREATE_OBJECT_NETPICK)(void);
typedef void(WINAPI* DELETE_OBJECT_NETPICK)(NETPICK_OBJECT* object);

#ifdef __cplusplus
} /* extern "C" */

#include <cstddef>
static_assert(offsetof(NETPICK_VTBL, entry3) == 3 * sizeof(void*), "entry 3");
static_assert(offsetof(NETPICK_VTBL, entry8) == 8 * sizeof(void*), "entry 8");
#endif

#endif
