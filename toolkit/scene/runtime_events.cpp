// How the runtime tells its listeners about loading errors and the life of scenes, and writes
// reports to the debug output.
#include <new>

#include "platform/com/variant.h"
#include "platform/win/debug_output.h"
#include "runtime/ref_ptr.h"
#include "runtime/script_object.h"
#include "toolkit/base/error_report.h"
#include "toolkit/markup/markup_loader.h"
#include "toolkit/scene/runtime.h"

using NUBO::TWString;
using NUBO::XObject;

namespace {

VARIANT TextArg(const WCHAR* text) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(text ? text : u"");
    return v;
}

VARIANT IntArg(int32_t n) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = n;
    return v;
}

VARIANT ObjectArg(XObject* object) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_DISPATCH;
    v.pdispVal = object;
    if (object) object->AddRef();
    return v;
}

// A listener may add or remove listeners while it is called: the call walks a held copy.
class HeldListeners {
public:
    explicit HeldListeners(const NUBO::PtrVector<XObject*>& from) {
        for (XObject* listener : from) {
            if (held_.PushBack(listener)) listener->AddRef();
        }
    }
    ~HeldListeners() {
        for (XObject* listener : held_)
            listener->Release();
    }
    const NUBO::PtrVector<XObject*>& Get() const { return held_; }

private:
    NUBO::PtrVector<XObject*> held_;
};

} // namespace

oxRuntimeEvent::oxRuntimeEvent(int32_t eventKind, const oxErrorReport* errorReport, XObject* scene)
    : kind(eventKind), report(errorReport), sceneObject(scene) {
    if (sceneObject) sceneObject->AddRef();
}

oxRuntimeEvent::~oxRuntimeEvent() {
    if (sceneObject) sceneObject->Release();
}

void oxRuntime::ReportError(int, const WCHAR* text) {
    if (debugOutput_ && text) OutputDebugStringW(text);
}

void oxRuntime::ReportFileNotFound(const WCHAR* uri) {
    oxSourceErrorReport report(kErrorFileNotFound, kFileNotFoundText, uri, 0, 0);
    Notify(oxRuntimeEvent(kRuntimeLoadingError, &report, nullptr));
}

void oxRuntime::WriteReport(const oxErrorReport* report) {
    if (!debugOutput_ || !report) return;
    if (report->HasLocation()) {
        OutputDebugStringW(FormatMarkupError(static_cast<const oxSourceErrorReport&>(*report)).GetString());
    } else {
        OutputDebugStringW(report->message.GetString());
    }
}

int oxRuntime::AddListener(XObject* listener) {
    if (!listener) return 1;
    for (XObject* known : listeners_) {
        if (known == listener) return 1;
    }
    if (listeners_.PushBack(listener)) listener->AddRef();
    return 1;
}

void oxRuntime::RemoveListener(XObject* listener) {
    if (listeners_.Remove(listener)) listener->Release();
}

void oxRuntime::AddLoadingListener(XObject* listener) {
    if (!listener) return;
    for (XObject* known : loadingListeners_) {
        if (known == listener) return;
    }
    if (loadingListeners_.PushBack(listener)) listener->AddRef();
}

void oxRuntime::Notify(const oxRuntimeEvent& event) {
    if (!loadingListeners_.empty())
        FireLoadingEvent(event);
    else
        FireSceneEvent(event);
}

void oxRuntime::FireSceneEvent(const oxRuntimeEvent& event) {
    NUBO::RefPtr<XObject> scene = NUBO::RefPtr<XObject>::ref(event.sceneObject);
    const WCHAR* source = u"";
    const WCHAR* message = u"";
    int32_t line = 0, column = 0;
    if (event.kind == kRuntimeLoadingError && event.report) {
        message = event.report->message.GetString();
        if (event.report->HasLocation()) {
            const auto& located = static_cast<const oxSourceErrorReport&>(*event.report);
            source = located.source.GetString();
            line = located.line;
            column = located.column;
        }
        WriteReport(event.report);
    }
    HeldListeners held(listeners_);
    for (XObject* listener : held.Get()) {
        switch (event.kind) {
        case kRuntimeLoadingError: {
            VARIANT a = TextArg(source), b = IntArg(line), c = IntArg(column), d = TextArg(message);
            XObject::CallMethod4NoResult(listener, u"onSceneLoadingError", a, b, c, d);
            VariantClear(&a);
            VariantClear(&d);
            break;
        }
        case kRuntimeSceneOpened:
        case kRuntimeSceneClosing:
        case kRuntimeSceneClosed: {
            const WCHAR* name = event.kind == kRuntimeSceneOpened    ? u"onSceneOpen"
                                : event.kind == kRuntimeSceneClosing ? u"beforeSceneClose"
                                                                     : u"onSceneClosed";
            VARIANT a = ObjectArg(scene.get());
            XObject::CallMethod1NoResult(listener, name, a);
            VariantClear(&a);
            break;
        }
        case kRuntimeLastSceneClosed:
            XObject::CallMethod0NoResult(listener, u"onFinalSceneClose");
            break;
        default:
            break;
        }
    }
}

void oxRuntime::FireLoadingEvent(const oxRuntimeEvent& event) {
    if (event.kind == kRuntimeLoadingError) WriteReport(event.report);
    HeldListeners held(loadingListeners_);
    for (XObject* listener : held.Get()) {
        switch (event.kind) {
        case kRuntimeSceneOpened:
            XObject::CallMethod0NoResult(listener, u"loadingComplete");
            break;
        case kRuntimeLoadingStarted:
            XObject::CallMethod0NoResult(listener, u"loadingStart");
            break;
        case kRuntimeLoadingError:
            XObject::CallMethod1NoResult(listener, u"loadingError", IntArg(0));
            break;
        default:
            break;
        }
    }
}

void oxScriptErrorReporter::SetLocation(const WCHAR* source, int32_t line, int32_t column) {
    source_ = source ? source : u"";
    line_ = line;
    column_ = column;
}

void oxScriptErrorReporter::SetDetails(const WCHAR* detail, const WCHAR* secondDetail) {
    detail_ = detail ? detail : u"";
    secondDetail_ = secondDetail ? secondDetail : u"";
}

void oxScriptErrorReporter::ReportScriptError(const WCHAR* text) {
    TWString message(text && *text ? text : kScriptErrorText);
    for (const TWString* detail : {&detail_, &secondDetail_}) {
        if (detail->IsEmpty()) continue;
        message += u" [";
        message += *detail;
        message += u"]";
    }
    oxSourceErrorReport report(kErrorParseOrScript, message.GetString(), source_.GetString(), line_, column_);
    runtime_->Notify(oxRuntimeEvent(kRuntimeLoadingError, &report, nullptr));
}
