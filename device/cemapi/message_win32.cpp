// Message items of the stand-in messaging library: store properties from
// "<store>\<message>.props", the raw internet text from "<store>\<message>.eml".
#include <cstring>
#include <new>

#include "device/cemapi/stand_in_win32.h"
#include "platform/wide.h"
#include "text/utf8.h"

namespace pelmora::device {

namespace {

// The raw internet text, read-only, with its read faults counted per stream.
class RawTextStream : public CountedObject<IStream, ObjectKind::kStream> {
public:
    RawTextStream(std::string bytes, const Faults& faults)
        : bytes_(std::move(bytes)), stat_(faults.streamStat), read_(faults.streamRead) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) {
            return E_INVALIDARG;
        }
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IStream) &&
            !IsEqualIID(riid, IID_ISequentialStream)) {
            return E_NOINTERFACE;
        }
        AddRef();
        *ppv = static_cast<IStream*>(this);
        return S_OK;
    }

    STDMETHODIMP Read(void* pv, ULONG cb, ULONG* pcbRead) override {
        if (pcbRead != nullptr) {
            *pcbRead = 0;
        }
        if (read_.Hits(reads_++)) {
            return read_.status;
        }
        if (pv == nullptr && cb > 0) {
            return STG_E_INVALIDPOINTER;
        }
        const size_t left = bytes_.size() - position_;
        const size_t n = cb < left ? cb : left;
        if (n > 0) {
            std::memcpy(pv, bytes_.data() + position_, n);
        }
        position_ += n;
        if (pcbRead != nullptr) {
            *pcbRead = static_cast<ULONG>(n);
        }
        return S_OK;
    }

    STDMETHODIMP Write(const void*, ULONG, ULONG* pcbWritten) override {
        if (pcbWritten != nullptr) {
            *pcbWritten = 0;
        }
        return STG_E_ACCESSDENIED;
    }

    STDMETHODIMP Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) override {
        LONGLONG base = 0;
        if (origin == STREAM_SEEK_CUR) {
            base = static_cast<LONGLONG>(position_);
        } else if (origin == STREAM_SEEK_END) {
            base = static_cast<LONGLONG>(bytes_.size());
        } else if (origin != STREAM_SEEK_SET) {
            return STG_E_INVALIDFUNCTION;
        }
        const LONGLONG to = base + move.QuadPart;
        if (to < 0) {
            return STG_E_INVALIDFUNCTION;
        }
        position_ =
            static_cast<size_t>(to) < bytes_.size() ? static_cast<size_t>(to) : bytes_.size();
        if (newPosition != nullptr) {
            newPosition->QuadPart = position_;
        }
        return S_OK;
    }

    STDMETHODIMP Stat(STATSTG* statstg, DWORD flag) override {
        if (stat_.set) {
            return stat_.status;
        }
        if (statstg == nullptr) {
            return STG_E_INVALIDPOINTER;
        }
        ZeroMemory(statstg, sizeof *statstg);
        statstg->type = STGTY_STREAM;
        statstg->cbSize.QuadPart = bytes_.size();
        statstg->grfMode = STGM_READ;
        if (flag != STATFLAG_NONAME) {
            static const wchar_t kName[] = L"MimeText";
            auto* name = static_cast<wchar_t*>(CoTaskMemAlloc(sizeof kName));
            if (name == nullptr) {
                return STG_E_INSUFFICIENTMEMORY;
            }
            std::memcpy(name, kName, sizeof kName);
            statstg->pwcsName = name;
        }
        return S_OK;
    }

    STDMETHODIMP SetSize(ULARGE_INTEGER) override { return STG_E_ACCESSDENIED; }
    STDMETHODIMP CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP Commit(DWORD) override { return S_OK; }
    STDMETHODIMP Revert() override { return S_OK; }
    STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    STDMETHODIMP Clone(IStream**) override { return E_NOTIMPL; }

private:
    std::string bytes_;
    size_t position_ = 0;
    Fault stat_;
    Fault read_;
    uint32_t reads_ = 0;
};

class Message : public CountedObject<IMessage, ObjectKind::kMessage> {
public:
    Message(std::shared_ptr<const Profile> profile, std::string entryId, std::u16string rawPath,
            MessageProps props)
        : profile_(std::move(profile)),
          entryId_(std::move(entryId)),
          rawPath_(std::move(rawPath)),
          props_(std::move(props)) {}

    STDMETHODIMP QueryInterface(REFIID riid, LPVOID* ppv) override {
        if (ppv == nullptr) {
            return E_INVALIDARG;
        }
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, kIidMapiProp) &&
            !IsEqualIID(riid, kIidMessage)) {
            return E_NOINTERFACE;
        }
        AddRef();
        *ppv = static_cast<IMessage*>(this);
        return S_OK;
    }

    // Strings come as wide text for PT_UNICODE (or PT_UNSPECIFIED with MAPI_UNICODE), as
    // ANSI text for PT_STRING8; a property the message lacks comes back as an error value
    // with MAPI_W_ERRORS_RETURNED, as the platform does.
    STDMETHODIMP GetProps(LPSPropTagArray tags, ULONG ulFlags, ULONG* lpcValues,
                          LPSPropValue* lppPropArray) override {
        if (lpcValues == nullptr || lppPropArray == nullptr) {
            return MAPI_E_INVALID_PARAMETER;
        }
        *lpcValues = 0;
        *lppPropArray = nullptr;
        const Faults& faults = profile_->faults;
        if (faults.getProps.set) {
            return faults.getProps.status;
        }
        if (faults.getPropsNull) {
            return S_OK;
        }
        std::vector<ULONG> asked;
        try {
            if (tags != nullptr) {
                if (tags->cValues == 0 || tags->cValues > 256) {
                    return MAPI_E_INVALID_PARAMETER;
                }
                asked.assign(tags->aulPropTag, tags->aulPropTag + tags->cValues);
            } else {
                for (ULONG id : {0x001Au, 0x0C1Fu, 0x0037u}) {
                    if (Find(id) != nullptr) {
                        asked.push_back(PROP_TAG(PT_UNICODE, id));
                    }
                }
                asked.push_back(PR_ENTRYID);
            }
        } catch (const std::bad_alloc&) {
            return MAPI_E_NOT_ENOUGH_MEMORY;
        }
        void* block = nullptr;
        const ULONG count = static_cast<ULONG>(asked.size());
        if (MAPIAllocateBuffer(count * sizeof(SPropValue), &block) != S_OK) {
            return MAPI_E_NOT_ENOUGH_MEMORY;
        }
        auto* values = static_cast<LPSPropValue>(block);
        bool errors = false;
        for (ULONG i = 0; i < count; ++i) {
            SPropValue& v = values[i];
            ZeroMemory(&v, sizeof v);
            const ULONG tag = asked[i];
            ULONG type = PROP_TYPE(tag);
            if (type == PT_UNSPECIFIED) {
                type = (ulFlags & MAPI_UNICODE) != 0 ? PT_UNICODE : PT_STRING8;
            }
            const std::u16string* text = Find(PROP_ID(tag));
            v.ulPropTag = PROP_TAG(type, PROP_ID(tag));
            bool ok = true;
            if (text != nullptr && type == PT_UNICODE) {
                v.Value.lpszW = CopyWideMore(*text, block);
                ok = v.Value.lpszW != nullptr;
            } else if (text != nullptr && type == PT_STRING8) {
                v.Value.lpszA = CopyAnsiMore(*text, block);
                ok = v.Value.lpszA != nullptr;
            } else if (PROP_ID(tag) == PROP_ID(PR_ENTRYID) && type == PT_BINARY) {
                void* bytes = nullptr;
                ok = MAPIAllocateMore(static_cast<ULONG>(entryId_.size()), block, &bytes) == S_OK;
                if (ok) {
                    std::memcpy(bytes, entryId_.data(), entryId_.size());
                    v.Value.bin.cb = static_cast<ULONG>(entryId_.size());
                    v.Value.bin.lpb = static_cast<LPBYTE>(bytes);
                }
            } else {
                v.ulPropTag = PROP_TAG(PT_ERROR, PROP_ID(tag));
                v.Value.err = MAPI_E_NOT_FOUND;
                errors = true;
            }
            if (!ok) {
                MAPIFreeBuffer(block);
                return MAPI_E_NOT_ENOUGH_MEMORY;
            }
        }
        *lpcValues = count;
        *lppPropArray = values;
        return errors ? MAPI_W_ERRORS_RETURNED : S_OK;
    }

    // Only the raw internet text opens, as a stream.
    STDMETHODIMP OpenProperty(ULONG ulPropTag, LPCIID lpiid, ULONG, ULONG,
                              LPUNKNOWN* lppUnk) override {
        if (lppUnk == nullptr) {
            return MAPI_E_INVALID_PARAMETER;
        }
        *lppUnk = nullptr;
        if (ulPropTag != PR_CE_MIME_TEXT) {
            return MAPI_E_NOT_FOUND;
        }
        if (lpiid != nullptr && !IsEqualIID(*lpiid, IID_IStream) &&
            !IsEqualIID(*lpiid, IID_IUnknown)) {
            return MAPI_E_INTERFACE_NOT_SUPPORTED;
        }
        if (profile_->faults.openProperty.set) {
            return profile_->faults.openProperty.status;
        }
        std::string bytes;
        try {
            if (!ReadWholeFile(rawPath_, bytes)) {
                return MAPI_E_NOT_FOUND;
            }
        } catch (const std::bad_alloc&) {
            return MAPI_E_NOT_ENOUGH_MEMORY;
        }
        IStream* stream = nullptr;
        const HRESULT hr = CreateRawTextStream(std::move(bytes), profile_->faults, &stream);
        *lppUnk = stream;
        return hr;
    }

    // The rest of the message is not used by the product; it is read-only.
    STDMETHODIMP GetLastError(HRESULT, ULONG, LPMAPIERROR* e) override {
        if (e != nullptr) {
            *e = nullptr;
        }
        return S_OK;
    }
    STDMETHODIMP SaveChanges(ULONG) override { return MAPI_E_NO_ACCESS; }
    STDMETHODIMP GetPropList(ULONG, LPSPropTagArray*) override { return MAPI_E_NO_SUPPORT; }
    STDMETHODIMP SetProps(ULONG, LPSPropValue, LPSPropProblemArray*) override {
        return MAPI_E_NO_ACCESS;
    }
    STDMETHODIMP DeleteProps(LPSPropTagArray, LPSPropProblemArray*) override {
        return MAPI_E_NO_ACCESS;
    }
    STDMETHODIMP CopyTo(ULONG, LPCIID, LPSPropTagArray, ULONG, LPMAPIPROGRESS, LPCIID, LPVOID,
                        ULONG, LPSPropProblemArray*) override {
        return MAPI_E_NO_SUPPORT;
    }
    STDMETHODIMP CopyProps(LPSPropTagArray, ULONG, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG,
                           LPSPropProblemArray*) override {
        return MAPI_E_NO_SUPPORT;
    }
    STDMETHODIMP GetNamesFromIDs(LPSPropTagArray*, LPGUID, ULONG, ULONG*, LPMAPINAMEID**) override {
        return MAPI_E_NO_SUPPORT;
    }
    STDMETHODIMP GetIDsFromNames(ULONG, LPMAPINAMEID*, ULONG, LPSPropTagArray*) override {
        return MAPI_E_NO_SUPPORT;
    }
    STDMETHODIMP GetAttachmentTable(ULONG, LPMAPITABLE*) override { return MAPI_E_NO_SUPPORT; }
    STDMETHODIMP OpenAttach(ULONG, LPCIID, ULONG, LPATTACH*) override { return MAPI_E_NO_SUPPORT; }
    STDMETHODIMP CreateAttach(LPCIID, ULONG, ULONG*, LPATTACH*) override {
        return MAPI_E_NO_ACCESS;
    }
    STDMETHODIMP DeleteAttach(ULONG, ULONG, LPMAPIPROGRESS, ULONG) override {
        return MAPI_E_NO_ACCESS;
    }
    STDMETHODIMP GetRecipientTable(ULONG, LPMAPITABLE*) override { return MAPI_E_NO_SUPPORT; }
    STDMETHODIMP ModifyRecipients(ULONG, LPADRLIST) override { return MAPI_E_NO_ACCESS; }
    STDMETHODIMP SubmitMessage(ULONG) override { return MAPI_E_NO_ACCESS; }
    STDMETHODIMP SetReadFlag(ULONG) override { return S_OK; }

private:
    const std::u16string* Find(ULONG id) const {
        const std::optional<std::u16string>* p = nullptr;
        if (id == 0x001A) {
            p = &props_.messageClass;
        } else if (id == 0x0C1F) {
            p = &props_.senderAddress;
        } else if (id == 0x0037) {
            p = &props_.subject;
        }
        return p != nullptr && p->has_value() ? &**p : nullptr;
    }

    std::shared_ptr<const Profile> profile_;
    std::string entryId_;
    std::u16string rawPath_;
    MessageProps props_;
};

bool FileExists(const std::u16string& path) {
    const DWORD a = GetFileAttributesW(W(path.c_str()));
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace

HRESULT CreateRawTextStream(std::string bytes, const Faults& faults, IStream** stream) {
    *stream = new (std::nothrow) RawTextStream(std::move(bytes), faults);
    return *stream != nullptr ? S_OK : MAPI_E_NOT_ENOUGH_MEMORY;
}

// A message exists when its raw text or its properties file does.
HRESULT OpenMessage(std::shared_ptr<const Profile> profile, const unsigned char* id, ULONG n,
                    IUnknown** message) {
    *message = nullptr;
    uint32_t storeIndex = 0;
    std::string name;
    try {
        if (!ParseEntryId(id, n, storeIndex, name)) {
            return MAPI_E_INVALID_ENTRYID;
        }
        if (storeIndex >= profile->stores.size()) {
            return MAPI_E_NOT_FOUND;
        }
        const std::u16string base = profile->folder + u"\\" +
                                    WideFromUtf8(profile->stores[storeIndex].folder) + u"\\" +
                                    WideFromUtf8(name);
        const std::u16string rawPath = base + u".eml";
        const std::u16string propsPath = base + u".props";
        const bool hasRaw = FileExists(rawPath);
        std::string propsText;
        const bool hasProps = ReadWholeFile(propsPath, propsText);
        if (!hasRaw && !hasProps) {
            return MAPI_E_NOT_FOUND;
        }
        *message = static_cast<IMessage*>(new (std::nothrow) Message(
            std::move(profile), std::string(reinterpret_cast<const char*>(id), n), rawPath,
            ParseMessageProps(propsText)));
    } catch (const std::bad_alloc&) {
        return MAPI_E_NOT_ENOUGH_MEMORY;
    }
    return *message != nullptr ? S_OK : MAPI_E_NOT_ENOUGH_MEMORY;
}

}  // namespace pelmora::device
