#pragma once
// oxWindowBox: the box of the `window` tag, shown by its scene in a top-level window. It keeps the
// window's properties (title, chrome, size rules, docking, snapping) and hands them to its frame
// once the window exists; before that only the stored values change, and the frame reads them
// when it makes the window. It also runs the window commands (close, maximise, minimise, restore).
#include <cstdint>
#include <string>

#include "toolkit/core/box.h"
#include "toolkit/widgets/top_level_frame.h"

class oxNativeMenu;

class oxScene;

class oxWindowBox : public oxBox, public oxWindowBoxInfo {
public:
    explicit oxWindowBox(oxAtom tag);
    ~oxWindowBox() override;

    oxAtom GetBoxType() const override { return kAtomWindow; }
    const WCHAR* GetAttribute(oxAtom attribute) override;
    int32_t SetAttribute(oxAtom attribute, const WCHAR* value, bool notify, bool forced) override;
    int32_t HandleEvent(oxEvent* event) override;
    void ApplyRtlOrder() override;
    void SetActive(bool value) override;
    // A window that is not resizable keeps its pixel size when the interface scale changes later.
    void Arrange(oxPlacementRecord* placement) override;
    // A window shown again lays its scene out.
    void SetHidden(bool value) override;

    // oxWindowBoxInfo: what the frame reads when it makes the window.
    const WCHAR* GetTitle() override { return title_.c_str(); }
    bool IsChromeless() override;
    void SetChromeless(bool on) override;
    oxAtom GetDockAffinity() override { return dockAffinity_; }
    bool IsFloating() override { return floating_; }
    bool IsAlwaysOnTop() override { return alwaysOnTop_; }
    int32_t GetDockSide() override { return dockSide_; }
    void SetDockSide(int32_t side) override { dockSide_ = side; }
    // Builds the menu resource that the `menu` attribute names ("url(#id)") and installs it; true
    // when installed.
    bool RefreshMenu() override;
    void Relayout() override;

    void SetTitle(const WCHAR* text);
    void SetAlwaysOnTop(bool on);
    void SetFloating(bool on);
    void SetFullScreen(bool on);
    void SetResizable(bool on);
    void SetMovable(bool on);
    void SetMaximizable(bool on);
    void SetMinimizable(bool on);
    void SetClosable(bool on);
    // "monitor" (any case) selects the monitor, anything else the desktop.
    void SetDockAffinity(const WCHAR* text);
    void SetDock(int32_t side);
    void Minimize() { WindowCommand(); }
    void Maximize() { WindowCommand(); }
    void Restore() { WindowCommand(); }
    // Asks the scene to close; its listeners may refuse.
    void Close();
    void BringToFront();
    // Installs the menu as the window's soft-key menu bar; true when installed. Nothing without a
    // window or when it is the current menu already.
    bool SetMenu(oxNativeMenu* menu);
    oxNativeMenu* GetMenu() const { return menu_; }
    // Moves a window that crosses the work area's edges flush with them; true when it moved.
    bool FitOnScreen();

    bool IsResizable() const { return resizable_; }
    bool IsFullScreen() const { return fullScreen_; }
    bool IsMaximizable() const { return maximizable_; }
    bool IsMinimizable() const { return minimizable_; }
    bool IsMovable() const { return movable_; }
    bool IsClosable() const { return closable_; }
    const oxRect& GetSnapToWorkspace() const { return snapToWorkspace_; }
    const oxRect& GetSnapToBox() const { return snapToBox_; }
    const oxRect& GetSnapToOffset() const override { return snapToOffset_; }
    int32_t GetSnapToBoxOrder() const override { return snapToBoxOrder_; }
    const std::u16string* GetSnapToBoxClass() const override { return hasSnapClass_ ? &snapToBoxClass_ : nullptr; }
    // The window's screen rectangle grown by the snapToOffset margins; empty without a window.
    oxRect GetSnapRect() const;

    // The frame of this box's window, when the window has been made; else null.
    oxWindowFrame* GetWindowFrame() const;

private:
    oxScene* SceneOf() const;
    bool IsEmbeddedScene() const;
    // Stores first; with a window, tells the frame, then announces the change.
    void Changed(oxAtom attribute);
    // Alt closes the menus and gives the focus back; the menu key activates the menu bar.
    void HandleMenuKey(oxEvent* event);
    // Minimising, maximising and restoring are not done by this platform's windows.
    void WindowCommand();

    std::u16string title_;
    bool chromeless_ = false;
    bool resizable_ = false;
    bool alwaysOnTop_ = false;
    bool fullScreen_ = false;
    bool floating_ = false;
    bool maximizable_ = true;
    bool minimizable_ = true;
    bool movable_ = true;
    bool closable_ = true;
    oxAtom dockAffinity_;
    int32_t dockSide_ = 0;
    oxRect snapToWorkspace_{};
    oxRect snapToBox_{};
    int32_t snapToBoxOrder_ = 0;
    std::u16string snapToBoxClass_;
    bool hasSnapClass_ = false;
    oxRect snapToOffset_{};
    bool realised_ = false;
    oxAtom dir_ = 0;
    oxNativeMenu* menu_ = nullptr;
};

// Makes the box factory build window boxes for the `window` kind; the application calls it once
// before it loads markup.
void oxRegisterWindowBoxKind();
