#include "Cp1252.h"

#include "platform/Unicode.h"

QString FromCp1252(std::string_view bytes)
{
    QString out;
    out.reserve(qsizetype(bytes.size()));
    for (char c : bytes) out.append(QChar(char16_t(Cp1252ToUnicode(static_cast<unsigned char>(c)))));
    return out;
}

std::string ToCp1252(const QString &text)
{
    std::string out;
    out.reserve(std::size_t(text.size()));
    for (QChar ch : text) out += UnicodeToCp1252(ch.unicode()).value_or('?');
    return out;
}
