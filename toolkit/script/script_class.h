#pragma once
// The frame every script class shares: a member's thunk checks the object and the argument count
// and hands the arguments to a body on the class, which converts them with the helpers below and
// answers a result code. Wrong argument types never fail: they read as text, 0, false or null.
#include <cstdint>
#include <new>
#include <utility>

#include "runtime/result_codes.h"
#include "runtime/script_args.h"
#include "runtime/script_object.h"
#include "runtime/script_variant.h"

namespace script_class {

// The thunk of a method whose body is `Body(T*, XArgList*, XVariant* out)`: 10 without an object,
// 12 with fewer than `MinArgs` arguments; the output reaches the caller only on success. The output
// of a member that answers an object starts as a null object: a body that finds none answers null.
template <class T, int MinArgs, int32_t (*Body)(T*, NUBO::XArgList*, NUBO::XVariant*), bool AnswersObject = false>
int32_t Method(NUBO::XObject* object, int argc, NUBO::XArgList* args, NUBO::XVariant* result) {
    if (!object) return NUBO::XR_INVALID;
    if (argc < MinArgs) return NUBO::XR_TOO_FEW_ARGS;
    NUBO::XVariant out;
    if (AnswersObject) out.SetObject(nullptr);
    int32_t rc = Body(static_cast<T*>(object), args, &out);
    if (rc == 0 && result) *result = out;
    return rc;
}

// The thunks of a property: 92 without an object; the getter's output reaches the caller only on
// success (a null object first for a property that holds objects); no argument counts are checked.
template <class T, int32_t (*Body)(T*, NUBO::XVariant*), bool AnswersObject = false>
int32_t Getter(NUBO::XObject* object, NUBO::XVariant* result) {
    if (!object) return NUBO::XR_NO_NATIVE_OBJECT;
    NUBO::XVariant out;
    if (AnswersObject) out.SetObject(nullptr);
    int32_t rc = Body(static_cast<T*>(object), &out);
    if (rc == 0 && result) *result = out;
    return rc;
}
template <class T, int32_t (*Body)(T*, const VARIANT&)> int32_t Setter(NUBO::XObject* object, const VARIANT* value) {
    if (!object) return NUBO::XR_NO_NATIVE_OBJECT;
    if (!value) return NUBO::XR_INVALID;
    return Body(static_cast<T*>(object), *value);
}

// The class a body serves, read from its type.
template <class F> struct BodyClass;
template <class T> struct BodyClass<int32_t (*)(T*, NUBO::XArgList*, NUBO::XVariant*)> { using type = T; };
template <class T> struct BodyClass<int32_t (*)(T*, NUBO::XVariant*)> { using type = T; };

// Member table rows over bodies: a method with its least argument count, a read-only property, a
// property with its setter.
template <int MinArgs, auto Body> constexpr NUBO::XMemberEntry MethodRow(const char* name) {
    return NUBO::XMethod(name, Method<typename BodyClass<decltype(Body)>::type, MinArgs, Body>);
}
template <auto Get> constexpr NUBO::XMemberEntry PropertyRow(const char* name) {
    return NUBO::XProperty(name, Getter<typename BodyClass<decltype(Get)>::type, Get>, nullptr);
}
template <auto Get, auto Set> constexpr NUBO::XMemberEntry PropertyRow(const char* name) {
    using T = typename BodyClass<decltype(Get)>::type;
    return NUBO::XProperty(name, Getter<T, Get>, Setter<T, Set>);
}
// The same rows for members that answer objects.
template <int MinArgs, auto Body> constexpr NUBO::XMemberEntry ObjectMethodRow(const char* name) {
    return NUBO::XMethod(name, Method<typename BodyClass<decltype(Body)>::type, MinArgs, Body, true>);
}
template <auto Get> constexpr NUBO::XMemberEntry ObjectPropertyRow(const char* name) {
    return NUBO::XProperty(name, Getter<typename BodyClass<decltype(Get)>::type, Get, true>, nullptr);
}
template <auto Get, auto Set> constexpr NUBO::XMemberEntry ObjectPropertyRow(const char* name) {
    using T = typename BodyClass<decltype(Get)>::type;
    return NUBO::XProperty(name, Getter<T, Get, true>, Setter<T, Set>);
}

// The argument helpers; `i` counts from the first argument the script wrote.
inline NUBO::TWString ArgText(NUBO::XArgList* args, int i) {
    return args->GetArg(i)->ToString();
}
inline int32_t ArgInt(NUBO::XArgList* args, int i) {
    return args->GetArg(i)->ToInt32();
}
inline bool ArgBool(NUBO::XArgList* args, int i) {
    return args->GetArg(i)->ToBool();
}
// The native object of an object argument with a reference the caller releases, else null.
inline NUBO::XObject* ArgObject(NUBO::XArgList* args, int i) {
    NUBO::XObject* object = nullptr;
    if (NUBO::VariantToXObject(&object, args->GetArg(i)) != 0) return nullptr;
    return object;
}
// The object argument when it is of that class (or derives from it), else null; with a reference.
inline NUBO::XObject* ArgObjectOf(NUBO::XArgList* args, int i, NUBO::XClassDescriptor* descriptor) {
    NUBO::XObject* object = ArgObject(args, i);
    if (object && !NUBO::XObject::IsKindOf(object, descriptor)) {
        object->Release();
        return nullptr;
    }
    return object;
}
// Hands a wrapper the caller got with a reference to the output, which keeps its own.
inline void PutObject(NUBO::XVariant* out, NUBO::XObject* object) {
    out->SetObject(object);
    if (object) object->Release();
}

// The create-instance protocol: 10 for a null out pointer, 18 when memory is short, else the new
// object's Initialize answer; on 0 the object is in `out` with one reference.
template <class T, class Out, class... Args> int32_t CreateInstance(Out** out, Args&&... args) {
    if (!out) return NUBO::XR_INVALID;
    T* object = new (std::nothrow) T(std::forward<Args>(args)...);
    if (!object) return NUBO::XR_OUT_OF_MEMORY;
    object->AddRef();
    int32_t rc = object->Initialize();
    if (rc != 0) {
        object->Release();
        return rc;
    }
    *out = object;
    return 0;
}

} // namespace script_class
