// Body charsets other than ISO-2022-JP go through a COM service on Windows. The Inbox
// initialises COM on its thread before any conversion; so does every test program that
// includes this, on its main thread, for the program's lifetime.
#pragma once

#ifdef _WIN32
#include <objbase.h>

namespace pelmora {
inline const bool kComApartment = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}  // namespace pelmora
#endif
