#include "setting_app/connection_names_win32.h"

namespace pelmora {

// Until the connection catalogue is available to the settings program, it lists none.
bool ListConnectionNames(std::vector<DualString>&) {
    return false;
}

}  // namespace pelmora
