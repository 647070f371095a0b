#pragma once
// The log memo: a multi-line edit where Control+A selects all text, the
// Insert key switches between insert and overwrite typing, and a few
// operations select a line, scroll to the end, set inner margins, sort the
// lines and copy the whole text.
#include "toolkit/TMemo.h"

class TQuillMemo : public TMemo {
    Q_OBJECT
public:
    explicit TQuillMemo(QWidget* parent = nullptr);

    // True: typed characters are inserted; false: each replaces the
    // character after the caret. Toggled by the Insert key alone.
    bool InsertOn = true;

    // Selects the text of line `line` (0-based), without its line break. A
    // line that does not exist selects nothing.
    void SelectLine(int line);
    // Selects the line that holds the start of the selection.
    void SelectCurrentLine();
    // Moves the text's rectangle in from the box's edges (negative values
    // move it out). Raises OverflowError when an edge does not fit.
    void SetMargins(int leftMargin, int rightMargin, int topBottomMargin);
    // Sorts the lines, case-insensitively by the user's locale.
    void SortLines();
    // Scrolls so that the end of the text is in view; the caret stays.
    void ScrollAtEnd();
    // Puts the whole text on the clipboard and leaves the caret at the start.
    void CopyToClipboardAll();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // In overwrite mode, selects the character after the caret so that the
    // key about to be handled replaces (or, for Backspace, removes) it.
    void PrepareOverwrite(const QKeyEvent* event);
};
