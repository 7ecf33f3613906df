#include "SerComPort.h"

#include "SerSelCom.h"

int TSerComPort::ShowPortPrompt()
{
    TComSelectForm form;
    return form.exec() == TComSelectForm::ResultOk ? form.SelectedComNumber() : 0;
}
