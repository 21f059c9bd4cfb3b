#include "setting_app/quote_fields.h"

namespace pelmora {

QuoteControls QuoteControlsFor(const SettingsRecord& record) {
    QuoteControls controls;
    controls.quote = record.quote;
    controls.prefixEnabled = record.quote;
    if (record.quote) {
        controls.prefix = record.quoteString;
    }
    return controls;
}

void StoreQuoteControls(const QuoteControls& controls, SettingsRecord& record) {
    record.quote = controls.quote;
    if (controls.quote) {
        record.quoteString = controls.prefix;
    }
}

}  // namespace pelmora
