#pragma once
// A text picture of a laid-out box tree for tests and debugging: one line per box, indented two
// spaces per level: tag, box type when it differs, id, the box rectangle in its parent (x,y wxh),
// the content rectangle when it differs from the whole box, the states that change layout, and the
// scroll offset, range and scroll bar rectangles of a box that overflows.
//   vbox #main 0,0 200x100
//     box #a 0,0 200x40 [overflowed] scroll=0,10 range=0,60 vbar=192,0 8x40
#include "runtime/wide_string.h"

class oxBox;

// Appends the dump of `root`'s subtree to `out`; each line ends with '\n'. Null appends nothing.
void oxDumpLayout(oxBox* root, NUBO::TWString& out);
