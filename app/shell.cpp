#include "app/shell.h"

#include "db/query.h"

namespace zt {

QString failureText(const QString& message) {
    if (!message.isEmpty() && message.back() > u'.')
        return message + u'.';
    return message;
}

QString messageOf(const std::exception& failure) {
    if (const auto* dbError = dynamic_cast<const db::DbError*>(&failure))
        return dbError->text();
    return QString::fromLocal8Bit(failure.what());
}

void showFailure(Dialogs& dialogs, const QString& message) {
    dialogs.message(failureText(message), applicationTitle(), DialogIcon::Error, DialogButtons::Ok);
}

} // namespace zt
