#pragma once
// An HTML page laid out and drawn through the layer's GDI and fonts: the engine behind the HTML
// control and the notification bubble's body. It reads files of the resources folder only (box://
// URIs, relative and file: references that stay inside it), runs no script and fetches nothing.
#include <functional>
#include <memory>
#include <string>

#include "platform/types.h"
#include "platform/win/gdi.h"

namespace platform {

// The folder that pages may read from (host path). The program's "resources" folder beside the
// executable unless set; tests point it elsewhere.
void SetHTMLResourceFolder(const std::string& hostPath);
const std::string& HTMLResourceFolder();

// The host path a page reference names, resolved against `base` (a box:// or file: URI, or empty
// for the resources folder itself), or empty when it names nothing inside the resources folder.
std::string ResolveHTMLReference(const std::string& reference, const std::string& base);

class HtmlView {
public:
    // Pages larger than this are refused rather than laid out.
    static constexpr size_t kMaxSourceBytes = 1 << 20;
    // Deeper element nesting than this is refused: layout recurses once per level.
    static constexpr int kMaxNesting = 256;

    HtmlView();
    ~HtmlView();
    HtmlView(const HtmlView&) = delete;
    HtmlView& operator=(const HtmlView&) = delete;

    // Replaces the page by `utf8`, with relative references resolved against `baseUrl`. False
    // (and an empty page) when the text is refused.
    bool Load(const std::string& utf8, const std::string& baseUrl = std::string());
    void Clear();
    bool HasPage() const;

    // When set, images wider than the layout width are drawn scaled down to it.
    void SetFitImages(bool fit) { fitImages_ = fit; }
    bool FitImages() const { return fitImages_; }

    // What the page shows on where it paints nothing itself; white unless set.
    void SetBackground(COLORREF colour) { background_ = colour; }
    COLORREF Background() const { return background_; }

    // Lays the page out at `width` pixels; answers its height.
    int Layout(int width);
    int Height() const;

    // Draws the page with its origin at (x, y) of `dc` inside `clip` (DC coordinates). Fills the
    // clip with the background first.
    void Draw(HDC dc, int x, int y, const RECT& clip);

    // Pointer input in page coordinates. A followed link answers through `onLink` with its target
    // as written; changed areas through `onRedraw`.
    void PointerDown(int x, int y);
    void PointerUp(int x, int y);
    std::function<void(const std::string&)> onLink;
    std::function<void()> onRedraw;

    class Container;

private:
    std::unique_ptr<Container> container_;
    bool fitImages_ = false;
    COLORREF background_ = RGB(255, 255, 255);
};

} // namespace platform
