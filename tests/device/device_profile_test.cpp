// The device profile's text files, entry identifiers and journal lines.
#include "device/cemapi/device_profile.h"

#include <gtest/gtest.h>

#include "tests/device/journal_reader.h"

namespace pelmora::device {
namespace {

using testing_support::JsonValue;
using testing_support::ParseJson;

TEST(StoreList, RowsKeepOrderNamesAndMissingNames) {
    static const char kList[] =
        "\xEF\xBB\xBF# table order\r\n"
        "sync|ActiveSync\r\n"
        "nameless\r\n"
        "a|\xE4\xBC\x9A\xE7\xA4\xBE\r\n"  // 会社
        "b|\xE4\xBC\x9A\xE7\xA4\xBE\n"
        "\r\n"
        "empty|\r\n"
        "bar|a|b \r\n"
        "..|dots\r\n"
        "x\\y|separator\r\n"
        "c|after\0hidden\n";
    const auto stores = ParseStoreList(std::string_view(kList, sizeof kList - 1));
    ASSERT_EQ(stores.size(), 7u);
    const struct {
        const char* folder;
        const char16_t* name;  // null: no display name
    } expected[] = {{"sync", u"ActiveSync"}, {"nameless", nullptr}, {"a", u"会社"}, {"b", u"会社"},
                    {"empty", u""},          {"bar", u"a|b "},      {"c", u"after"}};
    for (size_t i = 0; i < stores.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(stores[i].folder, expected[i].folder);
        ASSERT_EQ(stores[i].name.has_value(), expected[i].name != nullptr);
        if (expected[i].name != nullptr) {
            EXPECT_EQ(*stores[i].name, expected[i].name);
        }
    }
}

TEST(MessageProps, KnownKeysOnlyAndEmptyValuesKept) {
    const auto props = ParseMessageProps(
        "class=IPM.Note\r\nsubject=\r\nunknown=1\r\nno equals sign\r\n"
        "sender=a=b@example.jp\r\n");
    EXPECT_EQ(props.messageClass.value_or(u"?"), u"IPM.Note");
    EXPECT_EQ(props.subject.value_or(u"?"), u"");
    EXPECT_EQ(props.senderAddress.value_or(u"?"), u"a=b@example.jp");
    EXPECT_FALSE(ParseMessageProps("subject=x").messageClass.has_value());
}

TEST(Faults, StatusesCountsAndFlags) {
    const Faults f = ParseFaults(
        "logon=0x80040111\n"
        "query_rows=-2147467259\n"
        "query_rows_after=2\n"
        "stream_read_after=3\n"
        "stream_read=0x80030003\n"
        "open_entry_null=1\n"
        "get_props=bogus\n"
        "compose = 0x8007000E \n"
        "sync=0x1FFFFFFFF\n");
    EXPECT_TRUE(f.logon.set);
    EXPECT_EQ(static_cast<uint32_t>(f.logon.status), 0x80040111u);
    EXPECT_EQ(static_cast<uint32_t>(f.queryRows.status), 0x80004005u);
    EXPECT_FALSE(f.queryRows.Hits(1));
    EXPECT_TRUE(f.queryRows.Hits(2));
    EXPECT_TRUE(f.queryRows.Hits(3));
    EXPECT_EQ(f.streamRead.after, 3u);
    EXPECT_EQ(static_cast<uint32_t>(f.streamRead.status), 0x80030003u);
    EXPECT_TRUE(f.openEntryNull);
    EXPECT_FALSE(f.getProps.set);
    EXPECT_EQ(static_cast<uint32_t>(f.compose.status), 0x8007000Eu);
    EXPECT_FALSE(f.sync.set) << "a value beyond 32 bits is ignored";
    EXPECT_FALSE(f.storesTable.set);
    EXPECT_FALSE(Fault{}.Hits(0));
}

TEST(EntryId, RoundTripsAndRejectsMalformedIdentifiers) {
    const std::string id = MakeEntryId(12, "msg-01");
    EXPECT_EQ(id, "12/msg-01");
    uint32_t store = 99;
    std::string name;
    ASSERT_TRUE(
        ParseEntryId(reinterpret_cast<const unsigned char*>(id.data()), id.size(), store, name));
    EXPECT_EQ(store, 12u);
    EXPECT_EQ(name, "msg-01");

    const std::string bad[] = {"",
                               "/m",
                               "1/",
                               "x/m",
                               "1/../m",
                               "1/a\\b",
                               "1/a/b",
                               "1/..",
                               "1/a:b",
                               "1/m.",
                               "-1/m",
                               "1234567890/m",
                               std::string("1/a\0b", 5)};
    for (const std::string& b : bad) {
        SCOPED_TRACE(b);
        EXPECT_FALSE(
            ParseEntryId(reinterpret_cast<const unsigned char*>(b.data()), b.size(), store, name));
    }
    EXPECT_FALSE(ParseEntryId(nullptr, 3, store, name));
}

TEST(JsonLine, EveryCodeUnitSurvivesTheRoundTrip) {
    const std::u16string nasty = u"\"\\\r\n\t\x01\x7F 返信 \xD83D\xDE00 lone:\xD800.\xDC00";
    JsonObject o;
    o.Utf8("call", "MailComposeMessage").Text("text", nasty).Text("none", nullptr).Number("n", -5);
    const std::string line = o.Finish(true);
    ASSERT_EQ(line.back(), '\n');
    EXPECT_EQ(line.find('\n'), line.size() - 1) << "one object, one line";
    const auto v = ParseJson(line);
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(v->Text("call").value_or(u"?"), u"MailComposeMessage");
    EXPECT_EQ(v->Text("text").value_or(u"?"), nasty);
    ASSERT_NE(v->Find("none"), nullptr);
    EXPECT_TRUE(v->Find("none")->IsNull());
    EXPECT_EQ(v->Number("n").value_or(0), -5);
    EXPECT_EQ(JsonObject().Finish(), "{}");
}

}  // namespace
}  // namespace pelmora::device
