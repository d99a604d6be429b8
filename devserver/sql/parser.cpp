#include "devserver/sql/parser.h"

#include "devserver/sql/errors.h"
#include "devserver/sql/lexer.h"
#include "devserver/sql/numeric.h"

namespace ztds::sql {

namespace {

class Parser {
public:
    Parser(const QString& text, const Dialect& dialect)
        : text_(text), tokens_(tokenize(text)), dialect_(dialect) {}

    std::vector<Statement> parseAll() {
        std::vector<Statement> statements;
        while (true) {
            while (peek().isSymbol(";"))
                ++pos_;
            if (peek().kind == Token::Kind::End)
                break;
            const size_t start = pos_;
            Statement s;
            try {
                s = parseStatement(statements.empty());
            } catch (SqlError& e) {
                for (auto& m : e.messages())
                    m.line = tokens_[std::min(pos_, tokens_.size() - 1)].line;
                throw;
            }
            s.line = tokens_[start].line;
            s.text = text_.mid(tokens_[start].offset,
                               tokens_[pos_ - 1].endOffset - tokens_[start].offset);
            statements.push_back(std::move(s));
        }
        return statements;
    }

private:
    const Token& peek(size_t ahead = 0) const {
        return tokens_[std::min(pos_ + ahead, tokens_.size() - 1)];
    }
    const Token& take() {
        const Token& t = tokens_[pos_];
        if (pos_ + 1 < tokens_.size())
            ++pos_;
        return t;
    }

    [[noreturn]] void fail() const {
        size_t i = pos_;
        if (tokens_[i].kind == Token::Kind::End && i > 0)
            --i;
        const Token& t = tokens_[i];
        const bool keyword = t.kind == Token::Kind::Word && isReservedKeyword(t.text);
        throwSyntaxNear(t.text, keyword);
    }

    bool acceptWord(const char* word) {
        if (!peek().isWord(word))
            return false;
        ++pos_;
        return true;
    }
    void expectWord(const char* word) {
        if (!acceptWord(word))
            fail();
    }
    bool acceptSymbol(const char* symbol) {
        if (!peek().isSymbol(symbol))
            return false;
        ++pos_;
        return true;
    }
    void expectSymbol(const char* symbol) {
        if (!acceptSymbol(symbol))
            fail();
    }

    bool atIdentifier() const {
        const Token& t = peek();
        return t.kind == Token::Kind::QuotedIdentifier ||
               (t.kind == Token::Kind::Word && !isReservedKeyword(t.text));
    }
    QString identifier() {
        if (!atIdentifier())
            fail();
        if (peek().kind == Token::Kind::QuotedIdentifier && peek().text.isEmpty())
            throw SqlError(1038, 15, 4,
                           QStringLiteral("An object or column name is missing or empty. For "
                                          "SELECT INTO statements, verify each column has a name. "
                                          "For other statements, look for empty alias names. "
                                          "Aliases defined as \"\" or [] are not allowed. Change "
                                          "the alias to a valid name."));
        return take().text;
    }

    ObjectName objectName() {
        ObjectName name;
        name.parts << identifier();
        while (peek().isSymbol(".")) {
            ++pos_;
            if (peek().isSymbol(".")) { // db..table: the default schema
                name.parts << QString();
                continue;
            }
            name.parts << identifier();
        }
        if (name.parts.size() > 3)
            throwNotSupported(QStringLiteral("A four-part object name"));
        return name;
    }

    QString stringLiteral() {
        if (peek().kind != Token::Kind::String)
            fail();
        return take().text;
    }

    int64_t integerLiteral() {
        const bool negative = acceptSymbol("-");
        if (peek().kind != Token::Kind::Number)
            fail();
        bool ok = false;
        const int64_t v = take().text.toLongLong(&ok);
        if (!ok)
            fail();
        return negative ? -v : v;
    }

    Statement parseStatement(bool firstInBatch) {
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

    Statement parseCreate() {
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

    Statement parseDrop() {
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

    Statement parseUse() {
        expectWord("USE");
        Statement s;
        s.kind = Statement::Kind::Use;
        s.names << identifier();
        return s;
    }

    void parseDisk(Statement& s) {
        if (peek().isWord("URL") || peek().isWord("TAPE"))
            throwNotSupported(QStringLiteral("A backup device other than DISK"));
        expectWord("DISK");
        expectSymbol("=");
        s.path = stringLiteral();
        if (peek().isSymbol(","))
            throwNotSupported(QStringLiteral("A striped backup over several files"));
    }

    void parseBackupOptions(Statement& s) {
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

    Statement parseBackup() {
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

    Statement parseRestore() {
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

    // ALTER DATABASE name MODIFY NAME = new_name; the other ALTER DATABASE forms are refused.
    Statement parseAlterDatabase() {
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

    // Whether the next tokens name the procedure, qualified or not (master..sp_renamedb).
    bool atProcedure(const char* bareName) {
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

    // EXEC runs sp_renamedb only; any other procedure is refused as before.
    Statement parseExec() {
        const QString verb = peek().text.toUpper();
        ++pos_;
        if (!atProcedure("sp_renamedb"))
            throwNotSupported(QStringLiteral("The statement %1").arg(verb));
        return parseProcedureCall();
    }

    // procedure [[@name =] value [, ...]]: the session checks the arguments against the
    // procedure's parameters.
    Statement parseProcedureCall() {
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

    void parseColumnConstraint(ColumnDefinition& c) {
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
            throwNotSupported(
                QStringLiteral("The column constraint %1").arg(peek().text.toUpper()));
        fail();
    }

    ColumnDefinition parseColumn() {
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
                       peek().isWord("UNIQUE") || peek().isWord("DEFAULT") ||
                       peek().isWord("CHECK") || peek().isWord("REFERENCES")) {
                parseColumnConstraint(c);
            } else {
                return c;
            }
        }
    }

    void parseTableConstraint(Statement& s) {
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

    Statement parseCreateTable() {
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

    Statement parseSelect() {
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

    void skipTableHints() {
        if (peek().isWord("WITH") && peek(1).isSymbol("(")) {
            pos_ += 2;
            while (!peek().isSymbol(")") && peek().kind != Token::Kind::End)
                take();
            expectSymbol(")");
        }
    }

    QString optionalAlias() {
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

    SelectItem parseSelectItem() {
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

    Statement parseInsert() {
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

    QString columnTarget() {
        QString name = identifier();
        while (acceptSymbol("."))
            name = identifier();
        return name;
    }

    Statement parseUpdate() {
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

    Statement parseDelete() {
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

    Statement parseSet() {
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

    // BEGIN TRAN[SACTION] [name], COMMIT [TRAN[SACTION] | WORK] [name], ROLLBACK likewise.
    Statement parseTransaction(Statement::Kind kind) {
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

    Statement parseIf() {
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

    // ---- expressions ----

    // SQL Server refuses expressions nested beyond its limits; so do we, before the
    // recursion of parsing or evaluating them could exhaust the stack.
    [[noreturn]] static void throwTooDeep() {
        throw SqlError(191, 15, 1,
                       QStringLiteral("Some part of your SQL statement is nested too deeply. "
                                      "Rewrite the query or break it up into smaller queries."));
    }

    // Records how deep the finished node's tree is, refusing one nested beyond 1000 levels.
    static ExprPtr withCheckedDepth(ExprPtr e) {
        int deepest = 0;
        for (const auto& a : e->args)
            deepest = std::max(deepest, a->depth);
        e->depth = deepest + 1;
        if (e->depth > 1000)
            throwTooDeep();
        return e;
    }

    class NestingGuard {
    public:
        explicit NestingGuard(int& depth) : depth_(depth) {
            if (++depth_ > 128)
                throwTooDeep();
        }
        ~NestingGuard() { --depth_; }
        NestingGuard(const NestingGuard&) = delete;
        NestingGuard& operator=(const NestingGuard&) = delete;

    private:
        int& depth_;
    };

    static ExprPtr makeBinary(const QString& op, ExprPtr l, ExprPtr r) {
        auto e = std::make_unique<Expr>();
        e->kind = Expr::Kind::Binary;
        e->op = op;
        e->args.push_back(std::move(l));
        e->args.push_back(std::move(r));
        return withCheckedDepth(std::move(e));
    }

    ExprPtr expression() {
        NestingGuard guard(nesting_);
        return orExpr();
    }

    ExprPtr orExpr() {
        ExprPtr left = andExpr();
        while (acceptWord("OR"))
            left = makeBinary(QStringLiteral("OR"), std::move(left), andExpr());
        return left;
    }

    ExprPtr andExpr() {
        ExprPtr left = notExpr();
        while (acceptWord("AND"))
            left = makeBinary(QStringLiteral("AND"), std::move(left), notExpr());
        return left;
    }

    ExprPtr notExpr() {
        NestingGuard guard(nesting_);
        if (acceptWord("NOT")) {
            auto e = std::make_unique<Expr>();
            e->kind = Expr::Kind::Unary;
            e->op = QStringLiteral("NOT");
            e->args.push_back(notExpr());
            return withCheckedDepth(std::move(e));
        }
        return predicate();
    }

    ExprPtr predicate() {
        ExprPtr left = additive();
        static const char* const comparisons[] = {
            "=", "<>", "!=", "<=", ">=", "<", ">", "!<", "!>"};
        for (const char* op : comparisons) {
            if (acceptSymbol(op)) {
                QString normalized = QString::fromLatin1(op);
                if (normalized == QLatin1String("!="))
                    normalized = QStringLiteral("<>");
                else if (normalized == QLatin1String("!<"))
                    normalized = QStringLiteral(">=");
                else if (normalized == QLatin1String("!>"))
                    normalized = QStringLiteral("<=");
                return makeBinary(normalized, std::move(left), additive());
            }
        }
        if (acceptWord("IS")) {
            auto e = std::make_unique<Expr>();
            e->kind = Expr::Kind::IsNull;
            e->negated = acceptWord("NOT");
            expectWord("NULL");
            e->args.push_back(std::move(left));
            return withCheckedDepth(std::move(e));
        }
        const bool negated =
            peek().isWord("NOT") &&
            (peek(1).isWord("LIKE") || peek(1).isWord("IN") || peek(1).isWord("BETWEEN"));
        if (negated)
            ++pos_;
        if (acceptWord("LIKE")) {
            auto e = std::make_unique<Expr>();
            e->kind = Expr::Kind::Like;
            e->negated = negated;
            e->args.push_back(std::move(left));
            e->args.push_back(additive());
            if (acceptWord("ESCAPE"))
                e->args.push_back(additive());
            return withCheckedDepth(std::move(e));
        }
        if (acceptWord("IN")) {
            auto e = std::make_unique<Expr>();
            e->kind = Expr::Kind::In;
            e->negated = negated;
            e->args.push_back(std::move(left));
            expectSymbol("(");
            if (peek().isWord("SELECT"))
                throwNotSupported(QStringLiteral("A subquery"));
            do
                e->args.push_back(expression());
            while (acceptSymbol(","));
            expectSymbol(")");
            return withCheckedDepth(std::move(e));
        }
        if (acceptWord("BETWEEN")) {
            auto e = std::make_unique<Expr>();
            e->kind = Expr::Kind::Between;
            e->negated = negated;
            e->args.push_back(std::move(left));
            e->args.push_back(additive());
            expectWord("AND");
            e->args.push_back(additive());
            return withCheckedDepth(std::move(e));
        }
        if (negated)
            fail();
        return left;
    }

    ExprPtr additive() {
        ExprPtr left = multiplicative();
        while (peek().isSymbol("+") || peek().isSymbol("-")) {
            const QString op = take().text;
            left = makeBinary(op, std::move(left), multiplicative());
        }
        return left;
    }

    ExprPtr multiplicative() {
        ExprPtr left = unary();
        while (peek().isSymbol("*") || peek().isSymbol("/") || peek().isSymbol("%")) {
            const QString op = take().text;
            left = makeBinary(op, std::move(left), unary());
        }
        return left;
    }

    ExprPtr unary() {
        NestingGuard guard(nesting_);
        if (peek().isSymbol("-") || peek().isSymbol("+")) {
            const QString op = take().text;
            ExprPtr operand = unary();
            if (op == QLatin1String("+"))
                return operand;
            if (operand->kind == Expr::Kind::Literal && isNumeric(operand->literal.type)) {
                negateLiteral(operand->literal);
                return operand;
            }
            auto e = std::make_unique<Expr>();
            e->kind = Expr::Kind::Unary;
            e->op = op;
            e->args.push_back(std::move(operand));
            return withCheckedDepth(std::move(e));
        }
        return primary();
    }

    static void negateLiteral(TypedValue& t) {
        if (auto* i = std::get_if<int64_t>(&t.value)) {
            *i = -*i;
            if (t.type == TypeTag::BigInt && *i == -2147483648LL)
                t.type = TypeTag::Int;
        } else if (auto* d = std::get_if<double>(&t.value)) {
            *d = -*d;
        } else if (auto* n = std::get_if<NumericValue>(&t.value)) {
            n->unscaled = -n->unscaled; // at most 38 digits: never the 128-bit minimum
        }
    }

    ExprPtr numberLiteral(const QString& text) {
        auto e = std::make_unique<Expr>();
        e->kind = Expr::Kind::Literal;
        bool ok = false;
        const qlonglong v = text.toLongLong(&ok);
        if (ok) {
            e->literal.type = (v > 2147483647LL) ? TypeTag::BigInt : TypeTag::Int;
            e->literal.value = int64_t{v};
        } else if (const auto exact = parseNumeric(text)) {
            // A constant with a decimal point, or an integer beyond bigint, is numeric(p,s),
            // kept exact until converted.
            e->literal.type = TypeTag::Numeric;
            e->literal.value = *exact;
        } else if (!text.contains(u'e', Qt::CaseInsensitive)) {
            throw SqlError(1007, 15, 1,
                           QStringLiteral("The number '%1' is out of the range for numeric "
                                          "representation (maximum precision 38).")
                               .arg(text));
        } else {
            e->literal.type = TypeTag::Float;
            e->literal.value = text.toDouble();
        }
        return withCheckedDepth(std::move(e));
    }

    ExprPtr binaryLiteral(const QString& hexDigits) {
        auto e = std::make_unique<Expr>();
        e->kind = Expr::Kind::Literal;
        e->literal.type = TypeTag::VarBinary;
        // An odd count of digits reads as if a leading 0 were written.
        const QString even = hexDigits.size() % 2 ? u'0' + hexDigits : hexDigits;
        e->literal.value = QByteArray::fromHex(even.toLatin1());
        return withCheckedDepth(std::move(e));
    }

    ExprPtr primary() {
        const Token& t = peek();
        auto e = std::make_unique<Expr>();
        switch (t.kind) {
        case Token::Kind::Number:
            return numberLiteral(take().text);
        case Token::Kind::Binary:
            return binaryLiteral(take().text);
        case Token::Kind::String:
            e->kind = Expr::Kind::Literal;
            e->literal.type = t.national ? TypeTag::NVarChar : TypeTag::VarChar;
            e->literal.value = take().text;
            return withCheckedDepth(std::move(e));
        case Token::Kind::Variable:
            if (t.text.startsWith(QLatin1String("@@"))) {
                e->kind = Expr::Kind::Global;
                e->name = take().text.toUpper();
                return withCheckedDepth(std::move(e));
            }
            e->kind = Expr::Kind::Parameter;
            e->name = take().text;
            return withCheckedDepth(std::move(e));
        case Token::Kind::Symbol:
            if (acceptSymbol("(")) {
                if (peek().isWord("SELECT"))
                    throwNotSupported(QStringLiteral("A subquery"));
                ExprPtr inner = expression();
                expectSymbol(")");
                return inner;
            }
            fail();
        case Token::Kind::Word:
            if (t.isWord("NULL")) {
                take();
                e->kind = Expr::Kind::Literal;
                return withCheckedDepth(std::move(e));
            }
            if (t.isWord("CASE") || t.isWord("EXISTS"))
                throwNotSupported(t.text.toUpper());
            if (peek(1).isSymbol("("))
                return functionCall();
            if (isReservedKeyword(t.text) && !t.isWord("CURRENT_TIMESTAMP"))
                fail();
            if (t.isWord("CURRENT_TIMESTAMP")) {
                take();
                e->kind = Expr::Kind::Function;
                e->name = QStringLiteral("GETDATE");
                return withCheckedDepth(std::move(e));
            }
            return columnReference();
        case Token::Kind::QuotedIdentifier:
            return columnReference();
        case Token::Kind::End:
            fail();
        }
        fail();
    }

    ExprPtr columnReference() {
        QStringList parts;
        parts << take().text;
        while (peek().isSymbol(".") && peek(1).isIdentifier()) {
            ++pos_;
            parts << take().text;
        }
        auto e = std::make_unique<Expr>();
        e->kind = Expr::Kind::Column;
        e->name = parts.takeLast();
        e->qualifier = parts.join(u'.');
        return withCheckedDepth(std::move(e));
    }

    static TypeTag castTag(const QString& type) {
        static const std::pair<const char*, TypeTag> types[] = {
            {"int", TypeTag::Int},
            {"bigint", TypeTag::BigInt},
            {"smallint", TypeTag::SmallInt},
            {"tinyint", TypeTag::TinyInt},
            {"bit", TypeTag::Bit},
            {"float", TypeTag::Float},
            {"real", TypeTag::Real},
            {"money", TypeTag::Money},
            {"decimal", TypeTag::Numeric},
            {"numeric", TypeTag::Numeric},
            {"datetime", TypeTag::DateTime},
            {"smalldatetime", TypeTag::SmallDateTime},
            {"datetime2", TypeTag::DateTime2},
            {"nvarchar", TypeTag::NVarChar},
            {"nchar", TypeTag::NChar},
            {"varchar", TypeTag::VarChar},
            {"char", TypeTag::Char},
            {"varbinary", TypeTag::VarBinary},
            {"uniqueidentifier", TypeTag::UniqueIdentifier},
            {"sysname", TypeTag::NVarChar},
            {"ntext", TypeTag::NText}};
        for (const auto& [name, tag] : types)
            if (type == QLatin1String(name))
                return tag;
        return TypeTag::Null;
    }

    void castTarget(Expr& e) {
        if (!peek().isIdentifier())
            fail();
        const QString type = take().text.toLower();
        e.castType = castTag(type);
        if (e.castType == TypeTag::Null)
            throwNotSupported(QStringLiteral("CAST to %1").arg(type));
        // Without a length character and binary types take 30; numeric is numeric(18, 0).
        const bool numeric = e.castType == TypeTag::Numeric;
        e.castLength = type == QLatin1String("sysname") ? 128 : numeric ? 18 : 30;
        if (acceptSymbol("(")) {
            if (peek().isWord("MAX") && !dialect_.maxTypes)
                throw SqlError(
                    170, 15, 1,
                    QStringLiteral("Line %1: Incorrect syntax near 'max'.").arg(peek().line));
            if (acceptWord("MAX"))
                e.castLength = maxLength;
            else
                e.castLength = static_cast<int>(integerLiteral());
            if (acceptSymbol(","))
                e.castScale = static_cast<int>(integerLiteral());
            expectSymbol(")");
        }
        if (numeric && (e.castLength < 1 || e.castLength > 38 || e.castScale < 0 ||
                        e.castScale > e.castLength))
            throw SqlError(
                1001, 15, 1,
                QStringLiteral("Line 1: Length or precision specification %1 is invalid.")
                    .arg(e.castLength));
    }

    ExprPtr functionCall() {
        auto e = std::make_unique<Expr>();
        e->kind = Expr::Kind::Function;
        e->name = take().text.toUpper();
        expectSymbol("(");
        if (e->name == QLatin1String("CAST")) {
            e->args.push_back(expression());
            expectWord("AS");
            castTarget(*e);
            expectSymbol(")");
            return withCheckedDepth(std::move(e));
        }
        if (e->name == QLatin1String("CONVERT")) {
            castTarget(*e);
            expectSymbol(",");
            e->args.push_back(expression());
            if (acceptSymbol(","))
                e->args.push_back(expression()); // style: only the default forms are produced
            expectSymbol(")");
            return withCheckedDepth(std::move(e));
        }
        if (acceptSymbol("*")) {
            e->star = true;
        } else if (!peek().isSymbol(")")) {
            if (acceptWord("DISTINCT"))
                throwNotSupported(QStringLiteral("DISTINCT in an aggregate"));
            do
                e->args.push_back(expression());
            while (acceptSymbol(","));
        }
        expectSymbol(")");
        return withCheckedDepth(std::move(e));
    }

    const QString& text_;
    std::vector<Token> tokens_;
    Dialect dialect_;
    size_t pos_ = 0;
    int nesting_ = 0;
};

} // namespace

std::vector<Statement> parseBatch(const QString& text, const Dialect& dialect) {
    return Parser(text, dialect).parseAll();
}

} // namespace ztds::sql
