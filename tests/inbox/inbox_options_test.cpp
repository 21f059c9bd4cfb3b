#include "device/inbox/inbox_options.h"

#include <gtest/gtest.h>

namespace pelmora::device {
namespace {

TEST(InboxOptions, ParsesADrivenRun) {
    InboxOptions o;
    std::u16string error;
    ASSERT_TRUE(ParseInboxOptions(
        {u"--profile", u"C:\\p", u"--view", u"list", u"--store", u"1", u"--message", u"m1",
         u"--item", u"接続を指定して送受信", u"--verb-offset", u"3", u"--unaligned", u"--selection",
         u"null-item", u"--site", u"cleared"},
        o, error))
        << std::string(error.begin(), error.end());
    EXPECT_EQ(o.profile, u"C:\\p");
    EXPECT_EQ(o.view, InboxView::List);
    EXPECT_EQ(o.store, u"1");
    EXPECT_EQ(o.message, u"m1");
    EXPECT_TRUE(o.pickByText);
    EXPECT_EQ(o.itemText, u"接続を指定して送受信");
    EXPECT_EQ(o.verbForm, VerbForm::Offset);
    EXPECT_EQ(o.verbOffset, 3u);
    EXPECT_TRUE(o.unaligned);
    EXPECT_EQ(o.selection, SelectionShape::NullItem);
    EXPECT_EQ(o.site, SiteUse::Cleared);

    // The last pick wins; defaults otherwise.
    ASSERT_TRUE(ParseInboxOptions({u"--item", u"x", u"--item-index", u"2"}, o, error));
    EXPECT_FALSE(o.pickByText);
    EXPECT_EQ(o.itemIndex, 2);
    EXPECT_EQ(o.view, InboxView::Read);
    EXPECT_EQ(o.verbForm, VerbForm::ItemText);
}

TEST(InboxOptions, RejectsBadArguments) {
    const std::vector<std::vector<std::u16string>> bad = {
        {u"--view"},
        {u"--view", u"compose"},
        {u"--item-index", u"-1"},
        {u"--item-index", u"1x"},
        {u"--verb-offset", u"0"},
        {u"--verb-offset", u"65536"},
        {u"--selection", u"message2"},
        {u"--site", u""},
        {u"--bogus"},
        {u"--item-index", u"1234567890"},
    };
    for (const auto& args : bad) {
        InboxOptions o;
        std::u16string error;
        EXPECT_FALSE(ParseInboxOptions(args, o, error))
            << std::string(args[0].begin(), args[0].end());
        EXPECT_FALSE(error.empty());
    }
}

TEST(InboxOptions, MessageNamesComeFromRawTextAndPropertyFiles) {
    std::u16string name;
    EXPECT_TRUE(MessageNameFromFile(u"m1.eml", name));
    EXPECT_EQ(name, u"m1");
    EXPECT_TRUE(MessageNameFromFile(u"a.b.props", name));
    EXPECT_EQ(name, u"a.b");
    EXPECT_FALSE(MessageNameFromFile(u".eml", name));
    EXPECT_FALSE(MessageNameFromFile(u"m1.txt", name));
    EXPECT_FALSE(MessageNameFromFile(u"m1.eml.bak", name));
}

}  // namespace
}  // namespace pelmora::device
