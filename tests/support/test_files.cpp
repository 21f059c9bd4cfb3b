#include "tests/support/test_files.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "text/utf8.h"

#ifndef PELMORA_TEST_DATA_DIR
#error "PELMORA_TEST_DATA_DIR must name tests/data"
#endif

namespace pelmora::testing_support {

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path folder = base / ("pelmora-" + std::to_string(std::random_device{}()));
        if (fs::create_directory(folder, ec)) {
            folder_ = folder.u16string();
            return;
        }
    }
}

ScratchDir::~ScratchDir() {
    // Read-only files would keep their folder on Windows.
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(fs::path(folder_), ec)) {
        fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ec);
    }
    fs::remove_all(fs::path(folder_), ec);
}

std::u16string ScratchDir::Path(const std::u16string& name) const {
    return folder_ + static_cast<char16_t>(fs::path::preferred_separator) + name;
}

bool WriteBytes(const std::u16string& path, const std::string& bytes) {
    std::ofstream f(fs::path(path), std::ios::binary | std::ios::trunc);
    return static_cast<bool>(
        f.write(bytes.data(), static_cast<std::streamsize>(bytes.size())).flush());
}

bool ReadBytes(const std::u16string& path, std::string& bytes) {
    std::ifstream f(fs::path(path), std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    return static_cast<bool>(f);
}

int FilesIn(const std::u16string& folder) {
    int files = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(fs::path(folder), ec)) {
        files += entry.is_regular_file();
    }
    return files;
}

bool SetReadOnly(const std::u16string& path, bool readOnly) {
    const auto write = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    std::error_code ec;
    fs::permissions(fs::path(path), readOnly ? write : fs::perms::owner_write,
                    readOnly ? fs::perm_options::remove : fs::perm_options::add, ec);
    if (ec) {
        return false;
    }
#ifdef _WIN32
    // Wine run by root keeps granting write access to a read-only file.
    if (readOnly && std::ofstream(fs::path(path), std::ios::app)) {
        fs::permissions(fs::path(path), fs::perms::owner_write, fs::perm_options::add, ec);
        return false;
    }
#endif
    return true;
}

std::u16string HostPath(const std::string& path) {
#ifdef _WIN32
    std::u16string p = u"Z:" + WideFromUtf8(path);
    for (char16_t& c : p) {
        c = c == u'/' ? u'\\' : c;
    }
    return p;
#else
    return WideFromUtf8(path);
#endif
}

std::u16string DataPath(const std::u16string& relative) {
    return HostPath(PELMORA_TEST_DATA_DIR "/" + Utf8FromWide(relative));
}

}  // namespace pelmora::testing_support
