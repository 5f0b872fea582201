#include "toolkit/scene/bindable_element.h"

#include "toolkit/scene/library.h"

void oxBindableElement::EndElement() {
    oxElement::EndElement();
    if (register_ && library_) {
        register_ = false;
        library_->AddResource(this);
    }
}
