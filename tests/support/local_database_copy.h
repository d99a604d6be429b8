#pragma once
// A private copy of the local configuration database's template that the build makes
// (<build>/bin/data/CHWHDB.template.mdb), in a temporary directory, plus a plain SQLite look at it
// that does not go through the program's own data layer.

#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <sqlite3.h>

namespace zt::test {

class LocalDatabaseCopy {
public:
    LocalDatabaseCopy() {
        ok_ = dir_.isValid() && QFile::copy(builtPath(), path()) &&
              QFile::setPermissions(path(), QFile::ReadOwner | QFile::WriteOwner);
    }

    // The template, not the working copy beside the programs, which holds what was stored.
    static QString builtPath() {
        return QStringLiteral(ZT_BINARY_DIR "/bin/data/CHWHDB.template.mdb");
    }

    bool isValid() const { return ok_; }
    QString path() const { return dir_.filePath(QStringLiteral("CHWHDB.mdb")); }
    QString directory() const { return dir_.path(); }

    // The rows of a select, each row's values joined by '|', NULL as "<null>".
    QStringList rows(const QString& select) const {
        QStringList result;
        sqlite3* db = nullptr;
        if (sqlite3_open_v2(path().toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
            SQLITE_OK) {
            sqlite3_stmt* statement = nullptr;
            if (sqlite3_prepare_v2(db, select.toUtf8().constData(), -1, &statement, nullptr) ==
                SQLITE_OK) {
                while (sqlite3_step(statement) == SQLITE_ROW)
                    result << rowText(statement);
            } else {
                result << QStringLiteral("<error> ") + QString::fromUtf8(sqlite3_errmsg(db));
            }
            sqlite3_finalize(statement);
        }
        sqlite3_close(db);
        return result;
    }

private:
    static QString rowText(sqlite3_stmt* statement) {
        QStringList values;
        for (int i = 0; i < sqlite3_column_count(statement); ++i) {
            if (sqlite3_column_type(statement, i) == SQLITE_NULL)
                values << QStringLiteral("<null>");
            else
                values << QString::fromUtf8(
                    reinterpret_cast<const char*>(sqlite3_column_text(statement, i)));
        }
        return values.join(u'|');
    }

    QTemporaryDir dir_;
    bool ok_ = false;
};

} // namespace zt::test
