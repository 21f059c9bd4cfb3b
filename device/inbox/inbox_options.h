// Command line of the emulated Inbox. Portable, so that the parsing is tested natively.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pelmora::device {

enum class InboxView { Read, List };

// What the site's data object hands out as the selection.
enum class SelectionShape {
    Message,       // one message item: the selected message's entry identifier
    OtherType,     // an item of another type
    NullType,      // a null item type pointer
    NullItem,      // a null item pointer
    EmptyId,       // an entry identifier of 0 bytes
    NullBytes,     // an entry identifier with a null byte pointer
    NoBlock,       // GetData succeeds with a null memory handle
    NoDataObject,  // the site has no IDataObject
};

enum class SiteUse {
    Set,      // SetSite with the Inbox's site before the menu is built
    None,     // SetSite is never called
    Cleared,  // SetSite(site), then SetSite(null) before the command runs
};

// How the chosen item's verb is handed to InvokeCommand.
enum class VerbForm {
    ItemText,  // the menu item's text (what the Inbox does)
    Text,      // a text given on the command line
    Offset,    // a numeric command offset in place of a pointer
    Null,      // a null verb
};

struct InboxOptions {
    std::u16string profile;  // empty: PELMORA_DEVICE_PROFILE as set
    InboxView view = InboxView::Read;
    std::u16string store;    // index, display name or folder; empty: the first store
    std::u16string message;  // message name in the store; empty: the first message
    bool pickByText = false;
    std::u16string itemText;
    int itemIndex = -1;  // position in the menu; -1: nothing to invoke
    VerbForm verbForm = VerbForm::ItemText;
    std::u16string verbText;
    uint32_t verbOffset = 0;
    bool unaligned = false;  // hand InvokeCommand a structure at an odd address
    uint32_t repeat = 0;     // invoke the item this many more times and time them
    SelectionShape selection = SelectionShape::Message;
    SiteUse site = SiteUse::Set;
    bool listMessages = false;
    bool interactive = false;
    bool help = false;
};

// Parses the arguments after the program name. False with `error` set on a bad argument.
bool ParseInboxOptions(const std::vector<std::u16string>& args, InboxOptions& options,
                       std::u16string& error);

// The usage text printed for --help and after a bad argument.
extern const char kInboxUsage[];

// A file name split into message name and kind: "<name>.eml" or "<name>.props" give the
// name; anything else gives false.
bool MessageNameFromFile(const std::u16string& file, std::u16string& name);

// Parses a decimal number of at most nine digits.
bool ParseSmallNumber(const std::u16string& text, uint32_t& value);

}  // namespace pelmora::device
