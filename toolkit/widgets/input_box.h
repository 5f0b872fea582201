#pragma once
// oxInputBox: the editable text box of the `input` and `nativeText` tags. It edits its `value`
// itself, with no platform edit control: a caret and a selection, a line table that wraps the text
// when the box is multi-line with word wrap, and a blinking caret. Editing keys and typed characters
// reach it as window messages before the frame sees them (input_box_messages.cpp), arrows and the
// stylus as toolkit events. One input box in the process is the focused one; the clipboard and the
// input method always work on it.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/win/message_queue.h"
#include "toolkit/widgets/text_box.h"

class oxInputBox : public oxTextBox {
public:
    // A position: the column counts units within the line and may equal its length.
    struct Pos {
        int32_t column = 0;
        int32_t line = 0;
    };

    explicit oxInputBox(oxAtom tag);
    ~oxInputBox() override;

    // Box operations.
    oxAtom GetBoxType() const override { return kAtomInput; }
    void ApplyRtlOrder() override;
    void OnSceneAttached() override;
    void Arrange(oxPlacementRecord* placement) override;
    void PaintContent(oxCanvas* canvas) override;
    int32_t SetAttribute(oxAtom attribute, const WCHAR* value, bool notify, bool forced) override;
    void SetFocused(bool value, bool keepFrameFocus, bool quiet) override;
    oxPoint GetIntrinsicSize() override;
    void SetValue(const WCHAR* text) override;
    int32_t HandleEvent(oxEvent* event) override;

    // Text operations.
    void SelectRange(int32_t start, int32_t end) override;
    void SelectAll() override;
    int32_t GetLineCount() override;
    void SetCaretPos(int32_t offset) override;
    int32_t GetCaretPos() override { return Offset(caret_); }
    int32_t GetLineFromPos(int32_t offset) override;
    int32_t GetLineLength(int32_t line) override;
    int32_t GetInputMode() override { return inputMode_; }
    void SetInputMode(int32_t mode) override;
    void ReplaceSelection(const WCHAR* text) override;

    // Editing.
    // Moves the caret by characters (a surrogate pair counts as one) and then by lines.
    void MoveCaret(int32_t characters, int32_t lines);
    void ExtendSelection(int32_t characters);
    // Backspace (backward) or Delete (forward); the selection when there is one.
    void DeleteChar(bool forward);
    void DeleteSelection();
    // False when the position is out of range: the caret then stays.
    bool SetCaret(int32_t column, int32_t line);
    // The caret to the start or the end of its line; the selection goes.
    void CaretToLineEdge(bool end);
    void GetSelectionRange(int32_t* start, int32_t* length) const;
    bool HasSelection() const { return hasSelection_; }
    void ClearSelection() { hasSelection_ = false; }
    Pos GetCaret() const { return caret_; }
    Pos GetSelectionEnd() const { return selectionEnd_; }
    bool IsCaretVisible() const { return caretVisible_; }
    bool IsPassword() const { return (inputFlags_ & 1) != 0; }
    // Multi-line with word wrap: the text is kept in lines, and a line break starts a new one.
    bool KeepsLines() const { return lines_ != nullptr; }
    int32_t GetMaxLength() const { return maxLength_; }
    // What typing and pasting may make the value at most when `maxlength` sets no limit.
    static constexpr int32_t kDefaultMaxLength = 32767;
    int32_t GetScrollX() const { return scrollX_; }
    int32_t GetFirstLine() const { return firstLine_; }
    // Where the caret is drawn, in content-box pixels (scrolling applied).
    oxPoint GetCaretPoint();
    // The blink starts over with the caret shown.
    void RestartBlink();
    // One blink: the caret of the focused box shows or hides.
    void Blink();
    // Refuses input: neither focused nor editable (disabled, or taking no focus).
    bool IsInert() const;

    // Window messages, the clipboard and the input method (input_box_messages.cpp).
    static oxInputBox* GetFocusedInputBox() { return focused_; }
    // 1 when the message was consumed and the frame must not see it.
    static int PreTranslateMessage(const MSG* msg);
    static oxAtom MessageToEventAtom(UINT message);
    static void Copy();
    static void Cut();
    static void Paste();
    // Opens the input method of the box's window and gives it the box's input mode.
    void ApplyInputMode();
    // While an input box has the focus the Back key reaches it instead of the menu bar.
    void OverrideBackKey(bool on);

private:
    struct Line {
        int32_t length;
        int32_t start;
        SIZE size;
    };

    const WCHAR* Value() { return oxBox::GetAttribute(kAtomValue); }
    int32_t ValueLength();
    bool HasLines() const { return lines_ != nullptr; }
    int32_t LineLengthOf(int32_t line);
    // The column the caret may take at the end of a line: before a line break that ends it.
    int32_t LineEndColumn(int32_t line);
    bool EndsWithBreak(int32_t line);
    int32_t Offset(const Pos& p) const;
    Pos PosFromOffset(int32_t offset) const;
    void RebuildLines();
    void ScrollIntoView(int32_t length);
    // The pixel offset of a position in the text (scrolling not applied).
    oxPoint CaretToPoint(const Pos& p);
    int32_t PointToOffset(int32_t x, int32_t y);
    int32_t NearestColumn(const WCHAR* text, int32_t count, int32_t x);
    int32_t LineHeight();
    // Stores a new value from editing: no caret move and no "modified" of its own.
    void StoreValue(const std::u16string& text);
    void DispatchThroughScene(oxEvent* event);
    void DispatchModified();
    void DispatchInvalidInput();
    void StopBlink();
    // The event point in text coordinates, hit-tested; -1 when nothing is there.
    int32_t OffsetAtEvent(oxEvent* event);
    // Becomes the focused input box; false when it already was.
    bool TakeInputFocus();

    uint8_t inputFlags_ = 0; // bit 0: password
    Pos caret_;
    bool caretVisible_ = false;
    bool hasSelection_ = false;
    Pos anchor_;
    Pos selectionEnd_;
    int32_t maxLength_ = 0;
    int32_t scrollX_ = 0;
    int32_t firstLine_ = 0;
    int32_t visibleLines_ = 1;
    int32_t inputMode_ = 1;
    std::unique_ptr<std::vector<Line>> lines_;
    int32_t linesWidth_ = -1; // what the lines were last wrapped for
    HFONT linesFont_ = nullptr;

    static oxInputBox* focused_;
    static UINT blinkPeriod_;
};
