#pragma once
// Wraps a slot in the default error report, so that no exception leaves it into Qt's signal machinery.

#include "platform/ErrorReport.h"

#include <utility>

template <class Action>
auto Guarded(Action action)
{
    return [action = std::move(action)](auto &&...) { ReportErrors(action); };
}
