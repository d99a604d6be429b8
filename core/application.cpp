#include "core/application.h"

#include "core/failure_explanation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <memory>

namespace zt {

bool installQtTranslations(QCoreApplication& application, const QString& directory) {
    const QString from =
        directory.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : directory;
    // Every text of the program is Chinese, whatever the desktop's language.
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"), from))
        return false;
    translator->setParent(&application); // lives as long as the application
    return QCoreApplication::installTranslator(translator.release());
}

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
