#include "SerPortList.h"

#include "SerPortMap.h"
#include "SerTtyDriver.h"

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
    const std::string stable = SerStableName(path);
    return stable.empty() || path.find(stable) != std::string::npos ? path : path + "\n" + stable;
}
