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
        s += e.key.Wide() + u"=" + e.value.Wide() + u";";
    }
    return s;
}

std::u16string Parse(std::u16string_view text, std::u16string_view section = u"Pelmora") {
    IniDocument doc;
    doc.ParseIniText(text, section);
    return Dump(doc);
}

TEST(IniParse, TakesLinesOfTheFirstLineSection) {
    // Blank lines and other headers are skipped; a last line without CR LF is ignored.
    EXPECT_EQ(Parse(u"[Pelmora]\r\nA=1\r\n\r\n[x]\r\nB=2\r\nC=3"), u"A=1;B=2;");
    EXPECT_EQ(Parse(u"[Pelmora]\r\nX==abc=\r\n=v\r\n;comment\r\nK=\r\n"), u"X==abc=;=v;K=;");
}

TEST(IniParse, OnlyAnExactFirstLineIsTheHeader) {
    const std::u16string_view notOurs[] = {
        u"[pelmora]\r\nA=1\r\n",        // letter case
        u"[Pelmora] \r\nA=1\r\n",       // blank after the bracket
        u"\r\n[Pelmora]\r\nA=1\r\n",    // empty first line
        u"\ufeff[Pelmora]\r\nA=1\r\n",  // byte-order mark
        u"[Pelmora]\nA=1\n",            // LF line ends
        u"[\r\nA=1\r\n",
        u"A=1\r\n[Pelmora]\r\nB=2\r\n",  // a later header is never looked for
        u"[Pelmora]",                   // no CR LF at all
    };
    for (std::u16string_view text : notOurs) {
        EXPECT_EQ(Parse(text), u"");
    }
    EXPECT_EQ(Parse(u"[]\r\nA=1\r\n", u""), u"A=1;");
}

TEST(IniDocument, LookupAndAdd) {
    IniDocument doc;
    doc.ParseIniText(u"[S]\r\nK=first\r\nK=second\r\n=hidden\r\n", u"S");
    DualString v(u"unchanged");
    EXPECT_TRUE(doc.GetValue(u"K", v));
    EXPECT_EQ(v.Wide(), u"first");
    v = u"unchanged";
    EXPECT_FALSE(doc.GetValue(u"k", v));
    EXPECT_FALSE(doc.GetValue(u"", v));
    EXPECT_FALSE(doc.GetValue(nullptr, v));
    EXPECT_EQ(v.Wide(), u"unchanged");
    EXPECT_FALSE(doc.AddValue(u"", u"x"));
    EXPECT_FALSE(doc.AddValue(nullptr, u"x"));
    EXPECT_FALSE(doc.AddValue(u"N", nullptr));
    EXPECT_TRUE(doc.AddValue(u"N", u""));
    EXPECT_TRUE(doc.AddValue(u"K", u"third"));  // appended, not replaced
    EXPECT_EQ(Dump(doc), u"K=first;K=second;=hidden;N=;K=third;");
    doc.Clear();
    EXPECT_TRUE(doc.Entries().empty());
}

TEST(IniFormat, WritesHeaderAndOneLinePerEntry) {
    IniDocument doc;
    std::string all;
    for (const std::string& piece : doc.FormatIniPieces(u"S")) {
        all += piece;
    }
    EXPECT_EQ(all, "[S]\r\n");
    doc.AddValue(u"A", u"1");
    doc.AddValue(u"B", u"あ\u00e9가");  // unmappable text becomes the default character
    const std::vector<std::string> pieces = doc.FormatIniPieces(u"Pelmora");
    const std::vector<std::string> expected = {"[Pelmora]\r\n", "A", "=", "1", "\r\n",
                                               "B", "=", "\x82\xa0" "e?", "\r\n"};
    EXPECT_EQ(pieces, expected);
    EXPECT_EQ(doc.FormatIniPieces(u"").front(), "A");
}

class IniFileTest : public ::testing::Test {
protected:
    ~IniFileTest() override { SetIniWriteHookForTesting(nullptr); }
    ScratchDir dir_;
    std::u16string path_ = dir_.Path(u"Pelmora.ini");
};

TEST_F(IniFileTest, ReadsWhatItWroteByteForByte) {
    IniDocument doc;
    doc.AddValue(u"A", u"1");
    doc.AddValue(u"B", u"漢字");
    ASSERT_TRUE(doc.WriteIni(u"Pelmora", path_.c_str()));
    std::string bytes;
    ASSERT_TRUE(ReadBytes(path_, bytes));
    EXPECT_EQ(bytes, "[Pelmora]\r\nA=1\r\nB=\x8a\xbf\x8e\x9a\r\n");
    IniDocument back;
    ASSERT_TRUE(back.ReadIni(u"Pelmora", path_.c_str()));
    EXPECT_EQ(Dump(back), u"A=1;B=漢字;");
    ASSERT_TRUE(back.ReadIni(u"Pelmora", path_.c_str()));  // a second read appends
    EXPECT_EQ(Dump(back), u"A=1;B=漢字;A=1;B=漢字;");
}

TEST_F(IniFileTest, UnavailableFilesReadAsFalse) {
    IniDocument doc;
    EXPECT_FALSE(doc.ReadIni(u"Pelmora", path_.c_str()));  // missing
    ASSERT_TRUE(WriteBytes(path_, ""));
    EXPECT_FALSE(doc.ReadIni(u"Pelmora", path_.c_str()));  // empty
    EXPECT_FALSE(doc.ReadIni(nullptr, path_.c_str()));
    EXPECT_FALSE(doc.ReadIni(u"Pelmora", nullptr));
    EXPECT_TRUE(doc.Entries().empty());
    // Content after a NUL byte is not text.
    ASSERT_TRUE(WriteBytes(path_, std::string("[Pelmora]\r\nA=1\r\n\0B=2\r\n", 22)));
    EXPECT_TRUE(doc.ReadIni(u"Pelmora", path_.c_str()));
    EXPECT_EQ(Dump(doc), u"A=1;");
}

TEST_F(IniFileTest, ReadOnlyFileReadsAsFalse) {
    ASSERT_TRUE(WriteBytes(path_, "[Pelmora]\r\nA=1\r\n"));
    if (!testing_support::SetReadOnly(path_, true)) {
        GTEST_SKIP() << "this file system cannot mark the file read-only for this user";
    }
    IniDocument doc;
    EXPECT_FALSE(doc.ReadIni(u"Pelmora", path_.c_str()));
    EXPECT_TRUE(doc.Entries().empty());
    testing_support::SetReadOnly(path_, false);
}

bool FailOnThirdWrite(const std::string&) {
    static int calls = 0;
    return ++calls % 3 != 0;
}

TEST_F(IniFileTest, FailedWriteKeepsTheOldFile) {
    const std::string old = "[Pelmora]\r\nQUATE=TRUE\r\n";
    ASSERT_TRUE(WriteBytes(path_, old));
    IniDocument doc;
    doc.AddValue(u"QUATE", u"FALSE");
    doc.AddValue(u"RESALL", u"TRUE");
    SetIniWriteHookForTesting(&FailOnThirdWrite);
    EXPECT_FALSE(doc.WriteIni(u"Pelmora", path_.c_str()));
    std::string now;
    ASSERT_TRUE(ReadBytes(path_, now));
    EXPECT_EQ(now, old);
    SetIniWriteHookForTesting(nullptr);
    // Nothing is left behind but the settings file itself.
    EXPECT_TRUE(doc.WriteIni(u"Pelmora", path_.c_str()));
    ASSERT_TRUE(ReadBytes(path_, now));
    EXPECT_EQ(now, "[Pelmora]\r\nQUATE=FALSE\r\nRESALL=TRUE\r\n");
    EXPECT_FALSE(doc.WriteIni(u"Pelmora", nullptr));
    EXPECT_FALSE(doc.WriteIni(u"Pelmora", dir_.Path(u"no-such-folder/x.ini").c_str()));
}

}  // namespace
}  // namespace pelmora
