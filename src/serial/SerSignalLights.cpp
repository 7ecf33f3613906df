#include "SerSignalLights.h"

#include "SerExcept.h"

#include "platform/ErrorReport.h"

#include <exception>
#include <utility>

namespace {

constexpr int32_t PortNotAssigned = -1005;
// Line-error trigger values: overrun, parity and framing errors; a break.
constexpr uint16_t ErrorBits = 7;
constexpr uint16_t BreakBit = 8;
// Bits of the modem status.
constexpr uint16_t ModemCTS = 0x10, ModemDSR = 0x20, ModemDCD = 0x80, ModemRing = 0x04;

void SetLight(TSerCustomStatusLight *light, bool lit)
{
    if (light)
        light->SetLit(lit);
}

bool Unlit(const TSerCustomStatusLight *light)
{
    return light && !light->Lit();
}

// Whether a delivered trigger handle is the given one of ours.
bool Is(uint16_t delivered, int32_t mine)
{
    return mine != 0 && delivered == mine;
}

// Calls a copy of a saved handler: the handler may end monitoring, which hands the original back to the port.
template <class Handler, class... Args>
void Chain(const Handler &saved, Args &&...args)
{
    if (Handler handler = saved)
        handler(std::forward<Args>(args)...);
}

} // namespace

void TLightSet::InitLights(TSerCustomComPort *port, bool monitoring)
{
    for (TSerCustomStatusLight *light :
         {CTSLight.data(), DSRLight.data(), DCDLight.data(), RINGLight.data(), TXDLight.data(), RXDLight.data(),
          ERRORLight.data(), BREAKLight.data()})
        SetLight(light, false);
    if (port && monitoring)
        ShowLines(*port);
}

void TLightSet::ShowLines(TSerCustomComPort &port)
{
    if (CTSLight)
        CTSLight->SetLit(port.CTS());
    if (DSRLight)
        DSRLight->SetLit(port.DSR());
    if (DCDLight)
        DCDLight->SetLit(port.DCD());
}

TSerCustomSLController::TSerCustomSLController(TSerCustomComPort *port)
{
    SetComPort(port);
}

TSerCustomSLController::~TSerCustomSLController()
{
    if (!port_)
        return;
    ReportErrors([this] { SetMonitoring(false); });
    Detach();
}

void TSerCustomSLController::SetComPort(TSerCustomComPort *port)
{
    if (port == port_)
        return;
    const bool wanted = monitoring_ || monitoringPending_;
    if (port_) {
        SetMonitoring(false);
        Detach();
    }
    port_ = port;
    if (!port_)
        return;
    Attach();
    if (wanted)
        SetMonitoring(true);
}

void TSerCustomSLController::Attach()
{
    port_->RegisterUserCallback(this, [this](TSerCustomComPort &, bool opening) { PortOpenedOrClosing(opening); });
    port_->RegisterFreeNotification(this, [this](TSerCustomComPort &) {
        // The port is going away: monitoring ends (handing back its handlers) and the port is forgotten.
        ReportErrors([this] { SetMonitoring(false); });
        SetComPort(nullptr);
    });
}

void TSerCustomSLController::Detach()
{
    port_->DeregisterUserCallback(this);
    port_->DeregisterFreeNotification(this);
}

void TSerCustomSLController::SetMonitoring(bool value)
{
    if (value == monitoring_ && (value || !monitoringPending_))
        return;
    if (!port_)
        CheckException(this, PortNotAssigned);
    if (!value) {
        monitoringPending_ = false;
        if (monitoring_)
            StopMonitoring();
        return;
    }
    if (port_->PortState() != TPortState::PortOpen) {
        monitoringPending_ = true;   // starts when the port opens
        return;
    }
    monitoringPending_ = false;
    StartMonitoring();
}

void TSerCustomSLController::StartMonitoring()
{
    monitoring_ = true;
    savedTriggerAvail_ = port_->OnTriggerAvail();
    savedTriggerStatus_ = port_->OnTriggerStatus();
    savedTriggerTimer_ = port_->OnTriggerTimer();
    port_->SetOnTriggerAvail([this](TSerCustomComPort &port, uint16_t count) { TriggerAvail(port, count); });
    port_->SetOnTriggerStatus([this](TSerCustomComPort &port, uint16_t handle) { TriggerStatus(port, handle); });
    port_->SetOnTriggerTimer([this](TSerCustomComPort &port, uint16_t handle) { TriggerTimer(port, handle); });
    InitTriggers();
    lights_.InitLights(port_, true);
}

void TSerCustomSLController::StopMonitoring()
{
    monitoring_ = false;
    port_->SetOnTriggerAvail(std::exchange(savedTriggerAvail_, {}));
    port_->SetOnTriggerStatus(std::exchange(savedTriggerStatus_, {}));
    port_->SetOnTriggerTimer(std::exchange(savedTriggerTimer_, {}));
    lights_.InitLights(port_, false);
    RemoveTriggers();
}

void TSerCustomSLController::PortOpenedOrClosing(bool opening)
{
    // Called from inside the port's open or close, which must run to its end.
    if (opening) {
        if (monitoringPending_)
            ReportErrors([this] { SetMonitoring(true); });
    } else if (monitoring_) {
        // The port is still there to take the triggers back, so none is carried over to the next open.
        ReportErrors([this] { StopMonitoring(); });
        monitoringPending_ = true;
    }
}

std::array<int32_t *, 9> TSerCustomSLController::Handles()
{
    return {&modemTrigger_, &ringOffTimer_, &errorTrigger_, &errorOffTimer_, &breakTrigger_,
            &breakOffTimer_, &rxdOffTimer_, &txdTrigger_, &txdOffTimer_};
}

void TSerCustomSLController::InitTriggers()
{
    for (int32_t *handle : Handles())
        *handle = 0;
    if (!port_)
        return;
    const TLightSet &l = lights_;
    try {
        if (l.CTSLight || l.DSRLight || l.DCDLight || l.RINGLight) {
            modemTrigger_ = port_->AddStatusTrigger(StatusKind::ModemStatus);
            if (l.RINGLight)
                ringOffTimer_ = port_->AddTimerTrigger();
        }
        if (l.ERRORLight) {
            errorTrigger_ = port_->AddStatusTrigger(StatusKind::LineError);
            errorOffTimer_ = port_->AddTimerTrigger();
        }
        if (l.BREAKLight) {
            breakTrigger_ = port_->AddStatusTrigger(StatusKind::LineError);
            breakOffTimer_ = port_->AddTimerTrigger();
        }
        if (l.RXDLight)
            rxdOffTimer_ = port_->AddTimerTrigger();
        if (l.TXDLight) {
            txdTrigger_ = port_->AddStatusTrigger(StatusKind::OutSent);
            txdOffTimer_ = port_->AddTimerTrigger();
        }
        modemMask_ = uint16_t((l.CTSLight ? ModemCTS : 0) | (l.DSRLight ? ModemDSR : 0) | (l.DCDLight ? ModemDCD : 0)
                              | (l.RINGLight ? ModemRing : 0));
        ArmStatus(modemTrigger_, modemMask_);
        ArmStatus(errorTrigger_, ErrorBits);
        ArmStatus(breakTrigger_, BreakBit);
        ArmStatus(txdTrigger_, 0);
    } catch (...) {
        modemMask_ = 0;
        try {
            RemoveTriggers();
        } catch (...) {
            // The first failure is the one passed on.
        }
        throw;
    }
}

void TSerCustomSLController::RemoveTriggers()
{
    std::exception_ptr failure;
    for (int32_t *handle : Handles()) {
        if (*handle != 0 && port_) {
            try {
                port_->RemoveTrigger(*handle);
            } catch (...) {
                if (!failure)
                    failure = std::current_exception();
            }
        }
        *handle = 0;
    }
    if (failure)
        std::rethrow_exception(failure);
}

void TSerCustomSLController::ArmTimer(int32_t timer, int32_t ticks)
{
    if (timer != 0)
        port_->SetTimerTrigger(timer, ticks, true);
}

void TSerCustomSLController::ArmStatus(int32_t trigger, uint16_t value)
{
    if (trigger != 0)
        port_->SetStatusTrigger(trigger, value, true);
}

// Flashes an event light: on, and out again when its timer expires.
void TSerCustomSLController::Flash(TSerCustomStatusLight *light, int32_t offTimer, int32_t ticks)
{
    SetLight(light, true);
    ArmTimer(offTimer, ticks);
}

void TSerCustomSLController::TriggerAvail(TSerCustomComPort &port, uint16_t count)
{
    if (!port_)
        return;
    if (Unlit(lights_.RXDLight))
        Flash(lights_.RXDLight, rxdOffTimer_, rxdOffTimeout_);
    Chain(savedTriggerAvail_, port, count);
}

void TSerCustomSLController::TriggerStatus(TSerCustomComPort &port, uint16_t handle)
{
    if (!port_)
        return;
    TLightSet &l = lights_;
    if (Is(handle, modemTrigger_)) {
        l.ShowLines(*port_);
        if (l.RINGLight && port_->DeltaRI() && !l.RINGLight->Lit())
            Flash(l.RINGLight, ringOffTimer_, ringOffTimeout_);
        ArmStatus(modemTrigger_, modemMask_);
    } else if (Is(handle, errorTrigger_)) {
        Flash(l.ERRORLight, errorOffTimer_, errorOffTimeout_);
        port_->LineError();   // reading clears it
    } else if (Is(handle, breakTrigger_)) {
        Flash(l.BREAKLight, breakOffTimer_, breakOffTimeout_);
        port_->LineBreak();   // reading clears it
    } else if (Is(handle, txdTrigger_)) {
        Flash(l.TXDLight, txdOffTimer_, txdOffTimeout_);
    }
    Chain(savedTriggerStatus_, port, handle);
}

void TSerCustomSLController::TriggerTimer(TSerCustomComPort &port, uint16_t handle)
{
    if (!port_)
        return;
    TLightSet &l = lights_;
    if (Is(handle, errorOffTimer_)) {
        SetLight(l.ERRORLight, false);
        ArmStatus(errorTrigger_, ErrorBits);
    } else if (Is(handle, breakOffTimer_)) {
        SetLight(l.BREAKLight, false);
        ArmStatus(breakTrigger_, BreakBit);
    } else if (Is(handle, rxdOffTimer_)) {
        if (port_->InBuffUsed() != 0)
            ArmTimer(rxdOffTimer_, rxdOffTimeout_);
        else
            SetLight(l.RXDLight, false);
    } else if (Is(handle, txdOffTimer_)) {
        if (port_->OutBuffUsed() != 0) {
            ArmTimer(txdOffTimer_, txdOffTimeout_);
        } else {
            SetLight(l.TXDLight, false);
            ArmStatus(txdTrigger_, 0);
        }
    } else if (Is(handle, ringOffTimer_)) {
        SetLight(l.RINGLight, false);
    }
    Chain(savedTriggerTimer_, port, handle);
}
