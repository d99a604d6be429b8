// Column constructors used by the table definitions.

#include "schema/table_parts.h"

namespace zt::schema {

Columns operator+(Columns head, const Columns& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

namespace columns {
namespace {

Column plain(const char* name, ColumnType type, Constraint constraint, int length = 0) {
    Column column;
    column.name = QString::fromUtf8(name);
    column.type = type;
    column.length = length;
    column.notNull = constraint != Nullable;
    column.primaryKey = constraint == PrimaryKey;
    return column;
}

Column identityColumn(const char* name, ColumnType type) {
    Column column = plain(name, type, NotNull);
    column.identity = true;
    return column;
}

Columns numbered(int first, int last, ColumnType type, int length) {
    Columns result;
    for (int number = first; number <= last; ++number) {
        const QByteArray name = QByteArray::number(number);
        result.push_back(plain(name.constData(), type, Nullable, length));
    }
    return result;
}

} // namespace

Column intIdentity(const char* name) {
    return identityColumn(name, ColumnType::Int);
}
Column bigintIdentity(const char* name) {
    return identityColumn(name, ColumnType::BigInt);
}

Column nvarchar(const char* name, int length, Constraint constraint) {
    return plain(name, ColumnType::NVarChar, constraint, length);
}

Column ntext(const char* name) {
    return plain(name, ColumnType::NText, Nullable);
}

Column money(const char* name, Constraint constraint) {
    return plain(name, ColumnType::Money, constraint);
}

Column integer(const char* name) {
    return plain(name, ColumnType::Int, Nullable);
}

Column smalldatetime(const char* name) {
    return plain(name, ColumnType::SmallDateTime, Nullable);
}

Column floating(const char* name, Constraint constraint) {
    return plain(name, ColumnType::Float, constraint);
}

Column bit(const char* name, Constraint constraint) {
    return plain(name, ColumnType::Bit, constraint);
}

Columns numberedInt(int first, int last) {
    return numbered(first, last, ColumnType::Int, 0);
}

Columns numberedNvarchar(int first, int last, int length) {
    return numbered(first, last, ColumnType::NVarChar, length);
}

} // namespace columns

} // namespace zt::schema
