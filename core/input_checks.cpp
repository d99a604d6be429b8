#include "core/input_checks.h"

#include <QRandomGenerator>
#include <QSet>
#include <QStringList>

namespace zt::core {

namespace {

// Transact-SQL's reserved keywords: a database named like one would need quoting everywhere.
const QSet<QString>& reservedWords() {
    static const QSet<QString> words = [] {
        const QString list = QStringLiteral(
            "ADD ALL ALTER AND ANY AS ASC AUTHORIZATION BACKUP BEGIN BETWEEN BREAK BROWSE BULK "
            "BY CASCADE CASE CHECK CHECKPOINT CLOSE CLUSTERED COALESCE COLLATE COLUMN COMMIT "
            "COMPUTE CONSTRAINT CONTAINS CONTAINSTABLE CONTINUE CONVERT CREATE CROSS CURRENT "
            "CURRENT_DATE CURRENT_TIME CURRENT_TIMESTAMP CURRENT_USER CURSOR DATABASE DBCC "
            "DEALLOCATE DECLARE DEFAULT DELETE DENY DESC DISK DISTINCT DISTRIBUTED DOUBLE DROP "
            "DUMP ELSE END ERRLVL ESCAPE EXCEPT EXEC EXECUTE EXISTS EXIT EXTERNAL FETCH FILE "
            "FILLFACTOR FOR FOREIGN FREETEXT FREETEXTTABLE FROM FULL FUNCTION GOTO GRANT GROUP "
            "HAVING HOLDLOCK IDENTITY IDENTITY_INSERT IDENTITYCOL IF IN INDEX INNER INSERT "
            "INTERSECT INTO IS JOIN KEY KILL LEFT LIKE LINENO LOAD MERGE NATIONAL NOCHECK "
            "NONCLUSTERED NOT NULL NULLIF OF OFF OFFSETS ON OPEN OPENDATASOURCE OPENQUERY "
            "OPENROWSET OPENXML OPTION OR ORDER OUTER OVER PERCENT PIVOT PLAN PRECISION PRIMARY "
            "PRINT PROC PROCEDURE PUBLIC RAISERROR READ READTEXT RECONFIGURE REFERENCES "
            "REPLICATION RESTORE RESTRICT RETURN REVERT REVOKE RIGHT ROLLBACK ROWCOUNT "
            "ROWGUIDCOL RULE SAVE SCHEMA SECURITYAUDIT SELECT SEMANTICKEYPHRASETABLE "
            "SEMANTICSIMILARITYDETAILSTABLE SEMANTICSIMILARITYTABLE SESSION_USER SET SETUSER "
            "SHUTDOWN SOME STATISTICS SYSTEM_USER TABLE TABLESAMPLE TEXTSIZE THEN TO TOP TRAN "
            "TRANSACTION TRIGGER TRUNCATE TRY_CONVERT TSEQUAL UNION UNIQUE UNPIVOT UPDATE "
            "UPDATETEXT USE USER VALUES VARYING VIEW WAITFOR WHEN WHERE WHILE WITH WRITETEXT");
        const QStringList split = list.split(u' ', Qt::SkipEmptyParts);
        return QSet<QString>(split.begin(), split.end());
    }();
    return words;
}

bool isControl(char32_t c) {
    return c < 0x20 || c == 0x7f;
}

bool isIdeograph(char32_t c) {
    // Han covers every CJK block, Extension B and later included; 〇 is a number, not a letter.
    return QChar::script(c) == QChar::Script_Han && (QChar::category(c) == QChar::Letter_Other ||
                                                     QChar::category(c) == QChar::Number_Letter);
}

bool isNameStart(char32_t c) {
    return c == U'_' || QChar::isLetter(c) || isIdeograph(c);
}

bool isNamePart(char32_t c) {
    return isNameStart(c) || QChar::isDigit(c);
}

} // namespace

QString trimmedText(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first).unicode() <= u' ')
        ++first;
    while (last > first && text.at(last - 1).unicode() <= u' ')
        --last;
    return text.mid(first, last - first);
}

QString probeDatabasePrefix() {
    return QStringLiteral("abcde12345");
}

QString uniqueProbeDatabaseName() {
    // 64 random bits: two installers (or a run killed earlier) never meet on one name.
    const quint64 suffix = QRandomGenerator::system()->generate64();
    return probeDatabasePrefix() + u'_' + QString::number(suffix, 16).rightJustified(16, u'0');
}

bool isSystemDatabaseName(const QString& name) {
    static const QStringList systemDatabases = {QStringLiteral("master"), QStringLiteral("model"),
                                                QStringLiteral("msdb"), QStringLiteral("tempdb")};
    return systemDatabases.contains(name, Qt::CaseInsensitive);
}

bool isAcceptableAccountSetName(const QString& name) {
    const QString trimmed = trimmedText(name);
    if (trimmed.isEmpty() || trimmed.size() > longestAccountSetName)
        return false;
    const QList<uint> codePoints = trimmed.toUcs4();
    if (!isNameStart(codePoints.front()))
        return false;
    for (const uint c : codePoints) {
        if (!isNamePart(c))
            return false;
    }
    if (isSystemDatabaseName(trimmed) ||
        trimmed.startsWith(probeDatabasePrefix(), Qt::CaseInsensitive))
        return false;
    return !reservedWords().contains(trimmed.toUpper());
}

bool isUnsafeServerName(const QString& serverName) {
    for (const uint c : serverName.toUcs4()) {
        if (c == u';' || c == u'\'' || c == u'"' || c == u'=' || isControl(c))
            return true;
    }
    return false;
}

bool isUncarriableLoginText(const QString& text) {
    // The driver reads a braced value up to the first "};"; control characters would be cut or
    // change how the rest of the connection string is read.
    if (text.size() > longestLoginText || text.contains(QStringLiteral("};")))
        return true;
    for (const QChar c : text) {
        if (isControl(c.unicode()))
            return true;
    }
    return false;
}

QString unsafeServerNameMessage() {
    return QStringLiteral("服务器名称不能包含分号、引号或等号！");
}

QString badAccountSetNameMessage() {
    return QStringLiteral("帐套名称只能由汉字、字母、数字和下划线组成，不能以数字开头，"
                          "且不超过50个字符！");
}

QString accountPasswordTooLongMessage() {
    return QStringLiteral("帐套口令不能超过50个字符！");
}

QString uncarriableLoginMessage() {
    return QStringLiteral("用户名和密码不能包含“};”或控制字符，且不能超过128个字符！");
}

std::optional<QString> serverNameProblem(const QString& serverName) {
    if (isUnsafeServerName(serverName))
        return unsafeServerNameMessage();
    return std::nullopt;
}

std::optional<QString> sqlLoginProblem(const QString& userName, const QString& password) {
    if (isUncarriableLoginText(userName) || isUncarriableLoginText(password))
        return uncarriableLoginMessage();
    return std::nullopt;
}

std::optional<QString> accountSetNameProblem(const QString& name) {
    if (!isAcceptableAccountSetName(name))
        return badAccountSetNameMessage();
    return std::nullopt;
}

std::optional<QString> accountPasswordProblem(const QString& password) {
    if (trimmedText(password).size() > longestAccountPassword)
        return accountPasswordTooLongMessage();
    return std::nullopt;
}

} // namespace zt::core
