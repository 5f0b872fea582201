#pragma once
// The built-in scenes a Scene opens over itself: the dialog, the sheet dialog over its tinted
// background, and the help box next to an anchor box. They are resources of the toolkit's own.
#include "runtime/script_object.h"
#include "runtime/wide_string.h"
#include "toolkit/scene/scene.h"

class Scene;
class oxBox;

inline constexpr const WCHAR* kHelpBoxPath = u"/content/kestrumHelpBox/kestrumHelpBox.box";
inline constexpr const WCHAR* kDefaultHelpBoxUri = u"box://weftlyToolkit/content/kestrumHelpBox/kestrumHelpBox.box";
inline constexpr const WCHAR* kSheetBackgroundName = u"_builtInDialogBackground";
inline constexpr const WCHAR* kHelpBoxName = u"_helpBox";

// Closes the sheet dialog's tinted background when the sheet closes.
class sheetDialogSceneListener : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor; // "sheetDialogSceneListener"

    // Holds the background's Scene object, so a background that went first is only inert.
    explicit sheetDialogSceneListener(Scene* background);
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }
    Scene* GetBackground() const { return background_; }

protected:
    ~sheetDialogSceneListener() override;

private:
    Scene* background_; // one reference
};

// The dialog scene with the params, as a dialog of the scene.
void OpenBuiltInDialog(Scene* scene, NUBO::XObject* params);
// False when the background did not open.
bool OpenBuiltInSheetDialog(Scene* scene, NUBO::XObject* params);
// Replaces the scene's help box by one for the anchor; nothing for a hidden or missing anchor.
void ShowHelpBoxScene(Scene* scene, const NUBO::TWString& text, oxBox* anchor, int timeout);
void CloseHelpBoxScene(Scene* scene);
