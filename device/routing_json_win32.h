// The Connection Manager's routing as the emulated device sees it, shared by the stand-ins:
// the messaging library's sync reads it when it asks for its connection, the picker when
// its entry 3 is called, and the Connection Manager reports the sync's connection.
#pragma once

#include <string>

namespace pelmora::device {

// Which connections are enabled and which destinations carry an HTTP proxy entry, as the
// registry holds them right now (one JSON object).
std::string RoutingJson();

// The identifier text of the first destination carrying an HTTP proxy entry: the one a
// connection request is routed over now; empty when none is.
std::u16string RoutedDestination();

// The connection of the sync in progress, kept in the profile's "connected.txt" (the
// destination's identifier text): set when the sync has its connection, dropped when a new
// sync is requested.
bool SetSyncConnection(const std::u16string& destination);
void DropSyncConnection();
bool SyncConnection(std::u16string& destination);

}  // namespace pelmora::device
