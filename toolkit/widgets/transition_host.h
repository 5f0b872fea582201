#pragma once
// Gives screen transitions the frame of their box: the scene's window frame, its back buffer, and
// the press that the frame input records.
void oxInstallTransitionHost();
