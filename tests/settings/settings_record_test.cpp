#include "settings/settings_record.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_files.h"
#include "text/format.h"

namespace pelmora {
namespace {

using testing_support::ReadBytes;
using testing_support::ScratchDir;
using testing_support::WriteBytes;

// Every field as "connect|index|cc|bcc|prio all allcc quote|qs|tmpl|sig".
std::u16string Describe(const SettingsRecord& r) {
    const bool booleansChanged = r.trueText != u"TRUE" || r.falseText != u"FALSE";
    return r.connectName.Wide() + FormatWide(u"|%d|", r.resAccountIndex) + r.cc.Wide() + u"|" +
           r.bcc.Wide() + FormatWide(u"|%d%d%d%d|", r.prioFrom, r.resAll, r.resAllCc, r.quote) +
           r.quoteString.Wide() + u"|" + r.resTemplate.Wide() + u"|" + r.signature.Wide() +
           (booleansChanged ? u"|booleans changed" : u"");
}

const char16_t kDefaults[] = u"|-1|||0000|||";

const char kAllDefaults[] =
    "[Pelmora]\r\nPRIOFROM=FALSE\r\nRESALL=FALSE\r\nRESALLCC=FALSE\r\nQUATE=FALSE\r\n";

// Every key, in the order the record writes them.
const char kEveryKey[] =
    "[Pelmora]\r\nCONNECTNAME=kNqRsTE=\r\nRESACCOUNTINDEX=3\r\nCC=YkB4Lmpw\r\nBCC=Y0B5\r\n"
    "PRIOFROM=TRUE\r\nRESALL=TRUE\r\nRESALLCC=TRUE\r\nQUATE=TRUE\r\nQUATESTRING=Pg==\r\n"
    "RESTEMPLATE=guaC64K1gq0=\r\nSIGNATURE=j5CWvA==\r\n";
const char16_t kEveryKeyLoaded[] = u"接続1|3|b@x.jp|c@y|1111|>|よろしく|署名";

class SettingsRecordTest : public ::testing::Test {
protected:
    std::string Bytes() {
        std::string bytes;
        EXPECT_TRUE(ReadBytes(path_, bytes));
        return bytes;
    }
    std::string Saved(SettingsRecord& r) {
        EXPECT_TRUE(r.SaveSettings(path_.c_str()));
        return Bytes();
    }
    std::u16string Load(SettingsRecord& r, const std::string& file) {
        EXPECT_TRUE(WriteBytes(path_, file));
        EXPECT_TRUE(r.LoadSettings(path_.c_str()));
        return Describe(r);
    }

    ScratchDir dir_;
    std::u16string path_ = dir_.Path(u"Pelmora.ini");
};

TEST_F(SettingsRecordTest, LoadAndSaveRoundTrips) {
    SettingsRecord r;
    Load(r, kEveryKey);
    // The same file again: texts are not decoded a second time.
    EXPECT_EQ(Load(r, kEveryKey), kEveryKeyLoaded);
    EXPECT_EQ(Saved(r), kEveryKey);
    // Bytes the code page maps ambiguously still come back as they were stored.
    const std::string ambiguous = std::string(kAllDefaults) + "RESTEMPLATE=7UA=\r\n";
    Load(r, ambiguous);
    EXPECT_EQ(Saved(r), ambiguous);
    // Unknown keys are dropped; of duplicates the first one counts.
    EXPECT_EQ(
        Load(r, "[Pelmora]\r\nEXTRA=1\r\nCC=YQ==\r\nCC=Yg==\r\nQUATE=TRUE\r\nQUATE=FALSE\r\n"),
        u"|-1|a||0001|||");
    EXPECT_EQ(Saved(r),
              "[Pelmora]\r\nCC=YQ==\r\nPRIOFROM=FALSE\r\nRESALL=FALSE\r\nRESALLCC=FALSE\r\n"
              "QUATE=TRUE\r\n");
}

TEST_F(SettingsRecordTest, HandEditedFiles) {
    const struct {
        const char* lines;
        const char16_t* loaded;
    } cases[] = {
        // Only "TRUE" exactly is true.
        {"QUATE=true\r\nRESALL=1\r\nPRIOFROM=TRUE \r\nRESALLCC=\r\n", kDefaults},
        {"RESACCOUNTINDEX= \t+12x4\r\n", u"|12|||0000|||"},
        {"RESACCOUNTINDEX=-99999999999999999999\r\n", u"|-2147483648|||0000|||"},
        // Texts: whatever the decoder makes of them; nothing decoded keeps the raw text.
        {"CC=!!!\r\n", u"|-1|!!!||0000|||"},
        {"CC=Yk B4\r\nBCC=YQBi\r\n", u"|-1|b@x|a|0000|||"},  // skipped blank, cut at NUL
        // Keys match exactly.
        {"quate=TRUE\r\n CC=YQ==\r\n", kDefaults},
        // Another order, blank lines, comments, and another section after ours (its keys
        // still count, as nothing ends our section).
        {"; by hand\r\n\r\nQUATE=TRUE\r\nSIGNATURE=j5CWvA==\r\nRESACCOUNTINDEX=1\r\n[Other]\r\n"
         "RESALL=TRUE\r\nlast=no line end",
         u"|1|||0101|||署名"},
    };
    // One record for all: each load shows only its own file, whatever was in memory.
    SettingsRecord r;
    for (const auto& c : cases) {
        r.trueText = u"YES";
        EXPECT_EQ(Load(r, std::string("[Pelmora]\r\n") + c.lines), c.loaded) << c.lines;
    }
}

// An empty, a missing and (where the file system can mark it so) a read-only file load
// nothing, whatever was loaded before.
TEST_F(SettingsRecordTest, UnreadableFilesGiveTheDefaults) {
    SettingsRecord r;
    for (const std::string file : {"empty", "missing", "read-only"}) {
        Load(r, kEveryKey);
        std::u16string path = path_;
        if (file == "empty") {
            ASSERT_TRUE(WriteBytes(path_, ""));
        } else if (file == "missing") {
            path = dir_.Path(u"missing.ini");
        } else if (!testing_support::SetReadOnly(path_, true)) {
            GTEST_SKIP() << "this file system cannot mark the file read-only for this user";
        }
        EXPECT_FALSE(r.LoadSettings(path.c_str())) << file;
        EXPECT_EQ(Describe(r), kDefaults) << file;
        EXPECT_TRUE(r.Entries().empty()) << file;
    }
    testing_support::SetReadOnly(path_, false);
}

}  // namespace
}  // namespace pelmora
