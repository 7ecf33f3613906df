#pragma once
// Lights for the signals of a serial line, and the controller that drives them from a port: the modem-status
// lights follow the lines, the receive, transmit, error, break and ring lights flash on an event and go out
// after a time-out.

#include "SerPort.h"
#include "SerStatusLight.h"

#include <QPointer>

#include <array>
#include <cstdint>

// Up to eight lights, not owned; a light that is destroyed drops out of the set by itself.
class TLightSet {
public:
    QPointer<TSerCustomStatusLight> CTSLight;
    QPointer<TSerCustomStatusLight> DSRLight;
    QPointer<TSerCustomStatusLight> DCDLight;
    QPointer<TSerCustomStatusLight> RINGLight;
    QPointer<TSerCustomStatusLight> TXDLight;
    QPointer<TSerCustomStatusLight> RXDLight;
    QPointer<TSerCustomStatusLight> ERRORLight;
    QPointer<TSerCustomStatusLight> BREAKLight;

    // Puts every light out; then, with a port being monitored, the CTS, DSR and DCD lights show its lines.
    void InitLights(TSerCustomComPort *port, bool monitoring);
    // The CTS, DSR and DCD lights show the port's lines.
    void ShowLines(TSerCustomComPort &port);
};

class TSerCustomSLController : public TSerBaseComponent {
public:
    // Watches the given port (or none).
    explicit TSerCustomSLController(TSerCustomComPort *port = nullptr);
    // Switches monitoring off first, which gives the port its own handlers back.
    ~TSerCustomSLController() override;
    TSerCustomSLController(const TSerCustomSLController &) = delete;
    TSerCustomSLController &operator=(const TSerCustomSLController &) = delete;

    TSerCustomComPort *ComPort() const { return port_; }
    // Moves to another port (or none); monitoring goes along.
    void SetComPort(TSerCustomComPort *port);

    // Monitoring on: the controller's trigger handlers go in front of the port's own ones, which they call
    // in turn, and the triggers of the assigned lights are added. Asked for while the port is closed, it
    // starts when the port opens. A close moves it back to waiting for the next open. Set the lights before
    // switching it on. Without a port: EPortNotAssigned.
    bool Monitoring() const { return monitoring_; }
    void SetMonitoring(bool value);

    // How long a flashed light stays on, in ticks.
    int32_t ErrorOffTimeout() const { return errorOffTimeout_; }
    void SetErrorOffTimeout(int32_t ticks) { errorOffTimeout_ = ticks; }
    int32_t BreakOffTimeout() const { return breakOffTimeout_; }
    void SetBreakOffTimeout(int32_t ticks) { breakOffTimeout_ = ticks; }
    int32_t RXDOffTimeout() const { return rxdOffTimeout_; }
    void SetRXDOffTimeout(int32_t ticks) { rxdOffTimeout_ = ticks; }
    int32_t TXDOffTimeout() const { return txdOffTimeout_; }
    void SetTXDOffTimeout(int32_t ticks) { txdOffTimeout_ = ticks; }
    int32_t RingOffTimeout() const { return ringOffTimeout_; }
    void SetRingOffTimeout(int32_t ticks) { ringOffTimeout_ = ticks; }

    TLightSet &Lights() { return lights_; }
    const TLightSet &Lights() const { return lights_; }

private:
    void Attach();
    void Detach();
    void StartMonitoring();
    void StopMonitoring();
    void PortOpenedOrClosing(bool opening);
    void InitTriggers();
    void RemoveTriggers();
    std::array<int32_t *, 9> Handles();
    void ArmTimer(int32_t timer, int32_t ticks);
    void ArmStatus(int32_t trigger, uint16_t value);
    void Flash(TSerCustomStatusLight *light, int32_t offTimer, int32_t ticks);
    void TriggerAvail(TSerCustomComPort &port, uint16_t count);
    void TriggerStatus(TSerCustomComPort &port, uint16_t handle);
    void TriggerTimer(TSerCustomComPort &port, uint16_t handle);

    TSerCustomComPort *port_ = nullptr;
    bool monitoring_ = false;
    bool monitoringPending_ = false;
    int32_t errorOffTimeout_ = 36;
    int32_t breakOffTimeout_ = 36;
    int32_t rxdOffTimeout_ = 1;
    int32_t txdOffTimeout_ = 1;
    int32_t ringOffTimeout_ = 8;
    TLightSet lights_;

    TSerCustomComPort::TTriggerAvailEvent savedTriggerAvail_;
    TSerCustomComPort::TTriggerStatusEvent savedTriggerStatus_;
    TSerCustomComPort::TTriggerTimerEvent savedTriggerTimer_;

    uint16_t modemMask_ = 0;
    // Trigger handles; 0 = none.
    int32_t modemTrigger_ = 0;
    int32_t errorTrigger_ = 0;
    int32_t breakTrigger_ = 0;
    int32_t errorOffTimer_ = 0;
    int32_t breakOffTimer_ = 0;
    int32_t rxdOffTimer_ = 0;
    int32_t txdTrigger_ = 0;
    int32_t txdOffTimer_ = 0;
    int32_t ringOffTimer_ = 0;
};

class TSerSLController : public TSerCustomSLController {
public:
    using TSerCustomSLController::TSerCustomSLController;
};
