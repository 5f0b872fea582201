// A property get and a method call on a native object through IDispatchEx, as a script engine
// makes them: by name (GetDispID, then InvokeEx) and by an id looked up once.
#include <benchmark/benchmark.h>

#include "runtime/script_object.h"

using namespace NUBO;

namespace {

class Counter : public XObject {
public:
    static XClassDescriptor Descriptor;
    XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }
    int value = 0;
};

int32_t GetValue(XObject* o, XVariant* r) {
    *r = static_cast<Counter*>(o)->value;
    return 0;
}
int32_t Add(XObject* o, int argc, XArgList* args, XVariant* r) {
    if (!o) return 10;
    if (argc < 1) return 12;
    auto* c = static_cast<Counter*>(o);
    c->value += args->GetArg(0)->ToInt32();
    *r = c->value;
    return 0;
}
int32_t Nop(XObject*, int, XArgList*, XVariant*) {
    return 0;
}

// Enough members that the lookup does a few halvings, as a real class would.
const XMemberEntry kMembers[] = {
    XMethod("add", Add),
    XMethod("alpha", Nop),
    XMethod("bravo", Nop),
    XMethod("charlie", Nop),
    XMethod("delta", Nop),
    XMethod("echo", Nop),
    XMethod("foxtrot", Nop),
    XMethod("golf", Nop),
    XProperty("value", GetValue, nullptr),
    XMemberEnd(),
};
XClassDescriptor Counter::Descriptor = {"Counter", 10, kMembers, &XObject::Descriptor, 0, {}};

struct Fixture {
    Fixture() {
        counter = new Counter;
        counter->AddRef();
        valueName = SysAllocString(u"value");
        addName = SysAllocString(u"add");
    }
    ~Fixture() {
        SysFreeString(valueName);
        SysFreeString(addName);
        counter->Release();
    }
    Counter* counter;
    BSTR valueName;
    BSTR addName;
};

void PropertyGetByName(benchmark::State& state) {
    Fixture f;
    IDispatchEx* d = f.counter;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    for (auto _ : state) {
        DISPID id = 0;
        d->GetDispID(f.valueName, fdexNameCaseSensitive, &id);
        XVariant out;
        d->InvokeEx(id, 1024, DISPATCH_PROPERTYGET, &none, &out, nullptr, nullptr);
        benchmark::DoNotOptimize(out.lVal);
    }
}
BENCHMARK(PropertyGetByName);

void PropertyGetById(benchmark::State& state) {
    Fixture f;
    IDispatchEx* d = f.counter;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    DISPID id = 0;
    d->GetDispID(f.valueName, fdexNameCaseSensitive, &id);
    for (auto _ : state) {
        XVariant out;
        d->InvokeEx(id, 1024, DISPATCH_PROPERTYGET, &none, &out, nullptr, nullptr);
        benchmark::DoNotOptimize(out.lVal);
    }
}
BENCHMARK(PropertyGetById);

void MethodCallByName(benchmark::State& state) {
    Fixture f;
    IDispatchEx* d = f.counter;
    XVariant arg(1);
    DISPPARAMS params{&arg, nullptr, 1, 0};
    for (auto _ : state) {
        DISPID id = 0;
        d->GetDispID(f.addName, fdexNameCaseSensitive, &id);
        XVariant out;
        d->InvokeEx(id, 1024, DISPATCH_METHOD, &params, &out, nullptr, nullptr);
        benchmark::DoNotOptimize(out.lVal);
    }
}
BENCHMARK(MethodCallByName);

void MethodCallById(benchmark::State& state) {
    Fixture f;
    IDispatchEx* d = f.counter;
    XVariant arg(1);
    DISPPARAMS params{&arg, nullptr, 1, 0};
    DISPID id = 0;
    d->GetDispID(f.addName, fdexNameCaseSensitive, &id);
    for (auto _ : state) {
        XVariant out;
        d->InvokeEx(id, 1024, DISPATCH_METHOD, &params, &out, nullptr, nullptr);
        benchmark::DoNotOptimize(out.lVal);
    }
}
BENCHMARK(MethodCallById);

} // namespace
