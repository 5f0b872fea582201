#pragma once
// The grid layouts' services that control boxes give: a row's expander raises its command, and a
// cell's value text is the key a grid sorts by.
void oxInstallGridServices();
