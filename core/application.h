#pragma once
// What every window shares: the application title and the application-wide error box for a
// failure that an operation does not handle itself.

#include "core/dialogs.h"

#include <QString>

class QCoreApplication;

#include <exception>
#include <utility>

namespace zt {

// The task-bar caption, the first half of both page captions, the error box's caption.
inline QString applicationTitle() {
    return QStringLiteral("创建帐套");
}

// Loads Qt's own Chinese translations from directory (Qt's translations directory when
// empty), so that standard buttons read 确定/取消/是/否. Where they are not installed it
// returns false and those buttons stay English.
bool installQtTranslations(QCoreApplication& application, const QString& directory = {});

// The failure's text, with a full stop appended when its last character sorts after ".".
QString failureText(const QString& message);

// The message of whatever was thrown, worded for people: the server's own text for its errors,
// one line in Chinese on the cause of a connection or local-store failure.
QString messageOf(const std::exception& failure);

// The application-wide error box: the failure's text, caption "创建帐套", error icon, OK.
void showFailure(Dialogs& dialogs, const QString& message);

// Runs one handler; a failure escaping it ends the handler there and goes to the error box.
// Windows wrap every handler they connect in this, so no exception reaches Qt's event loop.
template <typename Handler> void guarded(Dialogs& dialogs, Handler&& handler) {
    try {
        std::forward<Handler>(handler)();
    } catch (const std::exception& failure) {
        showFailure(dialogs, messageOf(failure));
    } catch (...) {
        showFailure(dialogs, QStringLiteral("未知错误"));
    }
}

} // namespace zt
