#pragma once
// The toolkit's file dialog scene as the platform's open and save dialogs, over the scenes of the
// runtime; null takes it away.
class oxRuntime;

void InstallFileDialogScene(oxRuntime* runtime);
