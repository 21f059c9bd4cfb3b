#include "menuext/menu_text.h"

#include <cstring>

namespace pelmora {

const char16_t kReplyMenuText[] = u"アカウントを指定して返信";
const char16_t kSendReceiveMenuText[] = u"接続を指定して送受信";

const char16_t* MenuTextForMode(int mode) {
    return mode == kReadViewMode ? kReplyMenuText : kSendReceiveMenuText;
}

int32_t BoundedTextCopy(char16_t* dest, size_t capacity, const char16_t* text) {
    if (dest == nullptr || text == nullptr || capacity == 0) {
        return kCopyInvalidArgument;
    }
    size_t i = 0;
    for (; i + 1 < capacity && text[i] != u'\0'; ++i) {
        dest[i] = text[i];
    }
    dest[i] = u'\0';
    return text[i] == u'\0' ? kCopyOk : kCopyInsufficientBuffer;
}

VerbKind ClassifyVerb(const void* verb) {
    const uintptr_t value = reinterpret_cast<uintptr_t>(verb);
    if (value == 0) {
        return VerbKind::None;
    }
    // The platform's MAKEINTRESOURCE convention: the high bits of a real address are never 0.
    return value < 0x10000 ? VerbKind::Offset : VerbKind::Text;
}

bool VerbEquals(const void* verb, const char16_t* text) {
    if (verb == nullptr || text == nullptr) {
        return false;
    }
    const unsigned char* p = static_cast<const unsigned char*>(verb);
    for (size_t i = 0;; ++i) {
        char16_t unit;
        std::memcpy(&unit, p + i * sizeof unit, sizeof unit);
        if (unit != text[i]) {
            return false;
        }
        if (unit == u'\0') {
            return true;
        }
    }
}

}  // namespace pelmora
