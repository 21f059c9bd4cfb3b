#include "reply/reply_command.h"

#include <cstring>
#include <string>

#include "sdk/cemapi.h"
#include "mime/parse_message.h"
#include "platform/owners.h"
#include "platform/wide.h"
#include "reply/choice_dialog_win32.h"
#include "reply/command_scope_win32.h"
#include "reply/reply_rules.h"
#include "settings/settings_paths_win32.h"

namespace pelmora {
namespace {

const IID kIidMapiProp = {0x00020303, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// The message item's whole internet text, a byte array.
constexpr ULONG kRawTextTag = 0x81030102;

// The raw text is read 255 bytes at a time into a zeroed 256-byte buffer, so each chunk is
// a terminated string; reading stops once more than this many bytes were read, which
// bounds the text at 129 reads (32895 bytes).
constexpr ULONG kChunkBytes = 255;
constexpr ULONG kReadOnWhileAtMost = 32766;

constexpr ULONG kTagMessageClass = 0x001A001F;   // PR_MESSAGE_CLASS_W
constexpr ULONG kTagSenderAddress = 0x0C1F001F;  // PR_SENDER_EMAIL_ADDRESS_W
constexpr ULONG kTagSubject = 0x0037001F;        // PR_SUBJECT_W

// Opens the selected message; keeps its IMAPIProp face in `message` and its raw text in
// `raw` (`haveText` when any was read).
HRESULT OpenSelectedMessage(ReplyContext& extension, ComPtr<IMAPIProp>& message, DualString& raw,
                            bool& haveText) {
    ULONG idBytes = 0;
    BYTE* id = nullptr;
    HRESULT hr = extension.GetSelectedEntryId(&idBytes, &id);
    if (FAILED(hr)) {
        return hr;
    }
    IMAPISession* session = extension.Session();
    if (session == nullptr) {
        return E_FAIL;
    }
    ComPtr<IUnknown> opened;
    hr = session->OpenEntry(idBytes, reinterpret_cast<LPENTRYID>(id), nullptr, 0, nullptr,
                            opened.Put());
    if (FAILED(hr)) {
        return hr;
    }
    if (!opened) {
        return E_OUTOFMEMORY;
    }
    hr = opened->QueryInterface(kIidMapiProp, message.PutVoid());
    if (FAILED(hr)) {
        return hr;
    }
    if (!message) {
        return E_NOINTERFACE;
    }
    haveText = ReadRawMessageText(message.Get(), raw);
    return S_OK;
}

// The text of property array entry `index` when it carries exactly `tag`; else null.
const char16_t* PropertyText(const SPropValue* values, ULONG count, ULONG index, ULONG tag) {
    if (values == nullptr || index >= count || values[index].ulPropTag != tag) {
        return nullptr;
    }
    return U(values[index].Value.lpszW);
}

}  // namespace

bool ReadRawMessageText(IMAPIProp* message, DualString& out) {
    out.Clear();
    if (message == nullptr) {
        return false;
    }
    ComPtr<IUnknown> property;
    if (FAILED(message->OpenProperty(kRawTextTag, nullptr, 0, 0, property.Put())) || !property) {
        return false;
    }
    // No interface was named when opening, so make sure that what came back is a stream.
    ComPtr<IStream> stream;
    if (FAILED(property->QueryInterface(IID_IStream, stream.PutVoid())) || !stream) {
        return false;
    }
    property.Reset();
    STATSTG stat = {};
    if (FAILED(stream->Stat(&stat, STATFLAG_NONAME))) {
        return false;
    }
    if (stat.pwcsName != nullptr) {
        CoTaskMemFree(stat.pwcsName);  // asked for without a name; a stray one is freed
    }

    std::string collected;
    ULONG total = 0;
    ULONG got = 0;
    do {
        char buffer[kChunkBytes + 1];
        std::memset(buffer, 0, sizeof buffer);
        got = 0;
        if (FAILED(stream->Read(buffer, kChunkBytes, &got))) {
            return false;
        }
        if (got > kChunkBytes) {
            got = kChunkBytes;  // a stream that claims more than it was asked for
        }
        if (got > 0) {
            // A zero byte ends this chunk's text only; the next read goes on after it.
            collected.append(buffer, strnlen(buffer, got));
            total += got;
        }
    } while (got == kChunkBytes && total <= kReadOnWhileAtMost);

    if (!collected.empty()) {
        out.AssignMultibyte(collected);
    }
    return !out.Empty();
}

HRESULT ReplyCommand(ReplyContext& extension) {
    KeepAlive keepAlive(extension);
    ChoiceDialogUse dialogUse;
    LoadCommandSettings(extension);
    const SettingsRecord& settings = extension.Settings();

    ComPtr<IMAPIProp> message;
    DualString raw;
    bool haveText = false;
    HRESULT hr = OpenSelectedMessage(extension, message, raw, haveText);
    if (FAILED(hr)) {
        return hr;
    }
    ParsedMessage parsed;
    const std::string& rawBytes = raw.Multibyte();
    ParseMessage(parsed, rawBytes.data(), rawBytes.size());

    SizedSPropTagArray(3, tags) = {3, {kTagMessageClass, kTagSenderAddress, kTagSubject}};
    ULONG count = 0;
    MapiBuffer<SPropValue> values;
    hr = message->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), MAPI_UNICODE, &count,
                           values.Put());
    if (FAILED(hr)) {
        return hr;
    }
    // Ending without a compose request (a cancelled dialog, a stale account index) reports
    // this status.
    const HRESULT propsStatus = hr;
    const char16_t* messageClass = PropertyText(values.Get(), count, 0, kTagMessageClass);
    const char16_t* sender = PropertyText(values.Get(), count, 1, kTagSenderAddress);
    const char16_t* subjectText = PropertyText(values.Get(), count, 2, kTagSubject);

    ReplyRecipients recipients;
    DualString subject;
    const DualString nothing;
    const DualString& quoteSource = settings.quote && haveText ? parsed.body : nothing;
    DualString body;
    if (!BuildReplyRecipients(parsed, sender, settings, recipients) ||
        (subjectText != nullptr && !BuildReplySubject(subjectText, subject)) ||
        !BuildReplyBody(quoteSource, settings, body)) {
        return E_OUTOFMEMORY;
    }
    const bool haveSubject = subjectText != nullptr;
    const bool haveBody = !body.Empty();

    const std::vector<DualString>& accounts = extension.ChoiceList();
    int32_t index = settings.resAccountIndex;
    if (index < 0) {
        if (ChooseFromList(extension.Module(), IDD_CHOICE_DIALOG, IDC_CHOICE_LIST, accounts, -1,
                           nullptr) != kChoiceMade) {
            return propsStatus;
        }
        index = ChoiceDialogSelection();
    }
    if (index < 0 || static_cast<size_t>(index) >= accounts.size()) {
        return propsStatus;
    }

    if (!SemicolonSeparate(recipients.to) || !SemicolonSeparate(recipients.cc) ||
        !SemicolonSeparate(recipients.bcc)) {
        return E_OUTOFMEMORY;
    }

    MAILCOMPOSEFIELDS request = {};
    request.cbSize = sizeof request;
    request.dwFlags = MCF_ACCOUNT_IS_NAME;
    request.pszTo = W(recipients.to);
    request.pszCc = W(recipients.cc);
    request.pszBcc = W(recipients.bcc);
    request.pszSubject = haveSubject ? W(subject) : nullptr;
    request.pszBody = haveBody ? W(body) : nullptr;
    request.pszAttachments = nullptr;
    request.cAttachments = 0;
    request.pszAccount = W(accounts[static_cast<size_t>(index)]);
    request.pszMsgClass = messageClass != nullptr ? W(messageClass) : nullptr;
    return MailComposeMessage(&request);
}

}  // namespace pelmora
