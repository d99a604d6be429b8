#include "widgets/input_hold.h"

#include <QCoreApplication>
#include <QEvent>
#include <QShortcut>

namespace zt {

namespace {

bool isInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    default:
        return false;
    }
}

QWidget* windowOf(QObject* object) {
    if (auto* widget = qobject_cast<QWidget*>(object))
        return widget->window();
    if (qobject_cast<QShortcut*>(object))
        if (auto* owner = qobject_cast<QWidget*>(object->parent()))
            return owner->window();
    return nullptr;
}

} // namespace

InputHold::InputHold(QWidget* window) : window_(window ? window->window() : nullptr) {
    QCoreApplication::instance()->installEventFilter(this);
}

InputHold::~InputHold() {
    QCoreApplication::instance()->removeEventFilter(this);
}

bool InputHold::eventFilter(QObject* watched, QEvent* event) {
    if (window_ && isInput(event->type()) && windowOf(watched) == window_)
        return true;
    return QObject::eventFilter(watched, event);
}

} // namespace zt
