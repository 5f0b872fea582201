#include "toolkit/widgets/grid_services.h"

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
        oxListSelectionModel* model = box ? box->GetSelectionModel() : nullptr;
        if (!model) return;
        model->MarkStale();
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
};

ControlGridServices g_services;

} // namespace

void oxInstallGridServices() {
    oxSetGridServices(&g_services);
}
