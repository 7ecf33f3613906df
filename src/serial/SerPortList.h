#pragma once
// The serial ports present: the numbers whose device exists, and what the user is shown of each.

#include <string>
#include <vector>

constexpr int HighestPortNumber = 50;

// Whether a port of that number exists (a port in use or without permission counts as existing).
bool SerPortPresent(int comNumber);

// The numbers 1 to HighestPortNumber whose port exists, in ascending order.
std::vector<int> SerPresentPorts();

// The device behind a port number: its path, and on a line of its own its stable name where it has one;
// "(no device)" after the path when nothing is there, alone when the number names no path.
std::string SerPortDevice(int comNumber);
