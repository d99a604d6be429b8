#include "core/failure_explanation.h"

#include "db/query.h"

#include <QFileInfo>
#include <QHash>

#include <sqlite3.h>

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
        // FreeTDS reports a failed encryption handshake with the same number as any other
        // login that did not complete: name it as the likely cause on a server that answers.
        return QStringLiteral(
            "无法与服务器建立连接：登录未能完成。若服务器要求加密，可能是加密"
            "握手失败（服务器只提供本机已不接受的旧加密方式，或证书不受信任）："
            "请检查服务器的加密设置和本机freetds.conf中的encryption与ca file设置。");
    if (error.number() == timedOut || state.startsWith(QStringLiteral("HYT")))
        return QStringLiteral("服务器在规定时间内没有响应。");
    return QStringLiteral("与服务器的连接中断。");
}

// What is wrong with the file and what to do, after "本地配置数据库无法使用：<path> ".
QString localFault(const db::DbError& error) {
    if (error.number() == missingLocalTable)
        return QStringLiteral("缺少表【%1】：请从备份恢复该文件，或将其删除后重新启动程序，"
                              "由模板重新生成（其中保存的登录和帐套记录会丢失）。")
            .arg(error.text());
    switch (error.number() & 0xff) {
    case SQLITE_READONLY:
        return QStringLiteral("是只读的：请让当前用户可以写入该文件及其所在的文件夹后重试。");
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return QStringLiteral("已损坏：请从备份恢复该文件，或将其删除后重新启动程序，"
                              "由模板重新生成（其中保存的登录和帐套记录会丢失）。");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("被其他程序占用：请关闭正在使用它的程序后重试。");
    case SQLITE_FULL:
        return QStringLiteral("所在的磁盘已满：请清理出磁盘空间后重试。");
    case SQLITE_CANTOPEN:
        if (!QFileInfo::exists(error.localPath()))
            return QStringLiteral("不存在：请从备份恢复该文件，或重新安装程序。");
        return QStringLiteral("无法打开：请确认它是一个文件，且当前用户可以读写它。");
    default:
        break;
    }
    // SQLite's own words only at the end, for whoever reads a log.
    return QStringLiteral("读写出错：请检查该文件和磁盘后重试。（%1）").arg(error.text());
}

QString databaseCause(const db::DbError& error) {
    switch (error.source()) {
    case db::ErrorSource::Server:
        if (error.number() == loginFailed)
            return QStringLiteral("登录被拒绝：用户名或密码错误。");
        if (const auto line = serverErrorExplanation(error.number()))
            return *line + u'\n' + error.text();
        return error.text();
    case db::ErrorSource::Connection:
        return connectionCause(error);
    case db::ErrorSource::LocalStore:
        return QStringLiteral("本地配置数据库无法使用：%1 ").arg(error.localPath()) +
               localFault(error);
    case db::ErrorSource::DataLayer:
        break;
    }
    return error.text();
}

} // namespace

ExplainedFailure::ExplainedFailure(const QString& message)
    : std::runtime_error(message.toStdString()), message_(message) {}

std::optional<QString> serverErrorExplanation(int number) {
    // The refusals an installer meets, each with what it means here and what to do.
    static const QHash<int, QString> lines = {
        {1801, QStringLiteral("服务器上已有同名的数据库：请换一个帐套名称。")},
        {4060, QStringLiteral("无法打开所需的数据库：它不存在，或此登录无权访问它；请检查帐套名称"
                              "和登录的权限。")},
        {229, QStringLiteral("权限不足：此登录无权读写该表；请改用有权限的登录（如sysadmin角色"
                             "的成员），或请管理员为它授权。")},
        {262, QStringLiteral("权限不足：此登录无权在该数据库中创建对象；请改用有权限的登录"
                             "（如sysadmin或dbcreator角色的成员）。")},
        {15247, QStringLiteral("权限不足：此登录无权执行该操作；请改用sysadmin角色的登录。")},
        {3201, QStringLiteral("服务器无法打开备份文件：备份文件须位于服务器本身能读取的位置。")},
        {3101, QStringLiteral("该数据库正在使用，无法还原：请关闭正在使用它的程序后重试。")},
        {3154, QStringLiteral("服务器上已有的同名数据库与备份中的不是同一个：请先删除或重命名"
                              "服务器上的该数据库。")},
        {3159, QStringLiteral("服务器要求先备份该数据库的日志尾部才能覆盖它：请先备份或删除服务器"
                              "上的该数据库。")},
        {5030, QStringLiteral("该数据库正在被其他连接使用，无法独占：请关闭这些连接后重试。")},
        {1105,
         QStringLiteral("服务器上数据库的空间已满：请为服务器释放磁盘空间或扩大数据库后重试。")},
        {9002,
         QStringLiteral("服务器上数据库的日志已满：请为服务器释放磁盘空间或备份日志后重试。")},
        {17809, QStringLiteral("服务器的连接数已达上限：请稍后重试，或请管理员提高允许的连接数。")},
    };
    const auto it = lines.constFind(number);
    if (it == lines.constEnd())
        return std::nullopt;
    return *it;
}

QString integratedSecurityAdvice() {
    return QStringLiteral("Windows集成安全登录需要本机持有该域的Kerberos票据（可用“kinit "
                          "用户名@域名”取得）；也可改用SQL Server登录，或选“使用指定的用户和"
                          "密码”并以“域名\\用户名”的形式输入域帐户及其密码（以NTLM方式登录）。");
}

QString unusableLocalDatabaseHeadline() {
    return QStringLiteral("本地配置数据库无法使用！");
}

QString causeOf(const std::exception& failure) {
    if (const auto* refused = dynamic_cast<const ExplainedFailure*>(&failure))
        return refused->message();
    if (const auto* error = dynamic_cast<const db::DbError*>(&failure))
        return databaseCause(*error);
    return QString::fromLocal8Bit(failure.what());
}

bool isLocalDatabaseFailure(const std::exception& failure) {
    const auto* error = dynamic_cast<const db::DbError*>(&failure);
    return error && error->source() == db::ErrorSource::LocalStore;
}

QString withCause(const QString& headline, const std::exception& failure) {
    const QString cause = causeOf(failure);
    return cause.isEmpty() ? headline : headline + u'\n' + cause;
}

} // namespace zt::core
