// The device profile's text files and entry identifiers.
#include "device/cemapi/device_profile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pelmora::device {
namespace {

using namespace std::string_literals;

// Each list read as "name=value;" with "-" for a missing value.
TEST(ProfileLists, KeepOrderNamesAndMissingNames) {
    static const char kStores[] =
        "\xEF\xBB\xBF# table order\r\nsync|ActiveSync\r\nnameless\r\n"
        "a|\xE4\xBC\x9A\xE7\xA4\xBE\n\r\nempty|\r\nbar|a|b \r\n..|dots\r\n"
        "x\\y|separator\r\nc|after\0hidden\n";
    std::u16string stores, contacts;
    for (const auto& s : ParseStoreList(std::string_view(kStores, sizeof kStores - 1))) {
        stores +=
            std::u16string(s.folder.begin(), s.folder.end()) + u"=" + s.name.value_or(u"-") + u";";
    }
    EXPECT_EQ(stores, u"sync=ActiveSync;nameless=-;a=会社;empty=;bar=a|b ;c=after;");
    for (const auto& c : ParseContactList(
             "# name|address\r\n山田 花子 | hanako@example.jp\r\n佐藤|\n鈴木\n\na|b|c\n")) {
        contacts += c.name + u"=" + c.address.value_or(u"-") + u";";
    }
    EXPECT_EQ(contacts, u"山田 花子=hanako@example.jp;佐藤=;鈴木=-;a=b|c;");
}

TEST(EntryId, RoundTripsAndRejectsMalformedIdentifiers) {
    uint32_t store = 99;
    std::string name;
    auto parse = [&](const std::string& s) {
        return ParseEntryId(reinterpret_cast<const unsigned char*>(s.data()), s.size(), store,
                            name);
    };
    ASSERT_TRUE(parse(MakeEntryId(12, "msg-01")));
    EXPECT_EQ(std::make_pair(store, name), std::make_pair(12u, std::string("msg-01")));
    for (const std::string& bad :
         std::vector<std::string>{"", "/m", "1/", "x/m", "1/../m", "1/a\\b", "1/a/b", "1/a:b",
                                  "1/m.", "-1/m", "1234567890/m", "1/a\0b"s}) {
        EXPECT_FALSE(parse(bad)) << bad;
    }
    EXPECT_FALSE(ParseEntryId(nullptr, 3, store, name));
}

}  // namespace
}  // namespace pelmora::device
