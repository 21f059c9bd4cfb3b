// Shared pieces of the emulated device's contacts library: the profile's contacts and
// faults, and the accounting of the strings handed to callers.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "device/cemapi/device_profile.h"

namespace pelmora::device {

// What the profile named by PELMORA_DEVICE_PROFILE says about contacts, read at each call
// so that a test can change it between calls. Without a profile: no contacts, no faults.
struct ContactsProfile {
    std::vector<ContactEntry> contacts;
    Faults faults;
};
ContactsProfile ReadContactsProfile() noexcept;

// A string for the caller to free with SysFreeString, counted until it is freed.
BSTR AllocCountedString(const std::u16string& text);

}  // namespace pelmora::device
