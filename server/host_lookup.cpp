#include "server/host_lookup.h"

#include <QByteArray>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>

namespace zt::server {

QString localComputerName() {
    std::array<char, 256> name{};
    if (gethostname(name.data(), name.size() - 1) != 0) {
        return {};
    }
    return QString::fromLocal8Bit(name.data());
}

std::optional<QString> hostNameOfAddress(const QString& address) {
    // Only a plain dotted address is looked up: anything else would be read as some other
    // address (or the broadcast address) and its name shown as if it were asked for.
    const QByteArray text = address.toLatin1();
    if (address.contains(QChar(0)) || text.contains('?')) {
        return std::nullopt;
    }
    sockaddr_in host{};
    host.sin_family = AF_INET;
    if (inet_pton(AF_INET, text.constData(), &host.sin_addr) != 1) {
        return std::nullopt;
    }
    std::array<char, NI_MAXHOST> name{};
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&host), sizeof host, name.data(), name.size(),
                    nullptr, 0, NI_NAMEREQD) != 0) {
        return std::nullopt;
    }
    return QString::fromLocal8Bit(name.data());
}

} // namespace zt::server
