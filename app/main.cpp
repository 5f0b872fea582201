// The program's entry. Until it can open scenes it starts the toolkit, says what it is and stops.
#include <cstdio>

#include "toolkit/script/application.h"

int main() {
    auto* application = new oxApplication();
    application->AddRef();
    if (!application->Init()) {
        application->Release();
        return 1;
    }
    std::puts("Tandu: a messaging client on the Weftly markup user-interface toolkit.");
    std::puts("This build cannot open scenes yet; it exits without showing anything.");
    application->Shutdown();
    application->Release();
    return 0;
}
