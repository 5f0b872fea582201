// The program's start-up pointed at a demo service: its CA, its login address, and a registry and
// runtime folder of the test's own (so that the windows of other processes' tests are not found).
// Everything is put back when it goes.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/shell/registry.h"
#include "platform/tests/test_service.h"

namespace test {

class DemoProgramEnvironment {
public:
    explicit DemoProgramEnvironment(TestService& service) {
        ok_ = mkdtemp(folder_) != nullptr;
        if (!ok_) return;
        setenv("TANDU_CA_FILE", service.CaFile().c_str(), 1);
        setenv("TANDU_LOGIN_URL", service.Https("/auth/").c_str(), 1);
        setenv("TANDU_REGISTRY", (std::string(folder_) + "/registry.sqlite3").c_str(), 1);
        setenv("TANDU_RUNTIME_DIR", folder_, 1);
    }
    ~DemoProgramEnvironment() {
        platform::registry::CloseDatabase();
        for (const char* name : {"TANDU_CA_FILE", "TANDU_LOGIN_URL", "TANDU_REGISTRY", "TANDU_RUNTIME_DIR"})
            unsetenv(name);
        if (ok_) std::filesystem::remove_all(folder_);
    }
    DemoProgramEnvironment(const DemoProgramEnvironment&) = delete;
    DemoProgramEnvironment& operator=(const DemoProgramEnvironment&) = delete;

    bool Ok() const { return ok_; }

private:
    char folder_[32] = "/tmp/tandu-demo-XXXXXX";
    bool ok_ = false;
};

} // namespace test
