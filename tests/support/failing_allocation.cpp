#include "tests/support/failing_allocation.h"

#include <cstdlib>
#include <new>

namespace pelmora::testing_support {
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
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    return p;
}

}  // namespace

void FailAllocation(size_t n) {
    g_countdown = n;
    g_failed = false;
}

bool AllocationFailed() {
    return g_failed;
}

}  // namespace pelmora::testing_support

using pelmora::testing_support::Allocate;
using pelmora::testing_support::AllocateOrThrow;

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
