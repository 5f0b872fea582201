#pragma once
// The services that starting the runtime sets up, shared between its source files.
#include "platform/types.h"

namespace NUBO::detail {

// Each returns false when it could not be set up; done steps are remembered, not redone.
bool CreateHandlerRegistry();
void DeleteHandlerRegistry();
bool RegisterMessageWindowClass();
void UnregisterMessageWindowClass();
bool AllocMessageWindowSlot();
void FreeMessageWindowSlot();
bool CreateTimerRegistry(); // also makes the timer dispatcher the WM_TIMER handler
void DeleteTimerRegistry();

} // namespace NUBO::detail
