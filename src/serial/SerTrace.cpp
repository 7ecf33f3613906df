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

// Makes the text of a dump and writes it.
int32_t WriteDump(const std::string &fileName, bool append, const auto &makeText)
{
    try {
        return WriteDumpFile(fileName, makeText(), append);
    } catch (const std::bad_alloc &) {
        return SerCode::OutOfMemory;
    }
}

} // namespace

// ---- Trace ----

int32_t TSerBaseDispatcher::InitTracing(uint32_t size)
{
    std::lock_guard lock(triggerLock_);
    if (!trace_.Get() && size > MaxTraceEntries)
        return SerCode::BadArgument;
    return trace_.Start(size) ? 0 : SerCode::OutOfMemory;
}

void TSerBaseDispatcher::ClearTracing()
{
    std::lock_guard lock(triggerLock_);
    trace_.Clear();
}

void TSerBaseDispatcher::AbortTracing()
{
    std::lock_guard lock(triggerLock_);
    trace_.Abort();
}

void TSerBaseDispatcher::ResumeTracing()
{
    std::lock_guard lock(triggerLock_);
    trace_.Resume();
}

void TSerBaseDispatcher::PauseTracing()
{
    std::lock_guard lock(triggerLock_);
    trace_.Pause();
}

void TSerBaseDispatcher::AddTraceEntry(char kind, uint8_t byte)
{
    std::lock_guard lock(triggerLock_);
    if (TSerTraceRing *trace = trace_.Get())
        trace->Add(kind, byte);
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
    // The trace ends here however the writing goes.
    const std::unique_ptr<TSerTraceRing> trace = trace_.End();
    if (!trace || trace->Empty())
        return 0;
    return WriteDump(fileName, append, [&] { return TraceDumpText(trace->Entries(), hex); });
}

// ---- Dispatch log ----

int32_t TSerBaseDispatcher::InitLogging(uint32_t size)
{
    std::lock_guard lock(triggerLock_);
    return log_.Start(size) ? 0 : SerCode::OutOfMemory;
}

void TSerBaseDispatcher::ClearLogging()
{
    std::lock_guard lock(triggerLock_);
    log_.Clear();
}

void TSerBaseDispatcher::AbortLogging()
{
    std::lock_guard lock(triggerLock_);
    log_.Abort();
}

void TSerBaseDispatcher::ResumeLogging()
{
    std::lock_guard lock(triggerLock_);
    log_.Resume();
}

void TSerBaseDispatcher::PauseLogging()
{
    std::lock_guard lock(triggerLock_);
    log_.Pause();
}

void TSerBaseDispatcher::AddLogEntry(uint8_t type, uint8_t subType, uint32_t length, const void *data,
                                     uint32_t value)
{
    std::lock_guard lock(triggerLock_);
    if (TSerLogRing *log = log_.Get())
        log->Add(type, subType, uint32_t(SerMsCount() - logStart_), value, data, length);
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
    const std::unique_ptr<TSerLogRing> log = log_.End();
    if (!log || log->Empty())
        return 0;
    return WriteDump(fileName, append, [&] { return LogDumpText(*log, hex); });
}
