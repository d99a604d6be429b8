#include "core/failure_explanation.h"

#include "db/query.h"

namespace zt::core {

namespace {

constexpr int loginFailed = 18456;

// FreeTDS's numbers for "server unavailable", "connection failed" and a time-out.
constexpr int serverUnavailable = 20009;
constexpr int connectionFailed = 20002;
constexpr int timedOut = 20003;

QString connectionCause(const db::DbError& error) {
    const QString& state = error.sqlState();
    if (error.number() == serverUnavailable)
        return QStringLiteral("无法连接到服务器：该地址和端口上没有可用的SQL Server，"
                              "请检查服务器名称、端口和网络。");
    if (error.number() == connectionFailed || state == u"08001")
        return QStringLiteral("无法与服务器建立连接：登录未能完成。");
    if (error.number() == timedOut || state.startsWith(QStringLiteral("HYT")))
        return QStringLiteral("服务器在规定时间内没有响应。");
    return QStringLiteral("与服务器的连接中断。");
}

QString databaseCause(const db::DbError& error) {
    switch (error.source()) {
    case db::ErrorSource::Server:
        if (error.number() == loginFailed)
            return QStringLiteral("登录被拒绝：用户名或密码错误。");
        return error.text();
    case db::ErrorSource::Connection:
        return connectionCause(error);
    case db::ErrorSource::LocalStore:
        return QStringLiteral("本地配置数据库无法使用：%1（%2）")
            .arg(error.localPath(), error.text());
    case db::ErrorSource::DataLayer:
        break;
    }
    return error.text();
}

} // namespace

ExplainedFailure::ExplainedFailure(const QString& message)
    : std::runtime_error(message.toStdString()), message_(message) {}

QString causeOf(const std::exception& failure) {
    if (const auto* refused = dynamic_cast<const ExplainedFailure*>(&failure))
        return refused->message();
    if (const auto* error = dynamic_cast<const db::DbError*>(&failure))
        return databaseCause(*error);
    return QString::fromLocal8Bit(failure.what());
}

QString withCause(const QString& headline, const std::exception& failure) {
    const QString cause = causeOf(failure);
    return cause.isEmpty() ? headline : headline + u'\n' + cause;
}

} // namespace zt::core
