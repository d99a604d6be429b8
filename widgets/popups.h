#pragma once
// Esc while a drop-down list is open belongs to that list: it closes the list only, and the
// page's own Esc (which ends the program) waits for the next press.

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QObject>
#include <QWidget>

namespace zt {

// Watches Esc presses for a page whose Esc shortcut must leave an open list alone. The list
// closes itself on the press and the shortcut fires after it, when no popup is left to see,
// so whether one was open is noted as the press comes in.
class PopupEscapeGuard : public QObject {
public:
    explicit PopupEscapeGuard(QObject* parent) : QObject(parent) {
        QCoreApplication::instance()->installEventFilter(this);
    }

    // For the page's Esc shortcut: true (and the open list closed) when this Esc was the list's.
    bool escapeBelongsToPopup() {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            popup->close();
            return true;
        }
        const bool belonged = popupOpenAtEscape_;
        popupOpenAtEscape_ = false;
        return belonged;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // The list closes itself already while the press is offered as a shortcut override.
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
            const auto* key = static_cast<QKeyEvent*>(event);
            // The same press may be offered again once the list is closed; a new press (another
            // time stamp) with no list open is the page's.
            if (key->key() == Qt::Key_Escape && QApplication::activePopupWidget()) {
                popupOpenAtEscape_ = true;
                pressTime_ = key->timestamp();
            } else if (key->timestamp() != pressTime_) {
                popupOpenAtEscape_ = false;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool popupOpenAtEscape_ = false;
    quint64 pressTime_ = 0;
};

} // namespace zt
