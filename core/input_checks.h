#pragma once
// Checks on what people and scripts type, shared by every front end (wizard pages, zt-admin,
// zt-make-sample), so that hostile or impossible input is refused the same way everywhere and
// before anything reaches a server or the local configuration database. Each check answers the
// message to show, or nothing when the input is acceptable.

#include <QString>

#include <optional>

namespace zt::core {

// The registry's ztmc and kl columns are nvarchar(50); longer texts would be cut there.
inline constexpr int longestAccountSetName = 50;
inline constexpr int longestAccountPassword = 50;
// SQL Server's sysname, the longest login name and password it takes.
inline constexpr int longestLoginText = 128;

// Leading and trailing blanks and control characters removed.
QString trimmedText(const QString& text);

// The database every probe's name starts with; the rest makes it unique per attempt.
QString probeDatabasePrefix();
QString uniqueProbeDatabaseName();

// master, model, msdb, tempdb, in any letter case.
bool isSystemDatabaseName(const QString& name);

// After trimming: CJK ideographs (every block), letters, digits and '_', not starting with a
// digit, at most 50 UTF-16 units, not a T-SQL reserved word, a system database or a probe name.
bool isAcceptableAccountSetName(const QString& name);

// A server name that would change the meaning of a connection string or statement.
bool isUnsafeServerName(const QString& serverName);

// A user name or password that the ODBC driver cannot be given unchanged.
bool isUncarriableLoginText(const QString& text);

QString unsafeServerNameMessage();
QString badAccountSetNameMessage();
QString accountPasswordTooLongMessage();
QString uncarriableLoginMessage();

std::optional<QString> serverNameProblem(const QString& serverName);
std::optional<QString> sqlLoginProblem(const QString& userName, const QString& password);
std::optional<QString> accountSetNameProblem(const QString& name);
std::optional<QString> accountPasswordProblem(const QString& password);

} // namespace zt::core
