#include "menuext/registration.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace pelmora {
namespace {

const std::u16string kReadClass = u"HKCR\\CLSID\\{0ED86D47-9EDC-4878-9165-3F7553440109}";
const std::u16string kListClass = u"HKCR\\CLSID\\{A1F2C36C-F0F2-4af1-B49C-9EFFDC8B2B7E}";
const std::u16string kPath = u"C:\\Program Files\\Pelmora\\Pelmora.dll";

// Keys by full path with their default values; registry call number `failAt` (1-based, in
// the journal) fails.
class FakeRegistry : public RegistryPort {
public:
    std::map<std::u16string, std::u16string> values;
    std::vector<std::u16string> journal;
    size_t failAt = 0;
    int openKeys = 0;

    Key Root(RegistryRoot root) override {
        return Name(root == RegistryRoot::ClassesRoot ? u"HKCR" : u"HKLM");
    }
    bool CreateKey(Key parent, const char16_t* subKey, Key* key) override {
        const std::u16string path = names_[parent] + u"\\" + subKey;
        if (!Step(u"create " + path)) {
            return false;
        }
        values.emplace(path, u"");
        *key = Name(path);
        ++openKeys;
        return true;
    }
    bool SetDefaultText(Key key, const char16_t* text) override {
        return Step(u"set " + names_[key]) && (values[names_[key]] = text, true);
    }
    void CloseKey(Key) override { --openKeys; }
    bool DeleteKey(Key parent, const char16_t* subKey) override {
        const std::u16string path = names_[parent] + u"\\" + subKey;
        return Step(u"delete " + path) && values.erase(path) == 1;
    }
    std::u16string ServerPath() override {
        journal.push_back(u"path");
        return kPath;
    }

private:
    bool Step(const std::u16string& what) {
        journal.push_back(what);
        return journal.size() != failAt;
    }
    // A new handle for every key opened.
    Key Name(const std::u16string& name) {
        names_.push_back(name);
        return names_.size() - 1;
    }
    std::vector<std::u16string> names_;
};

// Every registry call failing in turn: nothing after it attempted, nothing before it undone,
// no key left open.
TEST(Registration, WritesTheSixValuesAndStopsAtTheFirstFailure) {
    FakeRegistry full;
    ASSERT_TRUE(RegisterServer(full));
    EXPECT_EQ(full.values.size(), 6u);  // their texts: the regsvr32 case reads them back
    EXPECT_EQ(full.openKeys, 0);
    for (size_t failAt = 1; failAt <= full.journal.size(); ++failAt) {
        if (full.journal[failAt - 1] == u"path") {
            continue;
        }
        FakeRegistry registry;
        registry.failAt = failAt;
        EXPECT_FALSE(RegisterServer(registry)) << failAt;
        EXPECT_EQ(registry.openKeys, 0) << failAt;
        EXPECT_EQ(registry.journal,
                  std::vector<std::u16string>(full.journal.begin(), full.journal.begin() + failAt));
    }
}

// Each server key goes before its class key (the real registry refuses otherwise), the first
// key that cannot be deleted stops the rest: after registration cut short at the list view's
// class key, the read view's class keys go and its menu key stays.
TEST(Unregistration, StopsAtTheFirstMissingKey) {
    FakeRegistry partial;
    partial.failAt = 8;
    EXPECT_FALSE(RegisterServer(partial));
    partial.failAt = 0;
    partial.journal.clear();
    EXPECT_FALSE(UnregisterServer(partial));
    EXPECT_EQ(partial.journal,
              (std::vector<std::u16string>{u"delete " + kReadClass + u"\\InprocServer32",
                                           u"delete " + kReadClass,
                                           u"delete " + kListClass + u"\\InprocServer32"}));
}

}  // namespace
}  // namespace pelmora
