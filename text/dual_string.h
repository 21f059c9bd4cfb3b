// DualString: wide (UTF-16) text kept together with its multibyte mirror in the system's
// ANSI code page.
//
// The mirror is observably the conversion of the wide text after every change, except
// right after construction from multibyte bytes, where it holds those bytes unchanged (so
// raw mail keeps its bytes until it is decoded). It is rebuilt lazily, on first read
// after a change, so that building a text by appends stays linear.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace pelmora {

class DualString {
public:
    DualString() = default;
    DualString(const char16_t* wide);  // NOLINT: implicit, as text literals are used freely
    DualString(const char16_t* wide, size_t n);
    explicit DualString(std::u16string wide);
    DualString(const DualString& other);
    DualString(DualString&& other) noexcept;
    ~DualString();

    // Wide text := conversion of the bytes; the mirror keeps the bytes unchanged.
    static DualString FromMultibyte(const char* bytes, size_t n);
    static DualString FromMultibyte(std::string_view bytes) {
        return FromMultibyte(bytes.data(), bytes.size());
    }

    DualString& operator=(const DualString& other);
    DualString& operator=(DualString&& other) noexcept;
    DualString& operator=(const char16_t* wide) { return Assign(wide); }

    DualString& Assign(const char16_t* wide);
    DualString& Assign(const char16_t* wide, size_t n);
    DualString& Assign(const DualString& other) { return *this = other; }
    // Wide text := conversion of the bytes; the mirror is rebuilt from it (the round trip).
    DualString& AssignMultibyte(const char* bytes, size_t n);
    DualString& AssignMultibyte(std::string_view bytes) {
        return AssignMultibyte(bytes.data(), bytes.size());
    }

    DualString& Append(const char16_t* wide);
    DualString& Append(const char16_t* wide, size_t n);
    DualString& Append(const DualString& other);
    DualString& Append(char16_t c);
    DualString& AppendMultibyte(const char* bytes, size_t n);
    DualString& AppendMultibyte(std::string_view bytes) {
        return AppendMultibyte(bytes.data(), bytes.size());
    }

    // Ordinal comparison by UTF-16 code unit: negative, 0 or positive. A null text
    // compares as greater than anything (so the result is "less").
    int Compare(const char16_t* other) const;
    int Compare(const DualString& other) const;
    bool operator==(const DualString& other) const { return wide_ == other.wide_; }
    bool operator!=(const DualString& other) const { return !(*this == other); }
    bool operator==(const char16_t* other) const { return Compare(other) == 0; }
    bool operator!=(const char16_t* other) const { return !(*this == other); }

    // Hands out a writable buffer of `n` characters holding (at most n characters of) the
    // current text; null when it cannot be allocated. ReleaseBuffer(n) takes the first n
    // characters (all when n is -1) up to the first NUL as the new text.
    char16_t* GetBuffer(size_t n);
    void ReleaseBuffer(long n = -1);

    // printf-style formatting into at most 1023 characters; replaces the content.
    // Supports %s (const char16_t*), %d, %u, %x, %X, %c and %%, with flags "-" and "0"
    // and a width. A null format does nothing.
    void Format(const char16_t* format, ...);

    void Clear();

    const std::u16string& Wide() const { return wide_; }
    const char16_t* c_str() const { return wide_.c_str(); }
    const std::string& Multibyte() const;
    size_t Length() const { return wide_.size(); }
    bool Empty() const { return wide_.empty(); }

private:
    void Invalidate() { mirrorStale_ = true; }

    std::u16string wide_;
    mutable std::string mirror_;
    mutable bool mirrorStale_ = false;
    std::unique_ptr<char16_t[]> editBuffer_;
    size_t editLength_ = 0;
};

// NUL-terminated conversions through the code page; null in, or no memory, gives null out.
std::unique_ptr<char16_t[]> WideFromAnsi(const char* bytes) noexcept;
std::unique_ptr<char[]> AnsiFromWide(const char16_t* wide) noexcept;

// Wide text of `n` multibyte bytes, and the multibyte form of wide text.
std::u16string ToWide(std::string_view bytes);
std::string ToMultibyte(std::u16string_view wide);

// Length of a NUL-terminated wide string (0 for null).
size_t WideLength(const char16_t* s);

}  // namespace pelmora
