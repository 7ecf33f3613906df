/* The test download driver's record of its calls, and its setup; the test reaches both through its own
   handle on the loaded driver. */

#ifndef TARSEL_TEST_DRIVER_H
#define TARSEL_TEST_DRIVER_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

struct TestDriverRecord {
    int32_t calls;
    int32_t port;
    int32_t maxBaud;          /* the fourth argument; meaningful only when one was passed */
    int32_t portWasFree;      /* the device of COMn could be locked during the call */
    int32_t progressCalls;
    int32_t abortCalls;
    char file[1024];
};

typedef const struct TestDriverRecord *(*TestDriverRecordProc)(void);
/* The result to answer, the number of progress steps (1000 bytes each) and the pause after each. */
typedef void (*TestDriverSetupProc)(int32_t result, int32_t steps, int32_t stepMs);

#ifdef __cplusplus
}
#endif

#endif
