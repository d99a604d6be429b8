#pragma once
// Esc while a drop-down list is open belongs to that list: it closes the list only, and the
// page's own Esc (which ends the program) waits for the next press.

#include <QApplication>
#include <QWidget>

namespace zt {

// Closes the open popup, if there is one; whether there was.
inline bool closeOpenPopup() {
    QWidget* popup = QApplication::activePopupWidget();
    if (!popup)
        return false;
    popup->close();
    return true;
}

} // namespace zt
