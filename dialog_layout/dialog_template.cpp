#include "dialog_layout/dialog_template.h"

#include <cstdlib>
#include <cstring>

namespace pelmora {
namespace {

constexpr uint32_t kSetFont = 0x40;  // DS_SETFONT

// A bounded reader over the template bytes; every read fails instead of running past the end.
class Reader {
public:
    Reader(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}

    size_t Offset() const { return offset_; }

    bool Word(uint16_t& out) {
        if (size_ - offset_ < 2) {
            return false;
        }
        out = static_cast<uint16_t>(bytes_[offset_] | bytes_[offset_ + 1] << 8);
        offset_ += 2;
        return true;
    }
    bool Short(int16_t& out) {
        uint16_t w = 0;
        if (!Word(w)) {
            return false;
        }
        out = static_cast<int16_t>(w);
        return true;
    }
    bool Dword(uint32_t& out) {
        uint16_t lo = 0;
        uint16_t hi = 0;
        if (size_ - offset_ < 4 || !Word(lo) || !Word(hi)) {
            return false;
        }
        out = static_cast<uint32_t>(lo) | static_cast<uint32_t>(hi) << 16;
        return true;
    }
    // UTF-16 text up to and including its terminating 0; false when no terminator fits.
    bool Text(DualString& out) {
        std::u16string text;
        for (uint16_t unit = 0;;) {
            if (!Word(unit)) {
                return false;
            }
            if (unit == 0) {
                break;
            }
            text.push_back(static_cast<char16_t>(unit));
        }
        out = DualString(std::move(text));
        return true;
    }
    bool Bytes(size_t n, std::vector<uint8_t>& out) {
        if (size_ - offset_ < n) {
            return false;
        }
        out.assign(bytes_ + offset_, bytes_ + offset_ + n);
        offset_ += n;
        return true;
    }
    bool AlignTo4() {
        const size_t aligned = (offset_ + 3) & ~static_cast<size_t>(3);
        if (aligned > size_) {
            return false;
        }
        offset_ = aligned;
        return true;
    }

private:
    const uint8_t* bytes_;
    size_t size_;
    size_t offset_ = 0;
};

// The menu and class fields: 0 (none), 0xFFFF and an ordinal, or text.
bool NameOrOrdinal(Reader& in, bool& isOrdinal, uint16_t& ordinal, DualString& name,
                   bool& present) {
    uint16_t first = 0;
    if (!in.Word(first)) {
        return false;
    }
    isOrdinal = first == 0xFFFF;
    present = first != 0;
    if (isOrdinal) {
        return in.Word(ordinal);
    }
    if (!present) {
        return true;
    }
    DualString tail;
    if (!in.Text(tail)) {
        return false;
    }
    name = DualString(std::u16string(1, static_cast<char16_t>(first)) + tail.Wide());
    return true;
}

bool ReadHeader(Reader& in, DialogTemplate& out) {
    uint32_t style = 0;
    uint32_t extendedStyle = 0;
    int16_t frame[4] = {};
    if (!in.Dword(style) || !in.Dword(extendedStyle) || !in.Word(out.itemCount)) {
        return false;
    }
    for (int16_t& v : frame) {
        if (!in.Short(v)) {
            return false;
        }
    }
    out.noFont = (style & kSetFont) == 0;
    bool isOrdinal = false;
    bool present = false;
    uint16_t classOrdinal = 0;
    if (!NameOrOrdinal(in, isOrdinal, out.menuOrdinal, out.menuName, present)) {
        return false;
    }
    out.menu = !present    ? DialogTemplate::MenuKind::None
               : isOrdinal ? DialogTemplate::MenuKind::Ordinal
                           : DialogTemplate::MenuKind::Name;
    if (!NameOrOrdinal(in, isOrdinal, classOrdinal, out.className, present) ||
        !in.Text(out.title)) {
        return false;
    }
    if (out.noFont) {
        return true;
    }
    if (!in.Word(out.pointSize) || !in.Text(out.faceName)) {
        return false;
    }
    out.hasFont = true;
    return true;
}

bool ReadItem(Reader& in, DialogItem& item) {
    if (!in.AlignTo4() || !in.Dword(item.style) || !in.Dword(item.extendedStyle) ||
        !in.Short(item.x) || !in.Short(item.y) || !in.Short(item.cx) || !in.Short(item.cy) ||
        !in.Word(item.id)) {
        return false;
    }
    bool isOrdinal = false;
    bool present = false;
    if (!NameOrOrdinal(in, isOrdinal, item.classOrdinal, item.className, present)) {
        return false;
    }
    // An absent class (a lone 0) reads as an empty class name.
    item.classIsName = !isOrdinal;
    if (!isOrdinal) {
        item.classOrdinal = 0;
    }
    if (!in.Text(item.title)) {
        return false;
    }
    uint16_t dataSize = 0;
    if (!in.Word(dataSize)) {
        return false;
    }
    if (dataSize < 2) {
        return true;  // no data; a size of 1 cannot even cover its own word
    }
    // The size counts its own word: the copy holds the word and what follows it.
    std::vector<uint8_t> rest;
    if (!in.Bytes(dataSize - 2u, rest)) {
        return false;
    }
    item.creationData = {static_cast<uint8_t>(dataSize & 0xFF),
                         static_cast<uint8_t>(dataSize >> 8)};
    item.creationData.insert(item.creationData.end(), rest.begin(), rest.end());
    return true;
}

}  // namespace

bool ParseDialogTemplate(const uint8_t* bytes, size_t size, DialogTemplate& out) {
    out = DialogTemplate();
    out.resourceSize = size;
    if (bytes == nullptr) {
        return false;
    }
    Reader in(bytes, size);
    if (!ReadHeader(in, out)) {
        return false;
    }
    for (uint16_t i = 0; i < out.itemCount; ++i) {
        DialogItem item;
        if (!ReadItem(in, item)) {
            return false;
        }
        out.items.push_back(std::move(item));
    }
    return true;
}

int MultiplyDivide(int a, int b, int c) {
    if (c == 0) {
        return -1;
    }
    const long long product = static_cast<long long>(a) * b;
    long long quotient = product / c;
    const long long remainder = product % c;
    // Round halves away from zero: compare twice the remainder with the divisor.
    if (std::llabs(remainder) * 2 >= std::llabs(static_cast<long long>(c))) {
        quotient += ((product < 0) != (c < 0)) ? -1 : 1;
    }
    if (quotient > INT32_MAX || quotient < INT32_MIN) {
        return -1;
    }
    return static_cast<int>(quotient);
}

DialogBaseUnits BaseUnitsFromMetrics(int lettersWidth, int height, int externalLeading) {
    return {(lettersWidth + 26) / 52, height + externalLeading};
}

UnitPair ScaleDialogUnits(UnitPair units, DialogBaseUnits base) {
    return {MultiplyDivide(units.horizontal, base.horizontal, 4),
            MultiplyDivide(units.vertical, base.vertical, 8)};
}

int FontHeightForPoints(int pointSize, int pixelsPerInch) {
    return -MultiplyDivide(pointSize, pixelsPerInch, 72);
}

}  // namespace pelmora
