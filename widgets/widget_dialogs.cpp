#include "widgets/widget_dialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

namespace zt {

namespace {

QMessageBox::Icon boxIcon(DialogIcon icon) {
    switch (icon) {
    case DialogIcon::Information:
        return QMessageBox::Information;
    case DialogIcon::Warning:
        return QMessageBox::Warning;
    case DialogIcon::Error:
        return QMessageBox::Critical;
    case DialogIcon::Question:
        return QMessageBox::Question;
    case DialogIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons boxButtons(DialogButtons buttons) {
    switch (buttons) {
    case DialogButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case DialogButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case DialogButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case DialogButtons::Ok:
        break;
    }
    return QMessageBox::Ok;
}

DialogAnswer answerOf(int button) {
    switch (button) {
    case QMessageBox::Yes:
        return DialogAnswer::Yes;
    case QMessageBox::No:
        return DialogAnswer::No;
    case QMessageBox::Ok:
        return DialogAnswer::Ok;
    default:
        return DialogAnswer::Cancel;
    }
}

} // namespace

DialogAnswer WidgetDialogs::message(const QString& text, const QString& caption, DialogIcon icon,
                                    DialogButtons buttons) {
    QMessageBox box(boxIcon(icon), caption, text, boxButtons(buttons));
    return answerOf(box.exec());
}

std::optional<QString> WidgetDialogs::inputText(const QString& caption, const QString& prompt,
                                                bool masked) {
    QInputDialog dialog;
    dialog.setWindowTitle(caption);
    dialog.setLabelText(prompt);
    if (masked) {
        dialog.setTextEchoMode(QLineEdit::Password);
        dialog.setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    }
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

void WidgetDialogs::beep() {
    QApplication::beep();
}

} // namespace zt
