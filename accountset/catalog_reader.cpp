#include "accountset/catalog_reader.h"

#include "server/connection_strings.h"

namespace zt::accountset {

CatalogReader::CatalogReader(const ServerTarget& server) : query_(QStringLiteral("ADOcatalog")) {
    // A server name that would change the connection string never reaches the driver.
    if (server::isUnsafeServerName(server.serverName))
        throw db::DbError(QStringLiteral("连接服务器失败，请重新选择或录入服务器名称！"));
    query_.setConnectionString(
        server::serverConnectionString(server.credentialPart, server.serverName));
    timer_.start();
}

CatalogReader::Rows CatalogReader::select(const QString& statement, const QStringList& columns) {
    ++statements_;
    query_.close();
    query_.sqlClear();
    query_.sqlAdd(statement);
    query_.open();
    return readRows(columns);
}

CatalogReader::Rows CatalogReader::selectEvery(const QString& batch, const QStringList& columns) {
    ++statements_;
    query_.close();
    query_.sqlClear();
    query_.sqlAdd(batch);
    query_.openEvery();
    return readRows(columns);
}

CatalogReader::Rows CatalogReader::readRows(const QStringList& columns) {
    Rows rows;
    for (; !query_.eof(); query_.next()) {
        QStringList values;
        values.reserve(columns.size());
        for (const QString& column : columns) {
            db::Field field = query_.fieldByName(column);
            values << (field.isNull() ? QString() : field.asString());
        }
        rows.push_back(values);
    }
    query_.close();
    return rows;
}

void CatalogReader::execute(const QString& statement) {
    ++statements_;
    query_.close();
    query_.sqlClear();
    query_.sqlAdd(statement);
    query_.execSql();
}

RoundTrips CatalogReader::roundTrips() const {
    return RoundTrips{statements_, double(timer_.nsecsElapsed()) / 1e9};
}

bool networkRegistryExists(CatalogReader& reader) {
    return !reader
                .select(QStringLiteral("select TABLE_NAME from master.INFORMATION_SCHEMA.TABLES "
                                       "where TABLE_NAME = 'CHdatebase'"),
                        {QStringLiteral("TABLE_NAME")})
                .empty();
}

} // namespace zt::accountset
