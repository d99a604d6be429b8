#include "app/shell.h"

#include "core/failure_explanation.h"

namespace zt {

QString failureText(const QString& message) {
    // A sentence that ends in a Chinese full stop or exclamation mark is ended already.
    static const QString chineseSentenceEnds = QStringLiteral("。！？");
    if (!message.isEmpty() && message.back() > u'.' &&
        !chineseSentenceEnds.contains(message.back()))
        return message + u'.';
    return message;
}

QString messageOf(const std::exception& failure) {
    return core::causeOf(failure);
}

void showFailure(Dialogs& dialogs, const QString& message) {
    dialogs.message(failureText(message), applicationTitle(), DialogIcon::Error, DialogButtons::Ok);
}

} // namespace zt
