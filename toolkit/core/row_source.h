#pragma once
// What list layouts ask of the rows a data-bound repeater makes under a box, and what the
// repeater asks of such a layout. The repeater lives above the box tree; it registers itself for
// its target box here, and a layout finds it by the box it lays out.
#include <cstdint>

class oxBox;

class oxRowSource {
public:
    // Rows of open branches only, numbered depth first.
    virtual int CountRows() = 0;
    // The box of a flat row, made on demand when the repeater makes boxes lazily; null when none.
    virtual oxBox* GetRowBoxAt(int flatRow) = 0;
    // 0 for a top-level row, 1 for a row of a nested collection, and so on.
    virtual int GetRowLevel(int flatRow) = 0;
    // The flat row number (flat) or the index within its repeater of the row holding `box`; -1.
    virtual int FindRowOfBox(oxBox* box, bool flat) = 0;

protected:
    ~oxRowSource() = default;
};

// A layout that scrolls rows tells the repeater which rows are in view, so that boxes of rows that
// scrolled out can be reused. Directions: 1 towards later rows, 2 towards earlier rows, else 0.
class oxRowViewport {
public:
    virtual int GetRowScrollDirection() = 0;
    virtual int GetFirstVisibleRow() = 0;
    virtual int GetLastVisibleRow() = 0;
    // A row box was made and added under the box this layout lays out.
    virtual void OnRowBoxAdded(oxBox* row) { (void)row; }

protected:
    ~oxRowViewport() = default;
};

// The repeater targets: box -> the row source that fills it. Entering null removes the box.
void oxSetRowSource(const oxBox* target, oxRowSource* source);
oxRowSource* oxFindRowSource(const oxBox* target);
