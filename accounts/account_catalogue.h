// The device's e-mail accounts: the message stores of the messaging service, known by their
// display names, in the store table's row order. Both deliverables list them the same way so
// that a position chosen in the settings program selects the same store in the extension.
#pragma once

#include <windows.h>

#include <vector>

#include "accounts/account_label.h"
#include "text/dual_string.h"

struct IMAPISession;

namespace pelmora {

// Appends one entry per store that has a display name (an empty name counts) to `accounts`.
// Failure of the table request: its status, list unchanged. Failure to set the columns: the
// table request's success status, list unchanged. A row query failing part-way: its status,
// the entries read so far stay. Otherwise the last query's success status.
HRESULT ListAccounts(IMAPISession* session, std::vector<DualString>& accounts);

// The context-menu object's account initialisation. `session` is the object's session slot:
// when it already holds a session nothing happens (0). Otherwise logs on and keeps the session
// there, also on failure of what follows. Mode 1 (list view) returns the logon's status;
// mode 0 (read view) returns the logon's failure or ListAccounts' status into `choiceList`.
HRESULT InitializeMenuObjectAccounts(IMAPISession** session, int mode,
                                     std::vector<DualString>& choiceList);

// The settings program's listing: logs on, lists the accounts with "ActiveSync" already
// relabelled, and releases everything. Failures are silent; `labels` keeps what was read.
void ListSettingProgramAccounts(std::vector<DualString>& labels);

}  // namespace pelmora
