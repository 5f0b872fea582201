// Library and Resource: scripts walk a library's resources, add and remove them, find one by id,
// and read a resource's tag, id and library. Wrappers come from the wrapper cache of the library's
// runtime; without one the answers are empty.
#include "toolkit/script/resource_classes.h"

#include <algorithm>
#include <iterator>
#include <new>

#include "runtime/ref_ptr.h"
#include "runtime/script_dictionary.h"
#include "runtime/stream_adapter.h"
#include "toolkit/base/atoms.h"
#include "toolkit/library/bindable_element.h"
#include "toolkit/library/bitmap_element.h"
#include "toolkit/library/gadget_element.h"
#include "toolkit/library/image_element.h"
#include "toolkit/library/library.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/script/script_class.h"
#include "toolkit/script/style_value_classes.h"
#include "toolkit/scripthost/script_object_cache.h"
#include "toolkit/style/style_parser.h"
#include "toolkit/style/style_tables.h"

using NUBO::RefPtr;
using NUBO::TWString;
using NUBO::XArgList;
using NUBO::XClassDescriptor;
using NUBO::XObject;
using NUBO::XVariant;

namespace {

oxLibrary* LibraryOf(oxNativeWrapper* self) {
    return static_cast<oxLibrary*>(self->GetNative());
}

oxElement* ElementOf(oxNativeWrapper* self) {
    return static_cast<oxElement*>(self->GetNative());
}

oxScriptObjectCache* CacheOf(oxLibrary* library) {
    auto* runtime = library ? dynamic_cast<oxRuntime*>(library->GetRuntime()) : nullptr;
    return runtime ? runtime->GetScriptObjectCache() : nullptr;
}

void PutResource(oxLibrary* library, oxElement* element, XVariant* out) {
    XObject* object = nullptr;
    if (oxScriptObjectCache* cache = CacheOf(library); cache && element) cache->GetResourceObject(element, &object);
    script_class::PutObject(out, object);
}

// The element of a Resource-kind argument, or null; `held` keeps the wrapper for the call.
oxElement* ArgResource(XArgList* args, int i, RefPtr<XObject>& held) {
    held = RefPtr<XObject>(script_class::ArgObjectOf(args, i, &wrapper_class::Resource));
    return held ? ElementOf(static_cast<oxNativeWrapper*>(held.get())) : nullptr;
}

// The resource at a position of the walk. Positions are counted rather than kept as links into
// the library's table, so that a resource removed meanwhile cannot leave the walk dangling.
oxElement* ResourceAt(oxLibrary* library, int index) {
    void* position = nullptr;
    oxElement* element = index >= 0 ? library->FirstResource(&position) : nullptr;
    for (int i = 0; element && i < index; i++)
        element = library->NextResource(&position);
    return element;
}

bool IsListed(oxLibrary* library, oxElement* element) {
    void* position = nullptr;
    for (oxElement* e = library->FirstResource(&position); e; e = library->NextResource(&position))
        if (e == element) return true;
    return false;
}

// -- Library ---------------------------------------------------------------------------------------

int32_t AddResource(LibraryObject* self, XArgList* args, XVariant* out) {
    *out = false;
    oxLibrary* library = LibraryOf(self);
    RefPtr<XObject> held;
    oxElement* element = ArgResource(args, 0, held);
    if (!library || !element) return 0;
    // A library owns and destroys what it lists: only a resource of this library that it does not
    // list yet is filed, so that no element is ever owned twice.
    auto* bindable = dynamic_cast<oxBindableElement*>(element);
    if (!bindable || bindable->GetLibrary() != library || IsListed(library, element)) return 0;
    library->AddResource(element);
    *out = true;
    return 0;
}

int32_t RemoveResource(LibraryObject* self, XArgList* args, XVariant* out) {
    *out = false;
    oxLibrary* library = LibraryOf(self);
    RefPtr<XObject> held;
    oxElement* element = ArgResource(args, 0, held);
    if (!library || !held) return 0;
    if (element) library->RemoveResource(element);
    *out = true;
    return 0;
}

int32_t GetResourceById(LibraryObject* self, XArgList* args, XVariant* out) {
    oxLibrary* library = LibraryOf(self);
    if (!library) return NUBO::XR_FAIL;
    TWString id = script_class::ArgText(args, 0);
    oxElement* element = id.IsEmpty() ? nullptr : library->FindResourceById(oxAtoms::Intern(id.GetString()), 0);
    if (element) PutResource(library, element, out);
    return 0;
}

int32_t GetResourceCount(LibraryObject* self, XVariant* out) {
    oxLibrary* library = LibraryOf(self);
    if (!library) return NUBO::XR_FAIL;
    *out = int(library->GetResourceCount());
    return 0;
}

int32_t GetFirstResource(LibraryObject* self, XVariant* out) {
    oxLibrary* library = LibraryOf(self);
    if (!library) return 0;
    self->cursor = 0;
    if (oxElement* element = ResourceAt(library, 0)) PutResource(library, element, out);
    return 0;
}

int32_t GetNextResource(LibraryObject* self, XVariant* out) {
    oxLibrary* library = LibraryOf(self);
    if (!library || self->cursor < 0) return 0;
    oxElement* element = ResourceAt(library, self->cursor + 1);
    if (!element) return 0; // the walk stays at its end
    self->cursor++;
    PutResource(library, element, out);
    return 0;
}

using script_class::MethodRow;
using script_class::PropertyRow;
const NUBO::XMemberEntry kLibraryMembers[] = {
    MethodRow<1, AddResource>("addResource"),
    MethodRow<1, RemoveResource>("removeResource"),
    MethodRow<1, GetResourceById>("getResourceById"),
    PropertyRow<GetResourceCount>("resourceCount"),
    PropertyRow<GetFirstResource>("firstResource"),
    PropertyRow<GetNextResource>("nextResource"),
    NUBO::XMemberEnd(),
};

// -- Resource --------------------------------------------------------------------------------------

TWString NameOf(oxAtom atom) {
    WCHAR name[oxAtoms::kLookupUnits] = {};
    if (atom) oxAtoms::GetName(atom, name, oxAtoms::kLookupUnits);
    return TWString(name);
}

int32_t GetLibrary(oxNativeWrapper* self, XVariant* out) {
    oxElement* element = ElementOf(self);
    if (!element) return NUBO::XR_FAIL;
    auto* bindable = dynamic_cast<oxBindableElement*>(element);
    oxLibrary* library = bindable ? bindable->GetLibrary() : nullptr;
    XObject* object = nullptr;
    if (oxScriptObjectCache* cache = CacheOf(library)) cache->GetLibraryObject(library, &object);
    if (object) script_class::PutObject(out, object);
    return 0;
}

int32_t GetTag(oxNativeWrapper* self, XVariant* out) {
    oxElement* element = ElementOf(self);
    if (!element) return NUBO::XR_FAIL;
    TWString name = NameOf(element->GetTag());
    if (!name.IsEmpty()) *out = name;
    return 0;
}

int32_t GetId(oxNativeWrapper* self, XVariant* out) {
    oxElement* element = ElementOf(self);
    if (!element) return NUBO::XR_FAIL;
    TWString name = NameOf(element->GetId());
    if (!name.IsEmpty()) *out = name;
    return 0;
}

const NUBO::XMemberEntry kResourceMembers[] = {
    PropertyRow<GetLibrary>("library"),
    PropertyRow<GetTag>("tag"),
    PropertyRow<GetId>("id"),
    NUBO::XMemberEnd(),
};

// -- Bitmap ----------------------------------------------------------------------------------------

oxBitmapElement* BitmapOf(oxNativeWrapper* self) {
    return dynamic_cast<oxBitmapElement*>(ElementOf(self));
}

int32_t DeleteBitmap(oxNativeWrapper* self, XArgList*, XVariant*) {
    oxBitmapElement* bitmap = BitmapOf(self);
    if (!bitmap) return 0;
    self->Detach();
    // Removing it from its library destroys it. One that no library lists stays with whoever
    // made it: destroying it here would leave the wrapper cache a stale key.
    oxLibrary* library = bitmap->GetLibrary();
    if (library && IsListed(library, bitmap)) library->RemoveResource(bitmap);
    return 0;
}

int32_t SetThumbSize(oxNativeWrapper* self, XArgList* args, XVariant* out) {
    oxBitmapElement* bitmap = BitmapOf(self);
    *out = bitmap != nullptr;
    if (bitmap) bitmap->SetThumbSize(script_class::ArgInt(args, 0), script_class::ArgInt(args, 1));
    return 0;
}

int32_t SetThumbWidth(oxNativeWrapper* self, XArgList* args, XVariant* out) {
    oxBitmapElement* bitmap = BitmapOf(self);
    *out = bitmap != nullptr;
    if (bitmap) bitmap->SetThumbSize(script_class::ArgInt(args, 0), -1);
    return 0;
}

int32_t SetThumbHeight(oxNativeWrapper* self, XArgList* args, XVariant* out) {
    oxBitmapElement* bitmap = BitmapOf(self);
    *out = bitmap != nullptr;
    if (bitmap) bitmap->SetThumbSize(-1, script_class::ArgInt(args, 0));
    return 0;
}

int32_t GetBitmapStyle(oxNativeWrapper* self, XArgList* args, XVariant* out) {
    oxBitmapElement* bitmap = BitmapOf(self);
    if (!bitmap) return 0;
    const TWString name = script_class::ArgText(args, 0);
    oxStyleValue value;
    const int id = name.GetString() ? StylePropertyIdFromName(name.GetString()) : -1;
    if (id >= 0) bitmap->GetStyleValue(&value, id);
    script_class::PutObject(out, MakeStyleVariant(value));
    return 0;
}

int32_t SetBitmapStyle(oxNativeWrapper* self, XArgList* args, XVariant* out) {
    oxBitmapElement* bitmap = BitmapOf(self);
    *out = false;
    if (!bitmap) return 0;
    const TWString name = script_class::ArgText(args, 0), text = script_class::ArgText(args, 1);
    oxStyleValue value;
    if (!name.GetString() || !ParseStyleAttribute(name.GetString(), text.GetString(), &value, nullptr, nullptr))
        return 0;
    // A name that is no style property parses, and there is nothing to keep.
    const int id = StylePropertyIdFromName(name.GetString());
    *out = id < 0 || bitmap->SetStyleValue(id, value);
    return 0;
}

// Loads the current frame; no file is written on this platform.
int32_t Save(oxNativeWrapper* self, XArgList* args, XVariant* out) {
    oxBitmapElement* bitmap = BitmapOf(self);
    *out = false;
    if (!bitmap || script_class::ArgText(args, 0).IsEmpty()) return 0;
    (void)bitmap->GetFrame(-1);
    *out = true;
    return 0;
}

int32_t GetBitmapSrc(oxNativeWrapper* self, XVariant* out) {
    oxBitmapElement* bitmap = BitmapOf(self);
    if (!bitmap) return NUBO::XR_FAIL;
    *out = TWString(bitmap->GetSrc().GetString() ? bitmap->GetSrc().GetString() : u"");
    return 0;
}

int32_t SetBitmapSrc(oxNativeWrapper* self, const VARIANT& value) {
    oxBitmapElement* bitmap = BitmapOf(self);
    if (!bitmap) return NUBO::XR_FAIL;
    NUBO::XStream* raw = nullptr;
    if ((value.vt == VT_UNKNOWN || value.vt == VT_DISPATCH) && NUBO::XStreamFromVariant(&value, &raw) == 0 && raw) {
        RefPtr<NUBO::XStream> stream(raw);
        return bitmap->SetSrcObject(stream.get()) ? 0 : NUBO::XR_FAIL;
    }
    bitmap->SetSrcUri(static_cast<const XVariant&>(value).ToString().GetString());
    return 0;
}

int32_t GetKeepSourceImg(oxNativeWrapper* self, XVariant* out) {
    oxBitmapElement* bitmap = BitmapOf(self);
    if (!bitmap) return NUBO::XR_FAIL;
    *out = bitmap->GetKeepSourceImage();
    return 0;
}

int32_t SetKeepSourceImg(oxNativeWrapper* self, const VARIANT& value) {
    oxBitmapElement* bitmap = BitmapOf(self);
    if (!bitmap) return NUBO::XR_FAIL;
    bitmap->SetKeepSourceImage(static_cast<const XVariant&>(value).ToBool());
    return 0;
}

// The style URL; the bitmap keeps no style record of its own here, so there is none to drop.
int32_t GetStyleUrl(oxNativeWrapper* self, XVariant* out) {
    oxBitmapElement* bitmap = BitmapOf(self);
    if (!bitmap) return NUBO::XR_FAIL;
    *out = TWString(bitmap->GetStyleText().GetString() ? bitmap->GetStyleText().GetString() : u"");
    return 0;
}

int32_t SetStyleUrl(oxNativeWrapper* self, const VARIANT& value) {
    oxBitmapElement* bitmap = BitmapOf(self);
    if (!bitmap) return NUBO::XR_FAIL;
    bitmap->SetStyleText(static_cast<const XVariant&>(value).ToString().GetString());
    return 0;
}

template <bool Height> int32_t GetBitmapSize(oxNativeWrapper* self, XVariant* out) {
    oxBitmapElement* bitmap = BitmapOf(self);
    if (!bitmap) return NUBO::XR_FAIL;
    int32_t width = 0, height = 0;
    bitmap->GetSize(&width, &height);
    *out = Height ? height : width;
    return 0;
}

const NUBO::XMemberEntry kBitmapMembers[] = {
    script_class::ObjectMethodRow<1, GetBitmapStyle>("getStyle"),
    MethodRow<2, SetBitmapStyle>("setStyle"),
    MethodRow<0, DeleteBitmap>("deleteBitmap"),
    MethodRow<2, SetThumbSize>("setThumbSize"),
    MethodRow<1, SetThumbWidth>("setThumbWidth"),
    MethodRow<1, SetThumbHeight>("setThumbHeight"),
    MethodRow<2, Save>("save"),
    PropertyRow<GetBitmapSrc, SetBitmapSrc>("src"),
    PropertyRow<GetKeepSourceImg, SetKeepSourceImg>("keepSourceImg"),
    PropertyRow<GetBitmapSize<true>>("height"),
    PropertyRow<GetBitmapSize<false>>("width"),
    PropertyRow<GetStyleUrl, SetStyleUrl>("styleURL"),
    NUBO::XMemberEnd(),
};

// -- ImageElement ----------------------------------------------------------------------------------

oxImageElement* ImageOf(oxNativeWrapper* self) {
    return dynamic_cast<oxImageElement*>(ElementOf(self));
}

// A put passes the value as markup text; an empty text is no value, which the element refuses.
template <const oxAtom* Attribute> int32_t PutImageAttribute(oxNativeWrapper* self, const VARIANT& value) {
    oxImageElement* image = ImageOf(self);
    if (!image) return NUBO::XR_FAIL;
    TWString text = static_cast<const XVariant&>(value).ToString();
    (void)image->SetMarkupAttribute(kAtomResourceNamespace, *Attribute, text.IsEmpty() ? nullptr : text.GetString());
    return 0;
}

int32_t GetImageSrc(oxNativeWrapper* self, XVariant* out) {
    oxImageElement* image = ImageOf(self);
    if (!image) return NUBO::XR_FAIL;
    const WCHAR* src = image->GetSourceReference();
    *out = TWString(src ? src : u"");
    return 0;
}

int32_t GetIndex(oxNativeWrapper* self, XVariant* out) {
    oxImageElement* image = ImageOf(self);
    if (!image) return NUBO::XR_FAIL;
    *out = image->GetMode() == oxImageElement::kByIndex ? image->GetIndex() : 0;
    return 0;
}

template <bool Y> int32_t GetCorner(oxNativeWrapper* self, XVariant* out) {
    oxImageElement* image = ImageOf(self);
    if (!image) return NUBO::XR_FAIL;
    *out = image->GetMode() == oxImageElement::kByRect ? (Y ? image->GetY() : image->GetX()) : 0;
    return 0;
}

// In rectangle mode the stored size, a side of 0 read from the bitmap it cuts from.
template <bool Height> int32_t GetCut(oxNativeWrapper* self, XVariant* out) {
    oxImageElement* image = ImageOf(self);
    if (!image) return NUBO::XR_FAIL;
    int32_t width = 0, height = 0;
    if (image->GetMode() == oxImageElement::kByRect) image->GetCutSize(&width, &height);
    *out = std::max(0, Height ? height : width);
    return 0;
}

constexpr oxAtom kSrcAtom = kAtomSrc, kIndexAtom = kAtomIndex, kXAtom = kAtomX, kYAtom = kAtomY,
                 kWidthAtom = kAtomWidth, kHeightAtom = kAtomHeight;

const NUBO::XMemberEntry kImageMembers[] = {
    PropertyRow<GetImageSrc, PutImageAttribute<&kSrcAtom>>("src"),
    PropertyRow<GetIndex, PutImageAttribute<&kIndexAtom>>("index"),
    PropertyRow<GetCorner<false>, PutImageAttribute<&kXAtom>>("x"),
    PropertyRow<GetCorner<true>, PutImageAttribute<&kYAtom>>("y"),
    PropertyRow<GetCut<false>, PutImageAttribute<&kWidthAtom>>("width"),
    PropertyRow<GetCut<true>, PutImageAttribute<&kHeightAtom>>("height"),
    NUBO::XMemberEnd(),
};

// -- Gadget ----------------------------------------------------------------------------------------

int32_t GetAttributeList(oxNativeWrapper* self, XVariant* out) {
    auto* gadget = dynamic_cast<oxGadgetElement*>(ElementOf(self));
    if (!gadget) return NUBO::XR_FAIL;
    if (gadget->GetNamedValueCount() == 0) return 0;
    auto* dictionary = new (std::nothrow) NUBO::XDictionary();
    if (!dictionary) return NUBO::XR_OUT_OF_MEMORY;
    dictionary->AddRef();
    oxAtom attribute = 0;
    TWString value;
    for (size_t i = 0; gadget->GetNamedValueAt(i, &attribute, &value); ++i) {
        TWString name = NameOf(attribute);
        if (name.IsEmpty()) continue;
        XVariant text(value.GetString() ? value.GetString() : u"");
        (void)dictionary->SetPropertyByName(name.GetString(), &text);
    }
    script_class::PutObject(out, dictionary);
    return 0;
}

const NUBO::XMemberEntry kGadgetMembers[] = {
    PropertyRow<GetAttributeList>("attributeList"),
    NUBO::XMemberEnd(),
};

} // namespace

namespace wrapper_class {

XClassDescriptor Library = {"Library", int(std::size(kLibraryMembers)), kLibraryMembers, &XObject::Descriptor, 0, {}};
XClassDescriptor Resource = {"Resource", int(std::size(kResourceMembers)), kResourceMembers, &XObject::Descriptor, 0,
                             {}};
XClassDescriptor Bitmap = {"Bitmap", int(std::size(kBitmapMembers)), kBitmapMembers, &Resource, 0, {}};
XClassDescriptor ImageElement = {"ImageElement", int(std::size(kImageMembers)), kImageMembers, &Bitmap, 0, {}};
XClassDescriptor Gadget = {"Gadget", int(std::size(kGadgetMembers)), kGadgetMembers, &Resource, 0, {}};

} // namespace wrapper_class

LibraryObject::LibraryObject(void* library) : oxNativeWrapper(&wrapper_class::Library, library) {}
