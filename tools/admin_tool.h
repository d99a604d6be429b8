#pragma once
// zt-admin: the account-set operations for administrators' scripts. It proves the server and
// stores its login as the wizard's "下一步&N" does, then runs one command, printing the texts
// the wizard would show. Questions count as answered yes: the command is the confirmation.

#include <QStringList>

class QTextStream;

namespace zt::accountset {

enum AdminExitCode {
    AdminSuccess = 0,
    AdminFailure = 1,
    AdminUsageError = 2,
    AdminCreatedWithoutNetwork = 3 // the account set was made; its network registration failed
};

// arguments as QCoreApplication::arguments() gives them (the program first).
int runAdminTool(const QStringList& arguments, QTextStream& out, QTextStream& err);

} // namespace zt::accountset
