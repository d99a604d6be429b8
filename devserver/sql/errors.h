#pragma once
// SQL Server's errors as this server raises them: number, severity, state and text.

#include "devserver/values/values.h"

#include <QString>

#include <exception>
#include <vector>

namespace ztds::sql {

// A statement failed; messages hold what SQL Server would send, in order.
class SqlError : public std::exception {
public:
    explicit SqlError(std::vector<ServerMessage> messages) : messages_(std::move(messages)) {}
    SqlError(int number, int severity, int state, const QString& text);
    const char* what() const noexcept override { return "sql error"; }
    const std::vector<ServerMessage>& messages() const { return messages_; }
    std::vector<ServerMessage>& messages() { return messages_; }

private:
    std::vector<ServerMessage> messages_;
};

ServerMessage makeMessage(int number, int severity, int state, const QString& text);
// "The statement has been terminated." that follows a failed data change.
ServerMessage statementTerminated();

// Frequently raised errors.
[[noreturn]] void throwSyntaxNear(const QString& token, bool isKeyword);
[[noreturn]] void throwInvalidObject(const QString& name);
[[noreturn]] void throwInvalidColumn(const QString& name);
[[noreturn]] void throwNotSupported(const QString& what);

} // namespace ztds::sql
