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
    const std::u16string longest = u"\\" + std::u16string(258, u'a');
    const struct {
        std::u16string path, folder, file;
    } cases[] = {
        {u"\\Program Files\\a\\b.exe", u"\\Program Files\\a", u"b.exe"},
        {u"b.exe", u"", u"b.exe"},
        {longest, u"", longest.substr(1)},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(SplitPath(c.path.c_str(), folder, file));
        EXPECT_EQ(std::u16string(folder), c.folder);
        EXPECT_EQ(std::u16string(file), c.file);
    }
    EXPECT_FALSE(SplitPath(nullptr, folder, file));
    EXPECT_FALSE(SplitPath(std::u16string(260, u'a').c_str(), folder, file));
}

}  // namespace
}  // namespace pelmora
