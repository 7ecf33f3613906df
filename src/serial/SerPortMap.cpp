#include "SerPortMap.h"

#include <cstdlib>
#include <cstring>

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
