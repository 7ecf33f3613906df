#pragma once
// Windows-1252 byte text <-> Qt strings, used only at the widget edge.

#include <QString>
#include <string>
#include <string_view>

QString FromCp1252(std::string_view bytes);
// Characters outside Windows-1252 become "?".
std::string ToCp1252(const QString &text);
