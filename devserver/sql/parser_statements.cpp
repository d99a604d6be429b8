// The statements of a batch: databases, tables, rows, session options and transactions.

#include "devserver/sql/errors.h"
#include "devserver/sql/parser_internal.h"

namespace ztds::sql {

Statement Parser::parseStatement(bool firstInBatch) {
    const Token& t = peek();
    if (t.isWord("SELECT"))
        return parseSelect();
    if (t.isWord("INSERT"))
        return parseInsert();
    if (t.isWord("UPDATE"))
        return parseUpdate();
    if (t.isWord("DELETE"))
        return parseDelete();
    if (t.isWord("CREATE"))
        return parseCreate();
    if (t.isWord("DROP"))
        return parseDrop();
    if (t.isWord("USE"))
        return parseUse();
    if (t.isWord("BACKUP"))
        return parseBackup();
    if (t.isWord("RESTORE"))
        return parseRestore();
    if (t.isWord("SET"))
        return parseSet();
    if (t.isWord("ALTER") && peek(1).isWord("DATABASE"))
        return parseAlterDatabase();
    if (t.isWord("EXEC") || t.isWord("EXECUTE"))
        return parseExec();
    if (t.isWord("IF"))
        return parseIf();
    if (t.isWord("BEGIN") && (peek(1).isWord("TRAN") || peek(1).isWord("TRANSACTION")))
        return parseTransaction(Statement::Kind::BeginTransaction);
    if (t.isWord("COMMIT"))
        return parseTransaction(Statement::Kind::CommitTransaction);
    if (t.isWord("ROLLBACK"))
        return parseTransaction(Statement::Kind::RollbackTransaction);
    if (t.kind == Token::Kind::Word && isReservedKeyword(t.text) && t.text.size() > 1)
        throwNotSupported(QStringLiteral("The statement %1").arg(t.text.toUpper()));
    if (firstInBatch && atProcedure("sp_renamedb"))
        return parseProcedureCall(); // a batch may start with a procedure's bare name
    if (firstInBatch && t.isIdentifier())
        throw SqlError(2812, 16, 62,
                       QStringLiteral("Could not find stored procedure '%1'.").arg(t.text));
    fail();
}

// ---- databases ----

Statement Parser::parseCreate() {
    expectWord("CREATE");
    if (acceptWord("DATABASE")) {
        Statement s;
        s.kind = Statement::Kind::CreateDatabase;
        s.names << identifier();
        if (acceptWord("COLLATE"))
            s.collation = identifier();
        if (peek().isWord("ON") || peek().isWord("WITH") || peek().isWord("CONTAINMENT"))
            throwNotSupported(QStringLiteral("CREATE DATABASE with file or option clauses"));
        return s;
    }
    if (acceptWord("TABLE"))
        return parseCreateTable();
    if (peek().kind == Token::Kind::Word)
        throwNotSupported(QStringLiteral("CREATE %1").arg(peek().text.toUpper()));
    fail();
}

Statement Parser::parseDrop() {
    expectWord("DROP");
    Statement s;
    if (acceptWord("DATABASE")) {
        s.kind = Statement::Kind::DropDatabase;
        do
            s.names << identifier();
        while (acceptSymbol(","));
        return s;
    }
    if (acceptWord("TABLE")) {
        s.kind = Statement::Kind::DropTable;
        if (peek().isWord("IF") && peek(1).isWord("EXISTS")) {
            pos_ += 2;
            s.replace = true; // IF EXISTS
        }
        s.table = objectName();
        return s;
    }
    if (peek().kind == Token::Kind::Word)
        throwNotSupported(QStringLiteral("DROP %1").arg(peek().text.toUpper()));
    fail();
}

Statement Parser::parseUse() {
    expectWord("USE");
    Statement s;
    s.kind = Statement::Kind::Use;
    s.names << identifier();
    return s;
}

void Parser::parseDisk(Statement& s) {
    if (peek().isWord("URL") || peek().isWord("TAPE"))
        throwNotSupported(QStringLiteral("A backup device other than DISK"));
    expectWord("DISK");
    expectSymbol("=");
    s.path = stringLiteral();
    if (peek().isSymbol(","))
        throwNotSupported(QStringLiteral("A striped backup over several files"));
}

void Parser::parseBackupOptions(Statement& s) {
    if (!acceptWord("WITH"))
        return;
    do {
        if (acceptWord("MOVE")) {
            stringLiteral();
            expectWord("TO");
            stringLiteral();
            continue;
        }
        if (peek().kind != Token::Kind::Word)
            fail();
        const QString option = take().text.toUpper();
        if (option == QLatin1String("REPLACE"))
            s.replace = true;
        if (acceptSymbol("=")) {
            if (peek().kind == Token::Kind::End)
                fail();
            take();
        }
    } while (acceptSymbol(","));
}

Statement Parser::parseBackup() {
    expectWord("BACKUP");
    Statement s;
    s.kind = Statement::Kind::Backup;
    if (peek().isWord("LOG"))
        throwNotSupported(QStringLiteral("BACKUP LOG"));
    expectWord("DATABASE");
    s.names << identifier();
    expectWord("TO");
    parseDisk(s);
    parseBackupOptions(s);
    return s;
}

Statement Parser::parseRestore() {
    expectWord("RESTORE");
    Statement s;
    s.kind = Statement::Kind::Restore;
    if (!peek().isWord("DATABASE"))
        throwNotSupported(QStringLiteral("RESTORE %1").arg(peek().text.toUpper()));
    expectWord("DATABASE");
    s.names << identifier();
    expectWord("FROM");
    parseDisk(s);
    parseBackupOptions(s);
    return s;
}

Statement Parser::parseAlterDatabase() {
    expectWord("ALTER");
    expectWord("DATABASE");
    if (peek().isWord("CURRENT"))
        throwNotSupported(QStringLiteral("ALTER DATABASE CURRENT"));
    Statement s;
    s.kind = Statement::Kind::RenameDatabase;
    s.names << identifier();
    if (!peek().isWord("MODIFY") || !peek(1).isWord("NAME"))
        throwNotSupported(QStringLiteral("ALTER DATABASE other than MODIFY NAME"));
    pos_ += 2;
    expectSymbol("=");
    s.names << identifier();
    return s;
}

bool Parser::atProcedure(const char* bareName) {
    if (!atIdentifier())
        return false;
    const size_t start = pos_;
    ObjectName name;
    try {
        name = objectName();
    } catch (const SqlError&) {
        pos_ = start;
        return false;
    }
    pos_ = start;
    return name.name().compare(QLatin1String(bareName), Qt::CaseInsensitive) == 0;
}

Statement Parser::parseExec() {
    const QString verb = peek().text.toUpper();
    ++pos_;
    if (!atProcedure("sp_renamedb"))
        throwNotSupported(QStringLiteral("The statement %1").arg(verb));
    return parseProcedureCall();
}

Statement Parser::parseProcedureCall() {
    Statement s;
    s.kind = Statement::Kind::RenameDatabase;
    objectName();
    if (peek().kind == Token::Kind::End || peek().isSymbol(";"))
        return s;
    do {
        QString name;
        if (peek().kind == Token::Kind::Variable && peek(1).isSymbol("=")) {
            name = take().text;
            ++pos_;
        }
        s.arguments.emplace_back(name, expression());
    } while (acceptSymbol(","));
    return s;
}

// ---- tables ----

void Parser::parseColumnConstraint(ColumnDefinition& c) {
    if (acceptWord("CONSTRAINT"))
        identifier();
    if (acceptWord("PRIMARY")) {
        expectWord("KEY");
        c.primaryKey = true;
        if (!acceptWord("CLUSTERED"))
            acceptWord("NONCLUSTERED");
        return;
    }
    if (peek().isWord("UNIQUE") || peek().isWord("DEFAULT") || peek().isWord("CHECK") ||
        peek().isWord("REFERENCES") || peek().isWord("FOREIGN"))
        throwNotSupported(QStringLiteral("The column constraint %1").arg(peek().text.toUpper()));
    fail();
}

ColumnDefinition Parser::parseColumn() {
    ColumnDefinition c;
    c.name = identifier();
    if (!peek().isIdentifier())
        fail();
    c.typeName = take().text;
    if (acceptSymbol("(")) {
        if (acceptWord("MAX")) {
            c.length = maxLength;
        } else {
            c.length = static_cast<int>(integerLiteral());
            if (acceptSymbol(","))
                c.scale = static_cast<int>(integerLiteral());
        }
        expectSymbol(")");
    }
    while (true) {
        if (acceptWord("IDENTITY")) {
            c.identity = true;
            if (acceptSymbol("(")) {
                c.seed = integerLiteral();
                expectSymbol(",");
                c.increment = integerLiteral();
                expectSymbol(")");
            }
        } else if (acceptWord("NULL")) {
            c.nullable = true;
        } else if (peek().isWord("NOT") && peek(1).isWord("NULL")) {
            pos_ += 2;
            c.nullable = false;
        } else if (acceptWord("COLLATE")) {
            c.collation = identifier();
        } else if (peek().isWord("CONSTRAINT") || peek().isWord("PRIMARY") ||
                   peek().isWord("UNIQUE") || peek().isWord("DEFAULT") || peek().isWord("CHECK") ||
                   peek().isWord("REFERENCES")) {
            parseColumnConstraint(c);
        } else {
            return c;
        }
    }
}

void Parser::parseTableConstraint(Statement& s) {
    if (acceptWord("CONSTRAINT"))
        s.primaryKeyName = identifier();
    if (!peek().isWord("PRIMARY"))
        throwNotSupported(QStringLiteral("The table constraint %1").arg(peek().text.toUpper()));
    expectWord("PRIMARY");
    expectWord("KEY");
    if (!acceptWord("CLUSTERED"))
        acceptWord("NONCLUSTERED");
    expectSymbol("(");
    do {
        s.tablePrimaryKey << identifier();
        if (!acceptWord("ASC"))
            acceptWord("DESC");
    } while (acceptSymbol(","));
    expectSymbol(")");
}

Statement Parser::parseCreateTable() {
    Statement s;
    s.kind = Statement::Kind::CreateTable;
    s.table = objectName();
    expectSymbol("(");
    do {
        if (peek().isWord("CONSTRAINT") || peek().isWord("PRIMARY") || peek().isWord("UNIQUE"))
            parseTableConstraint(s);
        else
            s.columns.push_back(parseColumn());
    } while (acceptSymbol(",") && !peek().isSymbol(")"));
    expectSymbol(")");
    if (acceptWord("ON"))
        identifier();
    if (acceptWord("TEXTIMAGE_ON"))
        identifier();
    return s;
}

// ---- rows ----

Statement Parser::parseSelect() {
    expectWord("SELECT");
    Statement s;
    s.kind = Statement::Kind::Select;
    if (acceptWord("DISTINCT"))
        s.distinct = true;
    else
        acceptWord("ALL");
    if (acceptWord("TOP")) {
        const bool parenthesised = acceptSymbol("(");
        s.top = integerLiteral();
        if (parenthesised)
            expectSymbol(")");
        if (peek().isWord("PERCENT") || peek().isWord("WITH"))
            throwNotSupported(QStringLiteral("TOP with PERCENT or WITH TIES"));
    }
    do
        s.items.push_back(parseSelectItem());
    while (acceptSymbol(","));
    if (peek().isWord("INTO"))
        throwNotSupported(QStringLiteral("SELECT INTO"));
    if (acceptWord("FROM")) {
        s.hasFrom = true;
        s.table = objectName();
        s.alias = optionalAlias();
        skipTableHints();
        if (peek().isSymbol(",") || peek().isWord("JOIN") || peek().isWord("INNER") ||
            peek().isWord("LEFT") || peek().isWord("RIGHT") || peek().isWord("CROSS") ||
            peek().isWord("FULL"))
            throwNotSupported(QStringLiteral("A select from several tables"));
    }
    if (acceptWord("WHERE"))
        s.where = expression();
    if (peek().isWord("GROUP") || peek().isWord("HAVING") || peek().isWord("UNION"))
        throwNotSupported(QStringLiteral("%1 in a select").arg(peek().text.toUpper()));
    if (acceptWord("ORDER")) {
        expectWord("BY");
        do {
            OrderItem item;
            item.expr = expression();
            if (acceptWord("DESC"))
                item.descending = true;
            else
                acceptWord("ASC");
            s.orderBy.push_back(std::move(item));
        } while (acceptSymbol(","));
    }
    if (peek().isWord("FOR") || peek().isWord("OPTION"))
        throwNotSupported(QStringLiteral("%1 in a select").arg(peek().text.toUpper()));
    return s;
}

void Parser::skipTableHints() {
    if (peek().isWord("WITH") && peek(1).isSymbol("(")) {
        pos_ += 2;
        while (!peek().isSymbol(")") && peek().kind != Token::Kind::End)
            take();
        expectSymbol(")");
    }
}

QString Parser::optionalAlias() {
    if (acceptWord("AS")) {
        if (peek().kind == Token::Kind::String)
            return take().text;
        return identifier();
    }
    if (atIdentifier())
        return take().text;
    if (peek().kind == Token::Kind::String && false)
        return take().text;
    return {};
}

SelectItem Parser::parseSelectItem() {
    SelectItem item;
    if (acceptSymbol("*"))
        return item;
    if (peek().isIdentifier() && peek(1).isSymbol(".") && peek(2).isSymbol("*")) {
        item.starQualifier = take().text;
        pos_ += 2;
        return item;
    }
    if (atIdentifier() && peek(1).isSymbol("=")) {
        item.alias = take().text;
        ++pos_;
        item.expr = expression();
        return item;
    }
    item.expr = expression();
    if (acceptWord("AS")) {
        item.alias = peek().kind == Token::Kind::String ? take().text : identifier();
    } else if (atIdentifier() || peek().kind == Token::Kind::String) {
        item.alias = take().text;
    }
    return item;
}

Statement Parser::parseInsert() {
    expectWord("INSERT");
    Statement s;
    s.kind = Statement::Kind::Insert;
    acceptWord("INTO");
    s.table = objectName();
    if (acceptSymbol("(")) {
        do
            s.insertColumns << identifier();
        while (acceptSymbol(","));
        expectSymbol(")");
    }
    if (peek().isWord("SELECT") || peek().isWord("EXEC") || peek().isWord("EXECUTE"))
        throwNotSupported(QStringLiteral("INSERT with %1").arg(peek().text.toUpper()));
    if (acceptWord("DEFAULT")) {
        expectWord("VALUES");
        s.valueRows.emplace_back();
        return s;
    }
    expectWord("VALUES");
    do {
        expectSymbol("(");
        std::vector<ExprPtr> row;
        do
            row.push_back(expression());
        while (acceptSymbol(","));
        expectSymbol(")");
        s.valueRows.push_back(std::move(row));
    } while (acceptSymbol(","));
    return s;
}

QString Parser::columnTarget() {
    QString name = identifier();
    while (acceptSymbol("."))
        name = identifier();
    return name;
}

Statement Parser::parseUpdate() {
    expectWord("UPDATE");
    Statement s;
    s.kind = Statement::Kind::Update;
    s.table = objectName();
    skipTableHints();
    expectWord("SET");
    do {
        QString column = columnTarget();
        expectSymbol("=");
        s.assignments.emplace_back(column, expression());
    } while (acceptSymbol(","));
    if (peek().isWord("FROM"))
        throwNotSupported(QStringLiteral("UPDATE with FROM"));
    if (acceptWord("WHERE"))
        s.where = expression();
    return s;
}

Statement Parser::parseDelete() {
    expectWord("DELETE");
    Statement s;
    s.kind = Statement::Kind::Delete;
    acceptWord("FROM");
    s.table = objectName();
    skipTableHints();
    if (peek().isWord("FROM"))
        throwNotSupported(QStringLiteral("DELETE with a second FROM"));
    if (acceptWord("WHERE"))
        s.where = expression();
    return s;
}

// ---- session options ----

Statement Parser::parseSet() {
    expectWord("SET");
    Statement s;
    s.kind = Statement::Kind::Set;
    if (peek().kind == Token::Kind::Variable)
        throwNotSupported(QStringLiteral("SET of a variable"));
    if (acceptWord("TRANSACTION")) {
        expectWord("ISOLATION");
        expectWord("LEVEL");
        s.option = QStringLiteral("TRANSACTION ISOLATION LEVEL");
        if (acceptWord("READ")) {
            if (!acceptWord("COMMITTED") && !acceptWord("UNCOMMITTED"))
                fail();
        } else if (acceptWord("REPEATABLE")) {
            expectWord("READ");
        } else if (!acceptWord("SNAPSHOT") && !acceptWord("SERIALIZABLE")) {
            fail();
        }
        return s;
    }
    QStringList options;
    do {
        if (peek().kind != Token::Kind::Word)
            fail();
        options << take().text.toUpper();
    } while (acceptSymbol(","));
    s.option = options.join(u',');
    const Token& value = peek();
    if (value.kind == Token::Kind::End || value.isSymbol(";"))
        fail();
    if (value.kind == Token::Kind::Symbol && !value.isSymbol("-"))
        fail();
    const bool negative = value.isSymbol("-");
    if (negative)
        take();
    s.optionValue = (negative ? QStringLiteral("-") : QString()) + take().text.toUpper();
    return s;
}

Statement Parser::parseTransaction(Statement::Kind kind) {
    take();
    Statement s;
    s.kind = kind;
    const bool begin = kind == Statement::Kind::BeginTransaction;
    const bool named = acceptWord("TRAN") || acceptWord("TRANSACTION");
    if (!named && !begin)
        acceptWord("WORK");
    if ((named || begin) && (peek().kind == Token::Kind::Variable || atIdentifier())) {
        if (peek().kind == Token::Kind::Variable)
            throwNotSupported(QStringLiteral("A transaction name in a variable"));
        s.names << take().text;
    }
    if (begin && peek().isWord("WITH"))
        throwNotSupported(QStringLiteral("BEGIN TRANSACTION WITH MARK"));
    return s;
}

Statement Parser::parseIf() {
    // Drivers send "IF @@TRANCOUNT > 0 COMMIT|ROLLBACK" to end whatever may be open.
    expectWord("IF");
    if (peek().kind == Token::Kind::Variable &&
        peek().text.compare(QLatin1String("@@TRANCOUNT"), Qt::CaseInsensitive) == 0 &&
        peek(1).isSymbol(">") && peek(2).kind == Token::Kind::Number &&
        peek(2).text == QLatin1String("0") &&
        (peek(3).isWord("COMMIT") || peek(3).isWord("ROLLBACK"))) {
        pos_ += 3;
        Statement s =
            parseTransaction(peek().isWord("COMMIT") ? Statement::Kind::CommitTransaction
                                                     : Statement::Kind::RollbackTransaction);
        s.onlyInTransaction = true;
        return s;
    }
    throwNotSupported(QStringLiteral("IF"));
}

} // namespace ztds::sql
