/* The outside download driver: a shared library named by a device's TRDLL key in TARSEL.INI, exporting a
   download function and, optionally, an abort function under the names of the TRCall and TRAbort keys.

   The download function gets the port number n of COMn (the download library has closed that port), the file's
   path and a progress callback; a fourth argument, the maximum baud rate, is passed only when the device's
   MaxBaud is not 0. It answers 0 for success or an error code from 1 to 6:
   1 unable to open file, 2 unable to open com port, 3 unable to connect, 4 download failed, 5 aborted by user,
   6 download already running. The progress callback takes the bytes done and the bytes in all and handles the
   user's input before it returns: that is where the abort function may be called, while the download function
   is still running. */

#ifndef TARSEL_DRIVER_CONTRACT_H
#define TARSEL_DRIVER_CONTRACT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void (*TrsProgressProc)(int32_t done, int32_t all);
typedef int32_t (*TrsDownloadProc)(int32_t port, const char *file, TrsProgressProc progress);
typedef int32_t (*TrsDownloadMaxBaudProc)(int32_t port, const char *file, TrsProgressProc progress,
                                          int32_t maxBaud);
typedef void (*TrsAbortProc)(void);

#ifdef __cplusplus
}
#endif

#endif
