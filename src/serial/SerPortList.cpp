#include "SerPortList.h"

#include "SerErrno.h"
#include "SerPortMap.h"
#include "SerTtyDispatcher.h"

bool SerPortPresent(int comNumber)
{
    if (comNumber == 0)
        return false;
    TSerWin32Dispatcher probe(nullptr);
    const int32_t result = probe.OpenDevice(SerDevicePath(comNumber), 64, 64);
    const uint32_t error = SerLastError();
    const bool present = result >= 0 || error == SerError::AccessDenied || error == SerError::PermissionDenied;
    if (result >= 0)
        probe.CloseDevice();
    return present;
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
    const std::string stable = SerStableName(path);
    return stable.empty() || path.find(stable) != std::string::npos ? path : path + "\n" + stable;
}
