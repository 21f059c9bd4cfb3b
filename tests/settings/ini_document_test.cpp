#include "settings/ini_document.h"

#include <gtest/gtest.h>

#include "settings/ini_file.h"
#include "tests/support/test_files.h"

namespace pelmora {
namespace {

using testing_support::ReadBytes;
using testing_support::ScratchDir;
using testing_support::WriteBytes;

std::u16string Dump(const IniDocument& doc) {
    std::u16string s;
    for (const IniEntry& e : doc.Entries()) {
        s += e.key.Wide() + u"|" + e.value.Wide() + u";";
    }
    return s;
}

TEST(IniParse, TakesTheLinesAfterAnExactFirstLineHeader) {
    const struct {
        const char16_t* text;
        const char16_t* entries;
    } cases[] = {
        // Blank lines and other headers are skipped; a last line without CR LF is ignored.
        {u"[Pelmora]\r\nA=1\r\n\r\n[x]\r\nB=2\r\nC=3", u"A|1;B|2;"},
        {u"[Pelmora]\r\nX==abc=\r\n=v\r\n;comment\r\nK=\r\n", u"X|=abc=;|v;K|;"},
        {u"[pelmora]\r\nA=1\r\n", u""},
        {u"[Pelmora] \r\nA=1\r\n", u""},
        {u"\ufeff[Pelmora]\r\nA=1\r\n", u""},
        {u"[Pelmora]\nA=1\n", u""},
        {u"A=1\r\n[Pelmora]\r\nB=2\r\n", u""},  // a later header is never looked for
        {u"[Pelmora]", u""},
    };
    for (const auto& c : cases) {
        IniDocument doc;
        doc.ParseIniText(c.text, u"Pelmora");
        EXPECT_EQ(Dump(doc), c.entries) << testing::PrintToString(std::u16string(c.text));
    }
}

class IniFileTest : public ::testing::Test {
protected:
    ~IniFileTest() override { SetIniWriteHookForTesting(nullptr); }
    ScratchDir dir_;
    std::u16string path_ = dir_.Path(u"Pelmora.ini");
};

TEST_F(IniFileTest, WritesCodePageBytesAndReadsThemBack) {
    IniDocument doc;
    doc.AddValue(u"A", u"1");
    doc.AddValue(u"B", u"漢字\u00e9가");  // unmappable text becomes the default character
    ASSERT_TRUE(doc.WriteIni(u"Pelmora", path_.c_str()));
    std::string bytes;
    ASSERT_TRUE(ReadBytes(path_, bytes));
    EXPECT_EQ(bytes,
              "[Pelmora]\r\nA=1\r\nB=\x8a\xbf\x8e\x9a"
              "e?\r\n");
    IniDocument back;
    ASSERT_TRUE(back.ReadIni(u"Pelmora", path_.c_str()));
    ASSERT_TRUE(back.ReadIni(u"Pelmora", path_.c_str()));  // a second read appends
    EXPECT_EQ(Dump(back), u"A|1;B|漢字e?;A|1;B|漢字e?;");
    // Content after a NUL byte is not text.
    ASSERT_TRUE(WriteBytes(path_, std::string("[Pelmora]\r\nA=1\r\n\0B=2\r\n", 22)));
    IniDocument cut;
    ASSERT_TRUE(cut.ReadIni(u"Pelmora", path_.c_str()));
    EXPECT_EQ(Dump(cut), u"A|1;");
}

int g_failAt = 0;
int g_writes = 0;
bool FailAtChosenWrite(const std::string&) {
    return ++g_writes != g_failAt;
}

TEST_F(IniFileTest, FailedWriteKeepsTheOldFile) {
    const std::string old = "[Pelmora]\r\nQUATE=TRUE\r\n";
    ASSERT_TRUE(WriteBytes(path_, old));
    IniDocument doc;
    doc.AddValue(u"QUATE", u"FALSE");
    doc.AddValue(u"RESALL", u"TRUE");
    // A header and four pieces per entry: 9 writes.
    for (int failAt : {1, 2, 5, 9}) {
        g_failAt = failAt;
        g_writes = 0;
        SetIniWriteHookForTesting(&FailAtChosenWrite);
        EXPECT_FALSE(doc.WriteIni(u"Pelmora", path_.c_str())) << failAt;
        std::string now;
        ASSERT_TRUE(ReadBytes(path_, now));
        EXPECT_EQ(now, old) << failAt;
        EXPECT_EQ(testing_support::FilesIn(dir_.Folder()), 1) << failAt;  // nothing beside it
    }
}

}  // namespace
}  // namespace pelmora
