// The portable core when memory runs out: every allocation of an entry point failing in
// turn gives its failure result with its output as it was, never an exception.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <new>
#include <string>

#include "mime/parse_message.h"
#include "reply/reply_rules.h"
#include "settings/ini_document.h"
#include "tests/support/test_files.h"

// The whole program's allocation functions: when `g_countdown` reaches zero, that allocation
// fails (std::bad_alloc, or null for the non-throwing forms) and `g_failed` is set.
namespace {
size_t g_countdown = 0;
bool g_failed = false;

void* Allocate(size_t size) noexcept {
    if (g_countdown != 0 && --g_countdown == 0) {
        g_failed = true;
        return nullptr;
    }
    return std::malloc(size == 0 ? 1 : size);
}
void* AllocateOrThrow(size_t size) {
    void* p = Allocate(size);
    return p != nullptr ? p : throw std::bad_alloc();
}
}  // namespace

// Every form, as the sanitizers' runtime defines every form.
void* operator new(size_t size) {
    return AllocateOrThrow(size);
}
void* operator new[](size_t size) {
    return AllocateOrThrow(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, size_t) noexcept {
    std::free(p);
}

namespace pelmora {
namespace {

// Runs `call` with allocation `n` failing; gives whether the call reached that allocation.
template <typename Call>
bool FailingAt(size_t n, Call call) {
    g_countdown = n;
    g_failed = false;
    call();
    g_countdown = 0;
    return g_failed;
}

TEST(OutOfMemory, EntryPointsFailSoundly) {
    testing_support::ScratchDir dir;
    const std::u16string ini = dir.Path(u"Pelmora.ini");
    // The address is too long for a short string: it allocates once the first entry is in.
    ASSERT_TRUE(
        testing_support::WriteBytes(ini, "[Pelmora]\r\nQuote=TRUE\r\nCc=someone@example.jp\r\n"));
    SettingsRecord settings;
    settings.quoteString = u">";
    settings.signature = u"sig";
    const DualString source(u"line one\r\nline two");
    const std::string mail =
        "From: a@b\r\n"
        "Content-Type: multipart/mixed; boundary=b\r\n\r\n"
        "--b\r\n\r\ntext\r\n--b--\r\n";

    // Each case runs its entry point with allocation n failing, checks the outcome and gives
    // whether allocation n was reached.
    const struct {
        const char* name;
        std::function<bool(size_t n)> run;
    } cases[] = {
        {"ReadIni",
         [&](size_t n) {
             IniDocument doc;
             doc.AddValue(u"old", u"x");
             bool ok = false;
             const bool failed = FailingAt(n, [&] { ok = doc.ReadIni(u"Pelmora", ini.c_str()); });
             EXPECT_EQ(ok, !failed);
             EXPECT_EQ(doc.Entries().size(), failed ? 1u : 3u);
             return failed;
         }},
        {"BuildReplyBody",
         [&](size_t n) {
             DualString body(u"old");
             bool ok = false;
             const bool failed = FailingAt(n, [&] { ok = BuildReplyBody(source, settings, body); });
             EXPECT_EQ(ok, !failed);
             EXPECT_EQ(body.Wide(), failed ? u"old" : u"sig\n> line one\n> line two");
             return failed;
         }},
        // Always succeeds: what was read before memory ran out stays.
        {"ParseMessage",
         [&](size_t n) {
             ParsedMessage parsed;
             bool ok = false;
             const bool failed =
                 FailingAt(n, [&] { ok = ParseMessage(parsed, mail.data(), mail.size()); });
             EXPECT_TRUE(ok);
             EXPECT_TRUE(failed || parsed.body.Wide() == u"text\r\n");
             return failed;
         }},
    };
    for (const auto& c : cases) {
        size_t n = 1;
        while (c.run(n)) {
            ++n;
        }
        EXPECT_GT(n, 1u) << c.name;  // the entry point allocates at all
    }
}

}  // namespace
}  // namespace pelmora
