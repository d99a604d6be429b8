#pragma once
// The workstation's local configuration database: where it is, its statements, reading and
// storing a server's login, registering an account set.

#include "db/query.h"

#include <QDate>
#include <QString>

namespace zt::config {

// <directory of the executable>/data/CHWHDB.mdb, or for an installed program
// ~/.local/share/zhangtao/CHWHDB.mdb (under $XDG_DATA_HOME), made ready from the shipped
// template on the first call (see local_database_file.h). Never throws: a file that could not
// be made ready is reported by requireUsableLocalDatabase.
QString localDatabasePath();
// "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + ";Persist Security Info=False"
QString localConnectionString(const QString& databasePath = localDatabasePath());

// How a server is logged in to.
struct ServerLogin {
    bool integratedSecurity = true;
    QString userName; // SQL login only
    QString password; // SQL login only
};

// The fragment stored in column `1` (integrated security) or `2` (SQL login); the other is empty.
QString integratedSecurityFragment();
// User name and password go in as they are, unless a ';', a quote or a leading or trailing
// blank would change what a connection string reader gets back: then they are quoted.
QString sqlLoginFragment(const QString& userName, const QString& password);

// A value for an OLE DB connection string: unchanged when it reads back as it is, otherwise
// between double quotes (single quotes when it holds a double quote; both: doubled inside).
QString connectionStringValue(const QString& value);

// "select*from 系统路径表 where zjmc='" + server name + "'" (a quote in the name is doubled)
QString serverRowStatement(const QString& serverName);

// The credential part of the server's connection strings: column `1` followed by column `2`
// of its row; empty when there is no row.
// The query gets the local connection string set by the caller.
QString readCredentialPart(db::Query& localQuery, const QString& serverName);

// Appends or updates the server's row in 系统路径表 (ActserverExecute's work).
void storeServerLogin(db::Query& localQuery, const QString& serverName, const ServerLogin& login);

// One row of 帐套信息表.
struct AccountSetRegistration {
    QString accountSetName; // ztmc, trimmed by the caller's rules
    QDate registeredOn;     // jlrq, stored at midnight
    QString password;       // kl
    QString serverName;     // zjmc
    bool network = false;   // net: "是" / "否"
};

// Appends one row through "select*from 帐套信息表".
void registerAccountSet(db::Query& localQuery, const AccountSetRegistration& row);
// The same in two halves, so that work can run while the new row is open: the first opens the
// table and appends the row without `net`, the second sets `net`, posts and closes.
void beginAccountSetRegistration(db::Query& localQuery, const AccountSetRegistration& row);
void finishAccountSetRegistration(db::Query& localQuery, bool network);

// "select*from 帐套信息表 where ztmc='...' and zjmc='...'" has a row.
bool isAccountSetRegistered(db::Query& localQuery, const QString& accountSetName,
                            const QString& serverName);

} // namespace zt::config
