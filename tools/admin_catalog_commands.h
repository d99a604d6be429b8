#pragma once
// zt-admin's commands that look into existing account sets: verify, repair, scan and
// drop-incomplete. They read the catalog directly and neither probe nor store the server.

#include <QStringList>

#include <optional>

class QCommandLineParser;
class QTextStream;

namespace zt::accountset {

// verify found differences (or repair left some / refused because of them).
inline constexpr int AdminDifferencesFound = 4;

// nullopt when the command word is none of these four; otherwise the exit status.
std::optional<int> runCatalogCommand(const QStringList& arguments, QTextStream& out,
                                     QTextStream& err);

// The lines --help adds for these commands.
QString catalogCommandsHelp();

// --server, --user, --password and --local-database, which every zt-admin command takes.
void addConnectionOptions(QCommandLineParser& parser);

} // namespace zt::accountset
