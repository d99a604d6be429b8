#pragma once
// Values and column descriptions that travel between the SQL engine and the TDS layer.

#include <QString>

#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

namespace ztds {

// The SQL Server types this server knows. Declared types are kept exactly so that
// result metadata tells a client what SQL Server would.
enum class SqlType {
    NVarChar,      // nvarchar(n), n in characters (1..4000)
    NText,         // ntext
    Int,           // int
    BigInt,        // bigint
    Money,         // money
    SmallDateTime, // smalldatetime
    DateTime,      // datetime
    Float,         // float (8 bytes)
    Bit,           // bit
};

// The type's name as SQL Server spells it in catalogs (INFORMATION_SCHEMA, DATA_TYPE).
inline const char* sqlTypeName(SqlType type) {
    switch (type) {
    case SqlType::NVarChar:
        return "nvarchar";
    case SqlType::NText:
        return "ntext";
    case SqlType::Int:
        return "int";
    case SqlType::BigInt:
        return "bigint";
    case SqlType::Money:
        return "money";
    case SqlType::SmallDateTime:
        return "smalldatetime";
    case SqlType::DateTime:
        return "datetime";
    case SqlType::Float:
        return "float";
    case SqlType::Bit:
        return "bit";
    }
    return "nvarchar";
}

// A date and time as SQL Server's datetime keeps it.
struct DateTimeValue {
    int32_t days = 0;            // days since 1900-01-01 (may be negative)
    int64_t msSinceMidnight = 0; // milliseconds since midnight (0..86399999)
    friend bool operator==(const DateTimeValue&, const DateTimeValue&) = default;
};

// money as SQL Server keeps it: a count of ten-thousandths.
struct MoneyValue {
    int64_t tenThousandths = 0;
    friend bool operator==(const MoneyValue&, const MoneyValue&) = default;
};

// NULL is std::monostate. int, bigint and bit columns hold int64_t; float holds double;
// nvarchar and ntext hold QString.
using Value = std::variant<std::monostate, int64_t, double, QString, DateTimeValue, MoneyValue>;

inline bool isNull(const Value& v) {
    return std::holds_alternative<std::monostate>(v);
}

struct ColumnInfo {
    QString name;
    SqlType type = SqlType::NVarChar;
    int length = 0; // characters for nvarchar; 0 otherwise
    bool nullable = true;
    bool identity = false;
    bool caseInsensitive = true; // collation Chinese_PRC_CI_AS for text columns
};

struct ResultSet {
    std::vector<ColumnInfo> columns;
    std::vector<std::vector<Value>> rows;
};

// An ERROR or INFO token's content.
struct ServerMessage {
    int32_t number = 0;
    uint8_t state = 1;
    uint8_t severity = 16; // > 10 is an error, <= 10 an informational message
    QString text;
    int32_t line = 1;
    bool isError() const { return severity > 10; }
};

// What one statement of a batch or RPC produced.
struct StatementResult {
    std::optional<ResultSet> resultSet;  // a select's rows
    std::optional<int64_t> rowCount;     // rows affected or selected, when a count is reported
    std::vector<ServerMessage> messages; // errors and informational messages, in order
    std::optional<QString> newDatabase;  // set when the statement changed the current database
    bool failed = false;                 // the statement ended with an error
    // The statement began or ended the transaction (TDS tells the client by ENVCHANGE).
    enum class TransactionChange { None, Began, Committed, RolledBack };
    TransactionChange transactionChange = TransactionChange::None;
};

// A typed parameter of an RPC call (sp_executesql), already decoded from TDS.
struct RpcParameter {
    QString name; // with its leading '@'
    SqlType type = SqlType::NVarChar;
    int length = 0;
    Value value;
    bool output = false;
};

} // namespace ztds
