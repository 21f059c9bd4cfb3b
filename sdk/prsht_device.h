/* The handheld's property-sheet flags and callback messages that the desktop headers give
   other meanings or leave out. Written from the documented call shapes; the emulated
   device's commctrl.dll gives them the handheld's meaning. */
#ifndef PELMORA_DEVICE_PRSHT_H
#define PELMORA_DEVICE_PRSHT_H

#include <windows.h>
#include <commctrl.h>

/* PROPSHEETHEADER::dwFlags: the sheet fills the screen (tabs along the bottom, its OK on
   the navigation bar). The desktop's library reads this bit as an old-style wizard. */
#define PSH_MAXIMIZE 0x00002000

/* Sheet callback: the library asks which library version the program was written for. */
#define PSCB_GETVERSION 3

#endif /* PELMORA_DEVICE_PRSHT_H */
