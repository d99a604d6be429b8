#pragma once
// The local configuration store: a SQLite file opened read-write (never created).

#include "db/provider.h"

#include <QString>

#include <memory>

struct sqlite3;

namespace zt::db {

class SqliteProvider : public Provider {
public:
    // Throws DbError when the file is missing or cannot be opened.
    explicit SqliteProvider(const QString& path);
    ~SqliteProvider() override;

    ResultSet select(const QString& sql) override;
    void execute(const QString& sql) override;
    void insertRow(const ResultSet& result, Row& row, const QVector<bool>& assigned) override;
    void updateRow(const ResultSet& result, const Row& original, const Row& changed,
                   const QVector<bool>& assigned) override;
    void deleteRow(const ResultSet& result, const Row& row) override;

private:
    struct Closer {
        void operator()(sqlite3* db) const;
    };
    std::unique_ptr<sqlite3, Closer> db_;
};

} // namespace zt::db
