#include "db/sql_literal.h"

#include "db/query.h"

#include <QDateTime>

#include <cmath>

namespace zt::db {

namespace {

// `text` between `quote`s, every `quote` inside it doubled.
QString enclosed(const QString& text, QChar quote) {
    QString escaped = text;
    escaped.replace(quote, QString(2, quote));
    return quote + escaped + quote;
}

QString floatLiteral(double number) {
    if (!std::isfinite(number))
        throw DbError(QStringLiteral("'%1' cannot be stored on the server").arg(number));
    // The exponent makes it a float literal (a plain decimal would be numeric); 17
    // significant digits give back the same double.
    return QString::number(number, 'e', 16);
}

QString bytesLiteral(const QByteArray& bytes) {
    return QStringLiteral("0x") + QString::fromLatin1(bytes.toHex());
}

} // namespace

QString sqlLiteral(const QVariant& value) {
    if (!value.isValid() || value.isNull())
        return QStringLiteral("NULL");
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QMetaType::Int:
    case QMetaType::LongLong:
        return QString::number(value.toLongLong());
    case QMetaType::Double:
        return floatLiteral(value.toDouble());
    case QMetaType::QDateTime:
        return unicodeLiteral(
            value.toDateTime().toString(QStringLiteral("yyyy-MM-ddThh:mm:ss.zzz")));
    case QMetaType::QByteArray:
        return bytesLiteral(value.toByteArray());
    case QMetaType::QString:
        return unicodeLiteral(value.toString());
    default:
        throw DbError(QStringLiteral("No literal for a value of type %1")
                          .arg(QString::fromLatin1(value.typeName())));
    }
}

QString unicodeLiteral(const QString& text) {
    return u'N' + quotedLiteral(text);
}

QString bracketedName(const QString& name) {
    QString escaped = name;
    escaped.replace(u']', QStringLiteral("]]"));
    return u'[' + escaped + u']';
}

QString quotedLiteral(const QString& text) {
    return enclosed(text, u'\'');
}

QString doubleQuotedName(const QString& name) {
    return enclosed(name, u'"');
}

QString literalInsert(const QString& table, const QStringList& columns,
                      const QVariantList& values) {
    if (columns.isEmpty())
        return QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(bracketedName(table));
    QStringList names;
    QStringList literals;
    for (qsizetype i = 0; i < columns.size(); ++i) {
        names << bracketedName(columns[i]);
        literals << sqlLiteral(values.value(i));
    }
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
        .arg(bracketedName(table), names.join(QStringLiteral(", ")),
             literals.join(QStringLiteral(", ")));
}

} // namespace zt::db
