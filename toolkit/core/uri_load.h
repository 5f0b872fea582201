#pragma once
// Asynchronous loads of URIs. The toolkit hands a URI and a listener to the loader that the program
// installs (its URI request service lives above the toolkit); when the load ends, the listener's
// event target hears a "urlLoadComplete" event (oxUrlEvent): value 0 with the content stream, or the
// failure's result code and no stream. The listener is counted and outlives a target that goes
// first: the target forgets it, which also stops the load.
#include <cstdint>

#include "platform/types.h"

class oxEvent;
namespace NUBO {
class XObject;
}

// Something that takes events handed to it from outside the box tree.
class oxEventTarget {
public:
    virtual int32_t HandleEvent(oxEvent* event) = 0;

protected:
    ~oxEventTarget() = default;
};

class oxUriLoadListener {
public:
    // Count 1; null when memory is short.
    static oxUriLoadListener* Create(oxEventTarget* target);
    oxUriLoadListener(const oxUriLoadListener&) = delete;
    oxUriLoadListener& operator=(const oxUriLoadListener&) = delete;

    void AddRef() { ++refCount_; }
    void Release();

    // Null once forgotten.
    oxEventTarget* GetTarget() const { return target_; }
    // The loader's handle on the running load: an object whose "abort" method stops it (counted;
    // null once the load has ended).
    void SetLoad(NUBO::XObject* load);
    // The target goes: it hears nothing more, and a load still running is aborted.
    void Forget();

private:
    explicit oxUriLoadListener(oxEventTarget* target) : target_(target) {}
    ~oxUriLoadListener();

    uint32_t refCount_ = 1;
    oxEventTarget* target_;
    NUBO::XObject* load_ = nullptr;
};

// Starts loading `url` for the listener (which the loader keeps until the load ends); 0 when it
// started, else the failure's result code, and the listener hears nothing.
using oxUriLoader = int32_t (*)(const WCHAR* url, oxUriLoadListener* listener);

// The loader in use (null: nothing of another scheme loads); answers the previous one.
oxUriLoader oxSetUriLoader(oxUriLoader loader);
oxUriLoader oxGetUriLoader();
