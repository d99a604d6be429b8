#pragma once
// What a person reads when something fails: one line in Chinese on the cause where it is
// known (login refused, server not reachable, connection lost, local configuration database
// unusable), the server's own text for the server's errors. The driver's own texts, which
// name another vendor's product and mean little to an installer, never reach the user raw.

#include <QString>

#include <exception>
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

// One line on the cause of the failure.
QString causeOf(const std::exception& failure);

// headline, a line break, then the cause.
QString withCause(const QString& headline, const std::exception& failure);

} // namespace zt::core
