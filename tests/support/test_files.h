// Scratch folders and raw file access for tests, on both builds.
#pragma once

#include <string>

namespace pelmora::testing_support {

// A fresh folder for one test, removed with everything in it when the object goes away.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    // Full path of `name` inside the folder, in the platform's form.
    std::u16string Path(const std::u16string& name) const;
    const std::u16string& Folder() const { return folder_; }

private:
    std::u16string folder_;
};

bool WriteBytes(const std::u16string& path, const std::string& bytes);
bool ReadBytes(const std::u16string& path, std::string& bytes);
// The files (not folders) directly in `folder`.
int FilesIn(const std::u16string& folder);
// False when the file system cannot make the file read-only for the current user.
bool SetReadOnly(const std::u16string& path, bool readOnly);

// A build or source tree path as the test program reaches it (under Wine: the Z: drive).
std::u16string HostPath(const std::string& path);
// A file of the tests' source data (tests/data), platform form.
std::u16string DataPath(const std::u16string& relative);

}  // namespace pelmora::testing_support
