#pragma once
// File names at the widget edge. A path is the file system's bytes, not model text: it is decoded and encoded the
// way the system names files (UTF-8 here), never as Windows-1252.

#include <QString>
#include <string>
#include <string_view>

QString FromFileName(std::string_view path);
std::string ToFileName(const QString &path);

// A text that may carry a file name beside the model's single-byte text (a message, a caption): read as a file
// name when it is valid UTF-8, else as Windows-1252 text. Plain ASCII reads the same either way.
QString FromTextWithFileNames(std::string_view text);
