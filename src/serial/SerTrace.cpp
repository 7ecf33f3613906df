// Trace and dispatch log of the dispatcher: switched on and off, fed by the I/O and trigger operations, and
// dumped to text files. Everything runs under the trigger lock, the writing of a dump included.

#include "SerDispatch.h"
#include "SerErrno.h"
#include "SerTraceDump.h"

#include "platform/FileContents.h"
#include "platform/Paths.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <new>

namespace {

int32_t NegatedError(int error)
{
    return -int32_t(SerErrorFromErrno(error ? error : EIO));
}

int32_t AppendToFile(const std::string &path, const std::string &text)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0)
        return NegatedError(errno);
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = errno;
            ::close(fd);
            return NegatedError(error);
        }
        done += size_t(n);
    }
    return ::close(fd) == 0 ? 0 : NegatedError(errno);
}

// Appends to the file when asked and it exists, else replaces it; 0 or a negated platform error.
int32_t WriteDumpFile(const std::string &fileName, const std::string &text, bool append)
{
    const std::string path = ResolveCaseInsensitive(fileName);
    if (append && FileExistsCi(path))
        return AppendToFile(path, text);
    errno = 0;
    return WriteFileAtomically(path, text) ? 0 : NegatedError(errno);
}

} // namespace

// ---- Trace ----

int32_t TSerBaseDispatcher::InitTracing(uint32_t size)
{
    std::lock_guard lock(triggerLock_);
    if (trace_) {
        trace_->Clear();
    } else {
        if (size > MaxTraceEntries)
            return SerCode::BadArgument;
        try {
            trace_ = std::make_unique<TSerTraceRing>(size);
        } catch (const std::bad_alloc &) {
            return SerCode::OutOfMemory;
        }
    }
    traceOn_ = true;
    return 0;
}

void TSerBaseDispatcher::ClearTracing()
{
    std::lock_guard lock(triggerLock_);
    if (trace_)
        trace_->Clear();
}

void TSerBaseDispatcher::AbortTracing()
{
    std::lock_guard lock(triggerLock_);
    traceOn_ = false;
    trace_.reset();
}

void TSerBaseDispatcher::ResumeTracing()
{
    std::lock_guard lock(triggerLock_);
    if (trace_)
        traceOn_ = true;
}

void TSerBaseDispatcher::PauseTracing()
{
    std::lock_guard lock(triggerLock_);
    traceOn_ = false;
}

void TSerBaseDispatcher::AddTraceEntry(char kind, uint8_t byte)
{
    std::lock_guard lock(triggerLock_);
    if (trace_)
        trace_->Add(kind, byte);
}

void TSerBaseDispatcher::TraceBytes(char kind, const uint8_t *bytes, uint32_t count)
{
    std::lock_guard lock(triggerLock_);
    for (uint32_t i = 0; i < count; ++i)
        AddTraceEntry(kind, bytes[i]);
}

int32_t TSerBaseDispatcher::DumpTrace(const std::string &fileName, bool hex)
{
    return WriteTrace(fileName, hex, false);
}

int32_t TSerBaseDispatcher::AppendTrace(const std::string &fileName, bool hex)
{
    return WriteTrace(fileName, hex, true);
}

int32_t TSerBaseDispatcher::WriteTrace(const std::string &fileName, bool hex, bool append)
{
    std::lock_guard lock(triggerLock_);
    traceOn_ = false;
    // The trace ends here however the writing goes.
    const std::unique_ptr<TSerTraceRing> trace = std::move(trace_);
    if (!trace || trace->Empty())
        return 0;
    try {
        return WriteDumpFile(fileName, TraceDumpText(trace->Entries(), hex), append);
    } catch (const std::bad_alloc &) {
        return SerCode::OutOfMemory;
    }
}

// ---- Dispatch log ----

int32_t TSerBaseDispatcher::InitLogging(uint32_t size)
{
    std::lock_guard lock(triggerLock_);
    if (log_) {
        log_->Clear();
    } else {
        try {
            log_ = std::make_unique<TSerLogRing>(size);
        } catch (const std::bad_alloc &) {
            return SerCode::OutOfMemory;
        }
    }
    logOn_ = true;
    return 0;
}

void TSerBaseDispatcher::ClearLogging()
{
    std::lock_guard lock(triggerLock_);
    if (log_)
        log_->Clear();
}

void TSerBaseDispatcher::AbortLogging()
{
    std::lock_guard lock(triggerLock_);
    logOn_ = false;
    log_.reset();
}

void TSerBaseDispatcher::ResumeLogging()
{
    std::lock_guard lock(triggerLock_);
    if (log_)
        logOn_ = true;
}

void TSerBaseDispatcher::PauseLogging()
{
    std::lock_guard lock(triggerLock_);
    logOn_ = false;
}

void TSerBaseDispatcher::AddLogEntry(uint8_t type, uint8_t subType, uint32_t length, const void *data,
                                     uint32_t value)
{
    std::lock_guard lock(triggerLock_);
    if (log_)
        log_->Add(type, subType, uint32_t(SerMsCount() - logStart_), value, data, length);
}

int32_t TSerBaseDispatcher::DumpLog(const std::string &fileName, bool hex)
{
    return WriteLog(fileName, hex, false);
}

int32_t TSerBaseDispatcher::AppendLog(const std::string &fileName, bool hex)
{
    return WriteLog(fileName, hex, true);
}

int32_t TSerBaseDispatcher::WriteLog(const std::string &fileName, bool hex, bool append)
{
    std::lock_guard lock(triggerLock_);
    logOn_ = false;
    const std::unique_ptr<TSerLogRing> log = std::move(log_);
    if (!log || log->Empty())
        return 0;
    try {
        return WriteDumpFile(fileName, LogDumpText(*log, hex), append);
    } catch (const std::bad_alloc &) {
        return SerCode::OutOfMemory;
    }
}
