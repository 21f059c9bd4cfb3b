// pelmora-parse driven as a user runs it, and its JSON text.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "tests/support/test_files.h"
#include "text/utf8.h"
#include "tools/json_text.h"

namespace pelmora {
namespace {

using testing_support::ReadBytes;
using testing_support::ScratchDir;
using testing_support::WriteBytes;

TEST(JsonString, EscapesWhatJsonRequiresAndKeepsUtf16Exact) {
    const struct {
        std::u16string in;
        const char* out;
    } cases[] = {
        {u"q\"b\\s/\r\n\t\b\f", "\"q\\\"b\\\\s/\\r\\n\\t\\b\\f\""},
        {std::u16string(u"\0\x1f\x7f", 3), "\"\\u0000\\u001f\x7f\""},
        // Lone surrogates cannot be UTF-8: they are escaped as they are.
        {std::u16string{char16_t(0xDE00), char16_t(0xD83D), char16_t(0xD83D), char16_t(0xDE00)},
         "\"\\ude00\\ud83d\xf0\x9f\x98\x80\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JsonString(c.in), c.out);
    }
}

struct ToolRun {
    int status;
    std::string out, err;
};

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return q + "'";
}

// Runs the tool with `args`, each quoted for the shell.
ToolRun RunTool(const std::vector<std::string>& args) {
    ScratchDir dir;
    std::string command = Quote(PELMORA_PARSE_TOOL);
    for (const std::string& a : args) {
        command += " " + Quote(a);
    }
    command += " >" + Quote(Utf8FromWide(dir.Path(u"out"))) + " 2>" +
               Quote(Utf8FromWide(dir.Path(u"err")));
    const int status = std::system(command.c_str());
    ToolRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, "", ""};
    ReadBytes(dir.Path(u"out"), run.out);
    ReadBytes(dir.Path(u"err"), run.err);
    return run;
}

std::string MailPath(const char* name) {
    return std::string(PELMORA_TEST_DATA_DIR) + "/mail/" + name;
}

// A file of the test's own, in a folder that lasts the whole program.
std::string Write(const char16_t* name, const std::string& bytes) {
    static const ScratchDir dir;
    EXPECT_TRUE(WriteBytes(dir.Path(name), bytes));
    return Utf8FromWide(dir.Path(name));
}

// The reply member of a successful run's output.
std::string Reply(const ToolRun& run) {
    EXPECT_EQ(run.status, 0) << run.err;
    return run.out.substr(std::min(run.out.find(",\"reply\":"), run.out.size()));
}

TEST(PelmoraParse, ReplyFollowsTheSettingsFile) {
    // CC boss@example.jp, quote mark ">", signature "-- \r\nTaro".
    const std::string ini = Write(u"Pelmora.ini",
                                  "[Pelmora]\r\nCC=Ym9zc0BleGFtcGxlLmpw\r\nRESALL=TRUE\r\n"
                                  "QUATE=TRUE\r\nQUATESTRING=Pg==\r\nSIGNATURE=LS0gDQpUYXJv\r\n");
    EXPECT_EQ(Reply(RunTool({"--reply", "--settings", ini, "--sender", "s@example.jp", "--subject",
                             "件名", MailPath("encoded_words_folded.eml")})),
              ",\"reply\":{\"to\":\"返信先 <reply@example.jp>;鈴木 <suzuki@example.jp>;佐藤 "
              "<sato@example.jp>;late@example.jp;\",\"cc\":\"boss@example.jp;cc1@example.jp;田中 "
              "<tanaka@example.jp>;\",\"bcc\":\"\",\"subject\":\"RE:件名\",\"body\":\"-- "
              "\\r\\nTaro\\n> 本文\\n> \"}}\n");
    // No settings file and no text: the defaults, no subject, no body.
    EXPECT_EQ(Reply(RunTool({"--reply", "--sender", "s@example.jp", Write(u"empty.eml", "")})),
              ",\"reply\":{\"to\":\"s@example.jp;\",\"cc\":\"\",\"bcc\":\"\",\"subject\":null,"
              "\"body\":null}}\n");
}

TEST(PelmoraParse, RejectsBadInvocationsWithOneLine) {
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
        {{PELMORA_TEST_DATA_DIR}, 1, "cannot read"},
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
