#include "SerPortMap.h"

#include "SerTtyDriver.h"

#include <grp.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

std::string SerDevicePath(int comNumber)
{
    if (comNumber < 1)
        return {};
    if (const char *path = std::getenv(("SERIAL_COM" + std::to_string(comNumber)).c_str()))
        return path;
    const char *noDefaults = std::getenv("SERIAL_NO_DEFAULT_PORTS");
    if (noDefaults && std::strcmp(noDefaults, "1") == 0)
        return {};
    static const char *const families[] = {"/dev/ttyS", "/dev/ttyUSB", "/dev/ttyACM"};
    const int family = (comNumber - 1) / 16;
    if (family >= 3)
        return {};
    return families[family] + std::to_string((comNumber - 1) % 16);
}

std::string SerPortName(int comNumber)
{
    const std::string path = SerDevicePath(comNumber);
    const std::string name = "COM" + std::to_string(comNumber);
    return path.empty() ? name : name + ", " + path;
}

std::string SerDeviceGroup(const std::string &path)
{
    struct stat node {};
    if (path.empty() || stat(path.c_str(), &node) != 0)
        return {};
    group entry {};
    group *found = nullptr;
    char buffer[4096];
    if (getgrgid_r(node.st_gid, &entry, buffer, sizeof buffer, &found) != 0 || !found)
        return std::to_string(node.st_gid);
    return found->gr_name;
}

std::string SerStableName(const std::string &path)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path device = fs::canonical(path, error);
    if (error)
        return {};
    const fs::path folder = SerTtyDriver().StableNameFolder();
    for (const fs::directory_entry &entry : fs::directory_iterator(folder, error)) {
        std::error_code ignored;
        if (fs::canonical(entry.path(), ignored) == device && !ignored)
            return entry.path().filename().string();
    }
    return {};
}
