#pragma once
// Names of hosts: this computer's, and the one registered for an IPv4 address.

#include <QString>

#include <optional>

namespace zt::server {

// This computer's network name.
QString localComputerName();

// The host name registered for a dotted IPv4 address; nullopt when the text is no such
// address or no name is registered for it. Blocks until the name service answers.
std::optional<QString> hostNameOfAddress(const QString& address);

} // namespace zt::server
