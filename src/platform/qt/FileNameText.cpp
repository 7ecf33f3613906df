#include "FileNameText.h"

#include "Cp1252.h"

#include <QFile>
#include <QStringDecoder>

QString FromFileName(std::string_view path)
{
    return QFile::decodeName(QByteArray(path.data(), qsizetype(path.size())));
}

std::string ToFileName(const QString &path) { return QFile::encodeName(path).toStdString(); }

QString FromTextWithFileNames(std::string_view text)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(QByteArrayView(text.data(), qsizetype(text.size())));
    return utf8.hasError() ? FromCp1252(text) : decoded;
}
