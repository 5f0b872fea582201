#include "toolkit/scene/script_element.h"

#include <utility>

#include "toolkit/base/uri.h"
#include "toolkit/markup/box_uri.h"
#include "toolkit/markup/xml_parse_session.h"
#include "toolkit/scene/runtime.h"
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

bool IsScriptSourceInResources(const TWString& source) {
    // box:// and ee:// URIs stay inside the resources folder by themselves; other schemes are no files.
    if (oxUri::HasScheme(source.GetString()) && oxUri::SchemeAtom(source.GetString()) != kAtomFile) return true;
    TWString path;
    ResolveUriToPath(source.GetString(), nullptr, path);
    return ConfineToResources(path);
}

bool oxScriptElement::Resolve(TWString& source) const {
    if (!oxUri::HasScheme(source.GetString())) {
        TWString resolved;
        ResolveUriToPath(source.GetString(), scene_->GetBase().GetString(), resolved);
        source = std::move(resolved);
    }
    if (IsScriptSourceInResources(source)) return true;
    TWString message;
    message.Format(kScriptOutsideResources, (src_.IsEmpty() ? href_ : src_).GetString());
    if (oxXmlParseSession* session = oxXmlParseSession::Current())
        session->Abort(message.GetString());
    else if (oxRuntime* runtime = scene_->GetSceneRuntime())
        runtime->ReportError(1, message.GetString());
    return false;
}

void oxScriptElement::EndElement() {
    oxElement::EndElement();
    const TWString& source = src_.IsEmpty() ? href_ : src_;
    if (scene_ && !language_.IsEmpty() && !source.IsEmpty()) {
        oxAtom language = oxAtoms::Intern(language_.GetString());
        TWString resolved = source;
        if (language == kAtomNativeObject || Resolve(resolved)) {
            if (language != kAtomNativeObject && language != kAtomJavascript) language = kAtomJscript;
            scene_->AddScript(GetId(), language, resolved.GetString(), owner_);
        }
    }
    if (scene_) scene_->ForgetOpenScript(this);
    delete this;
}
