#pragma once
// What a person reads when something fails: one line in Chinese on the cause where it is
// known (login refused, server not reachable, connection lost, local configuration database
// unusable), the server's own text for the server's errors. The driver's own texts, which
// name another vendor's product and mean little to an installer, never reach the user raw.

#include <QString>

#include <exception>
#include <optional>
#include <stdexcept>

namespace zt::core {

// A failure already worded for people (a refused input, a half-made database found, what a
// failed clean-up left behind); its message is shown as it is.
class ExplainedFailure : public std::runtime_error {
public:
    explicit ExplainedFailure(const QString& message);
    const QString& message() const { return message_; }

private:
    QString message_;
};

// The number of a db::DbError from the local configuration database when a table the
// program needs is missing; its text is the table's name. An extended code of SQLite's
// general error (1) that SQLite itself does not use, so that it reads as that error wherever
// it is not known.
inline constexpr int missingLocalTable = 1 | (0x70 << 8);

// One line on the cause of the failure. For the local configuration database it names the
// file, what is wrong with it and what to do.
QString causeOf(const std::exception& failure);

// Whether the failure lies with the local configuration database rather than the server.
bool isLocalDatabaseFailure(const std::exception& failure);
// The first line of every report of such a failure: "本地配置数据库无法使用！"
QString unusableLocalDatabaseHeadline();

// A line in Chinese on what a server's refusal means and what to do, for the errors an
// installer meets (1801, 4060, 229, 262, 15247, 3201, 3101, 3154, 3159, 5030, 1105, 9002,
// 17809); the cause of such an error is this line, then the server's own text.
std::optional<QString> serverErrorExplanation(int number);

// What a failed Windows integrated login needs on this computer, and what else works.
QString integratedSecurityAdvice();

// headline, a line break, then the cause.
QString withCause(const QString& headline, const std::exception& failure);

} // namespace zt::core
