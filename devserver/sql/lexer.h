#pragma once
// Splits T-SQL text into tokens: words, [bracketed] and "quoted" identifiers, literals,
// @variables, symbols. Comments and blanks are dropped.

#include <QString>

#include <vector>

namespace ztds::sql {

struct Token {
    enum class Kind { Word, QuotedIdentifier, Number, Binary, String, Variable, Symbol, End };
    Kind kind = Kind::End;
    QString text; // identifier/literal content without quotes; binary: the hex digits after 0x
    bool national = false; // N'...'
    int line = 1;
    qsizetype offset = 0; // where the token starts in the text
    qsizetype endOffset = 0;

    bool isWord(const char* upperWord) const;
    bool isSymbol(const char* symbol) const;
    bool isIdentifier() const { return kind == Kind::Word || kind == Kind::QuotedIdentifier; }
};

// Throws SqlError for an unclosed quotation mark or comment.
std::vector<Token> tokenize(const QString& text);

// T-SQL's reserved keywords, which an unquoted identifier may not be.
bool isReservedKeyword(const QString& word);

} // namespace ztds::sql
