#include "tests/support/private_freetds_config.h"

#include <QDir>
#include <QFile>
#include <QtGlobal>

namespace zt::test {

bool PrivateFreeTdsConfig::install(quint16 port, const QString& driverLibrary,
                                   const QByteArray& stockSections,
                                   const QStringList& driverNames) {
    if (!dir_.isValid() || !QDir(dir_.path()).mkpath(QStringLiteral("odbc")) ||
        !QDir(dir_.path()).mkpath(QStringLiteral("home"))) {
        qWarning("no private FreeTDS configuration directory");
        return false;
    }
    const QByteArray portText = QByteArray::number(port);
    QByteArray drivers;
    for (const QString& name : driverNames)
        drivers += "[" + name.toUtf8() + "]\nDriver=" + driverLibrary.toUtf8() + "\n";
    if (!write(QStringLiteral("freetds.conf"),
               "[global]\n\ttds version = auto\n" + stockSections +
                   "[ztalias]\n\thost = 127.0.0.1\n\tport = " + portText + "\n") ||
        !write(QStringLiteral("odbc/odbcinst.ini"), drivers) ||
        !write(QStringLiteral("odbc/odbc.ini"),
               "[ZtDsn]\nDriver=FreeTDS\nServer=127.0.0.1\nPort=" + portText + "\n"))
        return false;
    qputenv("FREETDSCONF", dir_.filePath(QStringLiteral("freetds.conf")).toLocal8Bit());
    qunsetenv("FREETDS");
    qputenv("HOME", dir_.filePath(QStringLiteral("home")).toLocal8Bit());
    qputenv("ODBCSYSINI", dir_.filePath(QStringLiteral("odbc")).toLocal8Bit());
    qputenv("ODBCINI", dir_.filePath(QStringLiteral("odbc/odbc.ini")).toLocal8Bit());
    return true;
}

bool PrivateFreeTdsConfig::write(const QString& relativePath, const QByteArray& text) const {
    QFile file(dir_.filePath(relativePath));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size())
        return true;
    qWarning("cannot write %s: %s", qPrintable(file.fileName()), qPrintable(file.errorString()));
    return false;
}

} // namespace zt::test
