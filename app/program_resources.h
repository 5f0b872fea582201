#pragma once
// The program's string table and icons, handed to the platform as the device's loader would find
// them in the program file.

namespace app {
// Idempotent.
void RegisterProgramResources();
} // namespace app
