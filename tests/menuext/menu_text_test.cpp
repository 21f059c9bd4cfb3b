#include "menuext/menu_text.h"

#include <gtest/gtest.h>

#include <string>

namespace pelmora {
namespace {

TEST(BoundedTextCopy, CopiesWhenTheTerminatorFitsAndCutsOtherwise) {
    const struct {
        size_t capacity;
        int32_t status;
        std::u16string written;
    } cases[] = {
        {11, kCopyOk, u"接続を指定して送受信"},  // ten characters and the terminator
        {10, kCopyInsufficientBuffer, u"接続を指定して送受"},
        {1, kCopyInsufficientBuffer, u""},
    };
    for (const auto& c : cases) {
        char16_t buffer[32];
        std::fill(std::begin(buffer), std::end(buffer), u'#');
        EXPECT_EQ(BoundedTextCopy(buffer, c.capacity, MenuTextForMode(kListViewMode)), c.status);
        EXPECT_EQ(std::u16string(buffer), c.written);
        EXPECT_EQ(buffer[c.capacity], u'#') << c.capacity;  // nothing written past the end
    }
    EXPECT_LT(BoundedTextCopy(nullptr, 30, kReplyMenuText), 0);
}

}  // namespace
}  // namespace pelmora
