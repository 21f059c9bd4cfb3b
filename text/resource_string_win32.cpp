#include "text/resource_string_win32.h"

#include <new>
#include <vector>

#include "platform/wide.h"

namespace pelmora {

bool LoadResourceString(HINSTANCE module, UINT id, DualString& out) noexcept {
    try {
        std::vector<wchar_t> buffer(1024);
        for (;;) {
            const int got = LoadStringW(module, id, buffer.data(), static_cast<int>(buffer.size()));
            // A text that fills the buffer may have been cut: try again with twice the room.
            if (got < 0 || static_cast<size_t>(got) + 1 < buffer.size()) {
                out.Assign(U(buffer.data()), got > 0 ? static_cast<size_t>(got) : 0);
                return true;
            }
            if (buffer.size() > (1u << 20)) {
                return false;
            }
            buffer.resize(buffer.size() * 2);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace pelmora
