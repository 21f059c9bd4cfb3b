// Pictures of the emulated device's screen for tests, written as PNG files.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace pelmora::testing_support {

// Lets `draw` paint the screen rectangle `area` into a memory device context (whose origin
// is the area's top left corner) and writes the result to `path`; false on failure.
bool SaveScreenPicture(const std::u16string& path, const RECT& area,
                       const std::function<void(HDC memory)>& draw);

}  // namespace pelmora::testing_support
