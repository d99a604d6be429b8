#include "devserver/sql/parser.h"

#include "devserver/sql/errors.h"
#include "devserver/sql/parser_internal.h"

namespace ztds::sql {

Parser::Parser(const QString& text, const Dialect& dialect)
    : text_(text), tokens_(tokenize(text)), dialect_(dialect) {}

std::vector<Statement> Parser::parseAll() {
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
        s.text =
            text_.mid(tokens_[start].offset, tokens_[pos_ - 1].endOffset - tokens_[start].offset);
        statements.push_back(std::move(s));
    }
    return statements;
}

const Token& Parser::peek(size_t ahead) const {
    return tokens_[std::min(pos_ + ahead, tokens_.size() - 1)];
}

const Token& Parser::take() {
    const Token& t = tokens_[pos_];
    if (pos_ + 1 < tokens_.size())
        ++pos_;
    return t;
}

void Parser::fail() const {
    size_t i = pos_;
    if (tokens_[i].kind == Token::Kind::End && i > 0)
        --i;
    const Token& t = tokens_[i];
    const bool keyword = t.kind == Token::Kind::Word && isReservedKeyword(t.text);
    throwSyntaxNear(t.text, keyword);
}

bool Parser::acceptWord(const char* word) {
    if (!peek().isWord(word))
        return false;
    ++pos_;
    return true;
}

void Parser::expectWord(const char* word) {
    if (!acceptWord(word))
        fail();
}

bool Parser::acceptSymbol(const char* symbol) {
    if (!peek().isSymbol(symbol))
        return false;
    ++pos_;
    return true;
}

void Parser::expectSymbol(const char* symbol) {
    if (!acceptSymbol(symbol))
        fail();
}

bool Parser::atIdentifier() const {
    const Token& t = peek();
    return t.kind == Token::Kind::QuotedIdentifier ||
           (t.kind == Token::Kind::Word && !isReservedKeyword(t.text));
}

QString Parser::identifier() {
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

ObjectName Parser::objectName() {
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

QString Parser::stringLiteral() {
    if (peek().kind != Token::Kind::String)
        fail();
    return take().text;
}

int64_t Parser::integerLiteral() {
    const bool negative = acceptSymbol("-");
    if (peek().kind != Token::Kind::Number)
        fail();
    bool ok = false;
    const int64_t v = take().text.toLongLong(&ok);
    if (!ok)
        fail();
    return negative ? -v : v;
}
std::vector<Statement> parseBatch(const QString& text, const Dialect& dialect) {
    return Parser(text, dialect).parseAll();
}

} // namespace ztds::sql
