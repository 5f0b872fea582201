#pragma once
// A text picture of a box tree for tests and debugging: one line per box, indented two spaces per
// level: tag, box type when it differs from the tag, id, attributes in map order, set states and
// modes that differ from the defaults.
//   vbox (box) #main
//     hbox (box) title="Hello" [hidden disabled]
#include "runtime/wide_string.h"

class oxBox;

// With kDumpStyle, each box that has a style record is followed by one line per property group that
// its rules set, listing the members set in it:
//     | fill: fill=#ffff0000 fillCornerRadiusTop=4px
// A reference qualified by its library shows the library's file name only.
enum : unsigned { kDumpStyle = 0x1 };

// Appends the dump of `root`'s subtree to `out`; each line ends with '\n'. Null appends nothing.
void oxDumpBoxTree(const oxBox* root, NUBO::TWString& out, unsigned options = 0);

// Visits `root`'s subtree in document order, with each box's depth below `root`, without recursion.
void oxVisitBoxTree(oxBox* root, void (*visit)(oxBox* box, int depth, void* context), void* context);
