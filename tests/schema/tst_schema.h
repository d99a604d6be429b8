#pragma once
// One test of the schema unit: the table data and statement texts need no server; the
// creation procedure runs against a private zt-devserver started on first use.

#include "tests/support/devserver_process.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

namespace zt::db {
class Query;
}

class TestSchema : public QObject {
    Q_OBJECT

private slots:
    // The data and the statements (tst_schema_tables.cpp).
    void holdsAllTables();
    void columnsPerType_data();
    void columnsPerType();
    void identityColumns();
    void primaryKeys();
    void furtherNotNullColumns();
    void nvarcharLengthsInUse();
    void tableList_data();
    void tableList();
    void creationOrderAscendsByCharacterCode();
    void columnNamesAreUniquePerTable();
    void statementText_data();
    void statementText();
    void everyStatementSeparatesAllButTheLastColumn();

    // The creation procedure on a server (tst_schema_create.cpp).
    void freshDatabaseReceivesEveryTableEmpty();
    void catalogColumnsMatchTheDeclarations();
    void keysAreTheDeclaredOnes();
    void stopsAtTheFirstTableThatExists();
    void goodsCodeKeyIgnoresLetterCase();
    void quantityRequiredOnGoodsLinesOnly();
    void tableWithoutKeyAcceptsEqualRows();
    void cleanupTestCase();

private:
    bool serverRunning();
    QString connectionString(const QString& database) const;
    void createDatabase(const QString& name);
    void createAccountSet(const QString& name);
    QStringList tableNames(const QString& database);

    std::unique_ptr<zt::test::DevServerProcess> server_;
};
