#pragma once
// Values and column descriptions that travel between the SQL engine and the TDS layer.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

namespace ztds {

// The SQL Server types this server knows. Declared types are kept exactly so that
// result metadata tells a client what SQL Server would.
enum class SqlType {
    NVarChar,         // nvarchar(n), n in characters (1..4000); -1: nvarchar(max)
    NText,            // ntext
    Int,              // int
    BigInt,           // bigint
    Money,            // money
    SmallDateTime,    // smalldatetime
    DateTime,         // datetime
    Float,            // float (8 bytes)
    Bit,              // bit
    TinyInt,          // tinyint (0..255)
    SmallInt,         // smallint
    Real,             // real (4-byte float)
    Char,             // char(n), n in bytes of the collation's code page
    VarChar,          // varchar(n), n in bytes (1..8000); -1: varchar(max)
    NChar,            // nchar(n), n in characters
    VarBinary,        // varbinary(n), n in bytes (1..8000)
    Numeric,          // numeric(p,s)
    UniqueIdentifier, // uniqueidentifier
    DateTime2,        // datetime2(n), n fractional digits of the second (0..7)
};

// A length that stands for (max): varchar(max), nvarchar(max).
inline constexpr int maxLength = -1;

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
    case SqlType::TinyInt:
        return "tinyint";
    case SqlType::SmallInt:
        return "smallint";
    case SqlType::Real:
        return "real";
    case SqlType::Char:
        return "char";
    case SqlType::VarChar:
        return "varchar";
    case SqlType::NChar:
        return "nchar";
    case SqlType::VarBinary:
        return "varbinary";
    case SqlType::Numeric:
        return "numeric";
    case SqlType::UniqueIdentifier:
        return "uniqueidentifier";
    case SqlType::DateTime2:
        return "datetime2";
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

// numeric(p,s): an exact count of 10^-scale units, as SQL Server keeps decimals (up to 38
// digits, which 128 bits hold).
struct NumericValue {
    __int128 unscaled = 0;
    uint8_t scale = 0;
    friend bool operator==(const NumericValue&, const NumericValue&) = default;
};

// NULL is std::monostate. Integer types and bit hold int64_t; float and real hold double;
// character types and uniqueidentifier (its text form) hold QString; varbinary holds
// QByteArray; datetime2 holds DateTimeValue like datetime.
using Value = std::variant<std::monostate, int64_t, double, QString, DateTimeValue, MoneyValue,
                           QByteArray, NumericValue>;

inline bool isNull(const Value& v) {
    return std::holds_alternative<std::monostate>(v);
}

struct ColumnInfo {
    QString name;
    SqlType type = SqlType::NVarChar;
    int length = 0; // characters for nvarchar/nchar, bytes for (var)char/varbinary, -1 for (max)
    bool nullable = true;
    bool identity = false;
    bool caseInsensitive = true;  // collation Chinese_PRC_CI_AS for text columns
    uint8_t precision = 0;        // numeric only
    uint8_t scale = 0;            // numeric only
    uint8_t fractionalDigits = 7; // datetime2 only
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
    uint8_t precision = 0; // numeric
    uint8_t scale = 0;
};

} // namespace ztds
