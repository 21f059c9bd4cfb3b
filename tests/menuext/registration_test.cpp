#include "menuext/registration.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace pelmora {
namespace {

const std::u16string kReadClass = u"HKCR\\CLSID\\{0ED86D47-9EDC-4878-9165-3F7553440109}";
const std::u16string kListClass = u"HKCR\\CLSID\\{A1F2C36C-F0F2-4af1-B49C-9EFFDC8B2B7E}";
const std::u16string kReadMenu =
    u"HKLM\\SOFTWARE\\Microsoft\\Shell\\Extensions\\ContextMenus\\Inbox\\Read_View\\"
    u"{0ED86D47-9EDC-4878-9165-3F7553440109}";
const std::u16string kListMenu =
    u"HKLM\\SOFTWARE\\Microsoft\\Shell\\Extensions\\ContextMenus\\Inbox\\List_View\\"
    u"{A1F2C36C-F0F2-4af1-B49C-9EFFDC8B2B7E}";
const std::u16string kPath = u"C:\\Program Files\\Pelmora\\Pelmora.dll";

// A registry of full key paths with their default values. Operation number `failAt`
// (counting creates, sets and deletes from 1) fails; so does every operation on a key whose
// name is `failKey`.
class FakeRegistry : public RegistryPort {
  public:
    std::map<std::u16string, std::u16string> values;  // key -> default value ("" unset)
    std::vector<std::u16string> journal;
    std::u16string serverPath = kPath;
    int failAt = 0;
    int openKeys = 0;

    Key Root(RegistryRoot root) override {
        return Intern(root == RegistryRoot::ClassesRoot ? u"HKCR" : u"HKLM");
    }
    bool CreateKey(Key parent, const char16_t* subKey, Key* key) override {
        const std::u16string path = names_[parent] + u"\\" + subKey;
        if (!Step(u"create " + path)) {
            return false;
        }
        values.emplace(path, u"");
        *key = Intern(path);
        ++openKeys;
        return true;
    }
    bool SetDefaultText(Key key, const char16_t* text) override {
        if (!Step(u"set " + names_[key])) {
            return false;
        }
        values[names_[key]] = text;
        return true;
    }
    void CloseKey(Key) override { --openKeys; }
    bool DeleteKey(Key parent, const char16_t* subKey) override {
        const std::u16string path = names_[parent] + u"\\" + subKey;
        if (!Step(u"delete " + path) || values.erase(path) == 0) {
            return false;
        }
        return true;
    }
    std::u16string ServerPath() override {
        journal.push_back(u"path");
        return serverPath;
    }

  private:
    bool Step(const std::u16string& what) {
        journal.push_back(what);
        return static_cast<int>(journal.size()) != failAt;
    }
    Key Intern(const std::u16string& name) {
        for (size_t i = 0; i < names_.size(); ++i) {
            if (names_[i] == name) {
                return i;
            }
        }
        names_.push_back(name);
        return names_.size() - 1;
    }
    std::vector<std::u16string> names_;
};

std::map<std::u16string, std::u16string> FullRegistration() {
    return {
        {kReadClass, u"Pelmora ReadView Menu Extension"},
        {kReadClass + u"\\InprocServer32", kPath},
        {kReadMenu, u"Pelmora ReadView Menu Extension"},
        {kListClass, u"Pelmora ListView Menu Extension"},
        {kListClass + u"\\InprocServer32", kPath},
        {kListMenu, u"Pelmora ListView Menu Extension"},
    };
}

TEST(Registration, WritesSixValuesInOrderAndClosesEveryKey) {
    FakeRegistry registry;
    ASSERT_TRUE(RegisterServer(registry));
    EXPECT_EQ(registry.values, FullRegistration());
    EXPECT_EQ(registry.openKeys, 0);
    const std::vector<std::u16string> expected = {
        u"create " + kReadClass,
        u"set " + kReadClass,
        u"create " + kReadClass + u"\\InprocServer32",
        u"path",
        u"set " + kReadClass + u"\\InprocServer32",
        u"create " + kReadMenu,
        u"set " + kReadMenu,
        u"create " + kListClass,
        u"set " + kListClass,
        u"create " + kListClass + u"\\InprocServer32",
        u"path",
        u"set " + kListClass + u"\\InprocServer32",
        u"create " + kListMenu,
        u"set " + kListMenu,
    };
    EXPECT_EQ(registry.journal, expected);
    // Registering again leaves the same values.
    ASSERT_TRUE(RegisterServer(registry));
    EXPECT_EQ(registry.values, FullRegistration());
}

TEST(Registration, StopsAtTheFirstFailureAndKeepsWhatWasWritten) {
    FakeRegistry full;
    ASSERT_TRUE(RegisterServer(full));
    // Every failing registry call of the full run: nothing after it is attempted, the values
    // set before it stay, and no key stays open.
    for (size_t failAt = 1; failAt <= full.journal.size(); ++failAt) {
        if (full.journal[failAt - 1] == u"path") {
            continue;
        }
        FakeRegistry registry;
        registry.failAt = static_cast<int>(failAt);
        EXPECT_FALSE(RegisterServer(registry)) << failAt;
        EXPECT_EQ(registry.openKeys, 0) << failAt;
        const std::vector<std::u16string> attempted(full.journal.begin(),
                                                    full.journal.begin() + failAt);
        EXPECT_EQ(registry.journal, attempted);
        size_t valuesSet = 0;
        for (const auto& entry : registry.values) {
            valuesSet += entry.second.empty() ? 0 : 1;
        }
        size_t setsBefore = 0;
        for (size_t i = 0; i + 1 < failAt; ++i) {
            setsBefore += full.journal[i].rfind(u"set ", 0) == 0 ? 1 : 0;
        }
        EXPECT_EQ(valuesSet, setsBefore) << failAt;
    }
}

TEST(Registration, MissingServerPathFailsAfterTheDescription) {
    FakeRegistry registry;
    registry.serverPath.clear();
    EXPECT_FALSE(RegisterServer(registry));
    const std::map<std::u16string, std::u16string> expected = {
        {kReadClass, u"Pelmora ReadView Menu Extension"},
        {kReadClass + u"\\InprocServer32", u""},
    };
    EXPECT_EQ(registry.values, expected);
    EXPECT_EQ(registry.openKeys, 0);
}

TEST(Unregistration, DeletesServerKeysBeforeTheirClassesThenTheMenus) {
    FakeRegistry registry;
    ASSERT_TRUE(RegisterServer(registry));
    registry.journal.clear();
    ASSERT_TRUE(UnregisterServer(registry));
    EXPECT_TRUE(registry.values.empty());
    const std::vector<std::u16string> expected = {
        u"delete " + kReadClass + u"\\InprocServer32",
        u"delete " + kReadClass,
        u"delete " + kListClass + u"\\InprocServer32",
        u"delete " + kListClass,
        u"delete " + kReadMenu,
        u"delete " + kListMenu,
    };
    EXPECT_EQ(registry.journal, expected);
}

TEST(Unregistration, StopsAtTheFirstMissingKey) {
    FakeRegistry empty;
    EXPECT_FALSE(UnregisterServer(empty));
    EXPECT_EQ(empty.journal.size(), 1u);

    // A registration cut short after the read view's menu: the list view's class key is the
    // first that cannot be deleted, and the read view's menu key stays.
    FakeRegistry partial;
    partial.failAt = 8;  // creating the list view's class key
    EXPECT_FALSE(RegisterServer(partial));
    partial.failAt = 0;
    partial.journal.clear();
    EXPECT_FALSE(UnregisterServer(partial));
    EXPECT_EQ(partial.journal.size(), 3u);
    EXPECT_EQ(partial.values.count(kReadMenu), 1u);
    EXPECT_EQ(partial.values.count(kReadClass), 0u);
}

}  // namespace
}  // namespace pelmora
