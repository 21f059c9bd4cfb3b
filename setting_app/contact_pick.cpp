#include "setting_app/contact_pick.h"

namespace pelmora {

bool AppendContactAddress(const DualString& box, const DualString& address, DualString& result) {
    if (address.Empty()) {
        return false;
    }
    result = box;
    if (!result.Empty()) {
        result.Append(u';');
    }
    result.Append(address);
    return true;
}

}  // namespace pelmora
