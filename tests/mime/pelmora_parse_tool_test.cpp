// pelmora-parse driven as a user runs it, and its JSON text.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "tests/support/test_files.h"
#include "text/codecs.h"
#include "text/utf8.h"
#include "tools/json_text.h"

namespace pelmora {
namespace {

using testing_support::ScratchDir;
using testing_support::WriteBytes;

TEST(JsonString, EscapesWhatJsonRequiresAndKeepsUtf16Exact) {
    const struct {
        std::u16string in;
        const char* out;
    } cases[] = {
        {u"plain", "\"plain\""},
        {u"q\"b\\s/", "\"q\\\"b\\\\s/\""},
        {u"\r\n\t\b\f", "\"\\r\\n\\t\\b\\f\""},
        {std::u16string(u"\x01\x1f\x7f", 3), "\"\\u0001\\u001f\x7f\""},
        {std::u16string(1, u'\0'), "\"\\u0000\""},
        {u"返信", "\"\xe8\xbf\x94\xe4\xbf\xa1\""},
        {u"\U0001F600", "\"\xf0\x9f\x98\x80\""},
        {std::u16string(1, char16_t(0xD83D)), "\"\\ud83d\""},
        {std::u16string{char16_t(0xDE00), u'x'}, "\"\\ude00x\""},
        {std::u16string{char16_t(0xD83D), char16_t(0xD83D), char16_t(0xDE00)},
         "\"\\ud83d\xf0\x9f\x98\x80\""},
        {u"", "\"\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JsonString(c.in), c.out);
    }
}

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return q + "'";
}

// Runs the tool with `args` (each quoted for the shell).
ToolRun RunTool(const std::vector<std::string>& args) {
    ScratchDir dir;
    const std::string errPath = Utf8FromWide(dir.Path(u"stderr"));
    std::string command = Quote(PELMORA_PARSE_TOOL);
    for (const std::string& a : args) {
        command += " " + Quote(a);
    }
    command += " 2>" + Quote(errPath);
    ToolRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        ADD_FAILURE() << "cannot start " << command;
        return run;
    }
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        run.out.append(buffer, n);
    }
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    testing_support::ReadBytes(dir.Path(u"stderr"), run.err);
    return run;
}

std::string MailPath(const char* name) {
    return std::string(PELMORA_TEST_DATA_DIR) + "/mail/" + name;
}

TEST(PelmoraParse, ReplyFollowsTheSettingsFile) {
    ScratchDir dir;
    const std::u16string ini = dir.Path(u"Pelmora.ini");
    const std::string iniText = "[Pelmora]\r\nCC=" + Base64Encode("boss@example.jp", 15) +
                                "\r\nPRIOFROM=FALSE\r\nRESALL=TRUE\r\nRESALLCC=FALSE\r\n"
                                "QUATE=TRUE\r\nQUATESTRING=" +
                                Base64Encode(">", 1) +
                                "\r\nSIGNATURE=" + Base64Encode("-- \r\nTaro", 10) + "\r\n";
    ASSERT_TRUE(WriteBytes(ini, iniText));
    const ToolRun run =
        RunTool({"--reply", "--settings", Utf8FromWide(ini), "--sender", "s@example.jp",
                 "--subject", "件名", MailPath("encoded_words_folded.eml")});
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string reply = run.out.substr(run.out.find(",\"reply\":"));
    EXPECT_EQ(reply,
              ",\"reply\":{\"to\":\"返信先 <reply@example.jp>;鈴木 <suzuki@example.jp>;佐藤 "
              "<sato@example.jp>;late@example.jp;\",\"cc\":\"boss@example.jp;cc1@example.jp;田中 "
              "<tanaka@example.jp>;\",\"bcc\":\"\",\"subject\":\"RE:件名\",\"body\":\"-- "
              "\\r\\nTaro\\n> 本文\\n> \"}}\n");
}

TEST(PelmoraParse, ReplyWithDefaultsAndNoText) {
    ScratchDir dir;
    const std::u16string empty = dir.Path(u"empty.eml");
    ASSERT_TRUE(WriteBytes(empty, ""));
    const ToolRun run = RunTool({"--reply", "--sender", "s@example.jp", Utf8FromWide(empty)});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find(",\"reply\":{\"to\":\"s@example.jp;\",\"cc\":\"\",\"bcc\":\"\","
                           "\"subject\":null,\"body\":null}}"),
              std::string::npos)
        << run.out;
}

// A multipart message: an attachment of `attachmentBytes` bytes, then a text part.
std::string AttachmentThenText(size_t attachmentBytes) {
    return "Subject: big\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n"
           "--b\r\nContent-Type: application/octet-stream\r\n\r\n" +
           std::string(attachmentBytes, 'x') +
           "\r\n--b\r\nContent-Type: text/plain\r\n\r\nlate text\r\n--b--\r\n";
}

TEST(PelmoraParse, ReplyReadsTheMessageAsTheStoreHandsItOver) {
    ScratchDir dir;
    const std::u16string path = dir.Path(u"m.eml");
    const std::string file = Utf8FromWide(path);

    // The text part starts beyond the 32,895 bytes the reply command reads.
    ASSERT_TRUE(WriteBytes(path, AttachmentThenText(40000)));
    EXPECT_NE(RunTool({file}).out.find("\"body\":\"late text\\r\\n\""), std::string::npos);
    EXPECT_NE(RunTool({"--reply", file}).out.find("\"body\":\"\""), std::string::npos);

    // A zero byte ends the parsed text, but the store read drops only the rest of its
    // 255-byte read and goes on.
    std::string text = AttachmentThenText(600);
    text[300] = '\0';
    ASSERT_TRUE(WriteBytes(path, text));
    EXPECT_NE(RunTool({file}).out.find("\"body\":\"\""), std::string::npos);
    EXPECT_NE(RunTool({"--reply", file}).out.find("\"body\":\"late text\\r\\n\""),
              std::string::npos);
}

TEST(PelmoraParse, RejectsBadInvocationsWithOneLine) {
    ScratchDir dir;
    const std::string good = MailPath("single_html.eml");
    const struct {
        std::vector<std::string> args;
        int status;
        const char* message;
    } cases[] = {
        {{}, 2, "missing FILE"},
        {{"--bogus", good}, 2, "unknown option --bogus"},
        {{"--sender", "a", good}, 2, "need --reply"},
        {{"--reply", "--subject"}, 2, "--subject needs a value"},
        {{MailPath("no-such-file.eml")}, 1, "cannot open"},
        {{Utf8FromWide(dir.Folder())}, 1, "cannot read"},
        {{"--reply", "--settings", MailPath("no-such.ini"), good}, 1, "cannot open"},
    };
    for (const auto& c : cases) {
        const ToolRun run = RunTool(c.args);
        SCOPED_TRACE(run.err);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.rfind("pelmora-parse: ", 0), 0u);
        EXPECT_NE(run.err.find(c.message), std::string::npos);
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1);
    }
}

}  // namespace
}  // namespace pelmora
