#include "db/query.h"

#include "db/field_transfer.h"
#include "db/provider.h"
#include "db/shared_connections.h"

#include <optional>

namespace zt::db {

DbError::DbError(const QString& text, int number, ErrorSource source, QString sqlState,
                 QString localPath)
    : std::runtime_error(text.toStdString()), text_(text), number_(number), source_(source),
      sqlState_(std::move(sqlState)), localPath_(std::move(localPath)) {}

void executeLines(Query& query, const QStringList& lines) {
    query.close();
    query.sqlClear();
    for (const QString& line : lines)
        query.sqlAdd(line);
    query.execSql();
}

struct Query::Impl {
    QString objectName;
    QString connectionString;
    QStringList sql;

    std::shared_ptr<Provider> provider;
    QString providerConnectionString;
    std::shared_ptr<SharedConnections> shared;

    std::optional<ResultSet> result;
    qsizetype position = 0;
    State state = State::Inactive;
    Row buffer;             // the row being edited or appended
    QVector<bool> assigned; // columns set since edit/append began
    ChangeListener listener;

    [[noreturn]] void failWithName(const QString& text) const {
        throw DbError(objectName + QStringLiteral(": ") + text);
    }

    void requireActive() const {
        if (!result)
            failWithName(QStringLiteral("Cannot perform this operation on a closed dataset"));
    }

    bool hasCurrentRow() const { return result && position < result->rows.size(); }

    void requireCurrentRow() const {
        requireActive();
        if (!hasCurrentRow())
            throw DbError(QStringLiteral("Either BOF or EOF is True, or the current record has "
                                         "been deleted. Requested operation requires a current "
                                         "record."));
    }

    void notify(Change change) const {
        if (listener)
            listener(change);
    }

    Provider& connection() {
        if (provider && providerConnectionString == connectionString)
            return *provider;
        provider.reset();
        if (connectionString.trimmed().isEmpty())
            failWithName(QStringLiteral("Missing Connection or ConnectionString"));
        if (shared)
            provider = shared->connect(connectionString);
        else
            provider = openProvider(connectionString);
        providerConnectionString = connectionString;
        return *provider;
    }

    int columnIndex(const QString& name) const {
        requireActive();
        for (qsizetype i = 0; i < result->columns.size(); ++i) {
            if (result->columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
                return int(i);
        }
        failWithName(QStringLiteral("Field '%1' not found").arg(name));
    }

    // A Field kept from an earlier result must not reach past the columns of the current one.
    const Column& column(int index) const {
        requireActive();
        if (index < 0 || index >= result->columns.size())
            failWithName(QStringLiteral("Field no longer belongs to the open result"));
        return result->columns[index];
    }

    QVariant currentValue(int index) const {
        column(index);
        if (state == State::Edit || state == State::Insert)
            return buffer.values[index];
        if (!hasCurrentRow())
            return {};
        return result->rows[position].values[index];
    }

    void startBuffer(const Row& from) {
        buffer = from;
        assigned = QVector<bool>(result->columns.size(), false);
    }

    void setValue(int index, const QVariant& value) {
        column(index);
        if (state == State::Browse)
            edit();
        QVariant stored = valueForColumn(column(index), value);
        buffer.values[index] = std::move(stored);
        assigned[index] = true;
    }

    void edit() {
        requireActive();
        if (state == State::Edit || state == State::Insert)
            return;
        requireCurrentRow();
        startBuffer(result->rows[position]);
        state = State::Edit;
    }

    void post() {
        requireActive();
        if (state == State::Insert) {
            connection().insertRow(*result, buffer, assigned);
            result->rows.append(buffer);
            position = result->rows.size() - 1;
            state = State::Browse;
            notify(Change::Reset);
        } else if (state == State::Edit) {
            connection().updateRow(*result, result->rows[position], buffer, assigned);
            result->rows[position] = buffer;
            state = State::Browse;
            notify(Change::Reset);
        }
    }

    void checkBrowseMode() {
        if (state == State::Edit || state == State::Insert)
            post();
    }

    void cancel() {
        if (state == State::Edit || state == State::Insert)
            state = State::Browse;
    }

    void close() {
        const bool wasActive = result.has_value();
        result.reset();
        state = State::Inactive;
        position = 0;
        buffer = {};
        assigned.clear();
        if (wasActive)
            notify(Change::Reset);
    }
};

// Field -------------------------------------------------------------------------------------

QString Field::asString() const {
    return textOf(query_->impl_->column(index_), query_->impl_->currentValue(index_));
}

int Field::asInteger() const {
    return integerOf(query_->impl_->column(index_), query_->impl_->currentValue(index_));
}

bool Field::asBoolean() const {
    return booleanOf(query_->impl_->column(index_), query_->impl_->currentValue(index_));
}

QDateTime Field::asDateTime() const {
    return dateTimeOf(query_->impl_->column(index_), query_->impl_->currentValue(index_));
}

bool Field::isNull() const {
    const QVariant value = query_->impl_->currentValue(index_);
    return !value.isValid() || value.isNull();
}

void Field::setString(const QString& value) {
    query_->impl_->setValue(index_, value);
}

void Field::setInteger(int value) {
    query_->impl_->setValue(index_, qlonglong(value));
}

void Field::setBoolean(bool value) {
    query_->impl_->setValue(index_, value);
}

void Field::setDateTime(const QDateTime& value) {
    query_->impl_->setValue(index_, value);
}

void Field::setNull() {
    query_->impl_->setValue(index_, QVariant());
}

QString Field::name() const {
    return query_->impl_->column(index_).name;
}

// Query -------------------------------------------------------------------------------------

Query::Query(QString objectName) : impl_(std::make_unique<Impl>()) {
    impl_->objectName = std::move(objectName);
}

Query::~Query() = default;

const QString& Query::objectName() const {
    return impl_->objectName;
}

void Query::setConnectionString(const QString& connectionString) {
    if (connectionString == impl_->connectionString)
        return;
    impl_->close();
    impl_->connectionString = connectionString;
}

QString Query::connectionString() const {
    return impl_->connectionString;
}

void Query::sqlClear() {
    impl_->close();
    impl_->sql.clear();
}

void Query::sqlAdd(const QString& line) {
    impl_->close();
    impl_->sql.append(line);
}

QString Query::sqlText() const {
    return impl_->sql.join(u'\n');
}

void Query::open() {
    if (impl_->result)
        return;
    ResultSet result = impl_->connection().select(sqlText());
    impl_->result = std::move(result);
    impl_->position = 0;
    impl_->state = State::Browse;
    impl_->notify(Change::Reset);
}

void Query::openEvery() {
    if (impl_->result)
        return;
    impl_->result = impl_->connection().selectEvery(sqlText());
    impl_->position = 0;
    impl_->state = State::Browse;
    impl_->notify(Change::Reset);
}

void Query::execSql() {
    impl_->connection().execute(sqlText());
}

void Query::close() {
    impl_->close();
}

void Query::disconnect() {
    impl_->close();
    impl_->provider.reset();
    impl_->providerConnectionString.clear();
}

void Query::abandonConnection() {
    impl_->close();
    if (impl_->shared && impl_->provider)
        impl_->shared->release(impl_->providerConnectionString);
    impl_->provider.reset();
    impl_->providerConnectionString.clear();
}

void Query::shareConnections(std::shared_ptr<SharedConnections> connections) {
    impl_->close();
    impl_->provider.reset();
    impl_->providerConnectionString.clear();
    impl_->shared = std::move(connections);
}

bool Query::isActive() const {
    return impl_->result.has_value();
}

int Query::recordCount() const {
    impl_->requireActive();
    return int(impl_->result->rows.size());
}

bool Query::eof() const {
    if (!impl_->result)
        return true;
    if (impl_->state == State::Insert)
        return false;
    return !impl_->hasCurrentRow();
}

bool Query::bof() const {
    if (!impl_->result)
        return true;
    if (impl_->state == State::Insert)
        return false;
    return impl_->result->rows.isEmpty() || impl_->position == 0;
}

void Query::first() {
    impl_->requireActive();
    impl_->checkBrowseMode();
    impl_->position = 0;
    impl_->notify(Change::CurrentRow);
}

void Query::next() {
    impl_->requireActive();
    impl_->checkBrowseMode();
    if (impl_->position < impl_->result->rows.size())
        ++impl_->position;
    impl_->notify(Change::CurrentRow);
}

Field Query::fieldByName(const QString& name) {
    return Field(this, impl_->columnIndex(name));
}

QStringList Query::fieldNames() const {
    impl_->requireActive();
    QStringList names;
    for (const Column& column : impl_->result->columns)
        names << column.name;
    return names;
}

void Query::append() {
    impl_->requireActive();
    impl_->checkBrowseMode();
    Row empty;
    empty.values = QVector<QVariant>(impl_->result->columns.size());
    impl_->startBuffer(empty);
    impl_->state = State::Insert;
    impl_->notify(Change::CurrentRow);
}

void Query::edit() {
    impl_->edit();
}

void Query::post() {
    impl_->post();
}

void Query::cancel() {
    impl_->cancel();
}

void Query::deleteRow() {
    impl_->requireActive();
    if (impl_->state == State::Insert) {
        impl_->cancel();
        return;
    }
    impl_->cancel();
    impl_->requireCurrentRow();
    auto& rows = impl_->result->rows;
    impl_->connection().deleteRow(*impl_->result, rows[impl_->position]);
    rows.removeAt(impl_->position);
    if (impl_->position >= rows.size() && !rows.isEmpty())
        impl_->position = rows.size() - 1;
    impl_->notify(Change::Reset);
}

Query::State Query::state() const {
    return impl_->state;
}

int Query::currentRow() const {
    return impl_->hasCurrentRow() ? int(impl_->position) : -1;
}

void Query::moveTo(int row) {
    impl_->requireActive();
    impl_->checkBrowseMode();
    impl_->position = qBound(qsizetype(0), qsizetype(row), impl_->result->rows.size());
    impl_->notify(Change::CurrentRow);
}

QString Query::textAt(int row, const QString& columnName) const {
    if (!impl_->result || row < 0 || row >= impl_->result->rows.size())
        return {};
    const int index = impl_->columnIndex(columnName);
    return textOf(impl_->column(index), impl_->result->rows[row].values[index]);
}

void Query::setChangeListener(ChangeListener listener) {
    impl_->listener = std::move(listener);
}

} // namespace zt::db
