// The dialog template parser on arbitrary bytes: it reads nothing past the input (the
// sanitizers see the exact-size buffer), never keeps more items than the count, and a
// template cut short keeps a leading part of the items of the whole one.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "dialog_layout/dialog_template.h"

namespace {

bool SameItem(const pelmora::DialogItem& a, const pelmora::DialogItem& b) {
    return a.style == b.style && a.id == b.id && a.x == b.x && a.cy == b.cy &&
           a.classOrdinal == b.classOrdinal && a.className == b.className && a.title == b.title &&
           a.creationData == b.creationData;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> whole(data, data + size);
    pelmora::DialogTemplate full;
    const bool complete = pelmora::ParseDialogTemplate(whole.data(), whole.size(), full);
    if (full.items.size() > full.itemCount || (complete && full.items.size() != full.itemCount)) {
        __builtin_trap();
    }
    for (const pelmora::DialogItem& item : full.items) {
        const size_t declared =
            item.creationData.size() >= 2 ? (item.creationData[0] | item.creationData[1] << 8) : 0;
        if (item.creationData.size() != declared) {
            __builtin_trap();
        }
    }
    const std::vector<uint8_t> half(whole.begin(), whole.begin() + size / 2);
    pelmora::DialogTemplate cut;
    pelmora::ParseDialogTemplate(half.data(), half.size(), cut);
    if (cut.items.size() > full.items.size()) {
        __builtin_trap();
    }
    for (size_t i = 0; i < cut.items.size(); ++i) {
        if (!SameItem(cut.items[i], full.items[i])) {
            __builtin_trap();
        }
    }
    return 0;
}
