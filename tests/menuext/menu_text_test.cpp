#include "menuext/menu_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace pelmora {
namespace {

TEST(MenuText, ModesNameTheirCommands) {
    EXPECT_EQ(std::u16string(MenuTextForMode(kReadViewMode)), u"アカウントを指定して返信");
    EXPECT_EQ(std::u16string(MenuTextForMode(kListViewMode)), u"接続を指定して送受信");
    // Every mode but the read view's offers send/receive.
    EXPECT_EQ(MenuTextForMode(7), MenuTextForMode(kListViewMode));
    EXPECT_EQ(MenuTextForMode(-1), MenuTextForMode(kListViewMode));
}

TEST(BoundedTextCopy, CopiesWhenTheTerminatorFitsAndCutsOtherwise) {
    struct Case {
        size_t capacity;
        int32_t status;
        std::u16string written;
    };
    const Case cases[] = {
        {30, kCopyOk, u"接続を指定して送受信"},
        {11, kCopyOk, u"接続を指定して送受信"},  // ten characters and the terminator
        {10, kCopyInsufficientBuffer, u"接続を指定して送受"},
        {2, kCopyInsufficientBuffer, u"接"},
        {1, kCopyInsufficientBuffer, u""},
    };
    for (const Case& c : cases) {
        char16_t buffer[32];
        std::fill(std::begin(buffer), std::end(buffer), u'#');
        EXPECT_EQ(BoundedTextCopy(buffer, c.capacity, kSendReceiveMenuText), c.status)
            << c.capacity;
        EXPECT_EQ(std::u16string(buffer), c.written) << c.capacity;
        // Nothing beyond the capacity is touched.
        EXPECT_EQ(buffer[c.capacity], u'#') << c.capacity;
    }
}

TEST(BoundedTextCopy, RejectsMissingBuffersWithoutWriting) {
    char16_t buffer[4] = {u'x', u'x', u'x', u'x'};
    EXPECT_LT(BoundedTextCopy(nullptr, 30, kReplyMenuText), 0);
    EXPECT_LT(BoundedTextCopy(buffer, 0, kReplyMenuText), 0);
    EXPECT_LT(BoundedTextCopy(buffer, 4, nullptr), 0);
    EXPECT_EQ(buffer[0], u'x');
    EXPECT_EQ(BoundedTextCopy(buffer, 1, u""), kCopyOk);
    EXPECT_EQ(buffer[0], u'\0');
}

TEST(Verb, ClassifiesNullOffsetsAndAddresses) {
    EXPECT_EQ(ClassifyVerb(nullptr), VerbKind::None);
    EXPECT_EQ(ClassifyVerb(reinterpret_cast<const void*>(uintptr_t{1})), VerbKind::Offset);
    EXPECT_EQ(ClassifyVerb(reinterpret_cast<const void*>(uintptr_t{0xFFFF})), VerbKind::Offset);
    EXPECT_EQ(ClassifyVerb(reinterpret_cast<const void*>(uintptr_t{0x10000})), VerbKind::Text);
    EXPECT_EQ(ClassifyVerb(kReplyMenuText), VerbKind::Text);
}

TEST(Verb, ComparesWholeTextsIncludingTheTerminator) {
    EXPECT_TRUE(VerbEquals(u"アカウントを指定して返信", kReplyMenuText));
    EXPECT_FALSE(VerbEquals(u"アカウントを指定して返信 ", kReplyMenuText));  // longer
    EXPECT_FALSE(VerbEquals(u"アカウントを指定して返", kReplyMenuText));     // prefix
    EXPECT_FALSE(VerbEquals(kSendReceiveMenuText, kReplyMenuText));
    EXPECT_FALSE(VerbEquals(u"", kReplyMenuText));
    EXPECT_FALSE(VerbEquals(nullptr, kReplyMenuText));
}

TEST(Verb, ReadsAStringAtAnOddAddress) {
    const std::u16string text = kSendReceiveMenuText;
    alignas(4) unsigned char bytes[64] = {};
    std::memcpy(bytes + 1, text.c_str(), (text.size() + 1) * sizeof(char16_t));
    EXPECT_TRUE(VerbEquals(bytes + 1, kSendReceiveMenuText));
    EXPECT_FALSE(VerbEquals(bytes + 1, kReplyMenuText));
}

}  // namespace
}  // namespace pelmora
