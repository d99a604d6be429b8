#pragma once
// What the GUI tests do to the windows: find a widget by its object name, click a radio
// button, follow the Tab order.

#include <QObject>
#include <QRadioButton>
#include <QTest>
#include <QWidget>

namespace zt::test {

// The child of parent with that type and object name; a warning names a missing one, so that
// a renamed widget shows in the log before its null pointer stops the test.
template <typename T> T* childOf(const QObject* parent, const char* name) {
    T* widget = parent->findChild<T*>(QString::fromLatin1(name));
    if (!widget)
        qWarning("no %s named %s", T::staticMetaObject.className(), name);
    return widget;
}

// Clicks on the indicator: a radio button takes clicks only on its indicator and text.
inline void clickRadio(QRadioButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

// The next widget that Tab moves to (the widget itself when there is no other).
inline QWidget* nextTabStop(QWidget* widget) {
    QWidget* next = widget->nextInFocusChain();
    while (next != widget && !(next->focusPolicy() & Qt::TabFocus))
        next = next->nextInFocusChain();
    return next;
}

} // namespace zt::test
