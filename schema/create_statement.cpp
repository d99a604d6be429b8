#include "schema/create_statement.h"

namespace zt::schema {

QString columnLine(const Column& column, bool lastColumn) {
    QString line = QLatin1Char('[') + column.name + QStringLiteral("] [") + typeName(column.type) +
                   QLatin1Char(']');
    if (column.type == ColumnType::NVarChar) {
        line += QStringLiteral(" (%1)").arg(column.length);
    }
    if (column.identity) {
        line += QStringLiteral(" IDENTITY (1, 1)");
    }
    if (isCharacterType(column.type)) {
        line += QStringLiteral(" COLLATE ") + QLatin1String(kCharacterCollation);
    }
    line += column.notNull ? QStringLiteral(" NOT NULL") : QStringLiteral(" NULL");
    if (column.primaryKey) {
        line += QStringLiteral(" Primary Key");
        line += lastColumn ? QStringLiteral(" ") : QStringLiteral(", ");
    } else {
        line += lastColumn ? QStringLiteral(" ") : QStringLiteral(" , ");
    }
    return line;
}

QStringList createTableLines(const Table& table) {
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(table.columns.size()) + 2);
    lines << QStringLiteral("CREATE TABLE [dbo].[") + table.name + QStringLiteral("] (");
    for (std::size_t index = 0; index < table.columns.size(); ++index) {
        lines << columnLine(table.columns[index], index + 1 == table.columns.size());
    }
    lines << QStringLiteral(") ON [PRIMARY]");
    return lines;
}

} // namespace zt::schema
