// The handheld's messaging calls that the desktop MAPI headers do not carry: the compose
// request and the sync request. The MAPI interfaces themselves (IMAPISession, IMAPITable,
// IMAPIProp, IMessage), the property structures and MAPILogonEx, FreeProws,
// MAPIAllocateBuffer and MAPIFreeBuffer come from the mingw-w64 MAPI headers, whose
// layouts and calling conventions match the handheld's on 32-bit code.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <mapidefs.h>
#include <mapicode.h>
#include <mapitags.h>
#include <mapix.h>
#include <mapiutil.h>

#ifdef __cplusplus
extern "C" {
#endif

// How MAILCOMPOSEFIELDS::pszAccount and MailSyncMessages' account name are to be read.
#define MCF_ACCOUNT_IS_NAME 0x00000001
#define MCF_ACCOUNT_IS_TRANSPORT 0x00000002
#define MCF_MAILTO_FORMAT 0x00000004
#define MCF_RUN_IN_BACKGROUND 0x00000008

// A request for the messaging application's compose window; 44 bytes on 32-bit code.
typedef struct _MAILCOMPOSEFIELDS {
    DWORD cbSize;
    DWORD dwFlags;
    LPCWSTR pszTo;
    LPCWSTR pszCc;
    LPCWSTR pszBcc;
    LPCWSTR pszSubject;
    LPCWSTR pszBody;
    LPCWSTR pszAttachments;  // NUL-separated file names
    UINT cAttachments;
    LPCWSTR pszAccount;
    LPCWSTR pszMsgClass;  // null: the default class
} MAILCOMPOSEFIELDS;
#if !defined(_WIN64)
static_assert(sizeof(MAILCOMPOSEFIELDS) == 44 && offsetof(MAILCOMPOSEFIELDS, pszTo) == 8 &&
                  offsetof(MAILCOMPOSEFIELDS, cAttachments) == 32 &&
                  offsetof(MAILCOMPOSEFIELDS, pszMsgClass) == 40,
              "the handheld's compose request");
#else
static_assert(sizeof(MAILCOMPOSEFIELDS) == 80 && offsetof(MAILCOMPOSEFIELDS, pszTo) == 8 &&
                  offsetof(MAILCOMPOSEFIELDS, cAttachments) == 56 &&
                  offsetof(MAILCOMPOSEFIELDS, pszMsgClass) == 72,
              "the compose request, naturally aligned");
#endif

// Opens the compose window prefilled from the request (null: empty form).
STDAPI MailComposeMessage(MAILCOMPOSEFIELDS* pmcf);

// Starts a send/receive of the account (null: the current one); dwFlags: MCF_* values.
STDAPI MailSyncMessages(LPCWSTR pszAccount, DWORD dwFlags);

// A message item's whole internet text (header block and body) as a byte array.
#ifndef PR_CE_MIME_TEXT
#define PR_CE_MIME_TEXT PROP_TAG(PT_BINARY, 0x8103)
#endif

#ifdef __cplusplus
}  // extern "C"
#endif
