#include "reply/reply_rules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace pelmora {
namespace {

TEST(ReplyRecipients, BuildsTheListsForTheComposeWindow) {
    const struct {
        const char* flags;         // p: prefer the sender, a: reply to all, c: all into Cc
        const char16_t *cc, *bcc;  // fixed in the settings
        const char16_t *sender, *replyTo, *to, *msgCc;  // no sender: the store has none
        const char16_t *wantTo, *wantCc, *wantBcc;
    } cases[] = {
        {"c", u"B", u"D, E", u"S", u"", u"T1, T2", u"X", u"S;", u"B;", u"D; E;"},   // not to all
        {"a", u"B", u"", u"S", u"", u"T1, T2", u"X", u"S;T1; T2;", u"B;X;", u""},   // all into To
        {"ac", u"B", u"", u"S", u"", u"T1, T2", u"X", u"S;", u"B;X;T1; T2;", u""},  // all into Cc
        {"", u"B", u"", u"S", u"R", u"T", u"", u"R;", u"B;", u""},                  // Reply-To wins
        {"p", u"B", u"", u"S", u"R", u"T", u"", u"S;", u"B;", u""},    // ... unless told
        {"p", u"", u"", nullptr, u"R", u"", u"", u"R;", u"", u""},     // no sender
        {"", u"", u"", nullptr, u"", u"T", u"", u"", u"", u""},        // nobody to answer
        {"p", u"", u"", u"", u"R", u"", u"", u"", u"", u""},           // empty sender
        {"a", u"B", u"", u"S", u"", u"T", u"", u"S;T;", u"B;;", u""},  // no Cc to copy
        // Empty items, semicolons and duplicates stay.
        {"a", u"", u"", u"S", u"", u"A,,B;C", u"", u"S;A;;B;C;", u"", u""},
        {"ac", u"S", u"S", u"S", u"", u"S", u"S", u"S;", u"S;S;S;", u"S;"},
    };
    for (const auto& c : cases) {
        SettingsRecord settings;
        settings.cc = c.cc;
        settings.bcc = c.bcc;
        settings.prioFrom = std::strchr(c.flags, 'p') != nullptr;
        settings.resAll = std::strchr(c.flags, 'a') != nullptr;
        settings.resAllCc = std::strchr(c.flags, 'c') != nullptr;
        ParsedMessage message;
        message.replyTo = c.replyTo;
        message.to = c.to;
        message.cc = c.msgCc;
        ReplyRecipients r;
        ASSERT_TRUE(BuildReplyRecipients(message, c.sender, settings, r));
        SemicolonSeparate(r.to);
        SemicolonSeparate(r.cc);
        SemicolonSeparate(r.bcc);
        const auto row = &c - cases;
        EXPECT_EQ(r.to.Wide(), c.wantTo) << row;
        EXPECT_EQ(r.cc.Wide(), c.wantCc) << row;
        EXPECT_EQ(r.bcc.Wide(), c.wantBcc) << row;
    }
}

// Whatever is there, an earlier prefix included; no subject leaves the output alone.
TEST(ReplySubject, PrefixesWhateverIsThere) {
    DualString out(u"unchanged");
    EXPECT_FALSE(BuildReplySubject(nullptr, out));
    EXPECT_EQ(out.Wide(), u"unchanged");
    EXPECT_TRUE(BuildReplySubject(u"RE: Hello", out));
    EXPECT_EQ(out.Wide(), u"RE:RE: Hello");
}

TEST(ReplyBody, SignatureThenQuotedLines) {
    const struct {
        const char16_t* signature;
        const char16_t* mark;
        const char16_t* source;  // empty: quoting off or nothing was read
        const char16_t* want;
    } cases[] = {
        {u"", u">", u"", u""},
        {u"S1\r\nS2", u">", u"", u"S1\r\nS2\n"},  // the signature is used as stored
        // A lone LF or CR is no line end; the last, empty piece is still prefixed.
        {u"", u"M", u"a\nb\rc\r\n\r\nd\r\n", u"M a\nb\rc\nM \nM d\nM "},
        {u"S", u">>", u"a\r\nb", u"S\n>> a\n>> b"},
        {u"S", u"", u"a\r\nb", u"S\na\r\nb"},  // no mark: the source as it is
        // A unit with a 0x0D byte (U+4E0D) is no CR; CRs without LF stay.
        {u"", u">", u"\u4E0D\r\n\r\r\n\u4E0D\r", u"> \u4E0D\n> \r\n> \u4E0D\r"},
    };
    for (const auto& c : cases) {
        SettingsRecord settings;
        settings.signature = c.signature;
        settings.quoteString = c.mark;
        DualString body(u"old");
        EXPECT_TRUE(BuildReplyBody(DualString(c.source), settings, body));
        EXPECT_EQ(body.Wide(), c.want) << "source " << testing::PrintToString(c.source);
    }
}

}  // namespace
}  // namespace pelmora
