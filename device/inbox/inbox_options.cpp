#include "device/inbox/inbox_options.h"

#include <utility>

namespace pelmora::device {

const char kInboxUsage[] =
    "usage: inbox [--profile DIR] [--view read|list] [--store INDEX|NAME] [--message NAME]\n"
    "             [--item TEXT | --item-index N] [--verb TEXT | --verb-offset N | --null-verb]\n"
    "             [--unaligned] [--selection message|other-type|null-type|null-item|empty-id|\n"
    "              null-bytes|no-block|no-data-object] [--site set|none|cleared]\n"
    "             [--repeat N] [--list-messages] [--interactive]\n"
    "--repeat N invokes the item N more times after the first and prints the time per command.\n";

namespace {

template <typename T>
struct Name {
    const char16_t* text;
    T value;
};

template <typename T, size_t N>
bool Lookup(const Name<T> (&names)[N], const std::u16string& text, T& value) {
    for (const Name<T>& n : names) {
        if (text == n.text) {
            value = n.value;
            return true;
        }
    }
    return false;
}

const Name<InboxView> kViews[] = {{u"read", InboxView::Read}, {u"list", InboxView::List}};
const Name<SelectionShape> kSelections[] = {
    {u"message", SelectionShape::Message},    {u"other-type", SelectionShape::OtherType},
    {u"null-type", SelectionShape::NullType}, {u"null-item", SelectionShape::NullItem},
    {u"empty-id", SelectionShape::EmptyId},   {u"null-bytes", SelectionShape::NullBytes},
    {u"no-block", SelectionShape::NoBlock},   {u"no-data-object", SelectionShape::NoDataObject},
};
const Name<SiteUse> kSites[] = {
    {u"set", SiteUse::Set}, {u"none", SiteUse::None}, {u"cleared", SiteUse::Cleared}};

}  // namespace

bool ParseSmallNumber(const std::u16string& text, uint32_t& value) {
    if (text.empty() || text.size() > 9) {
        return false;
    }
    uint32_t v = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9') {
            return false;
        }
        v = v * 10 + static_cast<uint32_t>(c - u'0');
    }
    value = v;
    return true;
}

bool ParseInboxOptions(const std::vector<std::u16string>& args, InboxOptions& options,
                       std::u16string& error) {
    options = InboxOptions{};
    for (size_t i = 0; i < args.size(); ++i) {
        const std::u16string& arg = args[i];
        auto value = [&](std::u16string& out) {
            if (i + 1 >= args.size()) {
                error = arg + u" needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        std::u16string v;
        if (arg == u"--profile") {
            if (!value(options.profile)) {
                return false;
            }
        } else if (arg == u"--view") {
            if (!value(v) || !Lookup(kViews, v, options.view)) {
                error = u"--view takes read or list";
                return false;
            }
        } else if (arg == u"--store") {
            if (!value(options.store)) {
                return false;
            }
        } else if (arg == u"--message") {
            if (!value(options.message)) {
                return false;
            }
        } else if (arg == u"--item") {
            if (!value(options.itemText)) {
                return false;
            }
            options.pickByText = true;
            options.itemIndex = -1;
        } else if (arg == u"--item-index") {
            uint32_t n = 0;
            if (!value(v) || !ParseSmallNumber(v, n)) {
                error = u"--item-index takes a number";
                return false;
            }
            options.pickByText = false;
            options.itemIndex = static_cast<int>(n);
        } else if (arg == u"--verb") {
            if (!value(options.verbText)) {
                return false;
            }
            options.verbForm = VerbForm::Text;
        } else if (arg == u"--verb-offset") {
            if (!value(v) || !ParseSmallNumber(v, options.verbOffset) || options.verbOffset == 0 ||
                options.verbOffset > 0xFFFF) {
                error = u"--verb-offset takes 1 to 65535 (offset 0 is the null verb)";
                return false;
            }
            options.verbForm = VerbForm::Offset;
        } else if (arg == u"--null-verb") {
            options.verbForm = VerbForm::Null;
        } else if (arg == u"--repeat") {
            if (!value(v) || !ParseSmallNumber(v, options.repeat) || options.repeat == 0) {
                error = u"--repeat takes a number from 1";
                return false;
            }
        } else if (arg == u"--unaligned") {
            options.unaligned = true;
        } else if (arg == u"--selection") {
            if (!value(v) || !Lookup(kSelections, v, options.selection)) {
                error = u"unknown --selection";
                return false;
            }
        } else if (arg == u"--site") {
            if (!value(v) || !Lookup(kSites, v, options.site)) {
                error = u"--site takes set, none or cleared";
                return false;
            }
        } else if (arg == u"--list-messages") {
            options.listMessages = true;
        } else if (arg == u"--interactive") {
            options.interactive = true;
        } else if (arg == u"--help" || arg == u"-h") {
            options.help = true;
        } else {
            error = u"unknown argument " + arg;
            return false;
        }
    }
    return true;
}

bool MessageNameFromFile(const std::u16string& file, std::u16string& name) {
    for (const char16_t* ext : {u".eml", u".props"}) {
        const std::u16string suffix = ext;
        if (file.size() > suffix.size() &&
            file.compare(file.size() - suffix.size(), suffix.size(), suffix) == 0) {
            name = file.substr(0, file.size() - suffix.size());
            return true;
        }
    }
    return false;
}

}  // namespace pelmora::device
