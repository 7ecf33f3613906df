#include "Cp1252.h"

namespace {

// Unicode of the bytes 80h-9Fh; 0 marks the five bytes that Windows-1252 leaves unassigned (kept as C1 controls).
constexpr char16_t kHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

} // namespace

QString FromCp1252(std::string_view bytes)
{
    QString out;
    out.reserve(qsizetype(bytes.size()));
    for (char c : bytes) {
        auto b = static_cast<unsigned char>(c);
        char16_t u = (b >= 0x80 && b <= 0x9F && kHigh[b - 0x80]) ? kHigh[b - 0x80] : char16_t(b);
        out.append(QChar(u));
    }
    return out;
}

std::string ToCp1252(const QString &text)
{
    std::string out;
    out.reserve(std::size_t(text.size()));
    for (QChar ch : text) {
        char16_t u = ch.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            out += char(u);
            continue;
        }
        char mapped = '?';
        for (int i = 0; i < 32; ++i)
            if (kHigh[i] ? kHigh[i] == u : u == char16_t(0x80 + i)) mapped = char(0x80 + i);
        out += mapped;
    }
    return out;
}
