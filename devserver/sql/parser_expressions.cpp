// Expressions, by precedence from OR down to literals, column references and function calls.

#include "devserver/sql/errors.h"
#include "devserver/sql/numeric.h"
#include "devserver/sql/parser_internal.h"

namespace ztds::sql {

namespace {

// SQL Server refuses expressions nested beyond its limits; so do we, before the
// recursion of parsing or evaluating them could exhaust the stack.
[[noreturn]] void throwTooDeep() {
    throw SqlError(191, 15, 1,
                   QStringLiteral("Some part of your SQL statement is nested too deeply. "
                                  "Rewrite the query or break it up into smaller queries."));
}

// Records how deep the finished node's tree is, refusing one nested beyond 1000 levels.
ExprPtr withCheckedDepth(ExprPtr e) {
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

ExprPtr makeBinary(const QString& op, ExprPtr l, ExprPtr r) {
    auto e = std::make_unique<Expr>();
    e->kind = Expr::Kind::Binary;
    e->op = op;
    e->args.push_back(std::move(l));
    e->args.push_back(std::move(r));
    return withCheckedDepth(std::move(e));
}

void negateLiteral(TypedValue& t) {
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

TypeTag castTag(const QString& type) {
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

} // namespace

ExprPtr Parser::expression() {
    NestingGuard guard(nesting_);
    return orExpr();
}

ExprPtr Parser::orExpr() {
    ExprPtr left = andExpr();
    while (acceptWord("OR"))
        left = makeBinary(QStringLiteral("OR"), std::move(left), andExpr());
    return left;
}

ExprPtr Parser::andExpr() {
    ExprPtr left = notExpr();
    while (acceptWord("AND"))
        left = makeBinary(QStringLiteral("AND"), std::move(left), notExpr());
    return left;
}

ExprPtr Parser::notExpr() {
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

ExprPtr Parser::predicate() {
    ExprPtr left = additive();
    static const char* const comparisons[] = {"=", "<>", "!=", "<=", ">=", "<", ">", "!<", "!>"};
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
    const bool negated = peek().isWord("NOT") && (peek(1).isWord("LIKE") || peek(1).isWord("IN") ||
                                                  peek(1).isWord("BETWEEN"));
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

ExprPtr Parser::additive() {
    ExprPtr left = multiplicative();
    while (peek().isSymbol("+") || peek().isSymbol("-")) {
        const QString op = take().text;
        left = makeBinary(op, std::move(left), multiplicative());
    }
    return left;
}

ExprPtr Parser::multiplicative() {
    ExprPtr left = unary();
    while (peek().isSymbol("*") || peek().isSymbol("/") || peek().isSymbol("%")) {
        const QString op = take().text;
        left = makeBinary(op, std::move(left), unary());
    }
    return left;
}

ExprPtr Parser::unary() {
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

ExprPtr Parser::numberLiteral(const QString& text) {
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

ExprPtr Parser::binaryLiteral(const QString& hexDigits) {
    auto e = std::make_unique<Expr>();
    e->kind = Expr::Kind::Literal;
    e->literal.type = TypeTag::VarBinary;
    // An odd count of digits reads as if a leading 0 were written.
    const QString even = hexDigits.size() % 2 ? u'0' + hexDigits : hexDigits;
    e->literal.value = QByteArray::fromHex(even.toLatin1());
    return withCheckedDepth(std::move(e));
}

ExprPtr Parser::primary() {
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

ExprPtr Parser::columnReference() {
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

void Parser::castTarget(Expr& e) {
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
    if (numeric &&
        (e.castLength < 1 || e.castLength > 38 || e.castScale < 0 || e.castScale > e.castLength))
        throw SqlError(1001, 15, 1,
                       QStringLiteral("Line 1: Length or precision specification %1 is invalid.")
                           .arg(e.castLength));
}

ExprPtr Parser::functionCall() {
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

} // namespace ztds::sql
