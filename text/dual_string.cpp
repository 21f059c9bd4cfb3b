#include "text/dual_string.h"

#include <cstdarg>
#include <cstring>
#include <new>

#include "text/codepage.h"
#include "text/format.h"

namespace pelmora {

size_t WideLength(const char16_t* s) {
    if (s == nullptr) {
        return 0;
    }
    size_t n = 0;
    while (s[n] != 0) {
        ++n;
    }
    return n;
}

std::u16string ToWide(std::string_view bytes) {
    std::u16string out;
    AppendWideFromAnsi(bytes.data(), bytes.size(), out);
    return out;
}

std::string ToMultibyte(std::u16string_view wide) {
    std::string out;
    AppendAnsiFromWide(wide.data(), wide.size(), out);
    return out;
}

std::unique_ptr<char16_t[]> WideFromAnsi(const char* bytes) noexcept try {
    if (bytes == nullptr) {
        return nullptr;
    }
    std::u16string w;
    if (!AppendWideFromAnsi(bytes, std::strlen(bytes), w)) {
        return nullptr;
    }
    std::unique_ptr<char16_t[]> out(new (std::nothrow) char16_t[w.size() + 1]);
    if (out) {
        std::memcpy(out.get(), w.c_str(), (w.size() + 1) * sizeof(char16_t));
    }
    return out;
} catch (const std::bad_alloc&) {
    return nullptr;
}

std::unique_ptr<char[]> AnsiFromWide(const char16_t* wide) noexcept try {
    if (wide == nullptr) {
        return nullptr;
    }
    std::string a;
    if (!AppendAnsiFromWide(wide, WideLength(wide), a)) {
        return nullptr;
    }
    std::unique_ptr<char[]> out(new (std::nothrow) char[a.size() + 1]);
    if (out) {
        std::memcpy(out.get(), a.c_str(), a.size() + 1);
    }
    return out;
} catch (const std::bad_alloc&) {
    return nullptr;
}

DualString::DualString(const char16_t* wide) : DualString(wide, WideLength(wide)) {}

DualString::DualString(const char16_t* wide, size_t n) {
    if (wide != nullptr) {
        wide_.assign(wide, n);
    }
    Invalidate();
}

DualString::DualString(std::u16string wide) : wide_(std::move(wide)) {
    Invalidate();
}

DualString::DualString(const DualString& other) : wide_(other.wide_) {
    Invalidate();
}

DualString::DualString(DualString&& other) noexcept
    : wide_(std::move(other.wide_)),
      mirror_(std::move(other.mirror_)),
      mirrorStale_(other.mirrorStale_) {
    other.Clear();
}

DualString::~DualString() = default;

DualString DualString::FromMultibyte(const char* bytes, size_t n) {
    DualString s;
    if (bytes != nullptr && n > 0) {
        AppendWideFromAnsi(bytes, n, s.wide_);
        s.mirror_.assign(bytes, n);
    }
    return s;
}

DualString& DualString::operator=(const DualString& other) {
    if (this != &other) {
        wide_ = other.wide_;
        Invalidate();
    }
    return *this;
}

DualString& DualString::operator=(DualString&& other) noexcept {
    if (this != &other) {
        wide_ = std::move(other.wide_);
        mirror_ = std::move(other.mirror_);
        mirrorStale_ = other.mirrorStale_;
        other.Clear();
    }
    return *this;
}

DualString& DualString::Assign(const char16_t* wide) {
    return Assign(wide, WideLength(wide));
}

DualString& DualString::Assign(const char16_t* wide, size_t n) {
    if (wide == nullptr) {
        wide_.clear();
    } else {
        wide_.assign(wide, n);
    }
    Invalidate();
    return *this;
}

DualString& DualString::AssignMultibyte(const char* bytes, size_t n) {
    std::u16string w;
    if (bytes != nullptr && n > 0 && !AppendWideFromAnsi(bytes, n, w)) {
        return *this;
    }
    wide_ = std::move(w);
    Invalidate();
    return *this;
}

DualString& DualString::Append(const char16_t* wide) {
    return Append(wide, WideLength(wide));
}

DualString& DualString::Append(const char16_t* wide, size_t n) {
    if (wide != nullptr) {
        wide_.append(wide, n);
        Invalidate();
    }
    return *this;
}

DualString& DualString::Append(const DualString& other) {
    if (this == &other) {
        std::u16string copy = other.wide_;
        wide_ += copy;
    } else {
        wide_ += other.wide_;
    }
    Invalidate();
    return *this;
}

DualString& DualString::Append(char16_t c) {
    wide_.push_back(c);
    Invalidate();
    return *this;
}

DualString& DualString::AppendMultibyte(const char* bytes, size_t n) {
    if (bytes != nullptr && n > 0) {
        const size_t old = wide_.size();
        if (!AppendWideFromAnsi(bytes, n, wide_)) {
            wide_.resize(old);
            return *this;
        }
        Invalidate();
    }
    return *this;
}

int DualString::Compare(const char16_t* other) const {
    if (other == nullptr) {
        return -1;
    }
    const size_t n = WideLength(other);
    const int r = std::u16string_view(wide_).compare(std::u16string_view(other, n));
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

int DualString::Compare(const DualString& other) const {
    const int r = wide_.compare(other.wide_);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

char16_t* DualString::GetBuffer(size_t n) {
    std::unique_ptr<char16_t[]> buffer(new (std::nothrow) char16_t[n + 1]());
    if (!buffer) {
        return nullptr;
    }
    const size_t copy = wide_.size() < n ? wide_.size() : n;
    std::memcpy(buffer.get(), wide_.data(), copy * sizeof(char16_t));
    editBuffer_ = std::move(buffer);
    editLength_ = n;
    return editBuffer_.get();
}

void DualString::ReleaseBuffer(long n) {
    if (!editBuffer_) {
        return;
    }
    const size_t limit = n < 0 ? editLength_ : static_cast<size_t>(n);
    size_t len = 0;
    while (len < limit && len < editLength_ && editBuffer_[len] != 0) {
        ++len;
    }
    wide_.assign(editBuffer_.get(), len);
    Invalidate();
    editBuffer_.reset();
    editLength_ = 0;
}

void DualString::Format(const char16_t* format, ...) {
    if (format == nullptr) {
        return;
    }
    va_list args;
    va_start(args, format);
    std::u16string out = FormatWideV(format, args, 1023);
    va_end(args);
    wide_ = std::move(out);
    Invalidate();
}

void DualString::Clear() {
    wide_.clear();
    wide_.shrink_to_fit();
    mirror_.clear();
    mirror_.shrink_to_fit();
    mirrorStale_ = false;
    editBuffer_.reset();
    editLength_ = 0;
}

const std::string& DualString::Multibyte() const {
    if (mirrorStale_) {
        std::string m;
        if (AppendAnsiFromWide(wide_.data(), wide_.size(), m)) {
            mirror_ = std::move(m);
        }
        mirrorStale_ = false;
    }
    return mirror_;
}

}  // namespace pelmora
