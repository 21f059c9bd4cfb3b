/* The handheld's contacts calls (pimstore.dll) that the desktop headers do not carry: the
   contacts application object's interface in its slot order, and the contact chooser.
   Written from the documented call shapes; the emulated device's own pimstore.dll serves
   them from the device profile's contacts. */
#ifndef PELMORA_DEVICE_PIMSTORE_H
#define PELMORA_DEVICE_PIMSTORE_H

#include <windows.h>
#include <objbase.h>
#include <oaidl.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifdef PELMORA_PIMSTORE_BUILD
#define PIMSTORE_API __declspec(dllexport)
#else
#define PIMSTORE_API __declspec(dllimport)
#endif

/* The handheld's object-store identifiers: 32-bit on every build of the device. */
typedef DWORD CEOID;
typedef DWORD CEPROPID;

/* The contacts application object, and the interface the chooser's callers ask for. */
static const GUID CLSID_Application = {
    0x05058F23, 0x20BE, 0x11D2, {0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43, 0x35}};
static const GUID IID_IPOutlookApp2 = {
    0xAF7D0DC7, 0x3D35, 0x424B, {0xAA, 0x60, 0x27, 0xA3, 0x8B, 0x8B, 0x62, 0x9E}};

/* Property identifiers: the identifier in the high word, the value type in the low word
   (CEVT_LPWSTR, 31, for text). PIMPR_ALL_EMAIL asks the chooser for any of a contact's
   e-mail addresses; the chooser answers with the chosen address's own property. */
#define CEVT_LPWSTR 31
#define PIMPR_EMAIL1_ADDRESS ((0x0090 << 16) | CEVT_LPWSTR)
#define PIMPR_ALL_EMAIL ((0x1801 << 16) | CEVT_LPWSTR)

/* CHOOSECONTACT::dwFlags. */
#define CCF_HIDENEW 0x0001
#define CCF_CHOOSECONTACTONLY 0x0002
#define CCF_CHOOSEPROPERTYONLY 0x0004
#define CCF_RETURNCONTACTNAME 0x0008
#define CCF_RETURNPROPERTYVALUE 0x0010
#define CCF_FILTERREQUIREDPROPERTIES 0x0020
#define CCF_NOUIONSINGLEORNOMATCH 0x0040
#define CCF_NOUI 0x0080

/* What the chooser is asked and what it answers. The two strings it returns belong to the
   caller, who frees them with SysFreeString. */
typedef struct tagCHOOSECONTACT {
    UINT cbSize;
    HWND hwndOwner;
    DWORD dwFlags;
    LPCWSTR lpstrTitle;
    LPCWSTR lpstrChoosePropertyText;
    LPCWSTR lpstrRestrictContacts;
    LPCWSTR lpstrIncrementalFilter;
    UINT cRequiredProperties;
    const CEPROPID* rgpropidRequiredProperties;
    CEOID oidContactID;
    BSTR bstrContactName;
    CEPROPID propidSelected;
    BSTR bstrPropertyValueSelected;
} CHOOSECONTACT, *LPCHOOSECONTACT;

#if defined(__cplusplus) && !defined(_WIN64)
static_assert(sizeof(CHOOSECONTACT) == 52, "the handheld's CHOOSECONTACT is 52 bytes");
#endif

/* Shows the contact chooser and returns the chosen contact's name and property value. */
PIMSTORE_API HRESULT WINAPI ChooseContact(LPCHOOSECONTACT lpcc);

#ifdef __cplusplus
} /* extern "C" */

/* Types the application object's further slots name; used by pointer only. */
struct IPimFolder;
struct IPimTimeZone;

/* The contacts application object, slots in the handheld's order after IDispatch. Logon's
   window handle travels as a pointer-sized integer. */
struct IPOutlookApp : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Logon(LONG_PTR hWnd) = 0;
    virtual HRESULT STDMETHODCALLTYPE Logoff() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Version(BSTR* version) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDefaultFolder(int folder, IPimFolder** result) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateItem(int itemType, IDispatch** item) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetItemFromOid(CEOID oid, IDispatch** item) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_HomeCity(IDispatch** city) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_HomeCity(IDispatch* city) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_VisitingCity(IDispatch** city) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_VisitingCity(IDispatch* city) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CurrentCityIndex(long* index) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_CurrentCityIndex(long index) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReceiveFromInfrared() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_OutlookCompatible(VARIANT_BOOL* compatible) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTimeZoneFromIndex(int index, IPimTimeZone** zone) = 0;
    virtual HRESULT STDMETHODCALLTYPE
    GetTimeZoneInformationFromIndex(int index, TIME_ZONE_INFORMATION* info) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Application(IPOutlookApp** application) = 0;
    virtual HRESULT STDMETHODCALLTYPE SysFreeString(BSTR text) = 0;
    virtual HRESULT STDMETHODCALLTYPE VariantTimeToSystemTime(double date, SYSTEMTIME* time) = 0;
    virtual HRESULT STDMETHODCALLTYPE SystemTimeToVariantTime(SYSTEMTIME* time, double* date) = 0;
};

/* The second version adds two slots. */
struct IPOutlookApp2 : public IPOutlookApp {
    virtual HRESULT STDMETHODCALLTYPE GetIDsFromNames(ULONG count, LPCWSTR* names, ULONG flags,
                                                      CEPROPID* ids) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetItemFromOidEx(ULONG oidPim, ULONG reserved,
                                                       IDispatch** item) = 0;
};
#endif /* __cplusplus */

#endif /* PELMORA_DEVICE_PIMSTORE_H */
