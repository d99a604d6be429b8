#pragma once
// The recursive-descent parser behind parseBatch, shared by its files: the token helpers
// and the batch in parser.cpp, statements in parser_statements.cpp, expressions in
// parser_expressions.cpp.

#include "devserver/sql/ast.h"
#include "devserver/sql/lexer.h"
#include "devserver/sql/parser.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ztds::sql {

class Parser {
public:
    Parser(const QString& text, const Dialect& dialect);
    std::vector<Statement> parseAll();

private:
    // The batch, and the tokens every rule reads (parser.cpp).
    const Token& peek(size_t ahead = 0) const;
    const Token& take();
    [[noreturn]] void fail() const;
    bool acceptWord(const char* word);
    void expectWord(const char* word);
    bool acceptSymbol(const char* symbol);
    void expectSymbol(const char* symbol);
    bool atIdentifier() const;
    QString identifier();
    ObjectName objectName();
    QString stringLiteral();
    int64_t integerLiteral();

    // ---- statements (parser_statements.cpp) ----
    Statement parseStatement(bool firstInBatch);

    // databases
    Statement parseCreate();
    Statement parseDrop();
    Statement parseUse();
    void parseDisk(Statement& s);
    void parseBackupOptions(Statement& s);
    Statement parseBackup();
    Statement parseRestore();
    // ALTER DATABASE name MODIFY NAME = new_name; the other ALTER DATABASE forms are refused.
    Statement parseAlterDatabase();
    // Whether the next tokens name the procedure, qualified or not (master..sp_renamedb).
    bool atProcedure(const char* bareName);
    // EXEC runs sp_renamedb only; any other procedure is refused as before.
    Statement parseExec();
    // procedure [[@name =] value [, ...]]: the session checks the arguments against the
    // procedure's parameters.
    Statement parseProcedureCall();

    // tables
    void parseColumnConstraint(ColumnDefinition& c);
    ColumnDefinition parseColumn();
    void parseTableConstraint(Statement& s);
    Statement parseCreateTable();

    // rows
    Statement parseSelect();
    void skipTableHints();
    QString optionalAlias();
    SelectItem parseSelectItem();
    Statement parseInsert();
    QString columnTarget();
    Statement parseUpdate();
    Statement parseDelete();

    // session options
    Statement parseSet();
    // BEGIN TRAN[SACTION] [name], COMMIT [TRAN[SACTION] | WORK] [name], ROLLBACK likewise.
    Statement parseTransaction(Statement::Kind kind);
    Statement parseIf();

    // ---- expressions (parser_expressions.cpp) ----
    ExprPtr expression();
    ExprPtr orExpr();
    ExprPtr andExpr();
    ExprPtr notExpr();
    ExprPtr predicate();
    ExprPtr additive();
    ExprPtr multiplicative();
    ExprPtr unary();
    ExprPtr numberLiteral(const QString& text);
    ExprPtr binaryLiteral(const QString& hexDigits);
    ExprPtr primary();
    ExprPtr columnReference();
    void castTarget(Expr& e);
    ExprPtr functionCall();

    const QString& text_;
    std::vector<Token> tokens_;
    Dialect dialect_;
    size_t pos_ = 0;
    int nesting_ = 0;
};

} // namespace ztds::sql
