// The Pelmora extension on the emulated device as the Inbox uses it: the settings file at its
// fixed place on the device's C: drive, and one view's menu over a selected message with
// Pelmora's item invoked.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "device/inbox/inbox_host_win32.h"
#include "platform/wide.h"
#include "tests/support/test_files.h"
#include "text/codecs.h"
#include "text/dual_string.h"

namespace pelmora::testing_support {

// Owns \Program Files\Pelmora\Pelmora.ini on the device's C: drive while it lives, and puts
// back what was there.
class SettingsFile {
public:
    SettingsFile() {
        std::string bytes;
        if (ReadBytes(kPath, bytes)) {
            previous_ = bytes;
        }
        createdFolder_ = CreateDirectoryW(L"C:\\Program Files\\Pelmora", nullptr) != FALSE;
    }
    ~SettingsFile() {
        Remove();
        if (previous_) {
            WriteBytes(kPath, *previous_);
        }
        if (createdFolder_) {
            RemoveDirectoryW(L"C:\\Program Files\\Pelmora");
        }
    }
    // As the settings program stores them: texts as base64 of their ANSI bytes, booleans as
    // TRUE/FALSE, lines ended by CR LF. No account index: none written.
    bool Write(std::optional<int32_t> accountIndex, bool quote = false,
               const std::u16string& quoteString = u"", const std::u16string& signature = u"",
               const std::u16string& cc = u"", const std::u16string& bcc = u"") {
        auto text = Entry;
        std::string file = "[Pelmora]\r\n";
        if (accountIndex) {
            file += "RESACCOUNTINDEX=" + std::to_string(*accountIndex) + "\r\n";
        }
        file += text("CC", cc) + text("BCC", bcc) +
                "PRIOFROM=FALSE\r\nRESALL=FALSE\r\nRESALLCC=FALSE\r\nQUATE=" +
                (quote ? "TRUE\r\n" : "FALSE\r\n") + text("QUATESTRING", quoteString) +
                text("SIGNATURE", signature);
        return WriteBytes(kPath, file);
    }
    // Only the connection to send and receive over.
    bool WriteConnectName(const std::u16string& name) {
        return WriteBytes(kPath, "[Pelmora]\r\n" + Entry("CONNECTNAME", name));
    }
    void Remove() { DeleteFileW(W(kPath.c_str())); }

private:
    static std::string Entry(const char* key, const std::u16string& value) {
        const std::string bytes = ToMultibyte(value);
        return value.empty() ? std::string()
                             : key + ("=" + Base64Encode(bytes.data(), bytes.size())) + "\r\n";
    }

    const std::u16string kPath = u"C:\\Program Files\\Pelmora\\Pelmora.ini";
    std::optional<std::string> previous_;
    bool createdFolder_ = false;
};

// The Inbox's view over one selected message of the first store, its menu built from every
// registered extension of the view. Invoke runs Pelmora's item with C: as the current drive:
// on the device, a path without a drive starts at its root.
class PelmoraView {
public:
    PelmoraView(device::InboxView view, const std::string& message);
    ~PelmoraView();
    PelmoraView(const PelmoraView&) = delete;
    PelmoraView& operator=(const PelmoraView&) = delete;

    HRESULT Created() const { return pelmora_ != nullptr ? pelmora_->created : E_FAIL; }
    HRESULT Invoke(const char16_t* verb);

private:
    std::vector<device::LoadedExtension> extensions_;
    ComPtr<device::InboxSite> site_;
    HMENU menu_ = CreatePopupMenu();
    device::LoadedExtension* pelmora_ = nullptr;
};

}  // namespace pelmora::testing_support
