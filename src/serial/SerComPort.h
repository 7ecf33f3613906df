#pragma once
// The serial port component as the program uses it: asks for the port with the selection dialog when none
// is set.

#include "SerPort.h"

class TSerComPort : public TSerCustomComPort {
protected:
    int ShowPortPrompt() override;
};
