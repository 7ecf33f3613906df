/* The add-on library call: Corvane loads an add-on library, looks up its one export by the name "Execute" and
   calls it once on its GUI thread, then unloads the library at once.

   owner:  the native id of the calling window (QWidget::winId()); a Qt add-on finds the widget with
           QWidget::find(). 0 when there is none.
   params: zero-terminated single-byte text of at most CV_ADDON_PARAMS_MAX bytes, valid during the call only.

   The add-on shows its own windows (modally) and returns when it is done; nothing passes back. Before it
   returns it must have stopped every thread it started, closed its ports and deleted its objects (no deferred
   deletion left pending), and it must not let an exception or exit() out of the call. */

#ifndef CORVANE_ADDON_CONTRACT_H
#define CORVANE_ADDON_CONTRACT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define CV_ADDON_ENTRY_NAME "Execute"
#define CV_ADDON_PARAMS_MAX 255

typedef void (*CvAddonExecute)(uintptr_t owner, const char *params);

#if defined(CV_BUILDING_ADDON)
__attribute__((visibility("default"))) void Execute(uintptr_t owner, const char *params);
#endif

#ifdef __cplusplus
}
#endif

#endif
