#pragma once
// Named, long-lived query objects over the SQL Server provider (ODBC/FreeTDS) and the local
// configuration store (SQLite). Each object keeps its own connection, opened when first
// needed and reopened when its connection string changes; closing drops only the result.

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <stdexcept>

namespace zt::db {

// Where a failure arose: this layer's own checks, the local configuration store, the SQL
// Server (its own message), or the driver and the network on the way to the server.
enum class ErrorSource { DataLayer, LocalStore, Server, Connection };

// Every failure of this layer. text() is the provider's or server's message, unchanged;
// number() is the server's error number, 0 where there is none; sqlState() the ODBC state.
class DbError : public std::runtime_error {
public:
    DbError(const QString& text, int number = 0, ErrorSource source = ErrorSource::DataLayer,
            QString sqlState = {}, QString localPath = {});
    const QString& text() const { return text_; }
    int number() const { return number_; }
    ErrorSource source() const { return source_; }
    const QString& sqlState() const { return sqlState_; }
    const QString& localPath() const { return localPath_; } // the local store's file

private:
    QString text_;
    int number_;
    ErrorSource source_;
    QString sqlState_;
    QString localPath_;
};

class Query;
class SharedConnections;

// A column of the current row, as ADO's Fields[...] gives it.
class Field {
public:
    QString asString() const;     // NULL reads as ""
    int asInteger() const;        // NULL reads as 0
    bool asBoolean() const;       // NULL reads as false
    QDateTime asDateTime() const; // NULL reads as an invalid QDateTime
    bool isNull() const;
    // Setting needs the row in append or edit mode; texts follow the transfer rules.
    void setString(const QString& value);
    void setInteger(int value);
    void setBoolean(bool value);
    void setDateTime(const QDateTime& value);
    void setNull();
    QString name() const;

private:
    friend class Query;
    Field(Query* query, int index) : query_(query), index_(index) {}
    Query* query_;
    int index_;
};

class Query {
public:
    explicit Query(QString objectName);
    ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    const QString& objectName() const;

    void setConnectionString(const QString& connectionString);
    QString connectionString() const;

    // Statement text: lines joined with line breaks.
    void sqlClear();
    void sqlAdd(const QString& line);
    QString sqlText() const;

    void open();    // run a select; keep an updatable result positioned on the first row
    void execSql(); // run a statement that returns no rows
    // Run a batch of selects of the same columns in one exchange; their rows in one read-only
    // result, positioned on the first row.
    void openEvery();
    void close(); // drop the result, keep the connection
    // Drop the result and let go of the connection: a shared one stays with the query objects
    // that still hold it, out of the database this one used.
    void disconnect();
    // Drop the result and the connection, and make the next use connect afresh, also for the
    // query objects that share it (after a failure the old connection may be dead).
    void abandonConnection();
    // From now on the connection comes from `connections`, shared with the other query
    // objects given the same.
    void shareConnections(std::shared_ptr<SharedConnections> connections);
    bool isActive() const;

    int recordCount()
        const; // fails with "<objectName>: Cannot perform this operation on a closed dataset"
    bool eof() const;
    bool bof() const;
    void first();
    void next();

    Field fieldByName(const QString& name); // throws naming the column when it is missing
    QStringList fieldNames() const;

    void append();
    void edit();
    void post();
    void cancel();
    void deleteRow(); // ADO's Delete

    // Row-wise access for views over the result (rows 0..recordCount()-1).
    enum class State { Inactive, Browse, Edit, Insert };
    State state() const;
    int currentRow() const; // -1 when there is no current row (closed or past the last row)
    void moveTo(int row);   // posts pending changes first, as moving in ADO does
    QString textAt(int row, const QString& columnName) const; // "" for NULL or no such row

    // Told when the result is replaced or changes shape (reset) or when only the position moved.
    enum class Change { Reset, CurrentRow };
    using ChangeListener = std::function<void(Change)>;
    void setChangeListener(ChangeListener listener);

    struct Impl;

private:
    friend class Field;
    std::unique_ptr<Impl> impl_;
};

// The way every statement without rows is run: close, clear, the lines, execute.
void executeLines(Query& query, const QStringList& lines);

} // namespace zt::db
