#include "settings/settings_record.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/ini_file.h"
#include "tests/support/test_files.h"
#include "text/format.h"

namespace pelmora {
namespace {

using testing_support::ReadBytes;
using testing_support::ScratchDir;
using testing_support::WriteBytes;

// The fields that differ from their defaults, one "name=value;" each: "" for a record
// that holds only defaults.
std::u16string Describe(const SettingsRecord& r) {
    std::u16string s;
    auto text = [&](const char16_t* name, const DualString& v) {
        if (!v.Empty()) {
            s += name + (u"=" + v.Wide()) + u";";
        }
    };
    auto flag = [&](const char16_t* name, bool v) {
        if (v) {
            s += name + std::u16string(u";");
        }
    };
    text(u"connect", r.connectName);
    if (r.resAccountIndex != -1) {
        s += u"index=" + FormatWide(u"%d", r.resAccountIndex) + u";";
    }
    text(u"cc", r.cc);
    text(u"bcc", r.bcc);
    flag(u"prio", r.prioFrom);
    flag(u"all", r.resAll);
    flag(u"allcc", r.resAllCc);
    flag(u"quote", r.quote);
    text(u"qs", r.quoteString);
    text(u"tmpl", r.resTemplate);
    text(u"sig", r.signature);
    if (r.trueText != u"TRUE" || r.falseText != u"FALSE") {
        s += u"booleans-changed;";
    }
    return s;
}

class SettingsRecordTest : public ::testing::Test {
protected:
    ~SettingsRecordTest() override { SetIniWriteHookForTesting(nullptr); }

    std::string Saved(SettingsRecord& r) {
        std::string bytes;
        EXPECT_TRUE(r.SaveSettings(path_.c_str()));
        EXPECT_TRUE(ReadBytes(path_, bytes));
        return bytes;
    }
    // Loads a file of our section with the given key lines into a fresh record.
    std::u16string LoadLines(const std::string& lines) {
        EXPECT_TRUE(WriteBytes(path_, "[Pelmora]\r\n" + lines));
        SettingsRecord r;
        EXPECT_TRUE(r.LoadSettings(path_.c_str()));
        return Describe(r);
    }

    ScratchDir dir_;
    std::u16string path_ = dir_.Path(u"Pelmora.ini");
};

const char kAllDefaults[] =
    "[Pelmora]\r\nPRIOFROM=FALSE\r\nRESALL=FALSE\r\nRESALLCC=FALSE\r\nQUATE=FALSE\r\n";

// Every key, in the order the record writes them.
const char kEveryKey[] =
    "[Pelmora]\r\n"
    "CONNECTNAME=kNqRsTE=\r\n"  // 接続1
    "RESACCOUNTINDEX=3\r\n"
    "CC=YkB4Lmpw\r\n"  // b@x.jp
    "BCC=Y0B5\r\n"     // c@y
    "PRIOFROM=TRUE\r\n"
    "RESALL=TRUE\r\n"
    "RESALLCC=TRUE\r\n"
    "QUATE=TRUE\r\n"
    "QUATESTRING=Pg==\r\n"          // >
    "RESTEMPLATE=guaC64K1gq0=\r\n"  // よろしく
    "SIGNATURE=j5CWvA==\r\n";       // 署名

TEST_F(SettingsRecordTest, SavesExactlyTheseBytes) {
    SettingsRecord defaults;
    EXPECT_EQ(Saved(defaults), kAllDefaults);

    SettingsRecord example;
    example.resAccountIndex = 0;
    example.resAll = true;
    example.quote = true;
    example.quoteString = u">";
    EXPECT_EQ(Saved(example),
              "[Pelmora]\r\nRESACCOUNTINDEX=0\r\nPRIOFROM=FALSE\r\nRESALL=TRUE\r\n"
              "RESALLCC=FALSE\r\nQUATE=TRUE\r\nQUATESTRING=Pg==\r\n");

    SettingsRecord full;
    full.connectName = u"接続1";
    full.resAccountIndex = 3;
    full.cc = u"b@x.jp";
    full.bcc = u"c@y";
    full.prioFrom = full.resAll = full.resAllCc = full.quote = true;
    full.quoteString = u">";
    full.resTemplate = u"よろしく";
    full.signature = u"署名";
    EXPECT_EQ(Saved(full), kEveryKey);
}

TEST_F(SettingsRecordTest, LoadAndSaveRoundTrips) {
    ASSERT_TRUE(WriteBytes(path_, kEveryKey));
    SettingsRecord r;
    ASSERT_TRUE(r.LoadSettings(path_.c_str()));
    EXPECT_EQ(Describe(r),
              u"connect=接続1;index=3;cc=b@x.jp;bcc=c@y;prio;all;allcc;quote;qs=>;"
              u"tmpl=よろしく;sig=署名;");
    EXPECT_EQ(Saved(r), kEveryKey);

    // Bytes the code page maps ambiguously still come back as they were stored.
    ASSERT_TRUE(WriteBytes(path_, std::string(kAllDefaults) + "RESTEMPLATE=7UA=\r\n"));
    ASSERT_TRUE(r.LoadSettings(path_.c_str()));
    EXPECT_EQ(Saved(r), std::string(kAllDefaults) + "RESTEMPLATE=7UA=\r\n");

    // Text the code page cannot represent comes back as its default character.
    SettingsRecord foreign;
    foreign.signature = u"a가b";
    foreign.cc = u"가";
    EXPECT_EQ(Saved(foreign),
              "[Pelmora]\r\nCC=Pw==\r\nPRIOFROM=FALSE\r\nRESALL=FALSE\r\n"
              "RESALLCC=FALSE\r\nQUATE=FALSE\r\nSIGNATURE=YT9i\r\n");
    ASSERT_TRUE(foreign.LoadSettings(path_.c_str()));
    EXPECT_EQ(Describe(foreign), u"cc=?;sig=a?b;");

    // Unknown keys are dropped; of duplicates the first one counts.
    ASSERT_TRUE(WriteBytes(path_,
                           "[Pelmora]\r\nEXTRA=1\r\nCC=YQ==\r\nCC=Yg==\r\n"
                           "QUATE=TRUE\r\nQUATE=FALSE\r\n"));
    ASSERT_TRUE(r.LoadSettings(path_.c_str()));
    EXPECT_EQ(Describe(r), u"cc=a;quote;");
    EXPECT_EQ(Saved(r),
              "[Pelmora]\r\nCC=YQ==\r\nPRIOFROM=FALSE\r\nRESALL=FALSE\r\n"
              "RESALLCC=FALSE\r\nQUATE=TRUE\r\n");
}

TEST_F(SettingsRecordTest, HandEditedValues) {
    const struct {
        const char* lines;
        const char16_t* loaded;
    } cases[] = {
        // Booleans: only "TRUE" exactly is true.
        {"QUATE=TRUE\r\n", u"quote;"},
        {"QUATE=true\r\nRESALL=1\r\nPRIOFROM=TRUE \r\nRESALLCC=\r\n", u""},
        // The index.
        {"RESACCOUNTINDEX=-1\r\n", u""},
        {"RESACCOUNTINDEX=two\r\n", u"index=0;"},
        {"RESACCOUNTINDEX=\r\n", u"index=0;"},
        {"RESACCOUNTINDEX= \t+12x4\r\n", u"index=12;"},
        {"RESACCOUNTINDEX=- 5\r\n", u"index=0;"},
        {"RESACCOUNTINDEX=99999999999999999999\r\n", u"index=2147483647;"},
        {"RESACCOUNTINDEX=-99999999999999999999\r\n", u"index=-2147483648;"},
        // Texts: whatever the decoder makes of them; nothing decoded keeps the raw text.
        {"CC=!!!\r\n", u"cc=!!!;"},
        {"CC===\r\n", u"cc===;"},
        {"CC=Yk B4\r\n", u"cc=b@x;"},    // characters outside the alphabet are skipped
        {"CC=YWI=Yg==\r\n", u"cc=ab;"},  // padding ends the text
        {"CC=Q\r\n", u"cc=@;"},          // a lone first character still gives a byte
        {"CC=YQBi\r\n", u"cc=a;"},       // bytes count up to the first NUL
        {"CC=AA==\r\n", u""},            // ... which may leave nothing
        {"CONNECTNAME=\r\nSIGNATURE=\r\n", u""},
        // Keys match exactly.
        {"quate=TRUE\r\n CC=YQ==\r\n", u""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LoadLines(c.lines), c.loaded) << c.lines;
    }

    // A hand-made -1 is not written back.
    ASSERT_TRUE(WriteBytes(path_, "[Pelmora]\r\nRESACCOUNTINDEX=-1\r\n"));
    SettingsRecord r;
    ASSERT_TRUE(r.LoadSettings(path_.c_str()));
    EXPECT_EQ(Saved(r), kAllDefaults);
}

TEST_F(SettingsRecordTest, FilesFromOtherTools) {
    // Another order, blank lines, comments, and another section after ours (its keys
    // still count, as nothing ends our section).
    EXPECT_EQ(LoadLines("; written by hand\r\n\r\nQUATE=TRUE\r\nSIGNATURE=j5CWvA==\r\n"
                        "RESACCOUNTINDEX=1\r\n[Other]\r\nRESALL=TRUE\r\nlast=no line end"),
              u"index=1;all;quote;sig=署名;");

    const struct {
        const char* file;  // null: no file at all
        bool read;
    } cases[] = {
        {nullptr, false},
        {"", false},
        {"[Pelmora]", true},                    // no line end at all
        {"[pelmora]\r\nQUATE=TRUE\r\n", true},  // not our header
        {"\xef\xbb\xbf[Pelmora]\r\nQUATE=TRUE\r\n", true},
        {"[Pelmora]\nQUATE=TRUE\n", true},
        {"QUATE=TRUE\r\n[Pelmora]\r\nQUATE=TRUE\r\n", true},
    };
    for (const auto& c : cases) {
        ScratchDir dir;
        const std::u16string path = dir.Path(u"Pelmora.ini");
        if (c.file != nullptr) {
            ASSERT_TRUE(WriteBytes(path, c.file));
        }
        SettingsRecord r;
        EXPECT_EQ(r.LoadSettings(path.c_str()), c.read) << (c.file ? c.file : "(none)");
        EXPECT_EQ(Describe(r), u"");
        EXPECT_TRUE(r.Entries().empty());
    }
}

TEST_F(SettingsRecordTest, ReadOnlyFileLoadsNothing) {
    ASSERT_TRUE(WriteBytes(path_, "[Pelmora]\r\nQUATE=TRUE\r\n"));
    if (!testing_support::SetReadOnly(path_, true)) {
        GTEST_SKIP() << "this file system cannot mark the file read-only for this user";
    }
    SettingsRecord r;
    EXPECT_FALSE(r.LoadSettings(path_.c_str()));
    EXPECT_EQ(Describe(r), u"");
    testing_support::SetReadOnly(path_, false);
}

TEST_F(SettingsRecordTest, EveryLoadShowsTheFileAsItIsNow) {
    SettingsRecord r;
    ASSERT_TRUE(WriteBytes(path_, kEveryKey));
    ASSERT_TRUE(r.LoadSettings(path_.c_str()));
    // The same file again: texts are not decoded a second time.
    ASSERT_TRUE(r.LoadSettings(path_.c_str()));
    EXPECT_EQ(Describe(r),
              u"connect=接続1;index=3;cc=b@x.jp;bcc=c@y;prio;all;allcc;quote;qs=>;"
              u"tmpl=よろしく;sig=署名;");
    EXPECT_EQ(r.Entries().size(), 11u);

    // Keys removed since the last load no longer count, changed ones take effect.
    ASSERT_TRUE(WriteBytes(path_, "[Pelmora]\r\nCC=Y0B5\r\nRESALL=TRUE\r\n"));
    ASSERT_TRUE(r.LoadSettings(path_.c_str()));
    EXPECT_EQ(Describe(r), u"cc=c@y;all;");

    // Fields changed in memory do not outlive a load either.
    r.trueText = u"YES";
    r.signature = u"unsaved";
    ASSERT_TRUE(r.LoadSettings(path_.c_str()));
    EXPECT_EQ(Describe(r), u"cc=c@y;all;");

    // A file that has gone, or cannot be read now, gives the defaults.
    ASSERT_TRUE(WriteBytes(path_, ""));
    EXPECT_FALSE(r.LoadSettings(path_.c_str()));
    EXPECT_EQ(Describe(r), u"");
    EXPECT_TRUE(r.Entries().empty());
}

int g_failAt = 0;
int g_writes = 0;
bool FailAtChosenWrite(const std::string&) {
    return ++g_writes != g_failAt;
}

TEST_F(SettingsRecordTest, FailedSaveKeepsThePreviousFile) {
    ASSERT_TRUE(WriteBytes(path_, kEveryKey));
    SettingsRecord r;
    r.signature = u"new";
    r.quote = true;
    // 1 header + 4 pieces for each of the 5 entries; the last write is number 21.
    for (int failAt : {1, 2, 5, 12, 21}) {
        g_failAt = failAt;
        g_writes = 0;
        SetIniWriteHookForTesting(&FailAtChosenWrite);
        EXPECT_FALSE(r.SaveSettings(path_.c_str())) << failAt;
        SetIniWriteHookForTesting(nullptr);
        std::string now;
        ASSERT_TRUE(ReadBytes(path_, now));
        EXPECT_EQ(now, kEveryKey) << failAt;
    }
    EXPECT_FALSE(r.SaveSettings(dir_.Path(u"no-such-folder/Pelmora.ini").c_str()));
    EXPECT_TRUE(r.SaveSettings(path_.c_str()));
    ASSERT_TRUE(r.LoadSettings(path_.c_str()));
    EXPECT_EQ(Describe(r), u"quote;sig=new;");
}

}  // namespace
}  // namespace pelmora
