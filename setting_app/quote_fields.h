// The quote page's rule between the record and its two controls, kept apart from the
// window code.
#pragma once

#include "settings/settings_record.h"

namespace pelmora {

struct QuoteControls {
    bool quote = false;
    bool prefixEnabled = false;
    DualString prefix;
};

// The prefix box is enabled and filled only while quoting is on: with quoting off it shows
// empty, so the stored prefix is not offered for editing.
QuoteControls QuoteControlsFor(const SettingsRecord& record);

// The prefix is stored only while quoting is on; with quoting off the stored one stays for
// the day quoting is turned on again.
void StoreQuoteControls(const QuoteControls& controls, SettingsRecord& record);

}  // namespace pelmora
