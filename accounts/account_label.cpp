#include "accounts/account_label.h"

namespace pelmora {

DualString AccountDisplayLabel(const DualString& name) {
    if (name == u"ActiveSync") {
        return DualString(u"Outlookメール");
    }
    return name;
}

}  // namespace pelmora
