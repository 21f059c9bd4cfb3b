#include "text/string_util.h"

#include <gtest/gtest.h>

namespace pelmora {
namespace {

TEST(StartsWithNoCase, FoldsAsciiOnly) {
    EXPECT_TRUE(StartsWithNoCase("Content-TYPE: x", "content-type:", 13));
    EXPECT_FALSE(StartsWithNoCase("Cont", "Content", 7));
    EXPECT_TRUE(StartsWithNoCase("ab", "AB", 5));  // both end together
    EXPECT_FALSE(StartsWithNoCase("\xc3", "\xe3", 1));
    EXPECT_TRUE(StartsWithNoCase(u"ÄBC", u"Äbc", 3));
    EXPECT_FALSE(StartsWithNoCase(u"ä", u"Ä", 1));
    EXPECT_TRUE(HasPrefixNoCase(std::string_view("MULTIPART/mixed"), "multipart"));
    EXPECT_FALSE(HasPrefixNoCase(std::string_view("multi"), "multipart"));
}

TEST(SplitPath, SplitsAtLastBackslash) {
    char16_t folder[kMaxPathChars];
    char16_t file[kMaxPathChars];
    ASSERT_TRUE(SplitPath(u"\\Program Files\\a\\b.exe", folder, file));
    EXPECT_EQ(std::u16string(folder), u"\\Program Files\\a");
    EXPECT_EQ(std::u16string(file), u"b.exe");
    ASSERT_TRUE(SplitPath(u"b.exe", folder, file));
    EXPECT_EQ(std::u16string(folder), u"");
    EXPECT_EQ(std::u16string(file), u"b.exe");
    EXPECT_FALSE(SplitPath(nullptr, folder, file));
    std::u16string tooLong(260, u'a');
    EXPECT_FALSE(SplitPath(tooLong.c_str(), folder, file));
    std::u16string longest = u"\\" + std::u16string(258, u'a');
    ASSERT_TRUE(SplitPath(longest.c_str(), folder, file));
    EXPECT_EQ(std::u16string(file).size(), 258u);
}

}  // namespace
}  // namespace pelmora
