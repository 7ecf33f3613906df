#include "SerComPort.h"

#include "SerPortSelectDialog.h"

int TSerComPort::ShowPortPrompt()
{
    TComSelectForm form;
    return form.exec() == TComSelectForm::ResultOk ? form.SelectedComNumber() : 0;
}
