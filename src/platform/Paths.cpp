#include "Paths.h"

#include "Text.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

std::string ToSlashes(std::string_view path)
{
    std::string out(path);
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

namespace {

// The entry of `dir` whose name equals `name` without regard to case, or empty.
std::string findEntry(const fs::path &dir, const std::string &name)
{
    std::error_code ec;
    std::vector<std::string> matches;
    for (fs::directory_iterator it(dir.empty() ? fs::path(".") : dir, ec), end; !ec && it != end;
         it.increment(ec)) {
        std::string entry = it->path().filename().string();
        if (SameText(entry, name)) matches.push_back(entry);
    }
    if (matches.empty()) return {};
    return *std::min_element(matches.begin(), matches.end());
}

} // namespace

std::string ResolveCaseInsensitive(std::string_view path)
{
    const std::string written = ToSlashes(path);
    std::error_code ec;
    if (written.empty() || fs::exists(written, ec)) return written;

    fs::path p(written);
    fs::path resolved = p.root_path();
    for (const fs::path &part : p.relative_path()) {
        const std::string name = part.string();
        fs::path next = resolved / part;
        if (name == "." || name == ".." || fs::exists(next, ec)) {
            resolved = next;
            continue;
        }
        std::string match = findEntry(resolved, name);
        if (match.empty()) return written;
        resolved /= match;
    }
    return resolved.string();
}

bool FileExistsCi(std::string_view path)
{
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(ResolveCaseInsensitive(path), ec);
}

std::string ExtractFileName(std::string_view path)
{
    auto pos = path.find_last_of("/\\");
    return std::string(pos == std::string_view::npos ? path : path.substr(pos + 1));
}

std::string ExtractFilePath(std::string_view path)
{
    auto pos = path.find_last_of("/\\");
    return pos == std::string_view::npos ? std::string() : std::string(path.substr(0, pos + 1));
}

std::string ExtractFileExt(std::string_view path)
{
    std::string name = ExtractFileName(path);
    auto pos = name.rfind('.');
    return pos == std::string::npos ? std::string() : name.substr(pos);
}

std::string AbsolutePath(const std::string &path)
{
    if (path.empty()) return {};
    std::error_code ec;
    const fs::path full = fs::absolute(path, ec);
    return ec ? path : full.string();
}
