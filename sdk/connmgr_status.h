/* The handheld's Connection Manager status query (cellcore.dll), written from the documented
   shapes: "ConnMgrQueryDetailedStatus" and "CONNMGR_CONNECTION_DETAILED_STATUS"
   (connmgr_status.h, Windows Mobile 5.0 Connection Manager reference); the status value
   CONNMGR_STATUS_CONNECTED from "Connection Manager Status Constants". */
#ifndef PELMORA_DEVICE_CONNMGR_STATUS_H
#define PELMORA_DEVICE_CONNMGR_STATUS_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#define CONNMGR_STATUS_CONNECTED 0x10
#define CONNMGR_STATUS_DISCONNECTED 0x20

struct _CONNMGR_CONNECTION_IPADDR;

/* One data connection the Connection Manager knows, in a list that the caller's buffer holds
   whole (the texts too). */
typedef struct _CONNMGR_CONNECTION_DETAILED_STATUS {
    struct _CONNMGR_CONNECTION_DETAILED_STATUS* pNext;
    DWORD dwVer;
    DWORD dwParams;
    DWORD dwType;
    DWORD dwSubtype;
    DWORD dwFlags;
    DWORD dwSecure;
    GUID guidDestNet;
    GUID guidSourceNet;
    WCHAR* szDescription;
    WCHAR* szAdapterName;
    DWORD dwConnectionStatus;
    SYSTEMTIME LastConnectTime;
    DWORD dwSignalQuality;
    struct _CONNMGR_CONNECTION_IPADDR* pIPAddr;
} CONNMGR_CONNECTION_DETAILED_STATUS;

/* Fills the buffer; HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER) with the size needed in
 *pcbBufferSize when it is too small. */
HRESULT WINAPI ConnMgrQueryDetailedStatus(CONNMGR_CONNECTION_DETAILED_STATUS* pStatusBuffer,
                                          DWORD* pcbBufferSize);

#ifdef __cplusplus
} /* extern "C" */

#include <cstddef>
#if !defined(_WIN64)
static_assert(sizeof(CONNMGR_CONNECTION_DETAILED_STATUS) == 96, "handheld layout");
static_assert(offsetof(CONNMGR_CONNECTION_DETAILED_STATUS, guidDestNet) == 28, "handheld layout");
static_assert(offsetof(CONNMGR_CONNECTION_DETAILED_STATUS, dwConnectionStatus) == 68,
              "handheld layout");
#endif
#endif

#endif
