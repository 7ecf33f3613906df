#include "SerDispatch.h"
#include "SerWindow.h"

#include "SerErrno.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

std::recursive_mutex &ListLock()
{
    static std::recursive_mutex lock;
    return lock;
}

std::vector<TSerBaseDispatcher *> &DispatcherList()
{
    static std::vector<TSerBaseDispatcher *> list;
    return list;
}

} // namespace

TSerBaseDispatcher::TSerBaseDispatcher(TSerCustomComPort *owner) : owner_(owner)
{
    std::lock_guard lock(ListLock());
    auto &list = DispatcherList();
    const auto empty = std::find(list.begin(), list.end(), nullptr);
    if (empty != list.end()) {
        *empty = this;
        handle_ = int32_t(empty - list.begin());
    } else {
        handle_ = int32_t(list.size());
        list.push_back(this);
    }
}

TSerBaseDispatcher::~TSerBaseDispatcher()
{
    // A concrete dispatcher closes its device in its own destructor; what is left here is the release.
    ReleaseBuffers();
    std::lock_guard lock(ListLock());
    auto &list = DispatcherList();
    list[size_t(handle_)] = nullptr;
    while (!list.empty() && !list.back())
        list.pop_back();
}

void TSerBaseDispatcher::LockDispatcherList()
{
    ListLock().lock();
}

void TSerBaseDispatcher::UnlockDispatcherList()
{
    ListLock().unlock();
}

TSerBaseDispatcher *TSerBaseDispatcher::DispatcherAt(int32_t handle)
{
    std::lock_guard lock(ListLock());
    const auto &list = DispatcherList();
    return handle >= 0 && size_t(handle) < list.size() ? list[size_t(handle)] : nullptr;
}

size_t TSerBaseDispatcher::DispatcherListSize()
{
    std::lock_guard lock(ListLock());
    return DispatcherList().size();
}

int32_t TSerBaseDispatcher::OpenPort(const TSerOpenParams &params)
{
    ringSeen_ = false;
    dispatching_ = false;
    handlerDeleted_ = false;
    closePending_ = false;
    deviceFailed_ = false;
    int32_t result = OpenDevice(params.DeviceName, params.InSize, params.OutSize);
    if (result < 0) {
        result = result == SerCode::OutOfMemory ? result : -int32_t(SerLastError());
    } else {
        deviceOpen_ = true;
        released_ = false;
        result = SizeQueues(params.InSize, params.OutSize);
    }
    if (result == 0) {
        try {
            std::lock_guard in(inputLock_);
            std::lock_guard out(outputLock_);
            rxRing_.assign(RxRingSize, 0);
            txRing_.assign(params.OutSize, 0);
        } catch (const std::bad_alloc &) {
            result = SerCode::OutOfMemory;
        }
    }
    if (result != 0) {
        ClosePort();
        return result;
    }
    {
        std::lock_guard out(outputLock_);
        txHead_ = txTail_ = 0;
        txFull_ = false;
        inSize_ = params.InSize;
        outSize_ = params.OutSize;
    }
    lineErrors_ = 0;
    driverHasMore_ = false;
    outputSent_ = false;
    {
        std::lock_guard lock(triggerLock_);
        rs485_ = false;
        ReadLineSettings(lineSettings_);
    }
    SetDTR(params.Dtr);
    SetRTS(params.Rts);
    ClearTriggers();
    {
        std::lock_guard in(inputLock_);
        scanPos_ = notifyPos_ = 0;
        rxHead_ = rxTail_ = 0;
        rxStored_ = 0;
        rxFull_ = false;
        inAvailDispatch_ = false;
        availTaken_ = 0;
    }
    ResetStatusHits();
    {
        std::lock_guard lock(triggerLock_);
        modemStatus_ = 0;
        GetModemStatus(0xF0);
        lastBaud_ = 115200;
    }
    result = SetLine(params.Baud, params.Parity, params.StopBits, params.DataBits);
    if (result != 0) {
        ClosePort();
        return result;
    }
    RefreshLineErrors();
    {
        std::lock_guard lock(triggerLock_);
        trace_.Abort();
        log_.Abort();
        logStart_ = SerMsCount();
    }
    StartThreads();
    return 0;
}

bool TSerBaseDispatcher::ClosePort()
{
    if (deviceOpen_) {
        FlushOutBuffer();
        FlushInBuffer();
        CloseDevice();
        deviceOpen_ = false;
    }
    {
        // Decided once, under the lock that a delivery takes to start and to send. Only a handler that runs
        // further up the GUI thread's stack keeps the buffers; a message merely queued is cancelled.
        std::lock_guard lock(triggerLock_);
        if (dispatching_ && delivery_ && !delivery_->CancelUnlessRunning()) {
            closePending_ = true;
            RequestThreadStop();
            return true;
        }
        killThreads_ = true;
    }
    ReleaseBuffers();
    return false;
}

void TSerBaseDispatcher::ReleaseBuffers()
{
    if (released_.exchange(true))
        return;
    StopThreads();
    std::lock_guard in(inputLock_);
    std::lock_guard out(outputLock_);
    rxRing_.clear();
    rxRing_.shrink_to_fit();
    txRing_.clear();
    txRing_.shrink_to_fit();
}

int32_t TSerBaseDispatcher::SizeQueues(uint32_t inSize, uint32_t outSize)
{
    return SizeDeviceQueues(inSize, outSize) ? 0 : -int32_t(SerLastError());
}

uint32_t TSerBaseDispatcher::RxCount() const
{
    if (rxHead_ > rxTail_)
        return rxHead_ - rxTail_;
    if (rxHead_ < rxTail_)
        return rxHead_ + RxRingSize - rxTail_;
    return rxFull_ ? RxRingSize : 0;
}

bool TSerBaseDispatcher::CharReady()
{
    std::lock_guard lock(inputLock_);
    if (rxRing_.empty())
        return false;
    if (inAvailDispatch_)
        return uint32_t(availTaken_) < RxCount();
    return rxHead_ != rxTail_ || rxFull_;
}

int32_t TSerBaseDispatcher::PeekChar(uint32_t position, uint8_t &c)
{
    std::lock_guard lock(inputLock_);
    if (position < 1 || rxRing_.empty() || RxCount() < position)
        return SerCode::BufferIsEmpty;
    c = rxRing_[(rxTail_ + position - 1) % RxRingSize];
    return 0;
}

int32_t TSerBaseDispatcher::GetChar(uint8_t &c)
{
    std::lock_guard lock(inputLock_);
    // During a delivery the tail stays; the delivery consumes what its handlers took.
    const int32_t result = PeekChar(inAvailDispatch_ ? uint32_t(availTaken_) + 1 : 1, c);
    if (result != 0)
        return result;
    if (inAvailDispatch_) {
        ++availTaken_;
    } else {
        rxTail_ = (rxTail_ + 1) % RxRingSize;
        rxFull_ = false;
    }
    Trace(TraceKind::Received, &c, 1);
    return 0;
}

uint32_t TSerBaseDispatcher::InBuffUsed()
{
    std::lock_guard lock(inputLock_);
    if (rxRing_.empty())
        return 0;
    return RxCount() - (inAvailDispatch_ ? uint32_t(availTaken_) : 0);
}

int32_t TSerBaseDispatcher::FlushInBuffer()
{
    std::lock_guard lock(inputLock_);
    const int32_t result = PurgeDevice(1);
    if (inAvailDispatch_)
        availMaxTaken_ = RxCount();   // the delivery's end discards everything
    else {
        rxTail_ = rxHead_;
        availTaken_ = 0;
    }
    rxFull_ = false;
    ResetDataMatches();
    return result;
}

uint32_t TSerBaseDispatcher::OutputRingCount() const
{
    if (txFull_)
        return outSize_;
    if (txTail_ < txHead_)
        return txHead_ - txTail_;
    if (txHead_ < txTail_)
        return outSize_ + txHead_ - txTail_;
    return 0;
}

void TSerBaseDispatcher::ResetOutputRing()
{
    std::lock_guard lock(outputLock_);
    txHead_ = txTail_ = 0;
    txFull_ = false;
}

int32_t TSerBaseDispatcher::PutBlock(const void *bytes, uint32_t count)
{
    if (count == 0)
        return 0;
    int32_t result = 0;
    uint32_t queued = count;
    {
        std::lock_guard lock(outputLock_);
        TSerDeviceStatus status;
        lineErrors_.fetch_or(ReadDeviceStatus(status) & LineErr::All);
        if (txRing_.empty() || count > outSize_ - OutputRingCount())
            return SerCode::OutputBufferTooSmall;
        if (count == outSize_ - OutputRingCount())
            txFull_ = true;
        const int32_t taken = QueueOutput(bytes, count);
        if (taken <= 0) {
            lineErrors_.fetch_or(ReadDeviceStatus(status) & LineErr::All);
            result = SerCode::PutBlockFail;
            queued = std::min(count, uint32_t(-int64_t(taken)));
        }
        outputSent_ = true;
    }
    Log(LogType::Dispatch, LogSub::WriteCom, queued, bytes, queued);
    Trace(TraceKind::Transmitted, static_cast<const uint8_t *>(bytes), queued);
    return result;
}

uint32_t TSerBaseDispatcher::OutBuffUsed()
{
    std::lock_guard lock(outputLock_);
    TSerDeviceStatus status;
    lineErrors_.fetch_or(ReadDeviceStatus(status) & LineErr::All);
    return status.OutQueue;
}

uint32_t TSerBaseDispatcher::OutBuffFree()
{
    std::lock_guard lock(outputLock_);
    const uint32_t used = OutBuffUsed();
    return used < outSize_ ? outSize_ - used : 0;
}

int32_t TSerBaseDispatcher::FlushOutBuffer()
{
    return PurgeDevice(0);
}

void TSerBaseDispatcher::RefreshLineErrors()
{
    TSerDeviceStatus status;
    lineErrors_.fetch_or(ReadDeviceStatus(status) & LineErr::All);
}

void TSerBaseDispatcher::WaitForInput(int timeoutMs)
{
    inputArrived_.WaitFor(timeoutMs);
}
