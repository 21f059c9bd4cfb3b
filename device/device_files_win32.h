// The profile folder and its files, shared by the emulated device's stand-in libraries.
#pragma once

#include <windows.h>

#include <string>

namespace pelmora::device {

// The profile folder named by PELMORA_DEVICE_PROFILE; false when unset.
bool ProfileFolder(std::u16string& folder);
bool ReadWholeFile(const std::u16string& path, std::string& bytes);
// Appends `line` (one finished JSON line) to a file of the profile.
bool AppendLine(const std::u16string& path, const std::string& line);

}  // namespace pelmora::device
