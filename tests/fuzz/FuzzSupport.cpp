#include "FuzzTarget.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>

namespace fuzz {

namespace {

// In memory where the system has a memory file system with room, so that the files' writes and syncs cost no disk
// time; else in the temporary folder.
struct Folder {
    std::string path;
    Folder()
    {
        constexpr std::uintmax_t kRoom = 16 << 20;
        std::error_code unknown;
        path = "/dev/shm/cvfuzz-XXXXXX";
        if (std::filesystem::space("/dev/shm", unknown).available >= kRoom && !unknown && mkdtemp(path.data())) return;
        path = (std::filesystem::temp_directory_path() / "cvfuzz-XXXXXX").string();
        if (!mkdtemp(path.data())) throw std::runtime_error("cannot create " + path);
    }
    ~Folder()
    {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

} // namespace

const std::string &WorkDir()
{
    static const Folder folder;
    return folder.path;
}

std::string WriteFile(const std::string &name, std::string_view bytes)
{
    const std::string path = WorkDir() + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    if (!out.flush()) throw std::runtime_error("cannot write " + path);
    return path;
}

} // namespace fuzz
