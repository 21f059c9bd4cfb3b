/* The handheld's shell-helper calls (aygshell.dll) that the desktop headers do not carry.
   Written from the documented call shapes; the emulated device's own aygshell.dll
   implements them for a 240 x 320 screen. */
#ifndef PELMORA_DEVICE_AYGSHELL_H
#define PELMORA_DEVICE_AYGSHELL_H

#include <windows.h>

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

/* Called from WM_INITDIALOG: sizes the dialog to the screen and adds the Done button
   (which sends WM_COMMAND IDOK to the dialog) and the menu bar that the flags ask for. */
AYGSHELL_API BOOL WINAPI SHInitDialog(PSHINITDLGINFO pshidi);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* PELMORA_DEVICE_AYGSHELL_H */
