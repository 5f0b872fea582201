#include "toolkit/script/factory.h"

#include "toolkit/scene/desktop_services.h"

#include <iterator>
#include <new>

#include "runtime/ref_ptr.h"
#include "toolkit/base/atoms.h"
#include "toolkit/base/rect.h"
#include "toolkit/base/uri.h"
#include "toolkit/core/box.h"
#include "toolkit/core/event.h"
#include "toolkit/core/script_rect.h"
#include "toolkit/library/bitmap_element.h"
#include "toolkit/library/image_element.h"
#include "toolkit/markup/box_uri.h"
#include "toolkit/scene/desktop_services.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/menu_classes.h"
#include "toolkit/script/native_wrapper.h"
#include "toolkit/script/scene.h"
#include "toolkit/script/script_class.h"
#include "toolkit/scripthost/script_object_cache.h"
#include "toolkit/widgets/native_menu.h"

using NUBO::RefPtr;
using NUBO::XArgList;
using NUBO::XObject;
using NUBO::XVariant;
using script_class::ArgInt;
using script_class::PutObject;

namespace {

// The native scene of a Scene object, or null for anything else.
oxScene* SceneOf(XObject* object) {
    if (!object || !XObject::IsKindOf(object, &Scene::Descriptor)) return nullptr;
    return static_cast<Scene*>(object)->GetScene();
}

// The scene's library keeps what scripts make for it, as its own resources: it destroys them with
// itself (or when deleteBitmap removes them), and lookups by id find them.
void PutOwnedResource(oxScene* scene, oxElement* element, XVariant* out) {
    scene->AddResource(element);
    oxRuntime* runtime = scene->GetSceneRuntime();
    oxScriptObjectCache* cache = runtime ? runtime->GetScriptObjectCache() : nullptr;
    XObject* object = nullptr;
    if (cache) cache->GetResourceObject(element, &object);
    PutObject(out, object);
}

int32_t CreateRectBody(Factory*, XArgList* args, XVariant* out) {
    Factory::CreateRect(ArgInt(args, 0), ArgInt(args, 1), ArgInt(args, 2), ArgInt(args, 3), out);
    return 0;
}

int32_t CreatePointBody(Factory*, XArgList* args, XVariant* out) {
    Factory::CreatePoint(ArgInt(args, 0), ArgInt(args, 1), out);
    return 0;
}

int32_t CreateEventBody(Factory*, XArgList* args, XVariant* out) {
    RefPtr<XObject> box(script_class::ArgObject(args, 0));
    Factory::CreateUserEvent(box.get(), out);
    return 0;
}

int32_t CreateBitmapBody(Factory*, XArgList* args, XVariant* out) {
    NUBO::TWString id = script_class::ArgText(args, 0), src = script_class::ArgText(args, 1);
    RefPtr<XObject> scene(script_class::ArgObject(args, 2));
    Factory::CreateBitmap(id.GetString(), src.GetString(), scene.get(), out);
    return 0;
}

int32_t CreateMenuBody(Factory*, XArgList* args, XVariant* out) {
    const bool popup = args->GetCount() > 0 && script_class::ArgBool(args, 0);
    auto* menu = new (std::nothrow) oxNativeMenu();
    if (!menu) return 0;
    menu->AddRef();
    if (menu->Create(popup)) PutObject(out, MakeMenuObject(menu));
    menu->Release();
    return 0;
}

int32_t CreateImageElementBody(Factory*, XArgList* args, XVariant* out) {
    NUBO::TWString id = script_class::ArgText(args, 0);
    RefPtr<XObject> sceneObject(script_class::ArgObject(args, 1));
    oxScene* scene = SceneOf(sceneObject.get());
    if (id.IsEmpty() || !scene) return 0;
    auto* image = new (std::nothrow) oxImageElement(kAtomImageElement, scene);
    if (!image) return 0;
    image->SetId(oxAtoms::Intern(id.GetString()));
    PutOwnedResource(scene, image, out);
    return 0;
}

using script_class::ObjectMethodRow;
const NUBO::XMemberEntry kMembers[] = {
    ObjectMethodRow<4, CreateRectBody>("createRect"),
    ObjectMethodRow<2, CreatePointBody>("createPoint"),
    ObjectMethodRow<1, CreateEventBody>("createEvent"),
    ObjectMethodRow<3, CreateBitmapBody>("createBitmap"),
    ObjectMethodRow<0, CreateMenuBody>("createMenu"),
    ObjectMethodRow<2, CreateImageElementBody>("createImageElement"),
    NUBO::XMemberEnd(),
};

} // namespace

NUBO::XClassDescriptor Factory::Descriptor = {"Factory", int(std::size(kMembers)), kMembers, &XObject::Descriptor, 0,
                                              {}};

void Factory::CreateRect(int32_t x, int32_t y, int32_t width, int32_t height, XVariant* out) {
    auto* rect = new (std::nothrow) XRect();
    if (rect) {
        rect->AddRef();
        rect->x = x, rect->y = y, rect->width = width, rect->height = height;
    }
    PutObject(out, rect);
}

void Factory::CreateRect(const oxRect& rect, XVariant* out) {
    CreateRect(rect.x, rect.y, rect.width, rect.height, out);
}

void Factory::CreateMonitorRectFromPoint(int32_t x, int32_t y, XVariant* out) {
    const RECT r = GetMonitorRectFromPoint(POINT{x, y});
    CreateRect(r.left, r.top, r.right - r.left, r.bottom - r.top, out);
}

void Factory::CreatePoint(int32_t x, int32_t y, XVariant* out) {
    auto* point = new (std::nothrow) XPoint();
    if (point) {
        point->AddRef();
        point->x = x, point->y = y;
    }
    PutObject(out, point);
}

void Factory::CreateBitmap(const WCHAR* id, const WCHAR* src, XObject* sceneObject, XVariant* out) {
    oxScene* scene = SceneOf(sceneObject);
    if (!src || !*src || !scene) return; // without a scene nothing would keep the bitmap
    NUBO::TWString path(src);
    if (!oxUri::HasScheme(src)) ResolveUriToPath(src, scene->GetBase().GetString(), path);
    auto* bitmap = new (std::nothrow) oxBitmapElement(kAtomBitmap, scene);
    if (!bitmap) return;
    bitmap->SetId(id && *id ? oxAtoms::Intern(id) : 0);
    bitmap->SetSrcUri(path.GetString());
    PutOwnedResource(scene, bitmap, out);
}

void Factory::CreateUserEvent(XObject* boxObject, XVariant* out) {
    if (!boxObject || !XObject::IsKindOf(boxObject, &wrapper_class::Box)) return;
    oxBox* box = static_cast<oxBox*>(static_cast<oxNativeWrapper*>(boxObject)->GetNative());
    auto* scene = box ? dynamic_cast<oxScene*>(box->GetScene()) : nullptr;
    oxRuntime* runtime = scene ? scene->GetSceneRuntime() : nullptr;
    oxScriptObjectCache* cache = runtime ? runtime->GetScriptObjectCache() : nullptr;
    if (!cache) return;
    auto* event = new (std::nothrow) oxEvent(0, box);
    if (!event) return;
    event->AddFlags(kEventUser);
    XObject* object = nullptr;
    if (!cache->GetEventObject(event, &object)) {
        delete event;
        return;
    }
    PutObject(out, object);
}
