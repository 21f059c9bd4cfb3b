// Dialog template parsing and the dialog-unit arithmetic, on both builds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog_layout/dialog_template.h"
#include "tests/dialog_layout/template_bytes.h"

namespace pelmora {
namespace {

// Item ends (offsets just past each item) of a well-formed two-item template.
Bytes TwoItems(std::vector<size_t>& ends) {
    Bytes b = Header(2, u"A");  // a face that ends off a 4-byte boundary
    b.Item(0x50010003, {7, 0, 103, 13, 1000}).Word(0xFFFF).Word(0x80).Text(u"次の接続").Word(0);
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
    EXPECT_FALSE(t.noFont);
    EXPECT_EQ(t.title, u"Pelmora設定");
    EXPECT_EQ(t.pointSize, 8);
    EXPECT_EQ(t.faceName, u"A");
    ASSERT_EQ(t.items.size(), 2u);
    const DialogItem& check = t.items[0];
    EXPECT_EQ(std::vector<int>({check.x, check.y, check.cx, check.cy, check.id}),
              std::vector<int>({7, 0, 103, 13, 1000}));
    EXPECT_EQ(check.style, 0x50010003u);
    EXPECT_FALSE(check.classIsName);
    EXPECT_EQ(check.classOrdinal, 0x80);
    EXPECT_EQ(check.title, u"次の接続");
    EXPECT_TRUE(check.creationData.empty());
    const DialogItem& named = t.items[1];
    EXPECT_EQ(named.x, -7);
    EXPECT_TRUE(named.classIsName);
    EXPECT_EQ(named.className, u"Custom");
    EXPECT_EQ(named.classOrdinal, 0);
    EXPECT_EQ(named.creationData, std::vector<uint8_t>({6, 0, 0xCD, 0xAB, 0x34, 0x12}));

    // Creation data of odd lengths: the next item still starts at its multiple of 4.
    const struct {
        uint16_t size;
        std::vector<uint8_t> tail;  // the bytes after the size word
        std::vector<uint8_t> kept;
    } odd[] = {
        {3, {0x7F}, {3, 0, 0x7F}},  // one byte of data
        {1, {}, {}},                // a size too small for its own word: no data
    };
    for (const auto& c : odd) {
        Bytes two = Header(2, u"A");
        two.Item(0x50000000, {0, 0, 1, 1, 1}).Word(0xFFFF).Word(0x82).Text(u"x").Word(c.size);
        for (uint8_t byte : c.tail) {
            two.Byte(byte);
        }
        two.Item(0x50000000, {2, 3, 4, 5, 2}).Word(0xFFFF).Word(0x80).Text(u"y").Word(0);
        DialogTemplate parsed;
        ASSERT_TRUE(ParseDialogTemplate(two.Get().data(), two.Size(), parsed)) << c.size;
        ASSERT_EQ(parsed.items.size(), 2u) << c.size;
        EXPECT_EQ(parsed.items[0].creationData, c.kept) << c.size;
        EXPECT_EQ(parsed.items[1].id, 2) << c.size;
        EXPECT_EQ(parsed.items[1].title, u"y") << c.size;
    }

    // Menu and class in their other forms, no font, no items.
    Bytes other;
    other.Dword(0x80C80000).Dword(0).Words({0, 0, 0, 10, 10, 0xFFFF, 7});
    other.Text(u"MyClass").Text(u"");
    ASSERT_TRUE(ParseDialogTemplate(other.Get().data(), other.Size(), t));
    EXPECT_TRUE(t.noFont);
    EXPECT_EQ(t.menu, DialogTemplate::MenuKind::Ordinal);
    EXPECT_EQ(t.menuOrdinal, 7);
    EXPECT_EQ(t.className, u"MyClass");
    EXPECT_TRUE(t.items.empty());
}

// Cut anywhere, the parse keeps exactly the items that lie whole before the cut and never
// reads past it (the sanitizers watch the exact-size copy).
TEST(DialogTemplate, StopsAtTheFirstFieldThatDoesNotFit) {
    std::vector<size_t> ends;
    const std::vector<uint8_t> whole = TwoItems(ends).Get();
    for (size_t n = 0; n <= whole.size(); ++n) {
        const std::vector<uint8_t> cut(whole.begin(), whole.begin() + n);
        DialogTemplate t;
        EXPECT_EQ(ParseDialogTemplate(cut.data(), n, t), n == whole.size()) << n;
        const size_t kept = (n >= ends[0]) + (n >= ends[1]);
        EXPECT_EQ(t.items.size(), kept) << n;
    }
    const struct {
        const char* what;
        Bytes bytes;
        size_t items;
    } broken[] = {
        {"count beyond the items",
         Header(3).Item(0x50000000, {0, 0, 1, 1, 1}).Word(0xFFFF).Word(0x82).Text(u"").Word(0), 1},
        {"title without terminator",
         Header(1).Item(0x50000000, {0, 0, 1, 1, 1}).Word(0xFFFF).Word(0x82).Word(u'x'), 0},
        {"creation data beyond the end",
         Header(1).Item(0x50000000, {0, 0, 1, 1, 1}).Word(0xFFFF).Word(0x82).Text(u"").Word(40), 0},
        {"face without terminator",
         Bytes().Dword(0x40).Dword(0).Words({0, 0, 0, 1, 1, 0, 0}).Text(u"").Words({8, u'x'}), 0},
    };
    for (const auto& c : broken) {
        const std::vector<uint8_t>& exact = c.bytes.Get();
        DialogTemplate t;
        EXPECT_FALSE(ParseDialogTemplate(exact.data(), exact.size(), t)) << c.what;
        EXPECT_EQ(t.items.size(), c.items) << c.what;
    }
}

TEST(DialogUnits, ScaleWithTheTemplateFont) {
    // 52 letters 312 pixels wide, height 12 and leading 1: base units 6 and 13.
    const DialogBaseUnits base = BaseUnitsFromMetrics(312, 12, 1);
    EXPECT_EQ(base.horizontal, 6);
    EXPECT_EQ(base.vertical, 13);
    // The average letter width is rounded, not truncated: 300 / 52 is 5.77.
    EXPECT_EQ(BaseUnitsFromMetrics(300, 12, 1).horizontal, 6);
    EXPECT_EQ(BaseUnitsFromMetrics(285, 12, 1).horizontal, 5);
    const struct {
        UnitPair units;
        UnitPair pixels;
    } cases[] = {
        {{7, 31}, {11, 50}},        {{138, 13}, {207, 21}}, {{-7, -31}, {-11, -50}},
        {{-138, -13}, {-207, -21}}, {{0, 0}, {0, 0}},
    };
    for (const auto& c : cases) {
        const UnitPair got = ScaleDialogUnits(c.units, base);
        EXPECT_EQ(got.horizontal, c.pixels.horizontal) << c.units.horizontal;
        EXPECT_EQ(got.vertical, c.pixels.vertical) << c.units.vertical;
    }
    EXPECT_EQ(FontHeightForPoints(8, 96), -11);
    EXPECT_EQ(FontHeightForPoints(9, 96), -12);
    // Rounded halves away from zero; no overflow in the product; 0 divisor fails.
    EXPECT_EQ(MultiplyDivide(1, 1, 2), 1);
    EXPECT_EQ(MultiplyDivide(-1, 1, 2), -1);
    EXPECT_EQ(MultiplyDivide(1, -3, 2), -2);
    EXPECT_EQ(MultiplyDivide(0x40000000, 4, 8), 0x20000000);
    EXPECT_EQ(MultiplyDivide(5, 5, 0), -1);
}

}  // namespace
}  // namespace pelmora
