#pragma once
// The wait cursor on the button whose operation is running; given back when the operation
// ends, also when it ends by a failure.

#include <QPointer>
#include <QWidget>

namespace zt {

// Stands in for the SQL-wait cursor on a working button.
inline constexpr Qt::CursorShape kWaitCursor = Qt::BusyCursor;

class WaitCursor {
public:
    explicit WaitCursor(QWidget* button) : button_(button) { button_->setCursor(kWaitCursor); }
    ~WaitCursor() { restore(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

    // The default cursor again (for a failure report shown before the scope ends).
    void restore() {
        if (button_)
            button_->unsetCursor();
    }

private:
    QPointer<QWidget> button_;
};

// Whether the button still carries the wait cursor.
inline bool hasWaitCursor(const QWidget* button) {
    return button->testAttribute(Qt::WA_SetCursor) && button->cursor().shape() == kWaitCursor;
}

// The mouse-move reset: a button left with the wait cursor gets the default one back.
inline void resetWaitCursor(QWidget* button) {
    if (hasWaitCursor(button))
        button->unsetCursor();
}

} // namespace zt
