#pragma once
// Pins TZ for one scope and restores the previous value, for tests of local time.
#include <cstdlib>
#include <ctime>
#include <string>

namespace NUBO::test {

class ScopedTz {
public:
    explicit ScopedTz(const char* tz) {
        const char* old = getenv("TZ");
        hadOld_ = old != nullptr;
        if (old) old_ = old;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ScopedTz() {
        if (hadOld_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    ScopedTz(const ScopedTz&) = delete;
    ScopedTz& operator=(const ScopedTz&) = delete;

private:
    bool hadOld_ = false;
    std::string old_;
};

} // namespace NUBO::test
