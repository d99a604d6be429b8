#include "devserver/sql/errors.h"

namespace ztds::sql {

SqlError::SqlError(int number, int severity, int state, const QString& text)
    : messages_{makeMessage(number, severity, state, text)} {}

ServerMessage makeMessage(int number, int severity, int state, const QString& text) {
    ServerMessage m;
    m.number = number;
    m.severity = static_cast<uint8_t>(severity);
    m.state = static_cast<uint8_t>(state);
    m.text = text;
    return m;
}

ServerMessage statementTerminated() {
    return makeMessage(3621, 0, 0, QStringLiteral("The statement has been terminated."));
}

void throwSyntaxNear(const QString& token, bool isKeyword) {
    if (isKeyword)
        throw SqlError(156, 15, 1,
                       QStringLiteral("Incorrect syntax near the keyword '%1'.").arg(token));
    throw SqlError(102, 15, 1, QStringLiteral("Incorrect syntax near '%1'.").arg(token));
}

void throwInvalidObject(const QString& name) {
    throw SqlError(208, 16, 1, QStringLiteral("Invalid object name '%1'.").arg(name));
}

void throwInvalidColumn(const QString& name) {
    throw SqlError(207, 16, 1, QStringLiteral("Invalid column name '%1'.").arg(name));
}

void throwNotSupported(const QString& what) {
    throw SqlError(40515, 16, 1, QStringLiteral("%1 is not supported by zt-devserver.").arg(what));
}

} // namespace ztds::sql
