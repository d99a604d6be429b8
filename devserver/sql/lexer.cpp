#include "devserver/sql/lexer.h"

#include "devserver/sql/errors.h"

#include <QSet>

namespace ztds::sql {

namespace {

bool isIdentifierStart(QChar c) {
    return c.isLetter() || c == u'_' || c == u'#' || c.isHighSurrogate();
}

bool isIdentifierPart(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'#' || c == u'@' || c == u'$' || c.isMark() ||
           c.isSurrogate();
}

class Lexer {
public:
    explicit Lexer(const QString& text) : text_(text) {}

    std::vector<Token> run() {
        std::vector<Token> tokens;
        while (skipBlanksAndComments()) {
            Token t = next();
            t.endOffset = pos_;
            tokens.push_back(std::move(t));
        }
        Token end;
        end.line = line_;
        end.offset = end.endOffset = pos_;
        tokens.push_back(end);
        return tokens;
    }

private:
    QChar at(qsizetype i) const { return i < text_.size() ? text_.at(i) : QChar(); }

    void advance(qsizetype n = 1) {
        for (qsizetype i = 0; i < n && pos_ < text_.size(); ++i, ++pos_)
            if (text_.at(pos_) == u'\n')
                ++line_;
    }

    bool skipBlanksAndComments() {
        while (pos_ < text_.size()) {
            const QChar c = at(pos_);
            if (c.isSpace() || c == QChar(0xFEFF)) {
                advance();
            } else if (c == u'-' && at(pos_ + 1) == u'-') {
                while (pos_ < text_.size() && at(pos_) != u'\n')
                    advance();
            } else if (c == u'/' && at(pos_ + 1) == u'*') {
                skipBlockComment();
            } else {
                return true;
            }
        }
        return false;
    }

    void skipBlockComment() {
        int depth = 0;
        while (pos_ < text_.size()) {
            if (at(pos_) == u'/' && at(pos_ + 1) == u'*') {
                ++depth;
                advance(2);
            } else if (at(pos_) == u'*' && at(pos_ + 1) == u'/') {
                advance(2);
                if (--depth == 0)
                    return;
            } else {
                advance();
            }
        }
        throw SqlError(113, 15, 1, QStringLiteral("Missing end comment mark '*/'."));
    }

    Token next() {
        Token t;
        t.line = line_;
        t.offset = pos_;
        const QChar c = at(pos_);
        if ((c == u'N' || c == u'n') && at(pos_ + 1) == u'\'') {
            advance();
            t.kind = Token::Kind::String;
            t.national = true;
            t.text = quoted(u'\'', u'\'');
        } else if (c == u'\'') {
            t.kind = Token::Kind::String;
            t.text = quoted(u'\'', u'\'');
        } else if (c == u'[') {
            t.kind = Token::Kind::QuotedIdentifier;
            t.text = quoted(u'[', u']');
        } else if (c == u'"') {
            t.kind = Token::Kind::QuotedIdentifier;
            t.text = quoted(u'"', u'"');
        } else if (c == u'0' && (at(pos_ + 1) == u'x' || at(pos_ + 1) == u'X')) {
            t.kind = Token::Kind::Binary;
            t.text = hexDigits();
        } else if (c.isDigit() || (c == u'.' && at(pos_ + 1).isDigit())) {
            t.kind = Token::Kind::Number;
            t.text = number();
        } else if (c == u'@') {
            t.kind = Token::Kind::Variable;
            const qsizetype start = pos_;
            advance();
            while (pos_ < text_.size() && (isIdentifierPart(at(pos_))))
                advance();
            t.text = text_.mid(start, pos_ - start);
        } else if (isIdentifierStart(c)) {
            t.kind = Token::Kind::Word;
            const qsizetype start = pos_;
            while (pos_ < text_.size() && isIdentifierPart(at(pos_)))
                advance();
            t.text = text_.mid(start, pos_ - start);
        } else {
            t.kind = Token::Kind::Symbol;
            t.text = symbol();
        }
        return t;
    }

    QString quoted(QChar open, QChar close) {
        const qsizetype start = pos_;
        advance();
        QString content;
        while (pos_ < text_.size()) {
            const QChar c = at(pos_);
            if (c == close) {
                if (at(pos_ + 1) == close) {
                    content.append(c);
                    advance(2);
                    continue;
                }
                advance();
                return content;
            }
            content.append(c);
            advance();
        }
        const QString rest = text_.mid(start + 1);
        std::vector<ServerMessage> messages;
        messages.reserve(2);
        messages.push_back(makeMessage(
            105, 15, 1,
            QStringLiteral("Unclosed quotation mark after the character string '%1'.").arg(rest)));
        if (open == u'\'')
            messages.push_back(
                makeMessage(102, 15, 1, QStringLiteral("Incorrect syntax near '%1'.").arg(rest)));
        throw SqlError(std::move(messages));
    }

    // 0x41: a binary constant; "0x" alone is an empty one.
    QString hexDigits() {
        advance(2);
        const qsizetype start = pos_;
        while (isHexDigit(at(pos_)))
            advance();
        return text_.mid(start, pos_ - start);
    }

    static bool isHexDigit(QChar c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    }

    QString number() {
        const qsizetype start = pos_;
        while (at(pos_).isDigit())
            advance();
        if (at(pos_) == u'.') {
            advance();
            while (at(pos_).isDigit())
                advance();
        }
        if ((at(pos_) == u'e' || at(pos_) == u'E') &&
            (at(pos_ + 1).isDigit() ||
             ((at(pos_ + 1) == u'+' || at(pos_ + 1) == u'-') && at(pos_ + 2).isDigit()))) {
            advance(2);
            while (at(pos_).isDigit())
                advance();
        }
        return text_.mid(start, pos_ - start);
    }

    QString symbol() {
        static const char* const twoChar[] = {"<>", "!=", "<=", ">=", "!<", "!>"};
        for (const char* s : twoChar) {
            if (at(pos_) == QLatin1Char(s[0]) && at(pos_ + 1) == QLatin1Char(s[1])) {
                advance(2);
                return QString::fromLatin1(s);
            }
        }
        const QString one(at(pos_));
        advance();
        return one;
    }

    const QString& text_;
    qsizetype pos_ = 0;
    int line_ = 1;
};

} // namespace

bool Token::isWord(const char* upperWord) const {
    return kind == Kind::Word && text.compare(QLatin1String(upperWord), Qt::CaseInsensitive) == 0;
}

bool Token::isSymbol(const char* s) const {
    return kind == Kind::Symbol && text == QLatin1String(s);
}

std::vector<Token> tokenize(const QString& text) {
    return Lexer(text).run();
}

// Transact-SQL's reserved keywords, which a name must bracket to use.
bool isReservedKeyword(const QString& word) {
    static const QSet<QString> words = [] {
        const QString list = QStringLiteral(
            "ADD ALL ALTER AND ANY AS ASC AUTHORIZATION BACKUP BEGIN BETWEEN BREAK BROWSE BULK BY "
            "CASCADE CASE CHECK CHECKPOINT CLOSE CLUSTERED COALESCE COLLATE COLUMN COMMIT COMPUTE "
            "CONSTRAINT CONTAINS CONTAINSTABLE CONTINUE CONVERT CREATE CROSS CURRENT CURRENT_DATE "
            "CURRENT_TIME CURRENT_TIMESTAMP CURRENT_USER CURSOR DATABASE DBCC DEALLOCATE DECLARE "
            "DEFAULT DELETE DENY DESC DISK DISTINCT DISTRIBUTED DOUBLE DROP DUMP ELSE END ERRLVL "
            "ESCAPE EXCEPT EXEC EXECUTE EXISTS EXIT EXTERNAL FETCH FILE FILLFACTOR FOR FOREIGN "
            "FREETEXT FREETEXTTABLE FROM FULL FUNCTION GOTO GRANT GROUP HAVING HOLDLOCK IDENTITY "
            "IDENTITY_INSERT IDENTITYCOL IF IN INDEX INNER INSERT INTERSECT INTO IS JOIN KEY KILL "
            "LEFT LIKE LINENO LOAD MERGE NATIONAL NOCHECK NONCLUSTERED NOT NULL NULLIF OF OFF "
            "OFFSETS ON OPEN OPENDATASOURCE OPENQUERY OPENROWSET OPENXML OPTION OR ORDER OUTER "
            "OVER PERCENT PIVOT PLAN PRECISION PRIMARY PRINT PROC PROCEDURE PUBLIC RAISERROR READ "
            "READTEXT RECONFIGURE REFERENCES REPLICATION RESTORE RESTRICT RETURN REVERT REVOKE "
            "RIGHT ROLLBACK ROWCOUNT ROWGUIDCOL RULE SAVE SCHEMA SECURITYAUDIT SELECT "
            "SEMANTICKEYPHRASETABLE SEMANTICSIMILARITYDETAILSTABLE SEMANTICSIMILARITYTABLE "
            "SESSION_USER SET SETUSER SHUTDOWN SOME STATISTICS SYSTEM_USER TABLE TABLESAMPLE "
            "TEXTSIZE THEN TO TOP TRAN TRANSACTION TRIGGER TRUNCATE TRY_CONVERT TSEQUAL UNION "
            "UNIQUE UNPIVOT UPDATE UPDATETEXT USE USER VALUES VARYING VIEW WAITFOR WHEN WHERE "
            "WHILE WITH WITHIN WRITETEXT");
        const QStringList split = list.split(u' ');
        return QSet<QString>(split.begin(), split.end());
    }();
    return words.contains(word.toUpper());
}

} // namespace ztds::sql
