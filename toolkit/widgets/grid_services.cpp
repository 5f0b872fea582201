#include "toolkit/widgets/grid_services.h"

#include "toolkit/animation/box_snapshots.h"
#include "toolkit/animation/snapshot.h"
#include "toolkit/animation/transition.h"
#include "toolkit/core/grid_services.h"
#include "toolkit/widgets/control_box.h"
#include "toolkit/widgets/select_box.h"

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
    oxBox* GetSelection(oxBox* select) override {
        auto* box = dynamic_cast<oxSelectBox*>(select);
        return box ? box->GetSelectedBox() : nullptr;
    }
    // The rows moved (sorted, removed): the selection is read again from the rows, and a row that
    // should be selected and is not becomes the selection.
    void SetSelection(oxBox* select, oxBox* row) override {
        auto* box = dynamic_cast<oxSelectBox*>(select);
        if (!box || !box->GetSelectionModel()) return;
        box->MarkModelStale();
        if (row && !(row->GetStateFlags() & kStateSelected)) box->SelectRowBox(row);
    }
    int32_t GetCurrentIndex(oxBox* select) override {
        auto* box = dynamic_cast<oxSelectBox*>(select);
        return box && box->GetSelectionModel() ? box->GetSelectionModel()->GetCursor() : -1;
    }
    void SelectIndex(oxBox* select, int32_t index) override {
        auto* box = dynamic_cast<oxSelectBox*>(select);
        if (box && box->GetSelectionModel()) box->GetSelectionModel()->MoveCursor(index, 1, false);
    }
    void MoveSelectionOutOf(oxBox* select, oxBox* rows) override {
        if (auto* box = dynamic_cast<oxSelectBox*>(select)) box->MoveSelectionOutOf(rows);
    }
    bool AnimatesRows(oxBox* select) override {
        auto* box = dynamic_cast<oxSelectBox*>(select);
        return !box || box->AnimatesRows();
    }

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
