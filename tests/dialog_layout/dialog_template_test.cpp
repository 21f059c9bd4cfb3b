// Dialog template parsing and the dialog-unit arithmetic, on both builds.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "dialog_layout/dialog_template.h"
#include "tests/dialog_layout/template_bytes.h"

namespace pelmora {
namespace {

// Item ends (offsets just past each item) of a well-formed two-item template. The first
// item's creation data is one byte long: the next item still starts at its multiple of 4.
Bytes TwoItems(std::vector<size_t>& ends) {
    Bytes b = Header(2, u"A");  // a face that ends off a 4-byte boundary
    b.Item(0x50010003, {7, 0, 103, 13, 1000}).Word(0xFFFF).Word(0x80).Text(u"次の接続先");
    b.Word(3).Byte(0x7F);
    ends.push_back(b.Size());
    b.Item(0x50000000, {0xFFF9 /* -7 */, 31, 138, 13, 1001})
        .Text(u"Custom")
        .Text(u"")
        .Words({6, 0xABCD, 0x1234});
    ends.push_back(b.Size());
    return b;
}

TEST(DialogTemplate, ReadsHeaderAndItems) {
    std::vector<size_t> ends;
    const Bytes b = TwoItems(ends);
    DialogTemplate t;
    ASSERT_TRUE(ParseDialogTemplate(b.Get().data(), b.Size(), t));
    EXPECT_EQ(std::make_tuple(t.noFont, t.pointSize), std::make_tuple(false, uint16_t{8}));
    EXPECT_EQ(t.title, u"Pelmora設定");
    EXPECT_EQ(t.faceName, u"A");
    ASSERT_EQ(t.items.size(), 2u);
    const DialogItem& check = t.items[0];
    EXPECT_EQ(std::vector<int>({check.x, check.y, check.cx, check.cy, check.id, check.classIsName,
                                check.classOrdinal}),
              std::vector<int>({7, 0, 103, 13, 1000, false, 0x80}));
    EXPECT_EQ(check.style, 0x50010003u);
    EXPECT_EQ(check.title, u"次の接続先");
    EXPECT_EQ(check.creationData, std::vector<uint8_t>({3, 0, 0x7F}));
    const DialogItem& named = t.items[1];
    EXPECT_EQ(std::make_tuple(named.x, named.classIsName), std::make_tuple(int16_t{-7}, true));
    EXPECT_EQ(named.className, u"Custom");
    EXPECT_EQ(named.creationData, std::vector<uint8_t>({6, 0, 0xCD, 0xAB, 0x34, 0x12}));

    // A size too small for its own word: no data, and the next item follows.
    Bytes two = Header(2, u"A");
    two.Item(0x50000000, {0, 0, 1, 1, 1}).Word(0xFFFF).Word(0x82).Text(u"x").Word(1);
    two.Item(0x50000000, {2, 3, 4, 5, 2}).Word(0xFFFF).Word(0x80).Text(u"y").Word(0);
    ASSERT_TRUE(ParseDialogTemplate(two.Get().data(), two.Size(), t));
    ASSERT_EQ(t.items.size(), 2u);
    EXPECT_TRUE(t.items[0].creationData.empty());
    EXPECT_EQ(t.items[1].title, u"y");
}

// Cut anywhere (a count beyond the items, a text or face without its terminator, creation
// data past the end), the parse keeps exactly the items that lie whole before the cut and
// never reads past it (the sanitizers watch the exact-size copy).
TEST(DialogTemplate, StopsAtTheFirstFieldThatDoesNotFit) {
    std::vector<size_t> ends;
    const std::vector<uint8_t> whole = TwoItems(ends).Get();
    for (size_t n = 0; n <= whole.size(); ++n) {
        const std::vector<uint8_t> cut(whole.begin(), whole.begin() + n);
        DialogTemplate t;
        EXPECT_EQ(ParseDialogTemplate(cut.data(), n, t), n == whole.size()) << n;
        EXPECT_EQ(t.items.size(), size_t{n >= ends[0]} + (n >= ends[1])) << n;
    }
}

TEST(DialogUnits, ScaleWithTheTemplateFont) {
    // 52 letters 312 pixels wide, height 12 and leading 1: base units 6 and 13. The average
    // letter width is rounded, not truncated: 300 / 52 is 5.77.
    const DialogBaseUnits base = BaseUnitsFromMetrics(312, 12, 1);
    EXPECT_EQ(std::make_tuple(base.horizontal, base.vertical), std::make_tuple(6, 13));
    EXPECT_EQ(BaseUnitsFromMetrics(300, 12, 1).horizontal, 6);
    EXPECT_EQ(BaseUnitsFromMetrics(285, 12, 1).horizontal, 5);
    const struct {
        UnitPair units;
        UnitPair pixels;
    } cases[] = {
        {{7, 31}, {11, 50}},
        {{-7, -31}, {-11, -50}},
    };
    for (const auto& c : cases) {
        const UnitPair got = ScaleDialogUnits(c.units, base);
        EXPECT_EQ(std::make_pair(got.horizontal, got.vertical),
                  std::make_pair(c.pixels.horizontal, c.pixels.vertical))
            << c.units.horizontal;
    }
    EXPECT_EQ(FontHeightForPoints(8, 96), -11);  // 10.67 rounded
    // Rounded halves away from zero; no overflow in the product; 0 divisor fails.
    EXPECT_EQ(std::vector<int>({MultiplyDivide(1, 1, 2), MultiplyDivide(-1, 1, 2),
                                MultiplyDivide(1, -3, 2), MultiplyDivide(0x40000000, 4, 8),
                                MultiplyDivide(5, 5, 0)}),
              std::vector<int>({1, -1, -2, 0x20000000, -1}));
}

}  // namespace
}  // namespace pelmora
