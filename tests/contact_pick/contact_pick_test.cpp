// Adding a chosen contact's address to an address box.
#include "setting_app/contact_pick.h"

#include <gtest/gtest.h>

namespace pelmora {
namespace {

TEST(AppendContactAddress, SeparatesWithSemicolonAndNeverAddsAnEmptyAddress) {
    struct Row {
        const char16_t* box;
        const char16_t* address;
        bool changed;
        const char16_t* result;  // the box afterwards
    } const rows[] = {
        {u"a", u"b", true, u"a;b"},
        {u"", u"b", true, u"b"},
        {u"a", u"", false, u"a"},
    };
    for (const Row& row : rows) {
        DualString box(row.box);
        DualString result = box;
        EXPECT_EQ(AppendContactAddress(box, DualString(row.address), result), row.changed)
            << "box |" << DualString(row.box).Multibyte() << "|";
        EXPECT_TRUE(result == row.result) << "box |" << DualString(row.box).Multibyte() << "|";
    }
}

}  // namespace
}  // namespace pelmora
