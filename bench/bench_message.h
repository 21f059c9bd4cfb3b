// The generated messages the reply-text benchmarks and their peers all read: a
// multipart/mixed ISO-2022-JP message of an exact size with encoded-word headers, a 7-bit
// text/plain part of short lines, a text/html alternative and a small base64 attachment.
#pragma once

#include <cstddef>
#include <string>

namespace pelmora_bench {

// The largest message the reply command reads from the store.
constexpr size_t kLargestRead = 32895;

// The sizes every peer is measured on.
constexpr size_t kMessageSizes[] = {4 << 10, 8 << 10, 16 << 10, 32 << 10, kLargestRead};

inline std::string MakeMessage(size_t size) {
    const std::string head =
        "From: =?ISO-2022-JP?B?GyRCOzNFRBsoQg==?= <yamada@example.jp>\r\n"
        "To: =?ISO-2022-JP?B?GyRCTmtMWhsoQg==?= <suzuki@example.jp>,\r\n"
        " sato@example.jp\r\n"
        "Cc: tanaka@example.jp\r\n"
        "Subject: =?ISO-2022-JP?B?GyRCSlY/LiROJUYlOSVIGyhC?=\r\n"
        " =?ISO-2022-JP?B?GyRCJEckORsoQg==?=\r\n"
        "MIME-Version: 1.0\r\n"
        "Content-Type: multipart/mixed; boundary=\"==mix-0123456789\"\r\n\r\n"
        "--==mix-0123456789\r\n"
        "Content-Type: multipart/alternative; boundary=\"==alt-0123456789\"\r\n\r\n"
        "--==alt-0123456789\r\n"
        "Content-Type: text/plain; charset=ISO-2022-JP\r\n"
        "Content-Transfer-Encoding: 7bit\r\n\r\n";
    std::string tail =
        "--==alt-0123456789\r\n"
        "Content-Type: text/html; charset=ISO-2022-JP\r\n\r\n"
        "<p>html</p>\r\n"
        "--==alt-0123456789--\r\n"
        "--==mix-0123456789\r\n"
        "Content-Type: application/octet-stream; name=\"data.bin\"\r\n"
        "Content-Disposition: attachment; filename=\"data.bin\"\r\n"
        "Content-Transfer-Encoding: base64\r\n\r\n";
    for (int line = 0; line < 4; ++line) {
        tail += "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1Njc4\r\n";
    }
    tail += "--==mix-0123456789--\r\n";
    // こんにちは元気ですか and a line number.
    const std::string words = "\x1b$B$3$s$K$A$O855$$G$9$+\x1b(B ";
    std::string body;
    for (int i = 0; head.size() + body.size() + tail.size() + words.size() + 8 <= size; ++i) {
        body += words + std::to_string(i % 1000) + "\r\n";
    }
    // The last line takes up what is left, so the message has exactly `size` bytes.
    body.insert(body.size() - 2, size - head.size() - body.size() - tail.size(), 'x');
    return head + body + tail;
}

}  // namespace pelmora_bench
