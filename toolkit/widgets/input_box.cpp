#include "toolkit/widgets/input_box.h"

#include <algorithm>
#include <map>
#include <new>

#include "platform/crt/wide.h"
#include "platform/win/beep.h"
#include "platform/win/ime.h"
#include "platform/win/input.h"
#include "platform/win/sys_color.h"
#include "platform/win/text_draw.h"
#include "toolkit/base/atoms.h"
#include "toolkit/base/number_text.h"
#include "toolkit/core/box_flags.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/core/placement_record.h"
#include "toolkit/core/timer_queue.h"
#include "toolkit/scene/scene.h"
#include "toolkit/style/attribute_value.h"
#include "toolkit/style/box_style.h"
#include "toolkit/style/color.h"
#include "toolkit/style/style_group.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/widgets/frame.h"
#include "toolkit/widgets/frame_site.h"

namespace {

// Drawn under a selection when the scene's `selection` part gives no fill colour.
constexpr uint32_t kSelectionFill = 0xFFFFFF00;

uint32_t SelectionFillOf(oxBox* box) {
    oxBoxScene* scene = box->GetScene();
    oxBoxStyle* part = scene ? scene->GetSubStyle(box, kAtomSelection) : nullptr;
    if (!part) return kSelectionFill;
    oxFillGroup* fill = part->GetFillGroup();
    const oxStyleValue* v = fill ? fill->Member(kStyle_fill) : nullptr;
    const uint32_t colour = v ? ResolveColorValue(*v, scene->GetStyleLibrary()) : 0;
    part->Release();
    return colour ? colour : kSelectionFill;
}

bool IsHigh(WCHAR c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLow(WCHAR c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// What a blink entry calls: the box's blink. Entries hold it rather than the box, so that stopping
// the blink cancels no other timer of the box and never touches an entry the queue may have freed.
class BlinkTarget final : public oxReferenced {
public:
    explicit BlinkTarget(oxInputBox* box) : box_(box) {}
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    void OnTimer(oxTimerEntry* entry) override {
        (void)entry;
        box_->Blink();
    }

private:
    oxInputBox* box_;
};

// The blink of each box that blinks, so that a restart replaces it.
std::map<const oxBox*, std::unique_ptr<BlinkTarget>>& Blinks() {
    static std::map<const oxBox*, std::unique_ptr<BlinkTarget>> blinks;
    return blinks;
}

// A style length as a number; 0 for a keyword such as `auto` or an absent value.
int32_t Length(const oxStyleGroup* group, int id) {
    const oxStyleValue* v = group ? group->Member(id) : nullptr;
    if (!v || v->IsNull() || v->GetType() == kStyleKeyword) return 0;
    return v->GetInt();
}

int Keyword(const oxStyleGroup* group, int id) {
    const oxStyleValue* v = group ? group->Member(id) : nullptr;
    return v && !v->IsNull() && v->GetType() == kStyleKeyword ? v->GetValue() : -1;
}

} // namespace

oxInputBox* oxInputBox::focused_ = nullptr;
UINT oxInputBox::blinkPeriod_ = 500;

oxInputBox::oxInputBox(oxAtom tag) : oxTextBox(tag) {
    blinkPeriod_ = GetCaretBlinkTime();
}

oxInputBox::~oxInputBox() {
    if (focused_ == this) focused_ = nullptr;
    StopBlink();
}

bool oxInputBox::IsInert() const {
    return IsEffectivelyDisabled() || GetFocusMode() == kModeFocusIgnore;
}

// Construction and attributes.

void oxInputBox::ApplyRtlOrder() {
    oxBox::SetAttribute(kAtomPlaintext, u"true", true, false);
    SetStylePropertyText(kStyle_crop, u"none", 0);
    SetStylePropertyText(kStyle_hAlign, u"left", 0);
    if (AttributeIsTrue(kAtomMultiline) && AttributeIsTrue(kAtomWordwrap))
        SetStylePropertyText(kStyle_vAlign, u"top", 0);
    oxBox::ApplyRtlOrder();
}

void oxInputBox::OnSceneAttached() {
    if (!lines_ && AttributeIsTrue(kAtomMultiline) && AttributeIsTrue(kAtomWordwrap)) {
        lines_.reset(new (std::nothrow) std::vector<Line>());
        RebuildLines();
    }
    oxTextBox::OnSceneAttached();
}

int32_t oxInputBox::SetAttribute(oxAtom attribute, const WCHAR* value, bool notify, bool forced) {
    if (attribute == kAtomValue) {
        SetValue(value);
        return 0;
    }
    const int32_t result = oxBox::SetAttribute(attribute, value, notify, forced);
    if (attribute == kAtomMaxlength) {
        int32_t n = 0;
        if (value) ParseDecimalInt(value, &n, 0);
        maxLength_ = std::max(0, n); // a negative limit would refuse every character
    } else if (attribute == kAtomPassword) {
        inputFlags_ = uint8_t((inputFlags_ & ~1) | (ParseBool(value) ? 1 : 0));
        RequestRepaint();
    }
    return result;
}

void oxInputBox::SetValue(const WCHAR* text) {
    if (!text) {
        RemoveAttribute(kAtomValue);
        NotifyAttributeChange(kAtomValue, true);
        RequestLayout();
        if (lines_) RebuildLines();
    } else if (StoreAttribute(kAtomValue, text, true)) {
        UpdateFrameBounds(false);
        RequestLayout();
        RebuildLines();
    }
    const Pos end = PosFromOffset(ValueLength());
    SetCaret(end.column, end.line);
    DispatchModified();
}

void oxInputBox::StoreValue(const std::u16string& text) {
    if (!StoreAttribute(kAtomValue, text.c_str(), true)) return;
    UpdateFrameBounds(false);
    RequestLayout();
    RebuildLines();
}

void oxInputBox::DispatchThroughScene(oxEvent* event) {
    // A box still being built has nobody to tell.
    if (!TestChangeFlags(kChangeAttached)) return;
    if (oxControlSite* site = GetControlSite(this))
        site->DispatchEvent(event);
    else if (auto* scene = dynamic_cast<oxScene*>(GetScene()))
        scene->DispatchEvent(event);
}

void oxInputBox::DispatchModified() {
    oxNotificationEvent modified(kAtomModified, this);
    DispatchThroughScene(&modified);
}

void oxInputBox::DispatchInvalidInput() {
    MessageBeep(UINT(-1));
    oxDOMEvent invalid(kAtomInvalidInput, this, nullptr);
    DispatchThroughScene(&invalid);
}

// Lines and positions.

int32_t oxInputBox::ValueLength() {
    const WCHAR* v = Value();
    return v ? int32_t(wcslen(v)) : 0;
}

int32_t oxInputBox::GetLineCount() {
    return lines_ ? std::max<int32_t>(1, int32_t(lines_->size())) : 1;
}

int32_t oxInputBox::LineLengthOf(int32_t line) {
    if (!lines_) return ValueLength();
    return line >= 0 && line < int32_t(lines_->size()) ? (*lines_)[size_t(line)].length : 0;
}

bool oxInputBox::EndsWithBreak(int32_t line) {
    if (!lines_ || line < 0 || line + 1 >= int32_t(lines_->size())) return false;
    const Line& l = (*lines_)[size_t(line)];
    const WCHAR* v = Value();
    return v && l.length > 0 && v[l.start + l.length - 1] == u'\n';
}

int32_t oxInputBox::LineEndColumn(int32_t line) {
    return LineLengthOf(line) - (EndsWithBreak(line) ? 1 : 0);
}

int32_t oxInputBox::Offset(const Pos& p) const {
    if (!lines_ || p.line < 0 || p.line >= int32_t(lines_->size())) return p.column;
    return p.column + (*lines_)[size_t(p.line)].start;
}

oxInputBox::Pos oxInputBox::PosFromOffset(int32_t offset) const {
    Pos p{offset, 0};
    if (!lines_) return p;
    const int32_t count = int32_t(lines_->size());
    while (p.line < count && p.column > (*lines_)[size_t(p.line)].length) {
        p.column -= (*lines_)[size_t(p.line)].length;
        ++p.line;
    }
    if (p.line >= count) {
        p.line = std::max(0, count - 1);
        p.column = count ? std::min(p.column, (*lines_)[size_t(p.line)].length) : std::min(p.column, 0);
    }
    return p;
}

int32_t oxInputBox::LineHeight() {
    return MeasureText(u"M", 1, GetFont()).cy;
}

// Wrapping takes, for each line, the characters of the rest up to the first whose prefix reaches
// the available width, and then ends the line after the last space or hyphen among them. A line
// break ends a line where it stands.
void oxInputBox::RebuildLines() {
    if (!lines_) return;
    const int32_t oldCaret = Offset(caret_);
    const Pos oldPos = caret_;
    lines_->clear();
    const WCHAR* v = Value();
    HFONT font = GetFont();
    if (!v || !font) return;
    const int32_t n = int32_t(wcslen(v));
    const int32_t width = GetPacked(3).x;
    linesWidth_ = width;
    linesFont_ = font;
    if (width == 0) {
        lines_->push_back(Line{n, 0, MeasureText(v, n, font)});
    } else {
        const int32_t available = width - MeasureText(u"M", 1, font).cx;
        HDC dc = MeasuringDC(font);
        // A line never holds more characters than the width has pixels (plus room for narrow
        // marks): the halving then costs a line's width, not the whole rest of the text.
        const int32_t cap = std::max(1, available) * 2 + 16;
        for (int32_t i = 0; i < n;) {
            const int32_t rest = n - i;
            int32_t limit = rest;
            bool hardBreak = false;
            for (int32_t j = 0; j < std::min(rest, cap); ++j)
                if (v[i + j] == u'\n') {
                    limit = j + 1;
                    hardBreak = true;
                    break;
                }
            const int32_t r = std::min(limit, cap);
            // The first count whose width reaches the available width (r when none does), as
            // halving over the measured prefixes finds it, from one pass over the advances.
            int fit = 0;
            SIZE extent{};
            if (!dc || !GetTextExtentExPointW(dc, v + i, r, std::max(0, available - 1), &fit, nullptr, &extent))
                fit = 0;
            const int32_t upper = std::min(r, std::max(1, fit + 1));
            int32_t take = upper;
            if (!(hardBreak && upper == limit) && i + upper < n) {
                int32_t k = upper;
                while (k > 0 && v[i + k - 1] != u' ' && v[i + k - 1] != u'-')
                    --k;
                take = k > 0 ? k : upper - 1;
            }
            // Even a character wider than the box takes a line of its own.
            take = std::max(1, take);
            if (take < rest && IsHigh(v[i + take - 1]) && IsLow(v[i + take]) && take > 1) --take;
            const int32_t drawn = v[i + take - 1] == u'\n' ? take - 1 : take;
            lines_->push_back(Line{take, i, MeasureText(v + i, drawn, font)});
            i += take;
        }
        // After a closing line break the caret has a line of its own to stand on.
        if (n > 0 && v[n - 1] == u'\n') lines_->push_back(Line{0, n, SIZE{0, MeasureText(u"M", 1, font).cy}});
    }
    const Pos at = PosFromOffset(std::min(n, oldCaret));
    if (at.column == LineLengthOf(at.line) && oldPos.line == at.line + 1 && oldPos.line < GetLineCount())
        SetCaret(0, oldPos.line);
    else
        SetCaret(at.column, at.line);
}

int32_t oxInputBox::GetLineFromPos(int32_t offset) {
    if (offset == -1) return caret_.line;
    return lines_ ? PosFromOffset(offset).line : 0;
}

int32_t oxInputBox::GetLineLength(int32_t line) {
    if (!lines_) return ValueLength();
    return LineLengthOf(line);
}

// Caret and selection.

bool oxInputBox::SetCaret(int32_t column, int32_t line) {
    const WCHAR* v = Value();
    bool accepted = false;
    if (!v) {
        if (column == 0 && line == 0) {
            caret_ = Pos{0, 0};
            ScrollIntoView(0);
            accepted = true;
        }
        return accepted;
    }
    if (line >= 0 && line < GetLineCount() && column >= 0 && column <= LineLengthOf(line)) {
        // The end of a line that a line break closes is the start of the next.
        if (column == LineLengthOf(line) && EndsWithBreak(line)) column = 0, ++line;
        caret_ = Pos{column, line};
        ScrollIntoView(LineLengthOf(line));
        accepted = true;
    }
    if (!hasSelection_) {
        RestartBlink();
        caretVisible_ = true;
    }
    RequestRepaint();
    return accepted;
}

void oxInputBox::SetCaretPos(int32_t offset) {
    hasSelection_ = false;
    RequestRepaint();
    const Pos p = PosFromOffset(offset);
    SetCaret(p.column, p.line);
}

void oxInputBox::CaretToLineEdge(bool end) {
    SetCaret(end ? LineEndColumn(caret_.line) : 0, caret_.line);
    hasSelection_ = false;
}

void oxInputBox::SelectRange(int32_t start, int32_t end) {
    const int32_t n = ValueLength();
    if (n == 0 || start < 0 || end > n || end < 0) return;
    const Pos e = PosFromOffset(end);
    SetCaret(e.column, e.line);
    anchor_ = PosFromOffset(start);
    selectionEnd_ = e;
    hasSelection_ = true;
    RequestRepaint();
}

void oxInputBox::SelectAll() {
    if (!Value()) return;
    anchor_ = Pos{0, 0};
    const Pos end = PosFromOffset(ValueLength());
    SetCaret(end.column, end.line);
    selectionEnd_ = caret_;
    hasSelection_ = true;
    RequestRepaint();
}

void oxInputBox::GetSelectionRange(int32_t* start, int32_t* length) const {
    const int32_t a = Offset(anchor_), e = Offset(selectionEnd_);
    *start = std::min(a, e);
    *length = a > e ? a - e : e - a;
}

void oxInputBox::MoveCaret(int32_t characters, int32_t lines) {
    if (hasSelection_ && lines == 0) {
        int32_t start, length;
        GetSelectionRange(&start, &length);
        const Pos p = PosFromOffset(characters < 0 ? start : start + length);
        SetCaret(p.column, p.line);
        return;
    }
    // A character beyond the first plane is two units: the caret never stands between them.
    const WCHAR* v = Value();
    const int32_t at = Offset(caret_), n = ValueLength();
    if (v && characters == 1 && at + 1 < n && IsHigh(v[at]) && IsLow(v[at + 1])) characters = 2;
    if (v && characters == -1 && at >= 2 && IsLow(v[at - 1]) && IsHigh(v[at - 2])) characters = -2;
    const oxPoint from = CaretToPoint(caret_);
    int32_t column = caret_.column + characters, line = caret_.line;
    if (lines_) {
        while (column < 0 && line > 0) {
            --line;
            column += LineLengthOf(line) + (EndsWithBreak(line) ? 0 : 1);
        }
        while (column > LineLengthOf(line) && line + 1 < GetLineCount()) {
            column -= LineLengthOf(line) + 1;
            ++line;
        }
        if (lines != 0) {
            line += lines;
            if (line >= 0 && line < GetLineCount()) {
                const Line& l = (*lines_)[size_t(line)];
                column = std::min(NearestColumn(v ? v + l.start : nullptr, l.length, from.x), LineEndColumn(line));
            }
        }
    }
    SetCaret(column, line);
}

void oxInputBox::ExtendSelection(int32_t characters) {
    if (!hasSelection_) {
        anchor_ = selectionEnd_ = caret_;
        hasSelection_ = true;
    }
    hasSelection_ = false; // a plain character move
    MoveCaret(characters, 0);
    hasSelection_ = true;
    selectionEnd_ = caret_;
    if (Offset(anchor_) == Offset(selectionEnd_)) hasSelection_ = false;
    RequestRepaint();
}

void oxInputBox::DeleteSelection() {
    if (!hasSelection_) return;
    int32_t start, length;
    GetSelectionRange(&start, &length);
    // An empty selection changes nothing and is no modification.
    if (length == 0) {
        hasSelection_ = false;
        return;
    }
    const WCHAR* v = Value();
    const int32_t n = ValueLength();
    if (v && start + length <= n) {
        std::u16string text(v, size_t(start));
        text.append(v + start + length);
        StoreValue(text);
        const Pos p = PosFromOffset(start);
        SetCaret(p.column, p.line);
        DispatchModified();
    }
    hasSelection_ = false;
    RestartBlink();
    caretVisible_ = true;
    RequestLayout();
    RequestRepaint();
}

void oxInputBox::DeleteChar(bool forward) {
    if (hasSelection_) {
        DeleteSelection();
        return;
    }
    const WCHAR* v = Value();
    if (!v) {
        MessageBeep(UINT(-1));
        return;
    }
    const int32_t n = ValueLength();
    int32_t p = Offset(caret_) + (forward ? 1 : 0);
    if (p > n || p == 0) {
        MessageBeep(UINT(-1));
        return;
    }
    // The character before p goes; a surrogate pair goes whole.
    int32_t from = p - 1;
    if (forward && IsHigh(v[from]) && p < n && IsLow(v[p])) ++p;
    if (!forward && from > 0 && IsLow(v[from]) && IsHigh(v[from - 1])) --from;
    std::u16string text(v, size_t(from));
    text.append(v + p);
    const int32_t caret = forward ? Offset(caret_) : from;
    StoreValue(text);
    const Pos at = PosFromOffset(caret);
    SetCaret(at.column, at.line);
    DispatchModified();
}

void oxInputBox::ReplaceSelection(const WCHAR* text) {
    if (!text) return;
    DeleteSelection();
    hasSelection_ = false;
    const WCHAR* v = Value();
    const int32_t b = ValueLength();
    const int32_t k = int32_t(wcslen(text));
    std::u16string next;
    int32_t caret;
    // Without a maximum length of its own a box takes what the device's edit control takes: text
    // measured whole on every frame must stay small enough to measure.
    const int32_t limit = maxLength_ != 0 ? maxLength_ : kDefaultMaxLength;
    // An empty value takes what fits, as a missing one does.
    if (v && b > 0) {
        const int32_t a = Offset(caret_);
        if (int64_t(limit) < int64_t(b) + k) {
            DispatchInvalidInput();
            return;
        }
        next.reserve(size_t(b) + size_t(k));
        next.assign(v, size_t(std::min(a, b)));
        next.append(text);
        if (a < b) next.append(v + a);
        caret = std::min(a, b) + k;
    } else {
        int32_t take = k;
        if (k > limit) {
            DispatchInvalidInput();
            take = limit;
            // A pair is not cut in half.
            if (take > 0 && IsHigh(text[take - 1])) --take;
        }
        next.assign(text, size_t(take));
        caret = take;
    }
    StoreValue(next);
    const Pos p = PosFromOffset(caret);
    SetCaret(p.column, p.line);
    DispatchModified();
    hasSelection_ = false;
}

// Geometry of the text.

oxPoint oxInputBox::CaretToPoint(const Pos& p) {
    HFONT font = GetFont();
    if (IsPassword()) return {p.column * MeasureText(u"*", 1, font).cx, 0};
    const WCHAR* v = Value();
    if (!v) return {};
    if (lines_) {
        if (p.line < 0 || p.line >= int32_t(lines_->size())) return {};
        const Line& l = (*lines_)[size_t(p.line)];
        return {MeasureText(v + l.start, std::min(p.column, l.length), font).cx, p.line * LineHeight()};
    }
    return {MeasureText(v, std::min(p.column, ValueLength()), font).cx, 0};
}

oxPoint oxInputBox::GetCaretPoint() {
    oxPoint p = CaretToPoint(caret_);
    p.x -= scrollX_;
    if (lines_) p.y = LineHeight() * (caret_.line - firstLine_);
    return p;
}

// Prefix widths only grow, so the first prefix at least x wide is found by halving rather than by
// measuring every prefix in turn: a tap on a long value costs a few measures, not one per character.
int32_t oxInputBox::NearestColumn(const WCHAR* text, int32_t count, int32_t x) {
    if (x <= 0 || !text || count <= 0) return 0;
    HFONT font = GetFont();
    int32_t lo = 1, hi = count;
    while (lo < hi) {
        const int32_t mid = lo + (hi - lo) / 2;
        if (MeasureText(text, mid, font).cx >= x)
            hi = mid;
        else
            lo = mid + 1;
    }
    const int32_t n = lo;
    const int32_t over = MeasureText(text, n, font).cx - x;
    const int32_t half = MeasureText(text + n - 1, 1, font).cx / 2;
    int32_t column = half >= over ? n : n - 1;
    if (column > 0 && column < count && IsHigh(text[column - 1]) && IsLow(text[column])) --column;
    return column;
}

int32_t oxInputBox::PointToOffset(int32_t x, int32_t y) {
    HFONT font = GetFont();
    const WCHAR* v = Value();
    if (!font || !v) return -1;
    if (IsPassword()) {
        const int32_t star = MeasureText(u"*", 1, font).cx;
        return star > 0 ? std::max(0, x) / star : 0;
    }
    if (!lines_) return NearestColumn(v, ValueLength(), x);
    const int32_t height = std::max(1, LineHeight());
    const int32_t count = std::max<int32_t>(1, int32_t(lines_->size()));
    const int32_t line = std::clamp(y / height + firstLine_, 0, count - 1);
    if (lines_->empty()) return 0;
    const Line& l = (*lines_)[size_t(line)];
    return l.start + std::min(NearestColumn(v + l.start, l.length, x), LineEndColumn(line));
}

void oxInputBox::ScrollIntoView(int32_t length) {
    if (lines_) {
        const int32_t count = GetLineCount();
        if (visibleLines_ < count) {
            if (caret_.line < firstLine_)
                firstLine_ = caret_.line;
            else if (caret_.line >= firstLine_ + visibleLines_)
                firstLine_ = caret_.line - visibleLines_ + 1;
        } else {
            firstLine_ = 0;
        }
        return;
    }
    const int32_t x = CaretToPoint(caret_).x, w = GetPacked(3).x;
    int32_t s = scrollX_;
    if (x >= s + w && w != 0) {
        if (caret_.column < length) {
            s += w / 2;
            const int32_t e = CaretToPoint(Pos{length, 0}).x;
            if (e - w < s) s = e - w + 1;
        } else {
            s = x - w + 1;
        }
    } else if (caret_.column < length) {
        if (x >= s)
            s = std::max(0, s);
        else if (w < x)
            s = std::max(0, s - w / 2);
        else
            s = 0;
    } else {
        s = w < x ? std::max(0, x - w + 1) : 0;
    }
    if (s != scrollX_) {
        scrollX_ = s;
        RequestRepaint();
    }
}

// Layout and painting.

oxPoint oxInputBox::GetIntrinsicSize() {
    oxBoxStyle* style = GetStyle();
    if (!style) return {0, 0};
    const oxStyleGroup* metrics = style->GetMetricsGroup();
    const SIZE m = MeasureText(u"M", 1, GetFont());
    return {std::max({Length(metrics, kStyle_width), Length(metrics, kStyle_minWidth), int32_t(m.cx)}),
            std::max({Length(metrics, kStyle_height), Length(metrics, kStyle_minHeight), int32_t(m.cy)})};
}

void oxInputBox::Arrange(oxPlacementRecord* placement) {
    if (lines_) {
        // The lines wrap at the content width this arrangement gives; a value change has wrapped
        // them already.
        oxBox::Arrange(placement);
        if (GetPacked(3).x != linesWidth_ || GetFont() != linesFont_) RebuildLines();
        if (!lines_->empty() && (*lines_)[0].size.cy > 0)
            visibleLines_ = std::max(1, GetPacked(3).y / (*lines_)[0].size.cy);
    } else {
        oxTextBox::Arrange(placement);
    }
    ScrollIntoView(ValueLength());
}

void oxInputBox::PaintContent(oxCanvas* canvas) {
    HFONT font = GetFont();
    if (!canvas || !font) return;
    const WCHAR* v = Value();
    const bool focused = focused_ == this;
    const int32_t lineHeight = LineHeight();
    const int32_t contentHeight = GetPacked(3).y;
    uint32_t ink = GetTextColor();
    if (!ink) ink = 0xFF000000u | GetSysColor(COLOR_WINDOWTEXT);
    int32_t start = 0, length = 0;
    if (hasSelection_) GetSelectionRange(&start, &length);
    const bool showSelection = hasSelection_ && focused && length > 0;
    const uint32_t selectionFill = showSelection ? SelectionFillOf(this) : kSelectionFill;

    int32_t top = 0;
    if (lines_) {
        const int32_t count = int32_t(lines_->size());
        if (showSelection) {
            const Pos a = PosFromOffset(start), e = PosFromOffset(start + length);
            for (int32_t l = std::max(a.line, firstLine_); l <= e.line && l < count; ++l) {
                const int32_t x0 = l == a.line ? CaretToPoint(a).x : 0;
                const int32_t x1 = l == e.line ? CaretToPoint(e).x : (*lines_)[size_t(l)].size.cx;
                FillContentRect(canvas, x0, lineHeight * (l - firstLine_), x1 - x0, lineHeight, selectionFill);
            }
        }
        int32_t y = 0;
        for (int32_t l = firstLine_; v && l <= firstLine_ + visibleLines_ && l < count; ++l) {
            const Line& line = (*lines_)[size_t(l)];
            const int32_t drawn =
                line.length > 0 && v[line.start + line.length - 1] == u'\n' ? line.length - 1 : line.length;
            if (drawn > 0) DrawTextLine(canvas, font, v + line.start, drawn, 0, y, ink);
            y += line.size.cy ? line.size.cy : lineHeight;
        }
    } else {
        oxBoxStyle* style = GetStyle();
        const int vAlign = style ? Keyword(style->GetLayoutGroup(), kStyle_vAlign) : -1;
        if (lineHeight < contentHeight)
            top = vAlign == kKeywordCenter   ? (contentHeight - lineHeight) / 2
                  : vAlign == kKeywordBottom ? contentHeight - lineHeight
                                             : 0;
        if (showSelection) {
            const int32_t x0 = CaretToPoint(Pos{start, 0}).x, x1 = CaretToPoint(Pos{start + length, 0}).x;
            FillContentRect(canvas, x0 - scrollX_, top, x1 - x0, lineHeight, selectionFill);
        }
        const int32_t n = ValueLength();
        if (IsPassword() && n > 0) {
            // Only the stars in view are drawn, scrolled as the caret is.
            const int32_t star = std::max<int32_t>(1, MeasureText(u"*", 1, font).cx);
            const int32_t first = std::max(0, scrollX_ / star);
            const int32_t last = std::min(n, (scrollX_ + GetPacked(3).x) / star + 1);
            for (int32_t i = first; i < last; ++i)
                DrawTextLine(canvas, font, u"*", 1, i * star - scrollX_, top, ink);
        } else if (n > 0) {
            DrawTextLine(canvas, font, v, n, -scrollX_, top, ink);
        }
    }
    if (caretVisible_ && !hasSelection_ && focused) {
        oxPoint at = GetCaretPoint();
        if (!lines_) at.y = top;
        FillContentRect(canvas, at.x, at.y, 1, GetFontHeight(), 0xFF000000u | (ink & 0xFFFFFF));
    }
}

// The caret's blink.

void oxInputBox::RestartBlink() {
    StopBlink();
    oxTimerQueue* queue = oxTimerQueue::Instance();
    if (blinkPeriod_ == 0 || !queue) return;
    auto target = std::unique_ptr<BlinkTarget>(new (std::nothrow) BlinkTarget(this));
    oxTimerEntry* entry = target ? oxTimerEntry::Create() : nullptr;
    if (!entry) return;
    entry->StartRepeating(blinkPeriod_, target.get());
    Blinks()[this] = std::move(target);
}

void oxInputBox::StopBlink() {
    auto& blinks = Blinks();
    auto it = blinks.find(this);
    if (it == blinks.end()) return;
    // The queue drops a cancelled entry when it next comes due; a queue that is gone took its
    // entries with it.
    if (oxTimerQueue* queue = oxTimerQueue::Instance()) queue->RemoveByTarget(it->second.get());
    blinks.erase(it);
}

void oxInputBox::Blink() {
    if (focused_ != this) return;
    if (IsInert())
        caretVisible_ = false;
    else if (blinkPeriod_ > 0)
        caretVisible_ = !caretVisible_;
    RequestRepaint();
}

// Focus and events.

void oxInputBox::SetFocused(bool value, bool keepFrameFocus, bool quiet) {
    oxTextBox::SetFocused(value, keepFrameFocus, quiet);
    OverrideBackKey(value);
}

void oxInputBox::SetInputMode(int32_t mode) {
    inputMode_ = mode;
    ApplyInputMode();
}

bool oxInputBox::TakeInputFocus() {
    if (focused_ == this) return false;
    focused_ = this;
    return true;
}

int32_t oxInputBox::OffsetAtEvent(oxEvent* event) {
    auto* mouse = dynamic_cast<oxMouseEvent*>(event);
    if (!mouse) return -1;
    // Text coordinates start at the content box, which already lies inside margin and padding.
    const oxPoint p = ToShownPosition(mouse->GetBoxPosition());
    const oxPoint content = GetPacked(2);
    const int32_t offset = PointToOffset(p.x - content.x + (lines_ ? 0 : scrollX_), p.y - content.y);
    return offset < 0 ? -1 : std::min(offset, ValueLength());
}

int32_t oxInputBox::HandleEvent(oxEvent* event) {
    const oxAtom type = event->GetType();
    const bool mine = event->GetTarget() == this;
    if (mine && type == kAtomKeyPress) {
        auto* key = dynamic_cast<oxKeyEvent*>(event);
        switch (key ? key->virtualKeyCode : 0) {
        case VK_LEFT:
        case VK_RIGHT: {
            const int32_t step = key->virtualKeyCode == VK_LEFT ? -1 : 1;
            if (key->shift) {
                ExtendSelection(step);
            } else {
                MoveCaret(step, 0);
                hasSelection_ = false;
            }
            RequestRepaint();
            break;
        }
        case VK_UP:
        case VK_DOWN:
            MoveCaret(0, key->virtualKeyCode == VK_UP ? -1 : 1);
            hasSelection_ = false;
            RequestRepaint();
            break;
        default:
            break;
        }
    } else if (mine && type == kAtomMouseDown) {
        // A box that takes no input does not take the caret either.
        if (!IsInert()) {
            if (!TakeInputFocus()) hasSelection_ = false;
            // Focus by a tap opens the input method as focus by Tab does, and a tap on the focused
            // box opens it again: the box may have had the focus before its window existed.
            ApplyInputMode();
            OverrideBackKey(true);
            caretVisible_ = true;
            RestartBlink();
            RequestRepaint();
            const int32_t offset = OffsetAtEvent(event);
            auto* mouse = static_cast<oxMouseEvent*>(event);
            if (offset >= 0) {
                if (mouse->shift) {
                    ExtendSelection(offset - Offset(caret_));
                } else {
                    hasSelection_ = false;
                    const Pos p = PosFromOffset(offset);
                    SetCaret(p.column, p.line);
                }
            }
            RequestRepaint();
        }
    } else if (mine && type == kAtomMouseDrag) {
        const int32_t offset = OffsetAtEvent(event);
        if (offset >= 0 && focused_ == this) {
            if (!hasSelection_ && offset != Offset(caret_)) {
                anchor_ = caret_;
                hasSelection_ = true;
            }
            const Pos p = PosFromOffset(offset);
            SetCaret(p.column, p.line);
            selectionEnd_ = caret_;
            RequestRepaint();
        }
    } else if (mine && type == kAtomFocus) {
        if (TakeInputFocus()) {
            ApplyInputMode();
            SelectAll();
            RequestRepaint();
        }
        RestartBlink();
        caretVisible_ = true;
    } else if (mine && type == kAtomBlur) {
        StopBlink();
        caretVisible_ = false;
        if (focused_ == this) {
            if (oxFrameSite* site = GetFrameSite(this)) {
                oxFrame* frame = site->GetWindowBoxFrame();
                HWND window = frame ? frame->GetWindow() : nullptr;
                if (HIMC context = ImmGetContext(window)) {
                    ImmSetOpenStatus(context, FALSE);
                    ImmReleaseContext(window, context);
                }
            }
            focused_ = nullptr;
        }
        hasSelection_ = false;
        RequestRepaint();
    } else if (mine && type == kAtomDoubleClick) {
        SelectAll();
    } else if (mine && type == kAtomModified && focused_ == this) {
        RestartBlink();
        caretVisible_ = true;
    }
    return oxTextBox::HandleEvent(event);
}
