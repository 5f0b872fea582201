#include "toolkit/widgets/grid_services.h"

#include "toolkit/core/grid_services.h"
#include "toolkit/widgets/control_box.h"

namespace {

class ControlGridServices : public oxGridServices {
public:
    void RaiseCommand(oxBox* control) override {
        if (auto* box = dynamic_cast<oxControlBox*>(control)) box->Command();
    }
    const WCHAR* GetValueText(oxBox* box) override {
        auto* control = dynamic_cast<oxControlBox*>(box);
        return control ? control->GetValue() : nullptr;
    }
    // FIXME: the selection of select and datagrid boxes is asked for here once select boxes exist.
};

ControlGridServices g_services;

} // namespace

void oxInstallGridServices() {
    oxSetGridServices(&g_services);
}
