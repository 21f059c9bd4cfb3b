#include "setting_app/connection_names_win32.h"

#include "connections/connection_catalogue.h"
#include "connections/connection_manager_win32.h"

namespace pelmora {

bool ListConnectionNames(std::vector<DualString>& names) {
    DeviceConnectionManager device;
    const ConnectionCatalogue catalogue(device, device);
    names = catalogue.ConnectionNames();
    return !catalogue.Destinations().empty();
}

}  // namespace pelmora
