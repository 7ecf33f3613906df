#pragma once
// Settings files of the private-profile kind: "[Section]" headers, "Key=Value" lines, ";" comments.
// A file that begins with a UTF-8 or UTF-16 byte-order mark is read as that text and written back in the same form;
// callers see its texts as Windows-1252 bytes, like those of any other file. Line ends are kept.
// Sections and keys are found without regard to ASCII case, the first match wins, values are trimmed and lose one
// pair of enclosing quotes. Writing changes only the line concerned, and only when the value it reads as differs:
// comments, unknown keys, order and every other line stay byte for byte, so text that Windows-1252 lacks survives.
// A value is written on one line (OneLine: an outer line break is dropped, inner ones become blanks), in double
// quotes when it would not read back as it is otherwise.

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class IniError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The lines of one settings file held in memory.
class IniDocument {
public:
    // A missing file gives an empty document; an unreadable one raises IniError.
    static IniDocument Load(const std::string &path);
    // Replaces the file atomically (temporary file, then rename; through a symbolic link, its target); a read-only
    // file is not replaced. Raises IniError naming the file on failure.
    void Save(const std::string &path) const;

    bool SectionExists(std::string_view section) const;
    bool ValueExists(std::string_view section, std::string_view key) const;
    // The value, or nothing when the section or key is missing. An existing empty value is "".
    std::optional<std::string> Value(std::string_view section, std::string_view key) const;

    std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback) const;
    // Decimal, "$" hex or "0x" hex; anything else gives the fallback.
    int32_t ReadInteger(std::string_view section, std::string_view key, int32_t fallback) const;
    bool ReadBool(std::string_view section, std::string_view key, bool fallback) const;
    // The key names of a section in file order, duplicates and lines without "=" included.
    std::vector<std::string> ReadSection(std::string_view section) const;
    // "name=value" for each name of ReadSection, with the value of the first line of that key in the file, as
    // ReadString finds it; keys that read as one name only because Windows-1252 lacks their text stay apart.
    std::vector<std::string> ReadSectionValues(std::string_view section) const;

    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int32_t value);
    void WriteBool(std::string_view section, std::string_view key, bool value);
    // Whether a value as read stands for a value to be written.
    using SameValue = std::function<bool(const std::string &read, const std::string &written)>;
    // Makes the section hold the (name, value) pairs, as ReadSectionValues would give them, by changing only what
    // differs: a line that reads as a pair's name and value stays as it is; a pair whose name a line left over
    // reads as takes that line's key with the pair's value; the lines still left over are removed; the pairs still
    // left over are added, except those whose key the section already has. Comments and blank lines stay.
    void WriteSectionValues(std::string_view section, const std::vector<std::pair<std::string, std::string>> &pairs,
                            const SameValue &same);
    void EraseSection(std::string_view section);

private:
    struct Range {
        std::size_t header;   // index of the "[...]" line
        std::size_t end;      // one past the section's last line
    };
    std::optional<Range> findSection(std::string_view section) const;
    std::optional<std::size_t> findKey(const Range &range, std::string_view key) const;
    // The key lines of a section with their names and values as the callers see them: a line of a name that an
    // earlier line has gives that line's value.
    struct KeyLine {
        std::size_t line;
        std::string name, value;
    };
    std::vector<KeyLine> keyLines(const Range &range) const;
    // A value of the callers as a line holds it.
    std::string valueText(std::string_view value) const;
    // Section, key and value as the lines hold them.
    void writeLine(const std::string &section, const std::string &key, const std::string &value);
    void setText(std::size_t line, std::string text);

    // The file's text form: bytes as they are, or Unicode with a byte-order mark (the lines then hold UTF-8).
    enum class Form { Bytes, Utf8, Utf16LE, Utf16BE };
    std::string_view mark() const;
    bool wide() const;
    // One line's bytes to its text and back.
    std::string decode(std::string_view bytes) const;
    std::string encode(std::string_view text) const;
    // Windows-1252 text of the callers to the lines' text and back.
    std::string toLines(std::string_view text) const;
    std::string fromLines(std::string_view text) const;

    struct Line {
        std::string text;
        std::optional<std::string> stored;   // the file's bytes of the text until the line is written
        std::string end;                     // its line end; none after a last line that has none
    };
    std::vector<Line> lines_;
    std::string lineEnd_ = "\r\n";   // of the file's first line, for new lines
    Form form_ = Form::Bytes;
};

// A settings file by name: every call reads the file afresh, every write rewrites it at once.
class IniFile {
public:
    explicit IniFile(std::string path) : path_(std::move(path)) {}
    const std::string &path() const { return path_; }

    IniDocument Read() const { return IniDocument::Load(path_); }
    // Loads, lets `edit` change the document, saves once.
    template <class Edit>
    void Update(Edit &&edit) const
    {
        IniDocument doc = Read();
        edit(doc);
        doc.Save(path_);
    }

    std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback) const
    { return Read().ReadString(section, key, fallback); }
    int32_t ReadInteger(std::string_view section, std::string_view key, int32_t fallback) const
    { return Read().ReadInteger(section, key, fallback); }
    bool ReadBool(std::string_view section, std::string_view key, bool fallback) const
    { return Read().ReadBool(section, key, fallback); }
    std::vector<std::string> ReadSection(std::string_view section) const { return Read().ReadSection(section); }
    std::vector<std::string> ReadSectionValues(std::string_view section) const
    { return Read().ReadSectionValues(section); }

    void WriteString(std::string_view section, std::string_view key, std::string_view value) const
    { Update([&](IniDocument &d) { d.WriteString(section, key, value); }); }
    void WriteInteger(std::string_view section, std::string_view key, int32_t value) const
    { Update([&](IniDocument &d) { d.WriteInteger(section, key, value); }); }
    void WriteBool(std::string_view section, std::string_view key, bool value) const
    { Update([&](IniDocument &d) { d.WriteBool(section, key, value); }); }
    void EraseSection(std::string_view section) const
    { Update([&](IniDocument &d) { d.EraseSection(section); }); }

private:
    std::string path_;
};
