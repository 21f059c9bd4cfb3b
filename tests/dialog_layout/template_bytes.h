// Dialog template bytes as the resource compiler lays them out, for the layout tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace pelmora {

class Bytes {
public:
    Bytes& Word(uint16_t w) {
        b_.push_back(static_cast<uint8_t>(w & 0xFF));
        b_.push_back(static_cast<uint8_t>(w >> 8));
        return *this;
    }
    Bytes& Words(std::initializer_list<uint16_t> words) {
        for (uint16_t w : words) {
            Word(w);
        }
        return *this;
    }
    Bytes& Byte(uint8_t b) {
        b_.push_back(b);
        return *this;
    }
    Bytes& Dword(uint32_t d) { return Word(d & 0xFFFF).Word(d >> 16); }
    Bytes& Text(const std::u16string& s) {
        for (char16_t c : s) {
            Word(c);
        }
        return Word(0);
    }
    Bytes& Align() {
        while (b_.size() % 4 != 0) {
            b_.push_back(0);
        }
        return *this;
    }
    // Style, extended style, then x, y, cx, cy and id of one item.
    Bytes& Item(uint32_t style, std::initializer_list<uint16_t> placeAndId) {
        return Align().Dword(style).Dword(0).Words(placeAndId);
    }
    const std::vector<uint8_t>& Get() const { return b_; }
    size_t Size() const { return b_.size(); }

private:
    std::vector<uint8_t> b_;
};

// A header with a font: `count` items, no menu, the standard class, a title.
inline Bytes Header(uint16_t count, const std::u16string& face = u"ＭＳ Ｐゴシック") {
    Bytes b;
    b.Dword(0x80C80040).Dword(0).Words({count, 0, 0, 186, 142, 0, 0});
    b.Text(u"Pelmora設定").Word(8).Text(face);
    return b;
}

}  // namespace pelmora
