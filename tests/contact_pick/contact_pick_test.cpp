// The advanced sheet's portable rules: a chosen contact's address added to an address box,
// the quote page's controls over the record.
#include "setting_app/contact_pick.h"
#include "setting_app/quote_fields.h"

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
        {u"a;b", u"山田@example.jp", true, u"a;b;山田@example.jp"},
        {u"a", u"", false, u"a"},
        {u"", u"", false, u""},
    };
    for (const Row& row : rows) {
        DualString box(row.box);
        DualString result = box;
        EXPECT_EQ(AppendContactAddress(box, DualString(row.address), result), row.changed)
            << "box |" << DualString(row.box).Multibyte() << "|";
        EXPECT_TRUE(result == row.result) << "box |" << DualString(row.box).Multibyte() << "|";
    }
}

// The prefix shows and is stored only while quoting is on; with quoting off the stored one
// is kept whatever the box holds.
TEST(QuoteControls, PrefixOnlyWhileQuoting) {
    struct Row {
        bool quote;           // at load, then as saved
        const char16_t* box;  // the prefix box as saved
        bool enabled;
        const char16_t* shown;
        const char16_t* stored;
    } const rows[] = {
        {true, u"> ", true, u">", u"> "},
        {true, u"", true, u">", u""},
        {false, u"", false, u"", u">"},
        {false, u"#", false, u"", u">"},
    };
    for (const Row& row : rows) {
        SettingsRecord record;
        record.quote = row.quote;
        record.quoteString = u">";
        const QuoteControls shown = QuoteControlsFor(record);
        EXPECT_EQ(shown.prefixEnabled, row.enabled);
        EXPECT_TRUE(shown.prefix == row.shown);
        StoreQuoteControls({row.quote, row.enabled, DualString(row.box)}, record);
        EXPECT_EQ(record.quote, row.quote);
        EXPECT_TRUE(record.quoteString == row.stored) << record.quoteString.Multibyte();
    }
}

}  // namespace
}  // namespace pelmora
