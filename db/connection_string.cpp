#include "db/connection_string.h"

#include "db/freetds_config.h"
#include "db/query.h"

namespace zt::db {

namespace {

QString malformedText() {
    return QStringLiteral(
        "Format of the initialization string does not conform to the OLE DB specification.");
}

// Reads one item's value starting at pos (just after '='); leaves pos on the ';' or the end.
QString readValue(const QString& text, qsizetype& pos) {
    while (pos < text.size() && text[pos].isSpace())
        ++pos;
    if (pos < text.size() && (text[pos] == u'\'' || text[pos] == u'"')) {
        const QChar quote = text[pos++];
        QString value;
        for (;;) {
            if (pos >= text.size())
                throw DbError(malformedText());
            if (text[pos] == quote) {
                if (pos + 1 < text.size() && text[pos + 1] == quote) {
                    value += quote;
                    pos += 2;
                    continue;
                }
                ++pos;
                break;
            }
            value += text[pos++];
        }
        while (pos < text.size() && text[pos].isSpace())
            ++pos;
        if (pos < text.size() && text[pos] != u';')
            throw DbError(malformedText());
        return value;
    }
    const qsizetype end = text.indexOf(u';', pos);
    const qsizetype stop = end < 0 ? text.size() : end;
    QString value = text.mid(pos, stop - pos).trimmed();
    pos = stop;
    return value;
}

// Reads a key up to its '='; "==" stands for an '=' inside the key.
QString readKey(const QString& text, qsizetype& pos) {
    QString key;
    for (;;) {
        if (pos >= text.size() || text[pos] == u';')
            throw DbError(malformedText());
        if (text[pos] == u'=') {
            if (pos + 1 < text.size() && text[pos + 1] == u'=') {
                key += u'=';
                pos += 2;
                continue;
            }
            ++pos;
            return key.trimmed();
        }
        key += text[pos++];
    }
}

} // namespace

ConnectionProperties ConnectionProperties::parse(const QString& connectionString) {
    ConnectionProperties properties;
    qsizetype pos = 0;
    const QString& text = connectionString;
    while (pos < text.size()) {
        if (text[pos] == u';' || text[pos].isSpace()) {
            ++pos;
            continue;
        }
        const QString key = readKey(text, pos);
        if (key.isEmpty())
            throw DbError(malformedText());
        const QString value = readValue(text, pos);
        properties.items_.removeIf([&](const QPair<QString, QString>& item) {
            return item.first.compare(key, Qt::CaseInsensitive) == 0;
        });
        properties.items_.append({key, value});
    }
    return properties;
}

ConnectionProperties ConnectionProperties::without(const QString& key) const {
    ConnectionProperties rest;
    for (const auto& item : items_)
        if (item.first.compare(key, Qt::CaseInsensitive) != 0)
            rest.items_.append(item);
    return rest;
}

bool ConnectionProperties::contains(const QString& key) const {
    for (const auto& item : items_) {
        if (item.first.compare(key, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QString ConnectionProperties::value(const QString& key) const {
    for (const auto& item : items_) {
        if (item.first.compare(key, Qt::CaseInsensitive) == 0)
            return item.second;
    }
    return {};
}

ProviderKind providerKind(const ConnectionProperties& properties) {
    const QString provider = properties.value(QStringLiteral("Provider")).trimmed();
    if (provider.startsWith(QStringLiteral("Microsoft.Jet.OLEDB"), Qt::CaseInsensitive))
        return ProviderKind::Jet;
    if (provider.startsWith(QStringLiteral("SQLOLEDB"), Qt::CaseInsensitive))
        return ProviderKind::SqlServer;
    throw DbError(QStringLiteral("Provider cannot be found. It may not be properly installed."));
}

ServerAddress parseDataSource(const QString& dataSource) {
    QString rest = dataSource.trimmed();
    if (rest.startsWith(QStringLiteral("tcp:"), Qt::CaseInsensitive))
        rest = rest.mid(4).trimmed();
    ServerAddress address;
    const qsizetype comma = rest.lastIndexOf(u',');
    if (comma >= 0) {
        bool ok = false;
        const int port = rest.mid(comma + 1).trimmed().toInt(&ok);
        if (ok && port > 0 && port < 65536)
            address.port = port;
        rest = rest.left(comma).trimmed();
    }
    const qsizetype slash = rest.indexOf(u'\\');
    if (slash >= 0) {
        address.instance = rest.mid(slash + 1).trimmed();
        rest = rest.left(slash).trimmed();
    }
    const bool local = rest.isEmpty() || rest == u"." ||
                       rest.compare(QStringLiteral("(local)"), Qt::CaseInsensitive) == 0;
    address.host = local ? QStringLiteral("127.0.0.1") : rest;
    return address;
}

QStringList tdsVersionLadder() {
    return {QStringLiteral("7.4"), QStringLiteral("7.3"), QStringLiteral("7.2"),
            QStringLiteral("7.1")};
}

QString odbcItem(const QString& key, const QString& value) {
    // FreeTDS reads a braced value up to the first "}" that ends the item, without undoubling,
    // so a value holding "};" cannot be passed (and must not leak into further items).
    const bool needsBraces =
        value.contains(u';') || value.startsWith(u'{') ||
        (!value.isEmpty() && (value.front().isSpace() || value.back().isSpace()));
    if (!needsBraces)
        return key + u'=' + value;
    if (value.contains(QStringLiteral("};")))
        throw DbError(QStringLiteral("The value of %1 cannot be passed to the ODBC driver: it "
                                     "holds \"};\".")
                          .arg(key));
    return key + QStringLiteral("={") + value + u'}';
}

namespace {

// SERVER=, PORT= and TDS_Version= of a host named directly.
QStringList hostItems(const QString& dataSource, const QString& tdsVersion) {
    const ServerAddress address = parseDataSource(dataSource);
    QString server = address.host;
    if (!address.instance.isEmpty())
        server += u'\\' + address.instance;
    QStringList items;
    items << odbcItem(QStringLiteral("SERVER"), server);
    if (address.port)
        items << QStringLiteral("PORT=%1").arg(*address.port);
    else if (address.instance.isEmpty())
        items << QStringLiteral("PORT=1433"); // a default instance; FreeTDS would take port 0
    items << QStringLiteral("TDS_Version=") + tdsVersion;
    return items;
}

} // namespace

QString odbcConnectionString(const ConnectionProperties& properties, const QString& tdsVersion) {
    const QString dataSource = properties.value(QStringLiteral("Data Source"));
    QStringList parts;
    // A name FreeTDS knows goes by that name, so that its host, port and TDS version apply.
    switch (freeTdsRoute(dataSource)) {
    case FreeTdsRoute::DataSource:
        parts << odbcItem(QStringLiteral("DSN"), dataSource.trimmed());
        break;
    case FreeTdsRoute::Alias:
        parts << QStringLiteral("DRIVER={%1}").arg(freeTdsDriver());
        parts << odbcItem(QStringLiteral("SERVERNAME"), dataSource.trimmed());
        break;
    case FreeTdsRoute::Host:
        parts << QStringLiteral("DRIVER={%1}").arg(freeTdsDriver());
        parts << hostItems(dataSource, tdsVersion);
        break;
    }
    const QString catalog = properties.value(QStringLiteral("Initial Catalog"));
    if (!catalog.isEmpty())
        parts << odbcItem(QStringLiteral("DATABASE"), catalog);
    const QString security = properties.value(QStringLiteral("Integrated Security")).trimmed();
    if (security.compare(QStringLiteral("SSPI"), Qt::CaseInsensitive) == 0 ||
        security.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0 ||
        security.compare(QStringLiteral("yes"), Qt::CaseInsensitive) == 0) {
        parts << QStringLiteral("Trusted_Connection=Yes");
    } else {
        parts << odbcItem(QStringLiteral("UID"), properties.value(QStringLiteral("User ID")));
        parts << odbcItem(QStringLiteral("PWD"), properties.value(QStringLiteral("Password")));
    }
    parts << QStringLiteral("ClientCharset=UTF-8");
    return parts.join(u';') + u';';
}

} // namespace zt::db
