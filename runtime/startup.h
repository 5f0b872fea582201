#pragma once
// Starting and stopping the runtime library. Starts and stops are counted per thread and in
// total: every thread that starts it gets a hidden message window, and only the last stop in the
// process tears the shared services down.
#include "runtime/allocator.h"

namespace NUBO {

// 1 on success, 0 when a service could not be set up (the program then runs without them).
int Initialize(const TAllocator* allocator);
void Shutdown();

// Counts, for tests and diagnostics.
unsigned GetStartCount();
unsigned GetThreadStartCount();

} // namespace NUBO
