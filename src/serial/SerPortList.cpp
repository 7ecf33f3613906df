#include "SerPortList.h"

#include "SerPortMap.h"
#include "SerTtyDriver.h"

namespace {
constexpr const char *NoDeviceText = "(no device)";
}

bool SerPortPresent(int comNumber)
{
    return SerTtyDriver().NodePresent(SerDevicePath(comNumber));
}

std::vector<int> SerPresentPorts()
{
    std::vector<int> ports;
    for (int n = 1; n <= HighestPortNumber; ++n)
        if (SerPortPresent(n))
            ports.push_back(n);
    return ports;
}

std::string SerPortDevice(int comNumber)
{
    const std::string path = SerDevicePath(comNumber);
    if (path.empty())
        return NoDeviceText;
    if (!SerPortPresent(comNumber))
        return path + " " + NoDeviceText;
    const std::string stable = SerStableName(path);
    return stable.empty() || path.find(stable) != std::string::npos ? path : path + "\n" + stable;
}
