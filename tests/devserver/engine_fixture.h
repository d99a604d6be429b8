#pragma once
// An Engine in a temporary data directory with one login per role, and helpers to run
// statements and look at their answers.

#include "devserver/session/session.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace zt::test {

class EngineFixture {
public:
    // version: the persona (--tds-version) the engine presents.
    explicit EngineFixture(const ztds::ServerVersion& version = ztds::latestServerVersion())
        : version_(version) {
        start();
    }

    void start() {
        ztds::EngineConfig config;
        config.version = version_;
        config.dataDirectory = dataDirectory();
        config.logins = {{QStringLiteral("sa"), QString(), ztds::Role::SysAdmin},
                         {QStringLiteral("creator"), QStringLiteral("pw"), ztds::Role::DbCreator},
                         {QStringLiteral("bob"), QStringLiteral("pw"), ztds::Role::Public}};
        engine = std::make_unique<ztds::Engine>(config);
    }
    void restart() {
        engine.reset();
        start();
    }

    std::filesystem::path dataDirectory() const { return dir.path().toStdString() + "/data"; }
    QString path(const QString& name) const { return dir.filePath(name); }

    std::unique_ptr<ztds::Session> login(const QString& user = QStringLiteral("sa"),
                                         const QString& password = QString(),
                                         const QString& database = QString()) {
        auto outcome = engine->login(user, password, database, false);
        return std::move(outcome.session);
    }

    QTemporaryDir dir;
    std::unique_ptr<ztds::Engine> engine;

private:
    ztds::ServerVersion version_;
};

// Runs a batch and returns the last statement's result.
inline ztds::StatementResult run(ztds::Session& s, const QString& sql,
                                 const std::vector<ztds::RpcParameter>& params = {}) {
    auto results = params.empty() ? s.executeBatch(sql) : s.executeSql(sql, params);
    if (results.empty())
        return {};
    return results.back();
}

inline int firstError(const ztds::StatementResult& r) {
    for (const auto& m : r.messages)
        if (m.isError())
            return m.number;
    return 0;
}

inline QString firstErrorText(const ztds::StatementResult& r) {
    for (const auto& m : r.messages)
        if (m.isError())
            return m.text;
    return {};
}

inline QString describe(const ztds::StatementResult& r) {
    QStringList parts;
    for (const auto& m : r.messages)
        parts << QStringLiteral("%1/%2/%3: %4")
                     .arg(m.number)
                     .arg(m.severity)
                     .arg(m.state)
                     .arg(m.text);
    return parts.join(QStringLiteral(" | "));
}

// Runs a batch that must succeed.
#define ZT_EXEC(session, sql)                                                                      \
    do {                                                                                           \
        const auto zt_r = zt::test::run((session), (sql));                                         \
        QVERIFY2(!zt_r.failed, qPrintable(zt::test::describe(zt_r)));                              \
    } while (false)

inline ztds::RpcParameter param(const QString& name, ztds::SqlType type, ztds::Value value,
                                int length = 0) {
    ztds::RpcParameter p;
    p.name = name;
    p.type = type;
    p.length = length;
    p.value = std::move(value);
    return p;
}

inline QString textAt(const ztds::StatementResult& r, size_t row, size_t column) {
    const auto& v = r.resultSet->rows.at(row).at(column);
    if (const auto* s = std::get_if<QString>(&v))
        return *s;
    if (const auto* i = std::get_if<int64_t>(&v))
        return QString::number(*i);
    if (const auto* d = std::get_if<double>(&v))
        return QString::number(*d);
    if (const auto* m = std::get_if<ztds::MoneyValue>(&v))
        return QString::number(m->tenThousandths) + QStringLiteral("e-4");
    if (const auto* dt = std::get_if<ztds::DateTimeValue>(&v))
        return QStringLiteral("%1d+%2ms").arg(dt->days).arg(dt->msSinceMidnight);
    return QStringLiteral("NULL");
}

} // namespace zt::test
