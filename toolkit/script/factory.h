#pragma once
// Factory: makes the small script objects that scripts cannot make with `new`: rectangles, points,
// user events aimed at a box, and native menus. It holds no state; Shell.factory answers a new one
// each time, and Shell.create uses its native operations.
#include <cstdint>

#include "platform/types.h"
#include "runtime/script_object.h"

struct oxRect;

namespace NUBO {
class XVariant;
}

class Factory : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor; // "Factory"
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }

    // A new XRect or XPoint into `out` (null when memory is short).
    static void CreateRect(int32_t x, int32_t y, int32_t width, int32_t height, NUBO::XVariant* out);
    static void CreateRect(const oxRect& rect, NUBO::XVariant* out);
    static void CreatePoint(int32_t x, int32_t y, NUBO::XVariant* out);
    // The rectangle of the monitor nearest (x, y) into `out`: Scene's and AppUtils'
    // monitorRectFromPoint are one member.
    static void CreateMonitorRectFromPoint(int32_t x, int32_t y, NUBO::XVariant* out);
    // A user event aimed at the box of a Box object, as its UserEvent object, into `out`; nothing
    // when the object is no Box or its box is in no scene with a wrapper cache.
    static void CreateUserEvent(NUBO::XObject* boxObject, NUBO::XVariant* out);
    // A bitmap of `src` for the scene of a Scene object, as its Bitmap object, into `out`; nothing
    // for an empty src or without a scene. A src without a scheme is relative to the scene.
    static void CreateBitmap(const WCHAR* id, const WCHAR* src, NUBO::XObject* sceneObject, NUBO::XVariant* out);
};
