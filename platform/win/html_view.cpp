#include "platform/win/html_view.h"

#include <png.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <fstream>
#include <map>
#include <vector>

#include <litehtml/litehtml.h>

#include "platform/crt/wide.h"
#include "platform/shell/path_map.h"
#include "platform/win/font.h"
#include "platform/win/text_draw.h"

namespace platform {

namespace {

// What every page starts from: block elements, headings, lists and links as a reader expects.
constexpr const char* kMasterCss = R"(
html, address, blockquote, body, dd, div, dl, dt, fieldset, form, frame, frameset, h1, h2, h3, h4,
h5, h6, noframes, ol, p, ul, center, dir, hr, menu, pre, header, footer, nav, section, article,
aside, main, figure, figcaption { display: block; }
li { display: list-item; }
head, script, style, title, link, meta, template, noscript { display: none; }
table { display: table; border-collapse: separate; border-spacing: 2px; }
tr { display: table-row; } thead { display: table-header-group; } tbody { display: table-row-group; }
tfoot { display: table-footer-group; } td, th { display: table-cell; padding: 1px; }
th { font-weight: bold; text-align: center; } caption { display: table-caption; text-align: center; }
body { margin: 8px; color: black; }
h1 { font-size: 2em; margin: .67em 0; font-weight: bold; }
h2 { font-size: 1.5em; margin: .75em 0; font-weight: bold; }
h3 { font-size: 1.17em; margin: .83em 0; font-weight: bold; }
h4, p, blockquote, ul, ol, dl { margin: 1.12em 0; }
h4, h5, h6 { font-weight: bold; } h5 { font-size: .83em; margin: 1.5em 0; }
h6 { font-size: .75em; margin: 1.67em 0; }
b, strong { font-weight: bold; } i, em, cite, var, address { font-style: italic; }
pre, tt, code, kbd, samp { font-family: monospace; } pre { white-space: pre; margin: 1em 0; }
big { font-size: 1.17em; } small, sub, sup { font-size: .83em; }
sub { vertical-align: sub; } sup { vertical-align: super; }
s, strike, del { text-decoration: line-through; } u, ins { text-decoration: underline; }
center { text-align: center; }
ol, ul, dir, menu { padding-left: 40px; } dd { margin-left: 40px; }
ul { list-style-type: disc; } ol { list-style-type: decimal; }
ol ul, ul ol, ul ul, ol ol { margin-top: 0; margin-bottom: 0; }
hr { border: 1px inset; margin: .5em auto; }
a:link, a { color: #0000cc; text-decoration: underline; }
img { display: inline-block; }
br { display: block; }
)";

std::string& ResourceFolderSetting() {
    static std::string folder;
    return folder;
}

// The real path of `path`, or empty when it does not exist.
std::string RealPath(const std::string& path) {
    char* real = realpath(path.c_str(), nullptr);
    if (!real) return std::string();
    std::string out(real);
    free(real);
    return out;
}

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    const size_t n = std::strlen(prefix);
    if (text.size() < n) return false;
    for (size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    }
    return true;
}

std::string DecodePercents(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        auto hex = [](char c) {
            return c >= '0' && c <= '9'   ? c - '0'
                   : c >= 'a' && c <= 'f' ? c - 'a' + 10
                   : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                          : -1;
        };
        if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
            out += char(hex(text[i + 1]) * 16 + hex(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Drops '.' and empty segments and lets '..' take back one; false when it climbs above the top.
bool SettlePath(const std::string& path, std::vector<std::string>& segments) {
    size_t at = 0;
    while (at <= path.size()) {
        size_t end = path.find_first_of("/\\", at);
        if (end == std::string::npos) end = path.size();
        std::string segment = path.substr(at, end - at);
        at = end + 1;
        if (segment.empty() || segment == ".") continue;
        if (segment == "..") {
            if (segments.empty()) return false;
            segments.pop_back();
            continue;
        }
        segments.push_back(segment);
    }
    return true;
}

// Reads a whole file of at most `limit` bytes.
bool ReadLimited(const std::string& path, size_t limit, std::string& out) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || size_t(st.st_size) > limit) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(size_t(st.st_size), '\0');
    in.read(out.data(), std::streamsize(out.size()));
    return bool(in) || in.gcount() == std::streamsize(out.size());
}

// Elements a page leaves open without nesting deeper: they close at their next sibling.
bool OpensNoLevel(const std::string& tag) {
    static const char* const kTags[] = {"area", "base", "br",    "col",    "embed", "hr",     "img",     "input",
                                        "link", "meta", "param", "source", "track", "wbr",    "p",       "li",
                                        "dt",   "dd",   "tr",    "td",     "th",    "option", "!doctype"};
    for (const char* t : kTags) {
        if (tag == t) return true;
    }
    return false;
}

// An upper bound of how deep the page's elements nest, from its tags alone: refusing by it keeps
// the parser and layout off pages that would exhaust the stack.
int NestingBound(const std::string& text) {
    int depth = 0, deepest = 0;
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '<') continue;
        if (text.compare(i, 4, "<!--") == 0) {
            const size_t end = text.find("-->", i + 4);
            if (end == std::string::npos) break;
            i = end + 2;
            continue;
        }
        const bool closing = text[i + 1] == '/';
        size_t at = i + (closing ? 2 : 1);
        std::string tag;
        while (at < text.size() && (std::isalnum(static_cast<unsigned char>(text[at])) || text[at] == '!')) {
            tag += char(std::tolower(static_cast<unsigned char>(text[at])));
            ++at;
        }
        if (tag.empty() || OpensNoLevel(tag)) continue;
        const size_t end = text.find('>', at);
        const bool selfClosing = end != std::string::npos && end > at && text[end - 1] == '/';
        if (closing)
            depth = std::max(0, depth - 1);
        else if (!selfClosing)
            deepest = std::max(deepest, ++depth);
    }
    return deepest;
}

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // 0xAARRGGBB, not premultiplied
};

// PNG files only, at most 4096 pixels on a side.
bool DecodePng(const std::string& bytes, Image& out) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return false;
    if (image.width == 0 || image.height == 0 || image.width > 4096 || image.height > 4096) {
        png_image_free(&image);
        return false;
    }
    image.format = PNG_FORMAT_BGRA;
    out.width = int(image.width);
    out.height = int(image.height);
    out.pixels.assign(size_t(out.width) * out.height, 0);
    if (!png_image_finish_read(&image, nullptr, out.pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    return true;
}

struct Font {
    HFONT font = nullptr;
    unsigned decoration = 0;
    int ascent = 0;
    int height = 0;
};

uint32_t Blend(uint32_t dst, uint32_t rgb, unsigned alpha) {
    if (alpha >= 255) return rgb;
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const unsigned d = (dst >> shift) & 0xFF, s = (rgb >> shift) & 0xFF;
        out |= ((s * alpha + d * (255 - alpha) + 127) / 255) << shift;
    }
    return out;
}

RECT Intersect(const RECT& a, const RECT& b) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    return r;
}

} // namespace

void SetHTMLResourceFolder(const std::string& hostPath) {
    ResourceFolderSetting() = hostPath;
}

const std::string& HTMLResourceFolder() {
    std::string& folder = ResourceFolderSetting();
    if (folder.empty()) {
        const std::string& program = ProgramHostPath();
        const size_t slash = program.rfind('/');
        if (slash != std::string::npos) folder = program.substr(0, slash) + "/resources";
    }
    return folder;
}

std::string ResolveHTMLReference(const std::string& reference, const std::string& base) {
    const std::string root = RealPath(HTMLResourceFolder());
    if (root.empty() || reference.empty()) return std::string();
    std::string path;
    if (StartsWithNoCase(reference, "box://")) {
        path = reference.substr(6);
    } else if (StartsWithNoCase(reference, "file://")) {
        // A file URI counts only when it names a file inside the resources folder.
        std::string host = DecodePercents(reference.substr(7));
        if (host.size() > 2 && host[0] == '/' && host[2] == ':') host.erase(0, 1);
        const std::string real = RealPath(host);
        if (real.size() > root.size() && real.compare(0, root.size(), root) == 0 && real[root.size()] == '/')
            return real;
        return std::string();
    } else if (reference.find(':') != std::string::npos || reference[0] == '/' || reference[0] == '\\') {
        return std::string(); // another scheme, or a path rooted outside the folder
    } else {
        std::string folder;
        if (StartsWithNoCase(base, "box://")) {
            folder = base.substr(6);
            const size_t slash = folder.find_last_of('/');
            folder = slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
        }
        path = folder + reference;
    }
    const size_t query = path.find_first_of("?#");
    if (query != std::string::npos) path.erase(query);
    std::vector<std::string> segments;
    if (!SettlePath(DecodePercents(path), segments) || segments.empty()) return std::string();
    std::string full = root;
    for (const std::string& s : segments)
        full += "/" + s;
    // A link inside the folder may still lead out of it: judge the real path.
    const std::string real = RealPath(full);
    if (real.size() > root.size() && real.compare(0, root.size(), root) == 0 && real[root.size()] == '/') return real;
    return std::string();
}

class HtmlView::Container : public litehtml::document_container {
public:
    explicit Container(HtmlView& view) : view_(view) {
        context_.load_master_stylesheet(kMasterCss);
        HDC screen = GetDC(nullptr);
        dpi_ = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
        measure_ = CreateCompatibleDC(screen);
        if (screen) ReleaseDC(nullptr, screen);
        if (dpi_ <= 0) dpi_ = 96;
    }
    ~Container() {
        document_.reset();
        if (measure_) DeleteDC(measure_);
    }

    bool Load(const std::string& utf8, const std::string& baseUrl) {
        Clear();
        if (utf8.size() > kMaxSourceBytes || NestingBound(utf8) > kMaxNesting) return false;
        base_ = baseUrl;
        document_ = litehtml::document::createFromUTF8(utf8.c_str(), this, &context_);
        laidOutWidth_ = -1;
        return bool(document_);
    }
    void Clear() {
        document_.reset();
        images_.clear();
        base_.clear();
        laidOutWidth_ = -1;
    }
    int Layout(int width) {
        if (!document_) return 0;
        width_ = std::max(1, width);
        if (laidOutWidth_ != width_) {
            document_->render(width_);
            laidOutWidth_ = width_;
        }
        return document_->height();
    }

    // The canvas that drawing goes to: a 32-bit DIB whose (0, 0) is page point (originX, originY).
    void Draw(HDC dc, int x, int y, const RECT& clip) {
        const int w = clip.right - clip.left, h = clip.bottom - clip.top;
        if (w <= 0 || h <= 0) return;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!bitmap) return;
        canvasDc_ = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(canvasDc_, bitmap);
        pixels_ = static_cast<uint32_t*>(bits);
        canvasW_ = w;
        canvasH_ = h;
        const COLORREF bg = view_.background_;
        const uint32_t fill = (uint32_t(GetRValue(bg)) << 16) | (uint32_t(GetGValue(bg)) << 8) | GetBValue(bg);
        std::fill(pixels_, pixels_ + size_t(w) * h, fill);
        // Page point p lands on canvas point p - shift.
        shiftX_ = clip.left - x;
        shiftY_ = clip.top - y;
        clips_.clear();
        if (document_) {
            litehtml::position pageClip(shiftX_, shiftY_, w, h);
            document_->draw(0, -shiftX_, -shiftY_, &pageClip);
        }
        BitBlt(dc, clip.left, clip.top, w, h, canvasDc_, 0, 0, SRCCOPY);
        SelectObject(canvasDc_, old);
        DeleteDC(canvasDc_);
        DeleteObject(bitmap);
        canvasDc_ = nullptr;
        pixels_ = nullptr;
    }

    void Pointer(bool down, int x, int y) {
        if (!document_) return;
        litehtml::position::vector redraw;
        const bool changed =
            down ? document_->on_lbutton_down(x, y, x, y, redraw) : document_->on_lbutton_up(x, y, x, y, redraw);
        if (changed && view_.onRedraw) view_.onRedraw();
    }

    bool HasPage() const { return bool(document_); }
    int Height() const { return document_ ? document_->height() : 0; }

    // -- fonts and text ----------------------------------------------------------------------------
    litehtml::uint_ptr create_font(const litehtml::tchar_t* faceName, int size, int weight, litehtml::font_style italic,
                                   unsigned int decoration, litehtml::font_metrics* fm) override {
        LOGFONTW lf{};
        lf.lfHeight = -std::clamp(size, 1, 400);
        lf.lfWeight = weight;
        lf.lfItalic = italic == litehtml::fontStyleItalic;
        lf.lfQuality = ANTIALIASED_QUALITY;
        const std::u16string face = WideFromUtf8(FirstFamily(faceName ? faceName : ""));
        std::copy_n(face.begin(), std::min<size_t>(face.size(), LF_FACESIZE - 1), lf.lfFaceName);
        auto* font = new Font;
        font->font = CreateFontIndirectW(&lf);
        font->decoration = decoration;
        TEXTMETRICW tm{};
        HGDIOBJ old = SelectObject(measure_, font->font);
        GetTextMetricsW(measure_, &tm);
        SIZE x{};
        GetTextExtentPoint32W(measure_, u"x", 1, &x);
        SelectObject(measure_, old);
        font->ascent = tm.tmAscent;
        font->height = tm.tmHeight;
        if (fm) {
            fm->height = tm.tmHeight;
            fm->ascent = tm.tmAscent;
            fm->descent = tm.tmDescent;
            fm->x_height = std::max(1, int(tm.tmAscent * 11 / 20));
            fm->draw_spaces = italic == litehtml::fontStyleItalic || decoration;
        }
        return reinterpret_cast<litehtml::uint_ptr>(font);
    }
    void delete_font(litehtml::uint_ptr hFont) override {
        auto* font = reinterpret_cast<Font*>(hFont);
        if (!font) return;
        if (font->font) DeleteObject(font->font);
        delete font;
    }
    int text_width(const litehtml::tchar_t* text, litehtml::uint_ptr hFont) override {
        auto* font = reinterpret_cast<Font*>(hFont);
        const std::u16string wide = WideFromUtf8(text ? text : "");
        if (!font || wide.empty()) return 0;
        HGDIOBJ old = SelectObject(measure_, font->font);
        SIZE size{};
        GetTextExtentPoint32W(measure_, wide.c_str(), int(wide.size()), &size);
        SelectObject(measure_, old);
        return size.cx;
    }
    void draw_text(litehtml::uint_ptr, const litehtml::tchar_t* text, litehtml::uint_ptr hFont,
                   litehtml::web_color color, const litehtml::position& pos) override {
        auto* font = reinterpret_cast<Font*>(hFont);
        if (!font || !canvasDc_) return;
        const std::u16string wide = WideFromUtf8(text ? text : "");
        const RECT clip = ClipRect();
        HGDIOBJ old = SelectObject(canvasDc_, font->font);
        SetTextColor(canvasDc_, RGB(color.red, color.green, color.blue));
        SetBkMode(canvasDc_, TRANSPARENT);
        const int x = pos.x - shiftX_, y = pos.y - shiftY_;
        ExtTextOutW(canvasDc_, x, y, ETO_CLIPPED, &clip, wide.c_str(), UINT(wide.size()), nullptr);
        SIZE size{};
        GetTextExtentPoint32W(canvasDc_, wide.c_str(), int(wide.size()), &size);
        SelectObject(canvasDc_, old);
        const int thick = std::max(1, font->height / 16);
        if (font->decoration & litehtml::font_decoration_underline)
            FillPage(pos.x, pos.y + font->ascent + thick, size.cx, thick, color);
        if (font->decoration & litehtml::font_decoration_linethrough)
            FillPage(pos.x, pos.y + font->ascent * 2 / 3, size.cx, thick, color);
        if (font->decoration & litehtml::font_decoration_overline) FillPage(pos.x, pos.y, size.cx, thick, color);
    }
    int pt_to_px(int pt) const override { return int((int64_t(pt) * dpi_ + 36) / 72); }
    int get_default_font_size() const override { return pt_to_px(9); }
    const litehtml::tchar_t* get_default_font_name() const override { return "DejaVu Sans"; }
    void transform_text(litehtml::tstring& text, litehtml::text_transform tt) override {
        if (tt == litehtml::text_transform_none) return;
        std::u16string wide = WideFromUtf8(text);
        for (size_t i = 0; i < wide.size(); ++i) {
            const bool upper =
                tt == litehtml::text_transform_uppercase || (tt == litehtml::text_transform_capitalize && i == 0);
            if (tt == litehtml::text_transform_lowercase) wide[i] = towlower(wide[i]);
            if (upper) wide[i] = towupper(wide[i]);
        }
        text = Utf8FromWide(wide.c_str(), wide.size());
    }

    // -- boxes, borders, markers and images --------------------------------------------------------
    void draw_list_marker(litehtml::uint_ptr, const litehtml::list_marker& marker) override {
        if (!marker.image.empty()) {
            DrawImage(Resolve(marker.image, marker.baseurl), marker.pos, false);
            return;
        }
        const litehtml::position& p = marker.pos;
        switch (marker.marker_type) {
        case litehtml::list_style_type_none:
            return;
        case litehtml::list_style_type_circle:
            FillPage(p.x, p.y, p.width, 1, marker.color);
            FillPage(p.x, p.y + p.height - 1, p.width, 1, marker.color);
            FillPage(p.x, p.y, 1, p.height, marker.color);
            FillPage(p.x + p.width - 1, p.y, 1, p.height, marker.color);
            return;
        case litehtml::list_style_type_square:
            FillPage(p.x, p.y, p.width, p.height, marker.color);
            return;
        default:
            FillDisc(p, marker.color);
            return;
        }
    }
    void load_image(const litehtml::tchar_t* src, const litehtml::tchar_t* baseurl, bool) override {
        Resolve(src ? src : "", baseurl);
    }
    void get_image_size(const litehtml::tchar_t* src, const litehtml::tchar_t* baseurl, litehtml::size& sz) override {
        const Image* image = Resolve(src ? src : "", baseurl);
        sz.width = image ? image->width : 0;
        sz.height = image ? image->height : 0;
        if (image && view_.fitImages_ && width_ > 0 && sz.width > width_) {
            sz.height = int(int64_t(sz.height) * width_ / sz.width);
            sz.width = width_;
        }
    }
    void draw_background(litehtml::uint_ptr, const litehtml::background_paint& bg) override {
        const litehtml::position& c = bg.clip_box;
        if (bg.color.alpha) FillPage(c.x, c.y, c.width, c.height, bg.color);
        if (bg.image.empty()) return;
        const Image* image = Resolve(bg.image, bg.baseurl.c_str());
        if (!image) return;
        PushClip(c);
        litehtml::position at(bg.position_x, bg.position_y, bg.image_size.width, bg.image_size.height);
        if (at.width <= 0 || at.height <= 0) at.width = image->width, at.height = image->height;
        DrawImage(image, at, bg.repeat != litehtml::background_repeat_no_repeat);
        del_clip();
    }
    void draw_borders(litehtml::uint_ptr, const litehtml::borders& b, const litehtml::position& p, bool) override {
        auto visible = [](const litehtml::border& e) {
            return e.width > 0 && e.style != litehtml::border_style_none && e.style != litehtml::border_style_hidden;
        };
        if (visible(b.top)) FillPage(p.x, p.y, p.width, b.top.width, b.top.color);
        if (visible(b.bottom)) FillPage(p.x, p.y + p.height - b.bottom.width, p.width, b.bottom.width, b.bottom.color);
        if (visible(b.left)) FillPage(p.x, p.y, b.left.width, p.height, b.left.color);
        if (visible(b.right)) FillPage(p.x + p.width - b.right.width, p.y, b.right.width, p.height, b.right.color);
    }

    // -- document services -------------------------------------------------------------------------
    void set_caption(const litehtml::tchar_t*) override {}
    void set_base_url(const litehtml::tchar_t* base) override {
        if (base) base_ = base;
    }
    void link(const std::shared_ptr<litehtml::document>&, const litehtml::element::ptr&) override {}
    void on_anchor_click(const litehtml::tchar_t* url, const litehtml::element::ptr&) override {
        if (url && view_.onLink) view_.onLink(url);
    }
    void set_cursor(const litehtml::tchar_t*) override {}
    void import_css(litehtml::tstring& text, const litehtml::tstring& url, litehtml::tstring& baseurl) override {
        text.clear();
        const std::string path = ResolveHTMLReference(url, baseurl.empty() ? base_ : baseurl);
        if (path.empty() || !ReadLimited(path, kMaxSourceBytes, text)) text.clear();
    }
    void set_clip(const litehtml::position& pos, const litehtml::border_radiuses&, bool, bool) override {
        PushClip(pos);
    }
    void del_clip() override {
        if (!clips_.empty()) clips_.pop_back();
    }
    void get_client_rect(litehtml::position& client) const override {
        client = litehtml::position(0, 0, std::max(1, width_), 1);
    }
    std::shared_ptr<litehtml::element> create_element(const litehtml::tchar_t*, const litehtml::string_map&,
                                                      const std::shared_ptr<litehtml::document>&) override {
        return nullptr;
    }
    void get_media_features(litehtml::media_features& media) const override {
        media.type = litehtml::media_type_screen;
        media.width = media.device_width = std::max(1, width_);
        media.height = media.device_height = 1;
        media.color = 8;
        media.color_index = 0;
        media.monochrome = 0;
        media.resolution = dpi_;
    }
    void get_language(litehtml::tstring& language, litehtml::tstring& culture) const override {
        language = "en";
        culture.clear();
    }

private:
    // The first family of a CSS font-family list, with the generic families mapped to faces we ship.
    static std::string FirstFamily(const std::string& list) {
        std::string name = list.substr(0, list.find(','));
        name.erase(std::remove_if(name.begin(), name.end(), [](char c) { return c == '"' || c == '\''; }), name.end());
        while (!name.empty() && name.front() == ' ')
            name.erase(0, 1);
        while (!name.empty() && name.back() == ' ')
            name.pop_back();
        if (name == "serif") return "DejaVu Serif";
        if (name == "monospace") return "DejaVu Sans Mono";
        if (name.empty() || name == "sans-serif") return "DejaVu Sans";
        return name;
    }

    const Image* Resolve(const std::string& src, const char* baseurl) {
        const std::string base = baseurl && *baseurl ? std::string(baseurl) : base_;
        const std::string key = base + '\n' + src;
        auto found = images_.find(key);
        if (found != images_.end()) return found->second.width ? &found->second : nullptr;
        Image& image = images_[key];
        const std::string path = ResolveHTMLReference(src, base);
        std::string bytes;
        if (path.empty() || !ReadLimited(path, 16u << 20, bytes) || !DecodePng(bytes, image)) image = Image();
        return image.width ? &image : nullptr;
    }

    RECT ClipRect() const {
        RECT r{0, 0, canvasW_, canvasH_};
        for (const RECT& c : clips_)
            r = Intersect(r, c);
        return r;
    }
    void PushClip(const litehtml::position& p) {
        clips_.push_back(RECT{p.x - shiftX_, p.y - shiftY_, p.x - shiftX_ + p.width, p.y - shiftY_ + p.height});
    }

    // Fills a rectangle given in page coordinates, blending by the colour's alpha.
    void FillPage(int x, int y, int w, int h, const litehtml::web_color& color) {
        if (!pixels_ || w <= 0 || h <= 0 || !color.alpha) return;
        const RECT r = Intersect(RECT{x - shiftX_, y - shiftY_, x - shiftX_ + w, y - shiftY_ + h}, ClipRect());
        const uint32_t rgb = (uint32_t(color.red) << 16) | (uint32_t(color.green) << 8) | color.blue;
        for (int row = r.top; row < r.bottom; ++row) {
            uint32_t* line = pixels_ + size_t(row) * canvasW_;
            for (int col = r.left; col < r.right; ++col)
                line[col] = Blend(line[col], rgb, color.alpha);
        }
    }
    void FillDisc(const litehtml::position& p, const litehtml::web_color& color) {
        const int d = std::min(p.width, p.height);
        if (d <= 0) return;
        // Whole pixels whose centres lie inside the circle.
        for (int row = 0; row < d; ++row) {
            const int dy2 = (2 * row + 1 - d) * (2 * row + 1 - d);
            int from = -1, to = -1;
            for (int col = 0; col < d; ++col) {
                const int dx = 2 * col + 1 - d;
                if (dx * dx + dy2 > d * d) continue;
                if (from < 0) from = col;
                to = col;
            }
            if (from >= 0) FillPage(p.x + from, p.y + row, to - from + 1, 1, color);
        }
    }

    // Draws `image` scaled to `at` (page coordinates), or tiled over the clip when `tile`.
    void DrawImage(const Image* image, const litehtml::position& at, bool tile) {
        if (!image || !pixels_ || at.width <= 0 || at.height <= 0) return;
        const RECT clip = ClipRect();
        const RECT target{at.x - shiftX_, at.y - shiftY_, at.x - shiftX_ + at.width, at.y - shiftY_ + at.height};
        const RECT r = tile ? clip : Intersect(target, clip);
        for (int row = r.top; row < r.bottom; ++row) {
            int64_t sy = row - target.top;
            sy = ((sy % at.height) + at.height) % at.height;
            const int iy = int(sy * image->height / at.height);
            uint32_t* line = pixels_ + size_t(row) * canvasW_;
            for (int col = r.left; col < r.right; ++col) {
                int64_t sx = col - target.left;
                sx = ((sx % at.width) + at.width) % at.width;
                const uint32_t px = image->pixels[size_t(iy) * image->width + size_t(sx * image->width / at.width)];
                line[col] = Blend(line[col], px & 0xFFFFFF, px >> 24);
            }
        }
    }
    const Image* Resolve(const std::string& src, const std::string& base) { return Resolve(src, base.c_str()); }

    HtmlView& view_;
    litehtml::context context_;
    litehtml::document::ptr document_;
    std::map<std::string, Image> images_;
    std::string base_;
    HDC measure_ = nullptr;
    int dpi_ = 96;
    int width_ = 0;
    int laidOutWidth_ = -1;
    // The canvas of the paint in progress.
    HDC canvasDc_ = nullptr;
    uint32_t* pixels_ = nullptr;
    int canvasW_ = 0, canvasH_ = 0, shiftX_ = 0, shiftY_ = 0;
    std::vector<RECT> clips_;
};

HtmlView::HtmlView() : container_(std::make_unique<Container>(*this)) {}
HtmlView::~HtmlView() = default;

bool HtmlView::Load(const std::string& utf8, const std::string& baseUrl) {
    return container_->Load(utf8, baseUrl);
}
void HtmlView::Clear() {
    container_->Clear();
}
bool HtmlView::HasPage() const {
    return container_->HasPage();
}
int HtmlView::Layout(int width) {
    return container_->Layout(width);
}
int HtmlView::Height() const {
    return container_->Height();
}
void HtmlView::Draw(HDC dc, int x, int y, const RECT& clip) {
    container_->Draw(dc, x, y, clip);
}
void HtmlView::PointerDown(int x, int y) {
    container_->Pointer(true, x, y);
}
void HtmlView::PointerUp(int x, int y) {
    container_->Pointer(false, x, y);
}

} // namespace platform
