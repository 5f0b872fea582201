#include "toolkit/widgets/grid_services.h"

#include "toolkit/animation/box_snapshots.h"
#include "toolkit/animation/snapshot.h"
#include "toolkit/animation/transition.h"
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

    // The grid as its frame shows it is the source; the change is applied, the grid painted into
    // the target; the rows then move from their old places to their new ones.
    bool AnimateRowToggle(oxBox* grid, oxRowToggle& toggle, const WCHAR* effect, int32_t duration,
                          const WCHAR* curve, int32_t background) override {
        oxSnapshot* source = oxBoxTakeSnapshot(grid);
        if (!source) return false;
        auto* target = new oxSnapshot(grid);
        target->AddRef();
        auto* transition = new oxTransition(grid);
        transition->AddRef();
        oxBoxAttachSnapshot(grid, source, 1);
        oxBoxAttachSnapshot(grid, target, 0);
        oxSnapshotItemList before, after;
        toggle.CollectItems(&before);
        toggle.Apply();
        toggle.CollectItems(&after);
        transition->SetType(effect);
        transition->duration = duration;
        transition->SetDynamicsType(curve);
        transition->fillColor = uint32_t(background);
        oxBoxRenderTargetSnapshot(grid);
        // Both lists stand in the grid's own coordinates, as its target picture does.
        source->AddLayoutItems(before);
        target->AddLayoutItems(after);
        transition->Perform(source, target);
        oxBoxDetachSnapshot(grid, 1);
        oxBoxDetachSnapshot(grid, 0);
        transition->Release();
        target->Release();
        source->Release();
        return true;
    }
};

ControlGridServices g_services;

} // namespace

void oxInstallGridServices() {
    oxSetGridServices(&g_services);
}
