// A dialog template resource read into its header and items, and the arithmetic that
// turns dialog units into pixels. Pure: no window is made here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "text/dual_string.h"

namespace pelmora {

struct DialogItem {
    uint32_t style = 0;
    uint32_t extendedStyle = 0;
    int16_t x = 0;
    int16_t y = 0;
    int16_t cx = 0;
    int16_t cy = 0;
    uint16_t id = 0;
    bool classIsName = false;
    DualString className;       // empty for an ordinal class
    uint16_t classOrdinal = 0;  // 0 for a named class
    DualString title;
    std::vector<uint8_t> creationData;  // the size word included; empty when the size is 0
};

struct DialogTemplate {
    enum class MenuKind { None, Ordinal, Name };

    std::vector<uint8_t> resource;  // the resource copy, zero-padded past resourceSize
    size_t resourceSize = 0;
    bool noFont = true;
    uint16_t itemCount = 0;
    MenuKind menu = MenuKind::None;
    uint16_t menuOrdinal = 0;
    DualString menuName;
    DualString className;
    DualString title;
    bool hasFont = false;
    uint16_t pointSize = 0;
    DualString faceName;
    std::vector<DialogItem> items;
};

// Reads a standard (not extended) dialog template of exactly `size` bytes. Every field is
// checked against the size before it is read; the walk stops at the first field that does
// not fit, keeping the items read whole before it. True when the header and all
// `itemCount` items were read.
bool ParseDialogTemplate(const uint8_t* bytes, size_t size, DialogTemplate& out);

// a * b / c rounded to the nearest integer, halves away from zero, without overflow; -1
// when c is 0 (as the platform's MulDiv).
int MultiplyDivide(int a, int b, int c);

// Dialog base units from the measured width of the 52 letters A-Z a-z and the font's
// character height and external leading.
struct DialogBaseUnits {
    int horizontal = 0;
    int vertical = 0;
};
DialogBaseUnits BaseUnitsFromMetrics(int lettersWidth, int height, int externalLeading);

// One dialog-unit pair in pixels for the given base units.
struct UnitPair {
    int horizontal = 0;
    int vertical = 0;
};
UnitPair ScaleDialogUnits(UnitPair units, DialogBaseUnits base);

// Logical font height of a point size at `pixelsPerInch` (negative: character height).
int FontHeightForPoints(int pointSize, int pixelsPerInch);

}  // namespace pelmora
