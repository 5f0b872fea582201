#pragma once
// What the script host asks of the runtime that owns it. The runtime lives above the host and
// installs itself: engines hand it script errors, the context manager reaches the object cache.
#include <cstdint>

#include "platform/types.h"

class oxScriptObjectCache;

// Takes where a script error happened, then its text, and tells the runtime's listeners.
class oxScriptErrorSink {
public:
    virtual void SetLocation(const WCHAR* source, int32_t line, int32_t column) = 0;
    virtual void SetDetails(const WCHAR* detail, const WCHAR* secondDetail) = 0;
    // The text, or "Script error." when none, with the details in brackets after it.
    virtual void ReportScriptError(const WCHAR* text) = 0;

protected:
    ~oxScriptErrorSink() = default;
};

class oxScriptHost {
public:
    virtual oxScriptErrorSink* GetErrorReporter() const = 0;
    virtual oxScriptObjectCache* GetScriptObjectCache() const = 0;

protected:
    ~oxScriptHost() = default;
};
