// Replacing a small file so that a failure or a killed process at any point leaves the old
// content readable, with only the file calls the handheld's coredll has.
//
// The handheld has no MoveFileExW and no ReplaceFileW; its MoveFileW fails when the new
// name exists ("MoveFile (Windows CE 5.0)"), and DeleteAndRenameFile works only in the
// object store ("DeleteAndRenameFile (Windows CE 5.0)"), so it cannot serve a file on a
// storage card. A replace therefore goes in steps over three names in the file's folder:
//
//   <path>.new  the new content, written and flushed (FlushFileBuffers) before anything moves;
//   <path>.old  the old file, set aside by MoveFileW, kept until the new one is in place;
//   <path>      the new file, moved in by MoveFileW.
//
// At every moment <path> or <path>.old holds a whole file. Readers open <path> as before and
// take <path>.old only when <path> is not found.
#pragma once

#include <windows.h>

#include <cstddef>

namespace pelmora {

// The steps of a replace, in order; the test seam below can fail or stop at each.
enum class ReplaceStep {
    kWriteSide,  // create <path>.new and write the content
    kFlushSide,  // flush it to storage
    kDropStale,  // drop a <path>.old that an interrupted replace left beside a whole <path>
    kSetAside,   // <path> becomes <path>.old (tried again while a reader holds <path>)
    kMoveIn,     // <path>.new becomes <path>
    kPutBack,    // after a failed move-in: <path>.old becomes <path> again
    kDropKept,   // the replace is done: <path>.old goes
};
constexpr int kReplaceStepCount = 7;

// Writes the new content to the open side file; false fails the replace.
using ReplaceWriter = bool (*)(HANDLE file, void* context);

// Replaces the file at `path` (or creates it) with what `write` writes. True once the new
// content is at `path`. False leaves the old content readable: at `path`, or at the kept
// copy when even putting it back failed. A read-only file is not replaced.
bool ReplaceFileSafely(const wchar_t* path, ReplaceWriter write, void* context);
bool ReplaceFileSafely(const wchar_t* path, const void* bytes, size_t size);

// CreateFileW(path, access, share, OPEN_EXISTING): when `path` is not found, the copy an
// interrupted replace kept is opened instead. INVALID_HANDLE_VALUE with the error of the
// open of `path` when neither opens.
HANDLE OpenReplacedFile(const wchar_t* path, DWORD access, DWORD share);

// MoveFileW(path, to) of what a reader of `path` would read: `path` itself, or, when it is not
// found, the copy an interrupted replace kept. Fails as MoveFileW does when `to` exists.
bool MoveReplacedFile(const wchar_t* path, const wchar_t* to);

// Deletes `path` and any kept copy (the copy first, so that an interruption never brings an
// older content back). True when neither exists afterwards.
bool RemoveReplacedFile(const wchar_t* path);

// Test seam: called before each step, and before each attempt of kSetAside. Returning false
// fails that step as a failing platform call would.
using ReplaceStepHook = bool (*)(ReplaceStep step);
void SetReplaceStepHookForTesting(ReplaceStepHook hook);

}  // namespace pelmora
