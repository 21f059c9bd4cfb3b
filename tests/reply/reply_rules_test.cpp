#include "reply/reply_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace pelmora {
namespace {

struct RecipientCase {
    const char* what;
    // Settings.
    const char16_t* cc;
    const char16_t* bcc;
    bool prioFrom;
    bool resAll;
    bool resAllCc;
    // The message.
    const char16_t* sender;  // null: the store has no sender address
    const char16_t* replyTo;
    const char16_t* to;
    const char16_t* msgCc;
    // The lists as handed to the compose window.
    const char16_t* wantTo;
    const char16_t* wantCc;
    const char16_t* wantBcc;
};

TEST(ReplyRecipients, BuildsTheListsForTheComposeWindow) {
    const RecipientCase cases[] = {
        {"no reply-all", u"B", u"", false, false, true, u"S", u"", u"T1, T2", u"X",  //
         u"S;", u"B;", u""},
        {"reply-all into To", u"B", u"", false, true, false, u"S", u"", u"T1, T2", u"X",
         u"S;T1; T2;", u"B;X;", u""},
        {"reply-all into Cc", u"B", u"", false, true, true, u"S", u"", u"T1, T2", u"X", u"S;",
         u"B;X;T1; T2;", u""},
        {"Reply-To wins", u"B", u"", false, false, false, u"S", u"R", u"T", u"",  //
         u"R;", u"B;", u""},
        {"sender preferred", u"B", u"", true, false, false, u"S", u"R", u"T", u"",  //
         u"S;", u"B;", u""},
        {"no sender keeps Reply-To", u"", u"", true, false, false, nullptr, u"R", u"", u"", u"R;",
         u"", u""},
        {"no sender, no Reply-To", u"", u"", false, false, false, nullptr, u"", u"T", u"",  //
         u"", u"", u""},
        {"empty sender preferred", u"", u"", true, false, false, u"", u"R", u"", u"",  //
         u"", u"", u""},
        {"no fixed Cc", u"", u"", false, true, false, u"S", u"", u"T", u"X",  //
         u"S;T;", u"X;", u""},
        {"message without Cc", u"B", u"", false, true, false, u"S", u"", u"T", u"",  //
         u"S;T;", u"B;;", u""},
        {"nothing to copy", u"", u"", false, true, true, u"S", u"", u"T", u"",  //
         u"S;", u"T;", u""},
        {"empty To after an empty Reply-To", u"", u"", false, true, false, nullptr, u"", u"T", u"",
         u"T;", u"", u""},
        {"fixed Bcc", u"", u"D, E", false, false, false, u"S", u"", u"", u"",  //
         u"S;", u"", u"D; E;"},
        {"empty items stay", u"", u"", false, true, false, u"S", u"", u"A,,B", u"",  //
         u"S;A;;B;", u"", u""},
        {"semicolons stay", u"", u"", false, true, false, u"S", u"", u"A;B", u"",  //
         u"S;A;B;", u"", u""},
        {"duplicates stay", u"S", u"S", false, true, true, u"S", u"", u"S", u"S",  //
         u"S;", u"S;S;S;", u"S;"},
    };
    for (const RecipientCase& c : cases) {
        SettingsRecord settings;
        settings.cc = c.cc;
        settings.bcc = c.bcc;
        settings.prioFrom = c.prioFrom;
        settings.resAll = c.resAll;
        settings.resAllCc = c.resAllCc;
        ParsedMessage message;
        message.replyTo = c.replyTo;
        message.to = c.to;
        message.cc = c.msgCc;
        ReplyRecipients r = BuildReplyRecipients(message, c.sender, settings);
        SemicolonSeparate(r.to);
        SemicolonSeparate(r.cc);
        SemicolonSeparate(r.bcc);
        EXPECT_EQ(r.to.Wide(), c.wantTo) << c.what;
        EXPECT_EQ(r.cc.Wide(), c.wantCc) << c.what;
        EXPECT_EQ(r.bcc.Wide(), c.wantBcc) << c.what;
    }
}

TEST(ReplySubject, PrefixesWhateverIsThere) {
    const struct {
        const char16_t* subject;
        const char16_t* want;
    } cases[] = {
        {u"Hello", u"RE:Hello"},           {u"", u"RE:"},
        {u"RE: Hello", u"RE:RE: Hello"},   {u"re:x", u"RE:re:x"},
        {u"打ち合わせ", u"RE:打ち合わせ"},
    };
    for (const auto& c : cases) {
        DualString out;
        EXPECT_TRUE(BuildReplySubject(c.subject, out));
        EXPECT_EQ(out.Wide(), c.want);
    }
    DualString out(u"unchanged");
    EXPECT_FALSE(BuildReplySubject(nullptr, out));
    EXPECT_EQ(out.Wide(), u"unchanged");
}

TEST(ReplyBody, SignatureThenQuotedLines) {
    const struct {
        const char16_t* signature;
        const char16_t* mark;
        const char16_t* source;  // empty: quoting off or nothing was read
        const char16_t* want;
    } cases[] = {
        {u"", u">", u"", u""},
        {u"S", u">", u"", u"S\n"},
        {u"S1\r\nS2", u"", u"", u"S1\r\nS2\n"},  // the signature is used as stored
        {u"", u"M", u"a\r\nb", u"M a\nM b"},
        {u"", u"M", u"a\r\n", u"M a\nM "},  // the last, empty piece is still prefixed
        {u"", u"M", u"a\nb", u"M a\nb"},    // a lone LF is not a line end
        {u"", u"M", u"a\rb\r\n\r\nc", u"M a\rb\nM \nM c"},
        {u"S", u"M", u"x", u"S\nM x"},
        {u"S", u"", u"a\r\nb", u"S\na\r\nb"},  // no mark: the source as it is
        {u"", u">>", u"a\r\nb", u">> a\n>> b"},
    };
    for (const auto& c : cases) {
        SettingsRecord settings;
        settings.signature = c.signature;
        settings.quoteString = c.mark;
        DualString body(u"old");
        const bool any = BuildReplyBody(DualString(c.source), settings, body);
        EXPECT_EQ(body.Wide(), c.want) << "source " << testing::PrintToString(c.source);
        EXPECT_EQ(any, !body.Empty());
    }
}

}  // namespace
}  // namespace pelmora
