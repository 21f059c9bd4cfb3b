#include "device/cemapi/device_profile.h"

#include <cstdio>

#include "text/utf8.h"

namespace pelmora::device {

namespace {

// Walks the lines of a UTF-8 text file (CR LF or LF), skipping a leading BOM, blank lines
// and comments; stops at the first NUL.
template <typename Visit>
void ForEachLine(std::string_view text, Visit visit) {
    const size_t nul = text.find('\0');
    if (nul != std::string_view::npos) {
        text = text.substr(0, nul);
    }
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty() || line.front() == '#') {
            continue;
        }
        visit(line);
    }
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    return s;
}

// Decimal (optionally negative) or 0x-prefixed hexadecimal, as a 32-bit pattern.
bool ParseNumber(std::string_view s, uint32_t& out) {
    s = Trim(s);
    bool negative = false;
    unsigned base = 10;
    if (!s.empty() && s.front() == '-') {
        negative = true;
        s.remove_prefix(1);
    } else if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty() || s.size() > (base == 16 ? 8u : 10u)) {
        return false;
    }
    uint64_t v = 0;
    for (char c : s) {
        unsigned d;
        if (c >= '0' && c <= '9') {
            d = static_cast<unsigned>(c - '0');
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            d = static_cast<unsigned>(c - 'a' + 10);
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            d = static_cast<unsigned>(c - 'A' + 10);
        } else {
            return false;
        }
        v = v * base + d;
    }
    if (v > 0xFFFFFFFFu || (negative && v > 0x80000000u)) {
        return false;
    }
    out = static_cast<uint32_t>(negative ? (0u - static_cast<uint32_t>(v)) : v);
    return true;
}

}  // namespace

bool IsPlainFileName(std::string_view name) {
    if (name.empty() || name == "." || name == ".." || name.size() > 200) {
        return false;
    }
    for (char c : name) {
        const unsigned char b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F ||
            std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos) {
            return false;
        }
    }
    // Windows drops trailing dots and blanks, which would make two names one file.
    return name.back() != '.' && name.back() != ' ';
}

std::vector<StoreEntry> ParseStoreList(std::string_view utf8) {
    std::vector<StoreEntry> stores;
    ForEachLine(utf8, [&](std::string_view line) {
        const size_t bar = line.find('|');
        StoreEntry store;
        store.folder = std::string(Trim(line.substr(0, bar)));
        if (!IsPlainFileName(store.folder)) {
            return;
        }
        if (bar != std::string_view::npos) {
            store.name = WideFromUtf8(line.substr(bar + 1));
        }
        stores.push_back(std::move(store));
    });
    return stores;
}

MessageProps ParseMessageProps(std::string_view utf8) {
    MessageProps props;
    ForEachLine(utf8, [&](std::string_view line) {
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            return;
        }
        const std::string_view key = Trim(line.substr(0, eq));
        std::u16string value = WideFromUtf8(line.substr(eq + 1));
        if (key == "class") {
            props.messageClass = std::move(value);
        } else if (key == "sender") {
            props.senderAddress = std::move(value);
        } else if (key == "subject") {
            props.subject = std::move(value);
        }
    });
    return props;
}

Faults ParseFaults(std::string_view utf8) {
    Faults faults;
    struct Named {
        std::string_view name;
        Fault* fault;
    };
    const Named named[] = {
        {"logon", &faults.logon},
        {"stores_table", &faults.storesTable},
        {"set_columns", &faults.setColumns},
        {"query_rows", &faults.queryRows},
        {"open_entry", &faults.openEntry},
        {"get_props", &faults.getProps},
        {"open_property", &faults.openProperty},
        {"stream_stat", &faults.streamStat},
        {"stream_read", &faults.streamRead},
        {"compose", &faults.compose},
        {"sync", &faults.sync},
        {"contacts_create", &faults.contactsCreate},
        {"contacts_logon", &faults.contactsLogon},
        {"contacts_choose", &faults.contactsChoose},
        {"sheet_page", &faults.sheetPage},
    };
    ForEachLine(utf8, [&](std::string_view line) {
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            return;
        }
        std::string_view key = Trim(line.substr(0, eq));
        uint32_t value = 0;
        if (!ParseNumber(line.substr(eq + 1), value)) {
            return;
        }
        struct Setting {
            std::string_view name;
            bool* flag;
            uint32_t* number;
        };
        const Setting settings[] = {
            {"open_entry_null", &faults.openEntryNull, nullptr},
            {"get_props_null", &faults.getPropsNull, nullptr},
            {"netpick_missing", &faults.netpickMissing, nullptr},
            {"netpick_create_null", &faults.netpickCreateNull, nullptr},
            {"netpick_exit", &faults.netpickExit, nullptr},
            {"netpick_hold", &faults.netpickHold, nullptr},
            {"netpick_table_null", &faults.netpickTableNull, nullptr},
            {"netpick_entry3", nullptr, &faults.netpickEntry3},
            {"netpick_entry8", nullptr, &faults.netpickEntry8},
            {"contacts_create_null", &faults.contactsCreateNull, nullptr},
        };
        for (const Setting& setting : settings) {
            if (setting.name != key) {
                continue;
            }
            if (setting.flag != nullptr) {
                *setting.flag = value != 0;
            } else {
                *setting.number = value;
            }
            return;
        }
        bool after = false;
        constexpr std::string_view kAfter = "_after";
        if (key.size() > kAfter.size() && key.substr(key.size() - kAfter.size()) == kAfter) {
            after = true;
            key.remove_suffix(kAfter.size());
        }
        for (const Named& n : named) {
            if (n.name != key) {
                continue;
            }
            if (after) {
                n.fault->after = value;
            } else {
                n.fault->set = true;
                n.fault->status = static_cast<int32_t>(value);
            }
        }
    });
    return faults;
}

std::vector<DestinationLine> ParseDestinationList(std::string_view utf8) {
    std::vector<DestinationLine> list;
    ForEachLine(utf8, [&](std::string_view line) {
        const size_t bar = line.find('|');
        if (bar == std::string_view::npos) {
            return;
        }
        DestinationLine d;
        d.guid = WideFromUtf8(Trim(line.substr(0, bar)));
        std::string_view rest = line.substr(bar + 1);
        const size_t secure = rest.rfind('|');
        if (secure != std::string_view::npos && Trim(rest.substr(secure + 1)) == "secure") {
            d.secure = true;
            rest = rest.substr(0, secure);
        }
        d.description = WideFromUtf8(rest);
        list.push_back(std::move(d));
    });
    return list;
}

std::vector<ContactEntry> ParseContactList(std::string_view utf8) {
    std::vector<ContactEntry> contacts;
    ForEachLine(utf8, [&](std::string_view line) {
        const size_t bar = line.find('|');
        ContactEntry contact{WideFromUtf8(Trim(line.substr(0, bar))), std::nullopt};
        if (bar != std::string_view::npos) {
            contact.address = WideFromUtf8(Trim(line.substr(bar + 1)));
        }
        contacts.push_back(std::move(contact));
    });
    return contacts;
}

std::string MakeEntryId(uint32_t storeIndex, std::string_view messageName) {
    return std::to_string(storeIndex) + "/" + std::string(messageName);
}

bool ParseEntryId(const unsigned char* bytes, size_t n, uint32_t& storeIndex,
                  std::string& messageName) {
    if (bytes == nullptr || n == 0 || n > 512) {
        return false;
    }
    const std::string_view id(reinterpret_cast<const char*>(bytes), n);
    const size_t slash = id.find('/');
    if (slash == 0 || slash == std::string_view::npos || slash > 9) {
        return false;
    }
    uint32_t index = 0;
    for (char c : id.substr(0, slash)) {
        if (c < '0' || c > '9') {
            return false;
        }
        index = index * 10 + static_cast<uint32_t>(c - '0');
    }
    const std::string_view name = id.substr(slash + 1);
    if (!IsPlainFileName(name)) {
        return false;
    }
    storeIndex = index;
    messageName = std::string(name);
    return true;
}

std::string JsonQuote(std::u16string_view text) {
    std::string out = "\"";
    auto escape = [&](unsigned v) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\u%04x", v);
        out += buf;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'"' || c == u'\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == u'\n') {
            out += "\\n";
        } else if (c == u'\r') {
            out += "\\r";
        } else if (c == u'\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            escape(c);
        } else if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                   text[i + 1] < 0xE000) {
            out += Utf8FromWide(text.substr(i, 2));
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            escape(c);
        } else {
            out += Utf8FromWide(text.substr(i, 1));
        }
    }
    out += '"';
    return out;
}

std::string JsonQuoteUtf8(std::string_view text) {
    return JsonQuote(WideFromUtf8(text));
}

void JsonObject::Key(std::string_view key) {
    body_ += body_.empty() ? "{" : ", ";
    body_ += JsonQuoteUtf8(key);
    body_ += ": ";
}

JsonObject& JsonObject::Text(std::string_view key, const char16_t* value) {
    if (value == nullptr) {
        return Null(key);
    }
    return Text(key, std::u16string_view(value));
}

JsonObject& JsonObject::Text(std::string_view key, std::u16string_view value) {
    Key(key);
    body_ += JsonQuote(value);
    return *this;
}

JsonObject& JsonObject::Utf8(std::string_view key, std::string_view value) {
    Key(key);
    body_ += JsonQuoteUtf8(value);
    return *this;
}

JsonObject& JsonObject::Number(std::string_view key, int64_t value) {
    Key(key);
    body_ += std::to_string(value);
    return *this;
}

JsonObject& JsonObject::Null(std::string_view key) {
    Key(key);
    body_ += "null";
    return *this;
}

JsonObject& JsonObject::Raw(std::string_view key, std::string_view json) {
    Key(key);
    body_ += json;
    return *this;
}

std::string JsonObject::Finish(bool newline) const {
    std::string out = body_.empty() ? "{" : body_;
    out += "}";
    if (newline) {
        out += "\n";
    }
    return out;
}

}  // namespace pelmora::device
