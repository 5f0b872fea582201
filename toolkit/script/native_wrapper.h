#pragma once
// oxNativeWrapper: the script object of a native toolkit object, keeping one non-owning pointer to
// it that the wrapper cache clears when the native object dies; the object then stays valid but
// inert. Script classes whose members are not built yet are plain wrappers under their own class
// descriptors below, so scripts already get one object of the right class for each native object.
#include <cstdint>

#include "runtime/script_object.h"

class oxScriptWrapperCache;

class oxNativeWrapper : public NUBO::XObject {
public:
    // `descriptor` is one of the classes below or a class's own.
    oxNativeWrapper(NUBO::XClassDescriptor* descriptor, void* native) : descriptor_(descriptor), native_(native) {}
    NUBO::XClassDescriptor* GetClassDescriptor() override { return descriptor_; }

    // Null once the native object is gone.
    void* GetNative() const { return native_; }
    // The native object is going: the wrapper lets go of it.
    virtual void Detach() { native_ = nullptr; }
    // A wrapper made before its native object existed takes it.
    void Attach(void* native) { native_ = native; }
    // Boxes and user events are not held by the cache: their wrappers erase their own entry when
    // they go.
    void SetOwningCache(oxScriptWrapperCache* cache) { cache_ = cache; }
    void ForgetOwningCache() { cache_ = nullptr; }

protected:
    ~oxNativeWrapper() override;
    oxScriptWrapperCache* GetOwningCache() const { return cache_; }

private:
    NUBO::XClassDescriptor* descriptor_;
    void* native_;
    oxScriptWrapperCache* cache_ = nullptr;
};

// The classes that are plain wrappers so far, each with its parent as scripts test it.
namespace wrapper_class {
extern NUBO::XClassDescriptor Box, TextBox, ControlBox, DHTMLBox, HandleBox, ImageBox, PopupBox, RangeBox, SelectBox,
    WindowBox;
extern NUBO::XClassDescriptor Command, CommandGroup, Key, KeyGroup, Library, Resource, Bitmap, ImageElement, Gadget,
    Selection, DataBinding, Theme, ThemeManager;
extern NUBO::XClassDescriptor Event, UserEvent, DOMEvent, UIEvent, MouseEvent, DragEvent, KeyEvent, MenuEvent,
    ContextMenuEvent, SelectionEvent, CommandEvent, SystemEvent, MessageEvent, MutationEvent, DHTMLEvent;
} // namespace wrapper_class
