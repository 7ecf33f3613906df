/* A test add-on library: appends "owner|params|port" to the file named by CORVANE_TEST_RECORD, where port is
   "free" when the device named by CORVANE_TEST_DEVICE can be locked (nobody holds it), else "busy". */

#define CV_BUILDING_ADDON
#include "common/AddonContract.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

static const char *portState(void)
{
    const char *device = getenv("CORVANE_TEST_DEVICE");
    if (!device) return "none";
    int fd = open(device, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return "busy";
    int locked = flock(fd, LOCK_EX | LOCK_NB) == 0;
    close(fd);
    return locked ? "free" : "busy";
}

void Execute(uintptr_t owner, const char *params)
{
    const char *record = getenv("CORVANE_TEST_RECORD");
    if (!record) return;
    FILE *f = fopen(record, "a");
    if (!f) return;
    fprintf(f, "%s|%s|%s\n", owner ? "owner" : "none", params, portState());
    fclose(f);
}
