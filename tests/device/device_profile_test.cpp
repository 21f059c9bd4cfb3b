// The device profile's text files, entry identifiers and journal lines.
#include "device/cemapi/device_profile.h"

#include <gtest/gtest.h>

#include "tests/device/journal_reader.h"

namespace pelmora::device {
namespace {

TEST(StoreList, RowsKeepOrderNamesAndMissingNames) {
    static const char kList[] =
        "\xEF\xBB\xBF# table order\r\n"
        "sync|ActiveSync\r\n"
        "nameless\r\n"
        "a|\xE4\xBC\x9A\xE7\xA4\xBE\n"  // 会社
        "\r\n"
        "empty|\r\n"
        "bar|a|b \r\n"
        "..|dots\r\n"
        "x\\y|separator\r\n"
        "c|after\0hidden\n";
    const auto stores = ParseStoreList(std::string_view(kList, sizeof kList - 1));
    const std::vector<std::pair<std::string, std::optional<std::u16string>>> expected = {
        {"sync", u"ActiveSync"}, {"nameless", std::nullopt}, {"a", u"会社"},
        {"empty", u""},          {"bar", u"a|b "},           {"c", u"after"}};
    ASSERT_EQ(stores.size(), expected.size());
    for (size_t i = 0; i < stores.size(); ++i) {
        EXPECT_EQ(stores[i].folder, expected[i].first);
        EXPECT_EQ(stores[i].name, expected[i].second) << i;
    }
}

TEST(ContactList, NamesWithAddressesEmptyAddressesAndNone) {
    const auto contacts = ParseContactList(
        "# name|address\r\n山田 花子 | hanako@example.jp\r\n佐藤|\n鈴木\n\na|b|c\n");
    const std::vector<std::pair<std::u16string, std::optional<std::u16string>>> expected = {
        {u"山田 花子", u"hanako@example.jp"},
        {u"佐藤", u""},
        {u"鈴木", std::nullopt},
        {u"a", u"b|c"}};
    ASSERT_EQ(contacts.size(), expected.size());
    for (size_t i = 0; i < contacts.size(); ++i) {
        EXPECT_EQ(contacts[i].name, expected[i].first) << i;
        EXPECT_EQ(contacts[i].address, expected[i].second) << i;
    }
}

TEST(EntryId, RoundTripsAndRejectsMalformedIdentifiers) {
    const std::string id = MakeEntryId(12, "msg-01");
    EXPECT_EQ(id, "12/msg-01");
    uint32_t store = 99;
    std::string name;
    auto parse = [&](const std::string& s) {
        return ParseEntryId(reinterpret_cast<const unsigned char*>(s.data()), s.size(), store,
                            name);
    };
    ASSERT_TRUE(parse(id));
    EXPECT_EQ(store, 12u);
    EXPECT_EQ(name, "msg-01");
    for (const std::string bad : {"", "/m", "1/", "x/m", "1/../m", "1/a\\b", "1/a/b", "1/a:b",
                                  "1/m.", "-1/m", "1234567890/m"}) {
        EXPECT_FALSE(parse(bad)) << bad;
    }
    EXPECT_FALSE(parse(std::string("1/a\0b", 5)));
    EXPECT_FALSE(ParseEntryId(nullptr, 3, store, name));
}

TEST(JsonLine, EveryCodeUnitSurvivesTheRoundTrip) {
    const std::u16string nasty = u"\"\\\r\n\t\x01\x7F 返信 \xD83D\xDE00 lone:\xD800.\xDC00";
    const std::string line =
        JsonObject().Text("text", nasty).Text("none", nullptr).Number("n", -5).Finish(true);
    EXPECT_EQ(line.find('\n'), line.size() - 1);
    const testing_support::JournalLine parsed{line};
    EXPECT_EQ(parsed.Text("text"), nasty);
    EXPECT_TRUE(parsed.IsNull("none"));
    EXPECT_EQ(parsed.Raw("n"), "-5");
    EXPECT_EQ(JsonObject().Finish(), "{}");
}

}  // namespace
}  // namespace pelmora::device
