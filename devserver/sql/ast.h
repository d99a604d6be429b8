#pragma once
// The statements this server understands, as the parser hands them to the executor.

#include "devserver/sql/types.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

namespace ztds::sql {

struct Expr {
    enum class Kind {
        Literal,   // literal
        Column,    // name (qualifier: table or alias)
        Parameter, // name with '@'
        Global,    // @@NAME upper-cased
        Unary,     // op "-", "+", "NOT"; args[0]
        Binary,    // op: "AND" "OR" "=" "<>" "<" ">" "<=" ">=" "+" "-" "*" "/" "%"; args[0..1]
        IsNull,    // args[0]; negated for IS NOT NULL
        Like,      // args[0] LIKE args[1] [ESCAPE args[2]]; negated
        In,        // args[0] IN (args[1..]); negated
        Between,   // args[0] BETWEEN args[1] AND args[2]; negated
        Function,  // name upper-cased; args; star for COUNT(*)
    };
    Kind kind = Kind::Literal;
    TypedValue literal;
    QString name;
    QString qualifier;
    QString op;
    bool negated = false;
    bool star = false;
    int columnIndex = -1; // bound column
    int depth = 1;        // levels of the tree below and including this node
    // CAST/CONVERT: the target type, with its length for character and binary types (-1:
    // max) or its precision and scale for numeric
    TypeTag castType = TypeTag::Null;
    int castLength = 0;
    int castScale = 0;
    std::vector<std::unique_ptr<Expr>> args;
};
using ExprPtr = std::unique_ptr<Expr>;

// A possibly qualified object name: [db.][schema.]name, parts as written.
struct ObjectName {
    QStringList parts;
    QString name() const { return parts.isEmpty() ? QString() : parts.last(); }
    QString schema() const { return parts.size() >= 2 ? parts.at(parts.size() - 2) : QString(); }
    QString database() const { return parts.size() >= 3 ? parts.at(parts.size() - 3) : QString(); }
    QString text() const { return parts.join(u'.'); }
};

struct ColumnDefinition {
    QString name;
    QString typeName;
    std::optional<int> length; // nvarchar (n); -1 for (max)
    std::optional<int> scale;  // numeric (p, s)
    bool identity = false;
    int64_t seed = 1;
    int64_t increment = 1;
    std::optional<bool> nullable;
    bool primaryKey = false;
    QString collation;
};

struct SelectItem {
    ExprPtr expr; // null for * / t.*
    QString alias;
    QString starQualifier;
};

struct OrderItem {
    ExprPtr expr;
    bool descending = false;
};

struct Statement {
    enum class Kind {
        CreateDatabase,
        DropDatabase,
        Use,
        Backup,
        Restore,
        RenameDatabase, // ALTER DATABASE .. MODIFY NAME (names), or EXEC sp_renamedb (arguments)
        CreateTable,
        DropTable,
        Select,
        Insert,
        Update,
        Delete,
        Set,
        BeginTransaction,
        CommitTransaction,
        RollbackTransaction,
        NoOp,
    };
    Kind kind = Kind::NoOp;
    int line = 1;
    QString text; // the statement's own text

    // databases: names; backup/restore path and options
    QStringList names;
    QString path;
    bool replace = false;
    QString collation; // CREATE DATABASE .. COLLATE

    // EXEC of a system procedure: its arguments in order, "@name" or empty for a positional one
    std::vector<std::pair<QString, ExprPtr>> arguments;

    // tables
    ObjectName table;
    QString alias;
    std::vector<ColumnDefinition> columns;
    QStringList tablePrimaryKey;
    QString primaryKeyName;

    // select
    std::optional<int64_t> top;
    bool distinct = false;
    std::vector<SelectItem> items;
    bool hasFrom = false;
    ExprPtr where;
    std::vector<OrderItem> orderBy;

    // insert / update
    QStringList insertColumns;
    std::vector<std::vector<ExprPtr>> valueRows;
    std::vector<std::pair<QString, ExprPtr>> assignments;

    // transactions: IF @@TRANCOUNT > 0 COMMIT|ROLLBACK acts only inside one
    bool onlyInTransaction = false;

    // set
    QString option;
    QString optionValue;
};

} // namespace ztds::sql
