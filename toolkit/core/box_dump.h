#pragma once
// A text picture of a box tree for tests and debugging: one line per box, indented two spaces per
// level: tag, box type when it differs from the tag, id, attributes in map order, set states and
// modes that differ from the defaults.
//   vbox (box) #main
//     hbox (box) title="Hello" [hidden disabled]
#include "runtime/wide_string.h"

class oxBox;

// Appends the dump of `root`'s subtree to `out`; each line ends with '\n'. Null appends nothing.
void oxDumpBoxTree(const oxBox* root, NUBO::TWString& out);
