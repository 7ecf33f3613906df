#pragma once
// Trigger records of the dispatcher, the trigger messages, and the saved trigger set.

#include "SerMisc.h"

#include <cstdint>
#include <vector>

// Trigger messages, delivered to the port's hidden window. lParam: the dispatcher's slot in the high 16
// bits plus a value in the low ones.
namespace SerMsg {
constexpr uint32_t Avail = 0x7E01;
constexpr uint32_t Data = 0x7E02;
constexpr uint32_t Timer = 0x7E03;
constexpr uint32_t Status = 0x7E04;
constexpr uint32_t PortOpened = 0x7E08;
constexpr uint32_t PortClosing = 0x7E09;
constexpr uint32_t FinishClose = 0x7E0A;
} // namespace SerMsg

constexpr int32_t LengthTriggerHandle = 1;

// Kinds of status trigger; a status trigger's handle carries its kind in the low three bits.
namespace StatusKind {
constexpr uint8_t ModemStatus = 1;
constexpr uint8_t LineError = 2;
constexpr uint8_t OutBuffFree = 3;
constexpr uint8_t OutBuffUsed = 4;
constexpr uint8_t OutSent = 5;
} // namespace StatusKind

struct TTimerTrigger {
    int32_t TriggerHandle = 0;
    TTickTimer Timer;
    int32_t Ticks = 0;
    bool Active = false;
};

struct TStatusTrigger {
    int32_t TriggerHandle = 0;
    uint8_t Kind = 0;
    uint16_t Value = 0;   // kind 1: reference status (low byte) and mask (high byte); 2: error bits; 3, 4: count
    bool Armed = false;
    bool HitThisPass = false;
};

constexpr int MaxDataTriggerLength = 24;

struct TDataTrigger {
    int32_t TriggerHandle = 0;
    int32_t Length = 0;   // 0 makes the entry inert
    int32_t MatchState[MaxDataTriggerLength] = {};   // one per partial match in progress
    bool Matched = false;
    bool IgnoreCase = false;
    char Text[MaxDataTriggerLength] = {};
};

// A copy of a dispatcher's triggers, kept by the port across a close and reopen.
struct TTriggerSave {
    uint32_t LengthTrigger = 0;
    std::vector<TTimerTrigger> Timers;
    std::vector<TDataTrigger> Data;
    std::vector<TStatusTrigger> Status;
};
