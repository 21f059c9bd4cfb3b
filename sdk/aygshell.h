/* The handheld's shell-helper calls (aygshell.dll) that the desktop headers do not carry.
   Written from the documented call shapes; the emulated device's own aygshell.dll
   implements them for a QVGA (240 x 320) or VGA (480 x 640) screen. */
#ifndef PELMORA_DEVICE_AYGSHELL_H
#define PELMORA_DEVICE_AYGSHELL_H

#include <windows.h>

/* The menu-bar resource (RCDATA) names a button without a pop-up menu with NOMENU. */
#define NOMENU 0xFFFF

#ifndef RC_INVOKED

#ifdef __cplusplus
extern "C" {
#endif

#ifdef PELMORA_AYGSHELL_BUILD
#define AYGSHELL_API __declspec(dllexport)
#else
#define AYGSHELL_API __declspec(dllimport)
#endif

/* SHINITDLGINFO::dwMask: which members are valid. */
#define SHIDIM_FLAGS 0x0001

/* SHINITDLGINFO::dwFlags. */
#define SHIDIF_DONEBUTTON 0x0001        /* an OK (Done) button on the navigation bar */
#define SHIDIF_SIZEDLGFULLSCREEN 0x0004 /* size to the screen whatever the input panel */
#define SHIDIF_SIPDOWN 0x0008           /* lower the input panel */
#define SHIDIF_EMPTYMENU 0x0020         /* an empty menu bar below the dialog */

typedef struct tagSHINITDIALOG {
    DWORD dwMask;
    HWND hDlg;
    DWORD dwFlags;
} SHINITDLGINFO, *PSHINITDLGINFO;

/* SHMENUBARINFO::dwFlags. */
#define SHCMBF_EMPTYBAR 0x0001 /* a bar without buttons */

typedef struct tagSHMENUBARINFO {
    DWORD cbSize;
    HWND hwndParent;
    DWORD dwFlags;
    UINT nToolBarId; /* the menu-bar RCDATA resource in hInstRes */
    HINSTANCE hInstRes;
    int nBmpId;
    int cBmpImages;
    HWND hwndMB; /* out: the menu bar */
    COLORREF clrBk;
} SHMENUBARINFO, *PSHMENUBARINFO;

typedef struct tagSHACTIVATEINFO {
    DWORD cbSize;
    HWND hwndLastFocus;
    UINT fSipUp : 1;
    UINT fSipOnDeactivation : 1;
    UINT fActive : 1;
    UINT fReserved : 29;
} SHACTIVATEINFO, *PSHACTIVATEINFO;

#if defined(__cplusplus) && !defined(_WIN64)
/* The handheld's 32-bit layouts, which callers write into cbSize. */
static_assert(sizeof(SHMENUBARINFO) == 36, "SHMENUBARINFO as on the handheld");
static_assert(sizeof(SHACTIVATEINFO) == 12, "SHACTIVATEINFO as on the handheld");
#endif

/* Creates the soft-key menu bar that the RCDATA resource describes, at the bottom of the
   screen below hwndParent; its commands arrive at hwndParent as WM_COMMAND. */
AYGSHELL_API BOOL WINAPI SHCreateMenuBar(PSHMENUBARINFO pmbi);
AYGSHELL_API BOOL WINAPI SHInitExtraControls(void);
AYGSHELL_API BOOL WINAPI SHHandleWMActivate(HWND hwnd, WPARAM wParam, LPARAM lParam,
                                            SHACTIVATEINFO* psai, DWORD dwFlags);
AYGSHELL_API BOOL WINAPI SHHandleWMSettingChange(HWND hwnd, WPARAM wParam, LPARAM lParam,
                                                 SHACTIVATEINFO* psai);

/* Called from WM_INITDIALOG: sizes the dialog to the screen and adds the Done button
   (which sends WM_COMMAND IDOK to the dialog) and the menu bar that the flags ask for. */
AYGSHELL_API BOOL WINAPI SHInitDialog(PSHINITDLGINFO pshidi);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* RC_INVOKED */

#endif /* PELMORA_DEVICE_AYGSHELL_H */
