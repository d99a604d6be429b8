#pragma once
// Runs one of the project's command-line programs to its end and keeps what it said, for the
// tests that drive an executable itself.

#include <QProcess>
#include <QString>
#include <QStringList>

namespace zt::test {

struct ProgramRun {
    int exitCode = -1; // -1 when the program did not end normally in time
    QString out;
    QString err;
};

// Two minutes: a whole account-set creation on a loaded machine fits well within it.
constexpr int defaultRunTimeoutMs = 120000;

// Waits for a started process to end and collects its exit code and output.
ProgramRun finishRun(QProcess& process, int timeoutMs = defaultRunTimeoutMs);
// What a program wrote to a file (a server's trace, a hold file), as UTF-8; empty when the file
// cannot be read (yet).
QString readTextFile(const QString& path);

// Starts program with arguments and waits for it as finishRun does.
ProgramRun runProgram(const QString& program, const QStringList& arguments,
                      int timeoutMs = defaultRunTimeoutMs);

} // namespace zt::test
