#include "IniFile.h"

#include "FileContents.h"
#include "Text.h"
#include "Unicode.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LEMark = "\xFF\xFE";
constexpr std::string_view kUtf16BEMark = "\xFE\xFF";

enum class LineKind { Blank, Comment, Header, Key };

LineKind kindOf(const std::string &line)
{
    std::string t = TrimLeft(line);
    if (t.empty()) return LineKind::Blank;
    if (t[0] == ';') return LineKind::Comment;
    if (t[0] == '[') return LineKind::Header;
    return LineKind::Key;
}

std::string headerName(const std::string &line)
{
    std::string t = TrimLeft(line).substr(1);
    auto close = t.find(']');
    return Trim(close == std::string::npos ? t : t.substr(0, close));
}

// Key name of a key line: the text before the first "=", or the whole line when it has none.
std::string keyName(const std::string &line) { return Trim(line.substr(0, line.find('='))); }

bool hasValue(const std::string &line) { return line.find('=') != std::string::npos; }

std::string valueOf(const std::string &line)
{
    std::string v = Trim(line.substr(line.find('=') + 1));
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

// Values that would not read back unchanged are written in double quotes.
std::string encodeValue(std::string_view value)
{
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };   // what reading trims
    bool quote = !value.empty() && (blank(value.front()) || blank(value.back()));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        quote = true;
    return quote ? "\"" + std::string(value) + "\"" : std::string(value);
}

} // namespace

IniDocument IniDocument::Load(const std::string &path)
{
    IniDocument doc;
    std::error_code missing;
    if (!std::filesystem::exists(path, missing)) return doc;
    std::ifstream in(path, std::ios::binary);
    if (!in) throw IniError("Unable to read " + path);
    std::ostringstream buf;
    buf << in.rdbuf();
    const std::string text = doc.decode(buf.str());

    bool endSeen = false;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c != '\r' && c != '\n') {
            line += c;
            continue;
        }
        bool crlf = c == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
        if (!endSeen) {
            doc.lineEnd_ = crlf ? "\r\n" : std::string(1, c);
            endSeen = true;
        }
        if (crlf) ++i;
        doc.lines_.push_back(std::move(line));
        line.clear();
    }
    if (!line.empty()) doc.lines_.push_back(std::move(line));
    return doc;
}

void IniDocument::Save(const std::string &path) const
{
    std::string text;
    for (const std::string &line : lines_) text += line + lineEnd_;
    if (!WriteFileAtomically(path, encode(text)))
        throw IniError("Unable to write to " + path + ": " + std::strerror(errno));
}

std::string IniDocument::decode(std::string bytes)
{
    const auto starts = [&](std::string_view mark) { return bytes.compare(0, mark.size(), mark) == 0; };
    if (starts(kUtf8Mark)) {
        form_ = Form::Utf8;
        return bytes.substr(kUtf8Mark.size());
    }
    if (starts(kUtf16LEMark) || starts(kUtf16BEMark)) {
        form_ = starts(kUtf16LEMark) ? Form::Utf16LE : Form::Utf16BE;
        return Utf16ToUtf8(std::string_view(bytes).substr(2), form_ == Form::Utf16BE);
    }
    return bytes;
}

std::string IniDocument::encode(const std::string &text) const
{
    switch (form_) {
    case Form::Bytes: return text;
    case Form::Utf8: return std::string(kUtf8Mark) + text;
    case Form::Utf16LE: return std::string(kUtf16LEMark) + Utf8ToUtf16(text, false);
    case Form::Utf16BE: return std::string(kUtf16BEMark) + Utf8ToUtf16(text, true);
    }
    return text;
}

std::string IniDocument::toLines(std::string_view text) const
{
    return form_ == Form::Bytes ? std::string(text) : Cp1252ToUtf8(text);
}

std::string IniDocument::fromLines(std::string_view text) const
{
    return form_ == Form::Bytes ? std::string(text) : Utf8ToCp1252(text);
}

std::optional<IniDocument::Range> IniDocument::findSection(std::string_view section) const
{
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (kindOf(lines_[i]) != LineKind::Header || !SameText(headerName(lines_[i]), section)) continue;
        std::size_t end = i + 1;
        while (end < lines_.size() && kindOf(lines_[end]) != LineKind::Header) ++end;
        return Range {i, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> IniDocument::findKey(const Range &range, std::string_view key) const
{
    for (std::size_t i = range.header + 1; i < range.end; ++i)
        if (kindOf(lines_[i]) == LineKind::Key && hasValue(lines_[i]) && SameText(keyName(lines_[i]), key))
            return i;
    return std::nullopt;
}

bool IniDocument::SectionExists(std::string_view section) const { return findSection(toLines(section)).has_value(); }

bool IniDocument::ValueExists(std::string_view section, std::string_view key) const
{
    return Value(section, key).has_value();
}

std::optional<std::string> IniDocument::Value(std::string_view section, std::string_view key) const
{
    auto range = findSection(toLines(section));
    if (!range) return std::nullopt;
    auto line = findKey(*range, toLines(key));
    if (!line) return std::nullopt;
    return fromLines(valueOf(lines_[*line]));
}

std::string IniDocument::ReadString(std::string_view section, std::string_view key, std::string_view fallback) const
{
    auto v = Value(section, key);
    return v ? *v : std::string(fallback);
}

int32_t IniDocument::ReadInteger(std::string_view section, std::string_view key, int32_t fallback) const
{
    auto v = Value(section, key);
    if (!v) return fallback;
    if (v->size() > 2 && (*v)[0] == '0' && ((*v)[1] == 'x' || (*v)[1] == 'X'))
        return StrToIntDef("$" + v->substr(2), fallback);
    return StrToIntDef(*v, fallback);
}

bool IniDocument::ReadBool(std::string_view section, std::string_view key, bool fallback) const
{
    return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

std::vector<std::string> IniDocument::ReadSection(std::string_view section) const
{
    std::vector<std::string> keys;
    for (const std::string &pair : ReadSectionValues(section)) keys.push_back(pair.substr(0, pair.find('=')));
    return keys;
}

std::vector<std::string> IniDocument::ReadSectionValues(std::string_view section) const
{
    std::vector<std::string> pairs;
    auto range = findSection(toLines(section));
    if (!range) return pairs;
    for (std::size_t i = range->header + 1; i < range->end; ++i) {
        if (kindOf(lines_[i]) != LineKind::Key) continue;
        const std::string key = keyName(lines_[i]);
        const auto line = findKey(*range, key);   // the first line of that name gives the value
        pairs.push_back(fromLines(key) + "=" + (line ? fromLines(valueOf(lines_[*line])) : std::string()));
    }
    return pairs;
}

void IniDocument::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    writeLine(toLines(section), toLines(key), encodeValue(toLines(value)));
}

void IniDocument::writeLine(const std::string &section, const std::string &key, const std::string &value)
{
    auto range = findSection(section);
    if (!range) {
        lines_.push_back("[" + section + "]");
        lines_.push_back(key + "=" + value);
        return;
    }
    if (auto line = findKey(*range, key)) {
        lines_[*line] = keyName(lines_[*line]) + "=" + value;
        return;
    }
    std::size_t at = range->end;
    while (at > range->header + 1 && kindOf(lines_[at - 1]) == LineKind::Blank) --at;
    lines_.insert(lines_.begin() + std::ptrdiff_t(at), key + "=" + value);
}

void IniDocument::WriteInteger(std::string_view section, std::string_view key, int32_t value)
{
    WriteString(section, key, std::to_string(value));
}

void IniDocument::WriteBool(std::string_view section, std::string_view key, bool value)
{
    WriteString(section, key, value ? "1" : "0");
}

void IniDocument::EraseSection(std::string_view section)
{
    const std::string name = toLines(section);
    while (auto range = findSection(name))
        lines_.erase(lines_.begin() + std::ptrdiff_t(range->header), lines_.begin() + std::ptrdiff_t(range->end));
}
