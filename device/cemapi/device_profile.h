// The emulated device's messaging data as the stand-in messaging library reads it from a
// profile folder: the store list, each message's store properties, the faults to inject,
// message entry identifiers, and the JSON lines of the outbox journal. Pure text handling;
// the file access lives in the library's Win32 glue.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelmora::device {

// One message store, in the store table's row order.
struct StoreEntry {
    std::string folder;                  // UTF-8 folder name inside the profile
    std::optional<std::u16string> name;  // display name; none: the row carries an error value
};

// "stores.txt": one store per line, "folder|display name" or just "folder" (no display
// name). Only the first '|' separates, so names may hold '|'; "folder|" gives an empty name.
// Blank lines and lines starting with '#' are skipped; a leading UTF-8 BOM is ignored.
// Lines with a folder name that is not a plain file name are skipped.
std::vector<StoreEntry> ParseStoreList(std::string_view utf8);

// A message's store properties ("<message>.props": "class=", "sender=", "subject=" lines).
struct MessageProps {
    std::optional<std::u16string> messageClass;
    std::optional<std::u16string> senderAddress;
    std::optional<std::u16string> subject;
};
MessageProps ParseMessageProps(std::string_view utf8);

// A failure to inject: `status` is returned by the operation once it has succeeded `after`
// times on the object concerned (per table for row queries, per stream for reads).
struct Fault {
    bool set = false;
    int32_t status = 0;
    uint32_t after = 0;

    // Whether call number `calls` (0-based) on one object fails.
    bool Hits(uint32_t calls) const { return set && calls >= after; }
};

// "faults.txt": "name=status" lines (status in hex "0x80004005" or decimal), plus
// "name_after=N" to let N calls succeed first. The flag faults take "=1".
struct Faults {
    Fault logon;                 // MAPILogonEx
    Fault storesTable;           // IMAPISession::GetMsgStoresTable
    Fault setColumns;            // IMAPITable::SetColumns
    Fault queryRows;             // IMAPITable::QueryRows (after: rows queries that succeed)
    Fault openEntry;             // IMAPISession::OpenEntry
    bool openEntryNull = false;  // OpenEntry succeeds but hands out no object
    Fault getProps;              // IMAPIProp::GetProps
    bool getPropsNull = false;   // GetProps succeeds but hands out no array
    Fault openProperty;          // the raw-text property cannot be opened
    Fault streamStat;            // IStream::Stat
    Fault streamRead;            // IStream::Read (after: reads that succeed)
    Fault compose;               // MailComposeMessage (nothing is journalled)
    Fault sync;                  // MailSyncMessages (nothing is journalled)

    // The connection picker (Netpick.dll).
    bool netpickMissing = false;     // the library does not load
    bool netpickCreateNull = false;  // CreateObjectNetpick gives no object
    uint32_t netpickEntry3 = 1;      // what entry 3 returns
    uint32_t netpickEntry8 = 1;      // what entry 8 returns
    bool netpickExit = false;        // the process ends inside entry 3 (killed mid-command)
    bool netpickHold = false;        // entry 3 waits until a test lets it go (see the picker)
    bool netpickTableNull = false;   // the object made has no operation table

    // The contacts library (pimstore.dll).
    Fault contactsCreate;             // creating the contacts application object
    bool contactsCreateNull = false;  // creation succeeds but hands out no object
    Fault contactsLogon;              // the application's Logon
    Fault contactsChoose;             // ChooseContact

    // The common controls library (commctrl.dll).
    Fault sheetPage;  // CreatePropertySheetPageW gives no page (after: pages that succeed)
};
Faults ParseFaults(std::string_view utf8);

// One destination network of the Connection Manager ("destinations.txt": one
// "{GUID}|description" or "{GUID}|description|secure" a line, in enumeration order).
struct DestinationLine {
    std::u16string guid;  // as written; the library parses it
    std::u16string description;
    bool secure = false;
};
std::vector<DestinationLine> ParseDestinationList(std::string_view utf8);

// One contact of "contacts.txt": "name|address" a line. Only the first '|' separates; a
// line without one is a contact without an e-mail address, "name|" one whose address is
// empty. Blank lines and '#' lines are skipped.
struct ContactEntry {
    std::u16string name;
    std::optional<std::u16string> address;
};
std::vector<ContactEntry> ParseContactList(std::string_view utf8);

// Whether `name` can be used as one file name inside a folder (no separators, no "." or
// "..", no control or reserved characters).
bool IsPlainFileName(std::string_view name);

// A message's entry identifier: the bytes "<store index>/<message name>" (decimal index, no
// terminator). Parsing rejects anything else, including names that are not plain.
std::string MakeEntryId(uint32_t storeIndex, std::string_view messageName);
bool ParseEntryId(const unsigned char* bytes, size_t n, uint32_t& storeIndex,
                  std::string& messageName);

// Builds one JSON object on one line. Wide text is written as UTF-8; lone surrogates and
// control characters as \u escapes, so every code unit survives.
class JsonObject {
public:
    JsonObject& Text(std::string_view key, const char16_t* value);  // null: JSON null
    JsonObject& Text(std::string_view key, std::u16string_view value);
    JsonObject& Utf8(std::string_view key, std::string_view value);
    JsonObject& Number(std::string_view key, int64_t value);
    JsonObject& Null(std::string_view key);
    JsonObject& Raw(std::string_view key, std::string_view json);  // a nested value
    // The finished object; with `newline` a trailing "\n" ends the line.
    std::string Finish(bool newline = false) const;

private:
    void Key(std::string_view key);
    std::string body_;
};

std::string JsonQuote(std::u16string_view text);
std::string JsonQuoteUtf8(std::string_view text);

}  // namespace pelmora::device
