// The built-in functions and @@ variables that need the session, each named once with the
// column a client sees and how it is evaluated.

#include "devserver/session/session_impl.h"

#include <QSysInfo>

namespace ztds {

using sql::TypedValue;
using sql::TypeTag;

struct SessionImpl::Builtin {
    const char* name;
    ColumnInfo result; // as the result set describes it
    std::optional<TypedValue> (*evaluate)(SessionImpl& session,
                                          const std::vector<TypedValue>& args);
};

namespace {

using Args = std::vector<TypedValue>;

ColumnInfo textColumn(int length) {
    ColumnInfo c;
    c.type = SqlType::NVarChar;
    c.length = length;
    return c;
}

ColumnInfo typedColumn(SqlType type) {
    ColumnInfo c;
    c.type = type;
    return c;
}

TypedValue text(const QString& v) {
    return TypedValue{TypeTag::NVarChar, v};
}

TypedValue integer(int64_t v) {
    return TypedValue{TypeTag::Int, v};
}

TypedValue null(TypeTag type) {
    return TypedValue{type, std::monostate{}};
}

TypedValue bigintOrNull(const std::optional<int64_t>& v) {
    return v ? TypedValue{TypeTag::BigInt, *v} : null(TypeTag::BigInt);
}

QString latin1(std::string_view v) {
    return QString::fromLatin1(v.data(), qsizetype(v.size()));
}

QString versionText(const ServerVersion& v) {
    return QStringLiteral("zt-devserver 0.1 - a development server speaking the language of "
                          "Microsoft %1 (%2)\n\tzhangtao project\n\tDeveloper build on Linux, "
                          "storage: SQLite")
        .arg(latin1(v.productName), latin1(v.productVersion));
}

QString machineName() {
    return QSysInfo::machineHostName().toUpper();
}

template <class Entry>
const Entry* findByName(const std::vector<Entry>& table, const QString& name) {
    for (const auto& b : table)
        if (name == QLatin1String(b.name))
            return &b;
    return nullptr;
}

} // namespace

const SessionImpl::Builtin* SessionImpl::builtinFunction(const QString& name) {
    static const std::vector<Builtin> functions = {
        {"DB_NAME", textColumn(128),
         [](SessionImpl& s, const Args& a) { return std::optional(s.databaseNameOf(a)); }},
        {"DB_ID", typedColumn(SqlType::Int),
         [](SessionImpl& s, const Args& a) { return std::optional(s.databaseIdOf(a)); }},
        {"OBJECT_ID", typedColumn(SqlType::Int),
         [](SessionImpl& s, const Args& a) -> std::optional<TypedValue> {
             const auto id =
                 a.empty() || isNull(a[0].value) ? std::nullopt : s.objectId(sql::toText(a[0]));
             return id ? integer(*id) : null(TypeTag::Int);
         }},
        {"IDENT_CURRENT", typedColumn(SqlType::BigInt),
         [](SessionImpl& s, const Args& a) { return std::optional(s.identityCurrent(a)); }},
        {"SCOPE_IDENTITY", typedColumn(SqlType::BigInt),
         [](SessionImpl& s, const Args&) { return std::optional(bigintOrNull(s.scopeIdentity_)); }},
        {"USER_NAME", textColumn(128),
         [](SessionImpl& s, const Args&) { return std::optional(text(s.databaseUserName())); }},
        {"CURRENT_USER", textColumn(128),
         [](SessionImpl& s, const Args&) { return std::optional(text(s.databaseUserName())); }},
        {"SUSER_SNAME", textColumn(128),
         [](SessionImpl& s, const Args&) { return std::optional(text(s.login_.name)); }},
        {"SUSER_NAME", textColumn(128),
         [](SessionImpl& s, const Args&) { return std::optional(text(s.login_.name)); }},
        {"SCHEMA_NAME", textColumn(128),
         [](SessionImpl&, const Args&) { return std::optional(text(QStringLiteral("dbo"))); }},
        {"SERVERPROPERTY", textColumn(128),
         [](SessionImpl& s, const Args& a) { return std::optional(s.serverProperty(a)); }},
        {"IS_SRVROLEMEMBER", typedColumn(SqlType::Int),
         [](SessionImpl& s, const Args& a) { return std::optional(s.isServerRoleMember(a)); }},
        {"COLUMNPROPERTY", typedColumn(SqlType::Int),
         [](SessionImpl& s, const Args& a) -> std::optional<TypedValue> {
             if (a.size() != 3)
                 return std::nullopt;
             return s.columnProperty(a);
         }},
    };
    return findByName(functions, name);
}

const SessionImpl::Builtin* SessionImpl::builtinVariable(const QString& name) {
    using Answer = std::optional<TypedValue>;
    static const std::vector<Builtin> variables = {
        {"@@VERSION", textColumn(300),
         [](SessionImpl& s, const Args&) -> Answer {
             return text(versionText(s.engine_.config.version));
         }},
        {"@@SPID", typedColumn(SqlType::Int),
         [](SessionImpl& s, const Args&) -> Answer { return integer(s.spid_); }},
        {"@@SERVERNAME", textColumn(128),
         [](SessionImpl&, const Args&) -> Answer { return text(machineName()); }},
        {"@@SERVICENAME", textColumn(128),
         [](SessionImpl&, const Args&) -> Answer { return text(QStringLiteral("MSSQLSERVER")); }},
        {"@@LANGUAGE", textColumn(128),
         [](SessionImpl&, const Args&) -> Answer { return text(QStringLiteral("us_english")); }},
        {"@@IDENTITY", typedColumn(SqlType::BigInt),
         [](SessionImpl& s, const Args&) -> Answer { return bigintOrNull(s.lastIdentity_); }},
        {"@@ROWCOUNT", typedColumn(SqlType::Int),
         [](SessionImpl& s, const Args&) -> Answer { return integer(s.lastRowCount_); }},
        {"@@TRANCOUNT", typedColumn(SqlType::Int),
         [](SessionImpl& s, const Args&) -> Answer { return integer(s.transaction_.count); }},
        {"@@ERROR", typedColumn(SqlType::Int),
         [](SessionImpl&, const Args&) -> Answer { return integer(0); }},
        {"@@OPTIONS", typedColumn(SqlType::Int),
         [](SessionImpl& s, const Args&) -> Answer {
             return integer((s.implicitTransactions_ ? 2 : 0) | (s.nocount_ ? 512 : 0) |
                            (s.xactAbort_ ? 16384 : 0));
         }},
        {"@@MAX_PRECISION", typedColumn(SqlType::Int),
         [](SessionImpl&, const Args&) -> Answer { return integer(38); }},
        {"@@TEXTSIZE", typedColumn(SqlType::Int),
         [](SessionImpl& s, const Args&) -> Answer {
             return integer(s.textSize_.value_or(2147483647));
         }},
        {"@@MICROSOFTVERSION", typedColumn(SqlType::Int),
         [](SessionImpl& s, const Args&) -> Answer {
             return integer(s.engine_.config.version.microsoftVersion());
         }},
    };
    return findByName(variables, name);
}

sql::EvalEnv SessionImpl::environment(const std::vector<RpcParameter>* params) {
    sql::EvalEnv env;
    env.parameters = params;
    env.global = [this](const QString& name) -> std::optional<TypedValue> {
        const Builtin* b = builtinVariable(name);
        return b ? b->evaluate(*this, {}) : std::nullopt;
    };
    env.function = [this](const QString& name, const Args& args) -> std::optional<TypedValue> {
        const Builtin* b = builtinFunction(name);
        return b ? b->evaluate(*this, args) : std::nullopt;
    };
    env.globalInfo = [](const QString& name) -> std::optional<ColumnInfo> {
        const Builtin* b = builtinVariable(name);
        return b ? std::optional(b->result) : std::nullopt;
    };
    env.functionInfo = [](const QString& name) -> std::optional<ColumnInfo> {
        const Builtin* b = builtinFunction(name);
        return b ? std::optional(b->result) : std::nullopt;
    };
    return env;
}

QString SessionImpl::databaseUserName() const {
    return ownsDatabase(database_.key()) ? QStringLiteral("dbo") : QStringLiteral("guest");
}

TypedValue SessionImpl::databaseNameOf(const Args& args) {
    if (args.empty())
        return text(database_.name());
    const TypedValue id = sql::convert(args[0], TypeTag::Int);
    if (isNull(id.value))
        return null(TypeTag::NVarChar);
    std::lock_guard lock(engine_.mutex);
    for (const auto& [key, db] : engine_.databases)
        if (db.id == std::get<int64_t>(id.value))
            return text(db.name);
    return null(TypeTag::NVarChar);
}

TypedValue SessionImpl::databaseIdOf(const Args& args) {
    const QString wanted =
        args.empty() ? database_.name() : sql::toText(sql::convert(args[0], TypeTag::NVarChar));
    std::lock_guard lock(engine_.mutex);
    auto it = engine_.databases.find(storage::foldName(wanted));
    if (it == engine_.databases.end())
        return null(TypeTag::Int);
    return integer(it->second.id);
}

TypedValue SessionImpl::identityCurrent(const Args& args) {
    if (args.empty() || isNull(args[0].value))
        return null(TypeTag::BigInt);
    const auto id = objectId(sql::toText(args[0]));
    if (!id)
        return null(TypeTag::BigInt);
    storage::DatabaseFile::Transaction t(*file_, false);
    for (const auto& table : file_->tables())
        if (table.id == *id && table.identityColumn() >= 0)
            return TypedValue{TypeTag::BigInt, table.identityLast.value_or(table.identitySeed)};
    return null(TypeTag::BigInt);
}

TypedValue SessionImpl::serverProperty(const Args& args) const {
    const QString property = args.empty() ? QString() : sql::toText(args[0]).toLower();
    if (property == QLatin1String("productversion"))
        return text(latin1(engine_.config.version.productVersion));
    if (property == QLatin1String("productlevel"))
        return text(latin1(engine_.config.version.productLevel));
    static const std::pair<const char*, const char*> properties[] = {
        {"edition", "Developer Edition (64-bit)"},
        {"enginedition", "3"},
        {"collation", "Chinese_PRC_CI_AS"},
        {"isintegratedsecurityonly", "0"}};
    for (const auto& [key, value] : properties)
        if (property == QLatin1String(key))
            return text(QString::fromLatin1(value));
    if (property == QLatin1String("servername") || property == QLatin1String("machinename"))
        return text(machineName());
    return null(TypeTag::NVarChar);
}

TypedValue SessionImpl::isServerRoleMember(const Args& args) const {
    const QString role = args.empty() ? QString() : sql::toText(args[0]).toLower();
    const bool member = (role == QLatin1String("sysadmin") && login_.role == Role::SysAdmin) ||
                        (role == QLatin1String("dbcreator") && login_.role != Role::Public) ||
                        role == QLatin1String("public");
    return integer(member ? 1 : 0);
}

// COLUMNPROPERTY(object id, column, property) for the properties clients ask about.
TypedValue SessionImpl::columnProperty(const Args& args) {
    if (isNull(args[0].value) || isNull(args[1].value))
        return null(TypeTag::Int);
    const int64_t id = std::get<int64_t>(sql::convert(args[0], TypeTag::Int).value);
    const QString column = storage::foldName(sql::toText(args[1]));
    const QString property = sql::toText(args[2]);
    const auto is = [&](const char* name) {
        return property.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
    };
    storage::DatabaseFile::Transaction t(*file_, false);
    for (const auto& table : file_->tables()) {
        if (table.id != id)
            continue;
        for (const auto& c : table.columns) {
            if (storage::foldName(c.name) != column)
                continue;
            if (is("IsIdentity"))
                return integer(c.identity ? 1 : 0);
            if (is("AllowsNull"))
                return integer(c.nullable ? 1 : 0);
            if (is("Precision"))
                return integer(c.length);
        }
    }
    return null(TypeTag::Int);
}

} // namespace ztds
