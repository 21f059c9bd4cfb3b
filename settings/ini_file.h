// File access behind IniDocument::ReadIni and WriteIni.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace pelmora {

// kMissing: no file, or an empty one (nothing in it to keep). kUnavailable: a file with
// content that could not be opened (held by another program, read-only) or held in memory.
// kReadFailed: opened, but its bytes could not be read.
enum class IniReadResult { kOpened, kMissing, kUnavailable, kReadFailed };

// Reads the whole file, opened for read and write access and shared for reading only (so
// that a writer in progress makes the read fail). On Windows a copy that an interrupted
// replace kept is read when the file itself is not found.
IniReadResult ReadIniFileBytes(const char16_t* path, std::string& bytes);

// Replaces `path` with the pieces so that any failure leaves the old content readable.
bool ReplaceIniFile(const char16_t* path, const std::vector<std::string>& pieces);

// Test seam: the low-level write used for each piece. Returns false to fail the write.
using IniWriteHook = bool (*)(const std::string& piece);
void SetIniWriteHookForTesting(IniWriteHook hook);

}  // namespace pelmora
