// The shell's menu-bar resource (RCDATA): the menu's id, the button count, then seven
// 16-bit words per button. Read with the resource's size as the only bound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pelmora::device {

struct MenuBarButton {
    uint16_t image = 0;  // I_IMAGENONE (0xFFFE) for a text button
    uint16_t command = 0;
    uint16_t state = 0;
    uint16_t style = 0;
    uint16_t stringId = 0;   // the label in the program's string table
    uint16_t menuIndex = 0;  // pop-up of the menu, or NOMENU
};

struct MenuBarResource {
    uint16_t menuId = 0;
    std::vector<MenuBarButton> buttons;
};

// False when the bytes end before the header or any of the counted buttons.
inline bool ParseMenuBarResource(const unsigned char* bytes, size_t size, MenuBarResource& out) {
    auto word = [&](size_t index) {
        return static_cast<uint16_t>(bytes[2 * index] | bytes[2 * index + 1] << 8);
    };
    if (bytes == nullptr || size < 4) {
        return false;
    }
    out.menuId = word(0);
    const size_t count = word(1);
    if ((size / 2 - 2) / 7 < count) {
        return false;
    }
    out.buttons.clear();
    for (size_t i = 0; i < count; ++i) {
        const size_t at = 2 + 7 * i;
        // The word at + 5 is reserved.
        out.buttons.push_back(
            {word(at), word(at + 1), word(at + 2), word(at + 3), word(at + 4), word(at + 6)});
    }
    return true;
}

}  // namespace pelmora::device
