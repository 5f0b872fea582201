#pragma once
// oxApplication: the toolkit application object. Its first Init in the process starts the shared
// services in order (the runtime library, COM for the script engines, the UI scale from the
// screen's dots per inch, the timer queue, the atom table, the style tables, the frame window
// class); every Init then makes the application's Shell, which owns the toolkit runtime. The program and every test
// start and stop the toolkit through Init and Shutdown.
#include <cstdint>

#include "runtime/script_object.h"

class Shell;

class oxApplication : public NUBO::XObject {
public:
    oxApplication() = default;

    // 1 on success; 0 when the Shell cannot be made or exists already (the start is taken back).
    int Init();
    // Closes every scene, drops the script engines, releases the Shell (which shuts the runtime
    // down) and, on the last stop in the process, stops the shared services. Always 1.
    int Shutdown();
    // Borrowed; null before Init.
    Shell* GetShell() const { return shell_; }
    // 1 when it made the Shell now.
    int EnsureShell();

    // Successful starts not yet stopped, in the whole process.
    static int32_t GetStartCount();

protected:
    ~oxApplication() override;

private:
    Shell* shell_ = nullptr; // one reference
};
