#include "db/row_statements.h"

#include <QRegularExpression>

namespace zt::db {

namespace {

QString unquoteName(const QString& token) {
    if (token.size() >= 2 && ((token.front() == u'[' && token.back() == u']') ||
                              (token.front() == u'"' && token.back() == u'"')))
        return token.mid(1, token.size() - 2);
    return token;
}

// "dbo.t", "[dbo].[t]" -> the last part.
QString lastNamePart(const QString& reference) {
    static const QRegularExpression parts(QStringLiteral(R"((\[[^\]]*\]|"[^"]*"|[^.]+))"));
    QString last;
    auto it = parts.globalMatch(reference);
    while (it.hasNext())
        last = it.next().captured(1);
    return unquoteName(last);
}

} // namespace

QString baseTableOf(const QString& selectText) {
    static const QRegularExpression join(QStringLiteral(R"(\bjoin\b)"),
                                         QRegularExpression::CaseInsensitiveOption |
                                             QRegularExpression::UseUnicodePropertiesOption);
    static const QRegularExpression from(
        QStringLiteral(
            R"((?<![\w$#@])from\s+((?:\[[^\]]+\]|"[^"]+"|[^\s;,()\[\]"]+)(?:\.(?:\[[^\]]+\]|"[^"]+"|[^\s;,()\[\]".]+))*)\s*(?:(?:as\s+)?[\w]+\s*)?(,)?)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    if (join.match(selectText).hasMatch())
        return {};
    const QRegularExpressionMatch match = from.match(selectText);
    if (!match.hasMatch() || !match.captured(2).isEmpty())
        return {};
    return lastNamePart(match.captured(1));
}

bool isComparable(const Column& column) {
    if (column.kind == ColumnKind::Binary)
        return false;
    return column.kind != ColumnKind::Text || column.width > 0;
}

Statement insertStatement(const ResultSet& result, const Row& row, const QVector<bool>& assigned,
                          const QuoteIdentifier& quote) {
    Statement statement;
    QStringList names;
    QStringList markers;
    for (qsizetype i = 0; i < result.columns.size(); ++i) {
        if (!assigned[i])
            continue;
        names << quote(result.columns[i].name);
        markers << QStringLiteral("?");
        statement.parameters.append({row.values[i], result.columns[i].kind});
    }
    const QString table = quote(result.baseTable);
    if (names.isEmpty())
        statement.sql = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table);
    else
        statement.sql =
            QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                .arg(table, names.join(QStringLiteral(", ")), markers.join(QStringLiteral(", ")));
    return statement;
}

Statement rowCondition(const ResultSet& result, const Row& row, const QuoteIdentifier& quote) {
    QVector<qsizetype> keys;
    for (qsizetype i = 0; i < result.columns.size(); ++i) {
        if (result.columns[i].identity)
            keys.append(i);
    }
    if (keys.isEmpty()) {
        for (qsizetype i = 0; i < result.columns.size(); ++i) {
            if (result.columns[i].primaryKey)
                keys.append(i);
        }
    }
    if (keys.isEmpty()) {
        for (qsizetype i = 0; i < result.columns.size(); ++i) {
            if (isComparable(result.columns[i]))
                keys.append(i);
        }
    }
    Statement condition;
    QStringList terms;
    for (const qsizetype i : keys) {
        const QVariant& value = row.values[i];
        if (!value.isValid() || value.isNull()) {
            terms << quote(result.columns[i].name) + QStringLiteral(" IS NULL");
        } else {
            terms << quote(result.columns[i].name) + QStringLiteral(" = ?");
            condition.parameters.append({value, result.columns[i].kind});
        }
    }
    condition.sql = terms.join(QStringLiteral(" AND "));
    return condition;
}

Statement updateStatement(const ResultSet& result, const Row& changed,
                          const QVector<bool>& assigned, const Statement& condition,
                          const QuoteIdentifier& quote) {
    Statement statement;
    QStringList settings;
    for (qsizetype i = 0; i < result.columns.size(); ++i) {
        if (!assigned[i])
            continue;
        settings << quote(result.columns[i].name) + QStringLiteral(" = ?");
        statement.parameters.append({changed.values[i], result.columns[i].kind});
    }
    if (settings.isEmpty())
        return statement;
    statement.sql =
        QStringLiteral("UPDATE %1 SET %2 WHERE %3")
            .arg(quote(result.baseTable), settings.join(QStringLiteral(", ")), condition.sql);
    statement.parameters += condition.parameters;
    return statement;
}

Statement deleteStatement(const ResultSet& result, const Statement& condition,
                          const QuoteIdentifier& quote) {
    Statement statement;
    statement.sql =
        QStringLiteral("DELETE FROM %1 WHERE %2").arg(quote(result.baseTable), condition.sql);
    statement.parameters = condition.parameters;
    return statement;
}

} // namespace zt::db
