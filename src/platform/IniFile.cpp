#include "IniFile.h"

#include "FileContents.h"
#include "Text.h"
#include "Unicode.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LEMark = "\xFF\xFE";
constexpr std::string_view kUtf16BEMark = "\xFE\xFF";

enum class LineKind { Blank, Comment, Header, Key };

// Every lookup asks these of each line: they copy nothing.
LineKind kindOf(std::string_view line)
{
    const std::string_view t = TrimmedView(line);
    if (t.empty()) return LineKind::Blank;
    if (t[0] == ';') return LineKind::Comment;
    if (t[0] == '[') return LineKind::Header;
    return LineKind::Key;
}

std::string_view headerName(std::string_view line)
{
    const std::string_view t = TrimmedView(line).substr(1);
    return TrimmedView(t.substr(0, t.find(']')));
}

// Key name of a key line: the text before the first "=", or the whole line when it has none.
std::string_view keyName(std::string_view line) { return TrimmedView(line.substr(0, line.find('='))); }

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
    const std::optional<std::string> read = ReadFileContents(path);
    if (!read) throw IniError("Unable to read " + path);
    const std::string &bytes = *read;
    const auto starts = [&](std::string_view mark) { return bytes.compare(0, mark.size(), mark) == 0; };
    doc.form_ = starts(kUtf8Mark) ? Form::Utf8 : starts(kUtf16LEMark) ? Form::Utf16LE
                                              : starts(kUtf16BEMark) ? Form::Utf16BE : Form::Bytes;

    // The file is cut into lines by its own code units, so that each line keeps its bytes.
    const std::string_view file(bytes);
    const bool wide = doc.wide();
    const std::size_t unit = wide ? 2 : 1;
    const auto code = [&](std::size_t i) {
        if (!wide) return static_cast<unsigned char>(file[i]) + 0u;
        const unsigned a = static_cast<unsigned char>(file[i]), b = static_cast<unsigned char>(file[i + 1]);
        return doc.form_ == Form::Utf16BE ? (a << 8) | b : (b << 8) | a;
    };
    // Where the line from `at` ends: its break, or the file's end (also after an odd last byte).
    const auto breakAt = [&](std::size_t at) {
        if (!wide) return std::min(file.find_first_of("\r\n", at), file.size());
        while (at + unit <= file.size() && code(at) != '\r' && code(at) != '\n') at += unit;
        return at + unit <= file.size() ? at : file.size();
    };
    bool endSeen = false;
    std::size_t start = doc.mark().size();
    while (start < file.size()) {
        std::size_t i = breakAt(start);
        const std::string_view stored = file.substr(start, i - start);
        std::string end;
        if (i < file.size()) {
            end = char(code(i));
            i += unit;
            if (end == "\r" && i + unit <= file.size() && code(i) == '\n') {
                end += '\n';
                i += unit;
            }
            if (!endSeen) doc.lineEnd_ = end;
            endSeen = true;
        }
        doc.lines_.push_back({doc.decode(stored), std::string(stored), end});
        start = i;
    }
    return doc;
}

void IniDocument::Save(const std::string &path) const
{
    std::string bytes(mark());
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const Line &line = lines_[i];
        const bool ended = !line.end.empty() || i + 1 == lines_.size();
        // A last line that lines now follow takes a line end; UTF-16 after an odd byte could not be read.
        const bool asStored = line.stored && (ended || !wide() || line.stored->size() % 2 == 0);
        bytes += asStored ? *line.stored : encode(line.text);
        bytes += encode(ended ? line.end : lineEnd_);
    }
    if (!WriteFileAtomically(path, bytes))
        throw IniError("Unable to write to " + path + ": " + std::strerror(errno));
}

std::string_view IniDocument::mark() const
{
    return form_ == Form::Utf8 ? kUtf8Mark : form_ == Form::Utf16LE ? kUtf16LEMark
                                           : form_ == Form::Utf16BE ? kUtf16BEMark : std::string_view();
}

bool IniDocument::wide() const { return form_ == Form::Utf16LE || form_ == Form::Utf16BE; }

std::string IniDocument::decode(std::string_view bytes) const
{
    return wide() ? Utf16ToUtf8(bytes, form_ == Form::Utf16BE) : std::string(bytes);
}

std::string IniDocument::encode(std::string_view text) const
{
    return wide() ? Utf8ToUtf16(text, form_ == Form::Utf16BE) : std::string(text);
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
        if (kindOf(lines_[i].text) != LineKind::Header || !SameText(headerName(lines_[i].text), section)) continue;
        std::size_t end = i + 1;
        while (end < lines_.size() && kindOf(lines_[end].text) != LineKind::Header) ++end;
        return Range {i, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> IniDocument::findKey(const Range &range, std::string_view key) const
{
    for (std::size_t i = range.header + 1; i < range.end; ++i) {
        const std::string &line = lines_[i].text;
        if (kindOf(line) == LineKind::Key && hasValue(line) && SameText(keyName(line), key)) return i;
    }
    return std::nullopt;
}

std::vector<IniDocument::KeyLine> IniDocument::keyLines(const Range &range) const
{
    std::vector<KeyLine> keys;
    for (std::size_t i = range.header + 1; i < range.end; ++i) {
        if (kindOf(lines_[i].text) != LineKind::Key) continue;
        const std::string key(keyName(lines_[i].text));
        const auto line = findKey(range, key);
        keys.push_back({i, fromLines(key), line ? fromLines(valueOf(lines_[*line].text)) : std::string()});
    }
    return keys;
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
    return fromLines(valueOf(lines_[*line].text));
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
    if (auto range = findSection(toLines(section)))
        for (const KeyLine &key : keyLines(*range)) keys.push_back(key.name);
    return keys;
}

std::vector<std::string> IniDocument::ReadSectionValues(std::string_view section) const
{
    std::vector<std::string> pairs;
    if (auto range = findSection(toLines(section)))
        for (const KeyLine &key : keyLines(*range)) pairs.push_back(key.name + "=" + key.value);
    return pairs;
}

void IniDocument::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    if (Value(section, key) == OneLine(value)) return;
    writeLine(toLines(section), toLines(key), valueText(value));
}

std::string IniDocument::valueText(std::string_view value) const { return encodeValue(toLines(OneLine(value))); }

void IniDocument::writeLine(const std::string &section, const std::string &key, const std::string &value)
{
    auto range = findSection(section);
    if (!range) {
        lines_.push_back({"[" + section + "]", std::nullopt, lineEnd_});
        lines_.push_back({key + "=" + value, std::nullopt, lineEnd_});
        return;
    }
    if (auto line = findKey(*range, key)) {
        setText(*line, std::string(keyName(lines_[*line].text)) + "=" + value);
        return;
    }
    std::size_t at = range->end;
    while (at > range->header + 1 && kindOf(lines_[at - 1].text) == LineKind::Blank) --at;
    lines_.insert(lines_.begin() + std::ptrdiff_t(at), {key + "=" + value, std::nullopt, lineEnd_});
}

void IniDocument::setText(std::size_t line, std::string text)
{
    lines_[line].text = std::move(text);
    lines_[line].stored.reset();
}

void IniDocument::WriteInteger(std::string_view section, std::string_view key, int32_t value)
{
    WriteString(section, key, std::to_string(value));
}

void IniDocument::WriteBool(std::string_view section, std::string_view key, bool value)
{
    WriteString(section, key, value ? "1" : "0");
}

void IniDocument::WriteSectionValues(std::string_view section,
                                     const std::vector<std::pair<std::string, std::string>> &pairs,
                                     const SameValue &same)
{
    const auto range = findSection(toLines(section));
    const std::vector<KeyLine> keys = range ? keyLines(*range) : std::vector<KeyLine> {};
    std::vector<bool> kept(keys.size()), placed(pairs.size());
    // Lines that read as a pair stay; then a line whose key reads as a pair's name takes its value.
    const auto place = [&](auto &&fits) {
        for (std::size_t p = 0; p < pairs.size(); ++p)
            for (std::size_t k = 0; !placed[p] && k < keys.size(); ++k)
                if (!kept[k] && keys[k].name == pairs[p].first && fits(keys[k], pairs[p])) kept[k] = placed[p] = true;
    };
    place([&](const KeyLine &key, const auto &pair) { return same(key.value, pair.second); });
    place([&](const KeyLine &key, const auto &pair) {
        setText(key.line, std::string(keyName(lines_[key.line].text)) + "=" + valueText(pair.second));
        return true;
    });
    for (std::size_t k = keys.size(); k-- > 0;)
        if (!kept[k]) lines_.erase(lines_.begin() + std::ptrdiff_t(keys[k].line));
    for (std::size_t p = 0; p < pairs.size(); ++p)
        if (!placed[p] && !ValueExists(section, pairs[p].first)) WriteString(section, pairs[p].first, pairs[p].second);
}

void IniDocument::EraseSection(std::string_view section)
{
    const std::string name = toLines(section);
    while (auto range = findSection(name))
        lines_.erase(lines_.begin() + std::ptrdiff_t(range->header), lines_.begin() + std::ptrdiff_t(range->end));
}
