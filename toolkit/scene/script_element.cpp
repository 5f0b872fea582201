#include "toolkit/scene/script_element.h"

#include "toolkit/base/uri.h"
#include "toolkit/scene/box_uri.h"
#include "toolkit/scene/scene.h"

using NUBO::TWString;

int32_t oxScriptElement::SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) {
    switch (attribute) {
    case kAtomLanguage:
        language_ = value;
        return 0;
    case kAtomSrc:
        src_ = value;
        return 0;
    case kAtomHref:
        href_ = value;
        return 0;
    default:
        return oxElement::SetMarkupAttribute(ns, attribute, value);
    }
}

void oxScriptElement::EndElement() {
    oxElement::EndElement();
    const TWString& source = src_.IsEmpty() ? href_ : src_;
    if (scene_ && !language_.IsEmpty() && !source.IsEmpty()) {
        oxAtom language = oxAtoms::Intern(language_.GetString());
        TWString resolved = source;
        if (language != kAtomNativeObject && !oxUri::HasScheme(source.GetString()))
            ResolveUriToPath(source.GetString(), scene_->GetBase().GetString(), resolved);
        if (language != kAtomNativeObject && language != kAtomJavascript) language = kAtomJscript;
        scene_->AddScript(GetId(), language, resolved.GetString(), owner_);
    }
    if (scene_) scene_->ForgetOpenScript(this);
    delete this;
}
