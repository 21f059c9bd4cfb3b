// File access behind IniDocument::ReadIni and WriteIni.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace pelmora {

enum class IniReadResult { kOpened, kUnavailable };

// Reads the whole file, opened for read and write access and shared for reading only (so
// that a writer in progress makes the read fail). kUnavailable: missing, not openable,
// empty, too large or out of memory. A failing read of an opened file gives kOpened with
// no bytes.
IniReadResult ReadIniFileBytes(const char16_t* path, std::string& bytes);

// Writes the pieces to a temporary file next to `path`, then replaces `path` with it.
bool ReplaceIniFile(const char16_t* path, const std::vector<std::string>& pieces);

// Test seam: the low-level write used for each piece. Returns false to fail the write.
using IniWriteHook = bool (*)(const std::string& piece);
void SetIniWriteHookForTesting(IniWriteHook hook);

}  // namespace pelmora
