// The file replace stopped at each of its steps, by a failing call and by the end of the
// process: the old content stays readable, and the next replace goes through.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/file_replace_win32.h"
#include "platform/wide.h"
#include "platform/owners.h"
#include "tests/device/device_profile_fixture.h"

namespace pelmora {
namespace {

using testing_support::FilesIn;
using testing_support::ScratchDir;
using testing_support::WriteBytes;

constexpr DWORD kKilledCode = 77;
const wchar_t kChildVariable[] = L"PELMORA_REPLACE_CHILD";

unsigned g_failing = 0;  // bit per step
int g_killAt = -1;

unsigned Bit(ReplaceStep step) {
    return 1u << static_cast<int>(step);
}

bool Hook(ReplaceStep step) {
    if (static_cast<int>(step) == g_killAt) {
        TerminateProcess(GetCurrentProcess(), kKilledCode);
    }
    return (g_failing & Bit(step)) == 0;
}

bool Replace(const std::u16string& path, const std::string& bytes) {
    return ReplaceFileSafely(W(path.c_str()), bytes.data(), bytes.size());
}

// What a reader gets: the file, or the copy a replace kept.
std::string Read(const std::u16string& path) {
    FileHandle file(OpenReplacedFile(W(path.c_str()), GENERIC_READ, FILE_SHARE_READ));
    char buffer[256];
    DWORD got = 0;
    if (!file) {
        return "<none>";
    }
    return ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr) ? std::string(buffer, got)
                                                                      : "<unreadable>";
}

// Run only as a child of the test below: replaces the file with "new", failing the steps
// given and ending itself at the step given.
TEST(FileReplace, DISABLED_ChildReplaces) {
    wchar_t value[1024] = {};
    ASSERT_NE(GetEnvironmentVariableW(kChildVariable, value, 1024), 0u);
    wchar_t* rest = nullptr;
    g_failing = wcstoul(value, &rest, 10);
    g_killAt = static_cast<int>(wcstol(rest + 1, &rest, 10));
    SetReplaceStepHookForTesting(Hook);
    Replace(U(rest + 1), "new");
}

using S = ReplaceStep;

TEST(FileReplace, StoppedAtAnyStepTheOldContentStaysReadable) {
    const struct {
        const char* what;
        unsigned failing;  // steps failing in turn
        S stop;            // the step failed (or the process ended there)
        bool staleKept;    // a kept copy left beside the file by an earlier replace
        bool replaced;     // the new content is in place
    } rows[] = {
        {"writing the new file", 0, S::kWriteSide, false, false},
        {"flushing it", 0, S::kFlushSide, false, false},
        {"dropping a stale kept copy", 0, S::kDropStale, true, false},
        {"setting the old file aside", 0, S::kSetAside, false, false},
        {"moving the new file in", 0, S::kMoveIn, false, false},
        {"putting the old file back after a failed move-in", Bit(S::kMoveIn), S::kPutBack, false,
         false},
        {"dropping the kept copy", 0, S::kDropKept, false, true},
    };
    for (const auto& row : rows) {
        for (bool kill : {false, true}) {
            SCOPED_TRACE(std::string(row.what) + (kill ? ", process ended" : ", call failed"));
            ScratchDir dir;
            const std::u16string file = dir.Path(u"a.ini");
            ASSERT_TRUE(WriteBytes(file, "old"));
            if (row.staleKept) {
                ASSERT_TRUE(WriteBytes(file + u".old", "stale"));
            }
            const unsigned failing = row.failing | (kill ? 0 : Bit(row.stop));
            if (kill) {
                const std::wstring value = std::to_wstring(failing) + L"|" +
                                           std::to_wstring(static_cast<int>(row.stop)) + L"|" +
                                           W(file.c_str());
                SetEnvironmentVariableW(kChildVariable, value.c_str());
                EXPECT_EQ(
                    testing_support::RunTestInChild(u"FileReplace.DISABLED_ChildReplaces").exitCode,
                    kKilledCode);
            } else {
                g_failing = failing;
                SetReplaceStepHookForTesting(Hook);
                EXPECT_EQ(Replace(file, "new"), row.replaced);
                SetReplaceStepHookForTesting(nullptr);
            }
            EXPECT_EQ(Read(file), row.replaced ? "new" : "old");
            // A failed move-in puts the file itself back; only a kill there leaves it aside.
            EXPECT_EQ(GetFileAttributesW(W(file.c_str())) != INVALID_FILE_ATTRIBUTES,
                      row.stop != S::kPutBack && !(kill && row.stop == S::kMoveIn));
            // The next replace goes through and leaves the file alone in its folder.
            EXPECT_TRUE(Replace(file, "next"));
            EXPECT_EQ(Read(file), "next");
            EXPECT_EQ(FilesIn(dir.Folder()), 1);
        }
    }

    // Removing takes the kept copy along: no older content comes back.
    ScratchDir dir;
    const std::u16string file = dir.Path(u"a.ini");
    ASSERT_TRUE(WriteBytes(file, "old"));
    g_failing = Bit(S::kMoveIn) | Bit(S::kPutBack);
    SetReplaceStepHookForTesting(Hook);
    EXPECT_FALSE(Replace(file, "new"));
    SetReplaceStepHookForTesting(nullptr);
    EXPECT_EQ(Read(file), "old");
    EXPECT_TRUE(RemoveReplacedFile(W(file.c_str())));
    EXPECT_EQ(Read(file), "<none>");
    EXPECT_EQ(FilesIn(dir.Folder()), 0);
}

}  // namespace
}  // namespace pelmora
