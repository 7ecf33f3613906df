/* A download driver for the tests: records its arguments, reports progress in steps, honours its abort
   function, and checks that the serial port it is given is free. */

#include "TestDriver.h"
#include "download/DriverContract.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <time.h>
#include <unistd.h>

#define EXPORT __attribute__((visibility("default")))

static struct TestDriverRecord record;
static int32_t result = 0, steps = 4, stepMs = 0;
static volatile int aborted = 0, running = 0;

static int32_t PortIsFree(int32_t port)
{
    char name[32];
    snprintf(name, sizeof name, "SERIAL_COM%d", (int)port);
    const char *path = getenv(name);
    if (!path)
        return 0;
    int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return 0;
    int free = flock(fd, LOCK_EX | LOCK_NB) == 0;
    close(fd);
    return free;
}

static void Pause(int32_t ms)
{
    struct timespec t = {ms / 1000, (long)(ms % 1000) * 1000000L};
    nanosleep(&t, NULL);
}

EXPORT int32_t TestDownload(int32_t port, const char *file, TrsProgressProc progress, int32_t maxBaud)
{
    ++record.calls;
    if (running)
        return 6;
    running = 1;
    aborted = 0;
    record.port = port;
    record.maxBaud = maxBaud;
    snprintf(record.file, sizeof record.file, "%s", file);
    record.portWasFree = PortIsFree(port);
    for (int32_t i = 1; i <= steps && !aborted; ++i) {
        Pause(stepMs);
        ++record.progressCalls;
        progress(i * 1000, steps * 1000);
    }
    running = 0;
    return aborted ? 5 : result;
}

EXPORT void TestAbort(void)
{
    ++record.abortCalls;
    aborted = 1;
}

EXPORT const struct TestDriverRecord *TestDriverRecord(void) { return &record; }

EXPORT void TestDriverSetup(int32_t answer, int32_t stepCount, int32_t pauseMs)
{
    memset(&record, 0, sizeof record);
    result = answer;
    steps = stepCount;
    stepMs = pauseMs;
}
