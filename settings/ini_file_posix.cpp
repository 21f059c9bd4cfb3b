// Native file access for the settings file (the command-line tools and tests).
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <new>

#include "settings/ini_file.h"
#include "text/utf8.h"

namespace pelmora {
namespace {

IniWriteHook g_writeHook = nullptr;

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    int get() const { return fd_; }

private:
    int fd_;
};

bool WriteAll(int fd, const std::string& piece) {
    if (g_writeHook != nullptr && !g_writeHook(piece)) {
        return false;
    }
    size_t done = 0;
    while (done < piece.size()) {
        const ssize_t n = write(fd, piece.data() + done, piece.size() - done);
        if (n <= 0) {
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

void SetIniWriteHookForTesting(IniWriteHook hook) {
    g_writeHook = hook;
}

IniReadResult ReadIniFileBytes(const char16_t* path, std::string& bytes) {
    // Read and write access, as on the device: a read-only file counts as unavailable.
    Fd fd(open(Utf8FromWide(path).c_str(), O_RDWR));
    if (fd.get() < 0 && (errno == ENOENT || errno == ENOTDIR)) {
        return IniReadResult::kMissing;
    }
    struct stat st;
    // The permission bits stand in for the read-only attribute, also for root.
    if (fd.get() < 0 || fstat(fd.get(), &st) != 0 || (st.st_mode & 0222) == 0 ||
        static_cast<unsigned long long>(st.st_size) >= (1ULL << 32)) {
        return IniReadResult::kUnavailable;
    }
    if (st.st_size == 0) {
        return IniReadResult::kMissing;
    }
    try {
        bytes.assign(static_cast<size_t>(st.st_size), '\0');
    } catch (const std::bad_alloc&) {
        return IniReadResult::kUnavailable;
    }
    size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = read(fd.get(), &bytes[got], bytes.size() - got);
        if (n < 0) {
            bytes.clear();
            return IniReadResult::kReadFailed;
        }
        if (n == 0) {
            break;
        }
        got += static_cast<size_t>(n);
    }
    bytes.resize(got);
    return IniReadResult::kOpened;
}

bool ReplaceIniFile(const char16_t* path, const std::vector<std::string>& pieces) {
    const std::string target = Utf8FromWide(path);
    const size_t slash = target.rfind('/');
    std::string temp =
        (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + ".pelXXXXXX";
    Fd fd(mkstemp(&temp[0]));
    if (fd.get() < 0) {
        return false;
    }
    bool ok = true;
    for (size_t i = 0; ok && i < pieces.size(); ++i) {
        ok = WriteAll(fd.get(), pieces[i]);
    }
    ok = ok && fsync(fd.get()) == 0 && fchmod(fd.get(), 0644) == 0;
    if (ok && rename(temp.c_str(), target.c_str()) == 0) {
        return true;
    }
    unlink(temp.c_str());
    return false;
}

}  // namespace pelmora
