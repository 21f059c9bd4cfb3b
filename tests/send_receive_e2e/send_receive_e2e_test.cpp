// Send/receive on the emulated device, from the list view's menu item to the sync request:
// the built Pelmora.dll registered and created through COM, the sample device's destinations
// and Connection Manager keys, the picker component told by the profile how to answer. The
// registry is dumped before and after every run and must come back byte for byte.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "connections/connection_manager_win32.h"
#include "platform/owners.h"
#include "platform/wide.h"
#include "sdk/cemapi.h"
#include "tests/choice_dialog/dialog_driver.h"
#include "tests/connections/test_device.h"
#include "tests/device/device_profile_fixture.h"
#include "tests/device/pelmora_view_win32.h"
#include "tests/setting_app/settings_program_driver.h"
#include "text/utf8.h"

namespace pelmora {
namespace {

using namespace testing_support;

const char16_t kVerb[] = u"接続を指定して送受信";
const wchar_t kSnapshot[] = L"C:\\Program Files\\Pelmora\\Pelmora.routing";

std::string RegistryDump() {
    DeviceConnectionManager registry;
    return DumpKey(registry);
}

bool SnapshotLeft() {
    return GetFileAttributesW(kSnapshot) != INVALID_FILE_ATTRIBUTES;
}

// The routing a journal line records: the destination carrying the proxy entry (W: work,
// I: Internet) and the connections enabled.
std::string Routing(const JournalLine& line) {
    const std::string_view json = line.Raw("routing");
    std::string out = json.find("\"destination\": \"{8E2F4A60") != json.npos   ? "(W:"
                      : json.find("\"destination\": \"{5A1D7E20") != json.npos ? "(I:"
                                                                               : "(";
    for (const std::string name : {"ActiveSync", "mopera U", "社内無線LAN", "ダイヤルアップ"}) {
        out += json.find("\"" + name + "\", \"enabled\": 1") != json.npos ? " " + name : "";
    }
    return out + ")";
}

// The journal in short: each call, entry 3 with the routing then, the sync's request, and the
// routing the sync met when it asked for its connection.
std::string Calls(const std::vector<JournalLine>& lines) {
    std::string out;
    for (const JournalLine& line : lines) {
        const std::string call = Utf8FromWide(line.Text("call").value_or(u""));
        out += call == "NetpickEntry" ? std::string(line.Raw("entry")) +
                                            (line.Raw("entry") == "3" ? Routing(line) : "")
               : call == "MailSyncMessages" ? "sync"
               : call == "SyncConnection"   ? "connected" + Routing(line)
                                            : call;
        out += " ";
    }
    return out;
}

class SendReceiveEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        ASSERT_EQ(MAPIInitialize(nullptr), S_OK);  // as the Inbox has done
        ASSERT_EQ(Regsvr32(HostPath(PELMORA_DLL_FILE), false), 0u);
        profile_.AddMessage("inbox", "m1", "Subject: x\r\n\r\nbody\r\n", std::nullopt);
        // The sample device's destinations, and its connmgr.reg imported as the device's
        // start does (regedit reads UTF-16).
        std::string destinations, reg;
        ASSERT_TRUE(ReadBytes(HostPath(PELMORA_SAMPLE_PROFILE "/destinations.txt"), destinations));
        ASSERT_TRUE(WriteBytes(profile_.Path(u"destinations.txt"), destinations));
        ASSERT_TRUE(ReadBytes(HostPath(PELMORA_SAMPLE_PROFILE "/connmgr.reg"), reg));
        const std::u16string text = u"\xFEFF" + WideFromUtf8(reg);
        const std::u16string file = profile_.Path(u"connmgr-utf16.reg");
        ASSERT_TRUE(WriteBytes(
            file, std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2)));
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Comm\\ConnMgr");
        ASSERT_EQ(RunProcess(u"regedit /S \"" + file + u"\"").exitCode, 0u);
        DeleteFileW(kSnapshot);
        before_ = RegistryDump();
    }
    void TearDown() override {
        EXPECT_EQ(Leftovers(), "");
        DeleteFileW(kSnapshot);
        DeleteFileW(L"C:\\Program Files\\Pelmora\\PelmoraSetting.exe");
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Comm\\ConnMgr");
        MAPIUninitialize();
        CoUninitialize();
    }

    HRESULT Invoke() {
        PelmoraView view(device::InboxView::List, "m1");
        EXPECT_EQ(view.Created(), S_OK);
        return view.Invoke(kVerb);
    }

    ServerKeysGuard registry_;  // put back after everything else
    SettingsFile settings_;
    TestDeviceProfile profile_{"inbox|受信箱\r\n"};
    std::string before_;
};

struct Case {
    const char* title;
    const char16_t* connectName;
    const char* faults;
    std::optional<int> line;  // the dialog's line to pick, -1 to close it; none: no dialog
    HRESULT status;
    std::string calls;  // after the line picked in the dialog
};

// The picker loaded, its object made, `between`, then both let go.
std::string Picker(const std::string& between) {
    return "NetpickLoad CreateObjectNetpick " + between + "DeleteObjectNetpick NetpickFree ";
}

// The sync asks for its connection after its request returned, over the routing still
// switched.
const Case kCases[] = {
    {"by_name", u"社内無線LAN", "", std::nullopt, S_OK,
     Picker("3(W: mopera U 社内無線LAN) 8 sync connected(W: mopera U 社内無線LAN) ")},
    {"dialog_first_line", u"", "", 0, S_OK,
     "mopera U " + Picker("3(I: ActiveSync mopera U) 8 sync connected(I: ActiveSync mopera U) ")},
    {"dialog_cancelled", u"", "", -1, S_OK, "closed " + Picker("")},
    {"entry8_refuses", u"mopera U", "netpick_entry8=0\n", std::nullopt, S_OK,
     Picker("3(I: ActiveSync mopera U) 8 ")},
    {"picker_gives_no_object", u"社内無線LAN", "netpick_create_null=1\n", std::nullopt, S_OK,
     "NetpickLoad CreateObjectNetpick NetpickFree "},
    {"picker_object_without_table", u"社内無線LAN", "netpick_table_null=1\n", std::nullopt, S_OK,
     "NetpickLoad CreateObjectNetpick DeleteObjectNetpick NetpickFree "},
    {"sync_fails", u"社内無線LAN", "sync=0x80004005\n", std::nullopt, E_FAIL,
     Picker("3(W: mopera U 社内無線LAN) 8 ")},
};

TEST_F(SendReceiveEndToEnd, RunsEachPathAndPutsTheRegistryBack) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.title);
        profile_.SetFaults(c.faults);
        ASSERT_TRUE(settings_.WriteConnectName(c.connectName));
        const size_t journalled = profile_.Outbox().size();
        std::string dialog;
        std::vector<DialogDriver::Step> steps;
        if (c.line) {
            steps.push_back([&c, &dialog](HWND window) {
                HWND list = GetDlgItem(window, 1001);
                if (*c.line < 0) {
                    dialog = "closed ";
                    SendMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
                } else {
                    dialog = Utf8FromWide(ListLine(list, *c.line)) + " ";
                    PostDoubleClick(list, *c.line);
                }
            });
        }
        DialogDriver driver(steps);  // also fails a dialog shown unasked
        EXPECT_EQ(Invoke(), c.status);
        std::vector<JournalLine> lines = profile_.Outbox();
        lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(journalled));
        EXPECT_EQ(dialog + Calls(lines), c.calls);
        EXPECT_EQ(RegistryDump(), before_);
        EXPECT_FALSE(SnapshotLeft());
    }
}

// A command inside the picker owns its switch: the settings program started then leaves the
// switch and its snapshot alone. Killed there, the command leaves both; held unreadable, the
// snapshot blocks the next command and stays; then the next command, even one that ends at
// once for want of the picker, or the settings program's start puts the routing back.
TEST_F(SendReceiveEndToEnd, ASwitchLeftByAKilledCommandIsUndoneByTheNextStartOnly) {
    ASSERT_TRUE(settings_.WriteConnectName(u"社内無線LAN"));
    auto startSettingsProgram = [] {
        SettingsProgram program(u"C:\\Program Files\\Pelmora");
        ASSERT_NE(program.Window(), nullptr);
        PostMessageW(program.Window(), WM_CLOSE, 0, 0);
        EXPECT_EQ(program.WaitForExit(), 0u);
    };
    for (const bool bySettingsProgram : {false, true}) {
        SCOPED_TRACE(bySettingsProgram ? "settings program" : "next command");
        profile_.SetFaults("netpick_hold=1\n");
        KernelHandle inside(CreateEventW(nullptr, TRUE, FALSE, L"Pelmora.Test.InsidePicker"));
        std::wstring command(W((u"\"" + HostPath(PELMORA_INBOX_EXE) +
                                u"\" --view list --store 0 --message m1 --item " + kVerb)
                                   .c_str()));
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &startup, &info));
        KernelHandle process(info.hProcess), thread(info.hThread);
        ASSERT_EQ(WaitForSingleObject(inside.Get(), 30000), WAIT_OBJECT_0)
            << "no command in the picker";
        const std::string switched = RegistryDump();
        EXPECT_NE(switched, before_);
        startSettingsProgram();
        EXPECT_EQ(RegistryDump(), switched);
        EXPECT_TRUE(SnapshotLeft());
        ASSERT_TRUE(TerminateProcess(process.Get(), 3));
        ASSERT_EQ(WaitForSingleObject(process.Get(), 30000), WAIT_OBJECT_0) << "command not ended";
        {
            FileHandle held(CreateFileW(kSnapshot, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
            ASSERT_TRUE(held);
            profile_.SetFaults("");
            EXPECT_EQ(Invoke(), E_FAIL);
            EXPECT_TRUE(SnapshotLeft());
        }
        if (bySettingsProgram) {
            startSettingsProgram();
        } else {
            profile_.SetFaults("netpick_missing=1\n");
            EXPECT_EQ(Invoke(), S_OK);
        }
        EXPECT_EQ(RegistryDump(), before_);
        EXPECT_FALSE(SnapshotLeft());
    }
}

}  // namespace
}  // namespace pelmora
