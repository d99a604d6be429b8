#pragma once
// A private FreeTDS and unixODBC configuration for a test process, in a temporary directory:
// freetds.conf with the alias "ztalias" and odbc.ini with the data source "ZtDsn", both for a
// server on 127.0.0.1, odbcinst.ini registering the driver, and an empty home directory, so
// that nothing the machine or the user has configured counts.
//
// unixODBC reads its configuration once per process: install before the first ODBC call.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace zt::test {

class PrivateFreeTdsConfig {
public:
    // Writes the files for a server on 127.0.0.1:port and points FREETDSCONF, HOME, ODBCSYSINI
    // and ODBCINI at them (FREETDS unset). stockSections is freetds.conf text placed between
    // [global] and the alias, such as the examples a stock file ships; odbcinst.ini registers
    // driverLibrary under each of driverNames. False, with a warning, when a file cannot be
    // written.
    bool install(quint16 port, const QString& driverLibrary, const QByteArray& stockSections,
                 const QStringList& driverNames = {QStringLiteral("FreeTDS")});

    QString directory() const { return dir_.path(); }

private:
    bool write(const QString& relativePath, const QByteArray& text) const;

    QTemporaryDir dir_;
};

} // namespace zt::test
