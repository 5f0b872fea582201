#pragma once
// Box: the script object of one native box, and through the box-kind descriptors the base of every
// box kind's class. Names the class does not declare read the box's attribute of that name, and a
// text stored under one sets that attribute. Storing any property pins the object: it then holds a
// reference on itself until its box dies, so what scripts hang on a box stays with the box.
#include <cstdint>

#include "runtime/ref_ptr.h"
#include "toolkit/base/rect.h"
#include "toolkit/script/native_wrapper.h"

class oxBox;
class oxScriptObjectCache;
class Scene;

class Box : public oxNativeWrapper {
public:
    // `descriptor` is Box's or a box kind's; `cache` the runtime's wrapper cache, or null.
    Box(NUBO::XClassDescriptor* descriptor, oxBox* box, oxScriptObjectCache* cache)
        : oxNativeWrapper(descriptor, box), cache_(cache) {}

    // Null once the box is gone.
    oxBox* GetBox() const { return static_cast<oxBox*>(GetNative()); }
    oxScriptObjectCache* GetCache() const { return cache_; }
    bool IsPinned() const { return pinned_; }
    // The box is going: the object turns inert and lets go of its own reference when pinned (which
    // may destroy it before this returns).
    void Detach() override;

    int32_t GetPropertyByName(const WCHAR* name, NUBO::XVariant* result) override;
    int32_t SetPropertyByName(const WCHAR* name, const VARIANT* value) override;
    int32_t HasDynamicProperty(const WCHAR* name, bool* out) override;
    // Properties go by name (so attributes and read-only members are reached as by name), and so
    // do the members a gadget's script adds.
    int GetDispatchFlags() override { return NUBO::kXDispatchPropertiesByName | NUBO::kXDispatchDynamicByName; }

    // The StyleProxy of the `s` property, made on first use; not counted for the caller.
    NUBO::XObject* GetStyleProxy();
    // The Scene object of the box's scene (which keeps boxes nobody else holds), or null.
    Scene* GetSceneObject() const;

protected:
    ~Box() override;

private:
    oxScriptObjectCache* cache_;
    bool pinned_ = false;
    NUBO::XObject* styleProxy_ = nullptr; // one reference
};

// The native box of a Box argument (any box kind), or null; `held` keeps the wrapper for the call.
oxBox* BoxOfObject(NUBO::XObject* object);
// The box's wrapper into out; null without a box or cache. 1 when the cache fails for a box.
int32_t PutBox(Box* self, NUBO::XVariant* out, oxBox* box);
// The native box of a Box argument; the wrapper is held by `held` for the call.
oxBox* ArgBox(NUBO::XArgList* args, int i, NUBO::RefPtr<NUBO::XObject>& held);
// Where the box's frame position lies on the screen: moved by the place of its scene's frame window.
oxPoint GetBoxScreenPosition(oxBox* box);
// The same with x mirrored: measured leftwards from the right edge of the frame's client area.
oxPoint GetBoxMirroredScreenPosition(oxBox* box);
