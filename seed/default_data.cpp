#include "seed/default_data.h"

#include "db/batches.h"
#include "db/field_transfer.h"
#include "db/sql_literal.h"
#include "schema/table.h"

namespace zt::seed {

namespace {

// "select*from <table>" on a closed query: the one way every table is opened here.
void openTable(db::Query& query, const QString& table) {
    query.close();
    query.sqlClear();
    query.sqlAdd(QStringLiteral("select*from ") + table);
    query.open();
}

std::vector<TemplateColumn> columnsOfKind(const QStringList& names, Transfer transfer) {
    std::vector<TemplateColumn> columns;
    columns.reserve(names.size());
    for (const QString& name : names)
        columns.push_back({name, transfer});
    return columns;
}

QStringList numberedNames(int first, int last) {
    QStringList names;
    for (int n = first; n <= last; ++n)
        names << QString::number(n);
    return names;
}

std::vector<TemplateColumn> joined(std::initializer_list<std::vector<TemplateColumn>> parts) {
    std::vector<TemplateColumn> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

std::vector<TemplateColumn> text(const QStringList& names) {
    return columnsOfKind(names, Transfer::Text);
}

// model, ytmc as text; 1..20 as integers (col_num, row_num).
std::vector<TemplateColumn> layoutCountColumns() {
    return joined(
        {text({"model", "ytmc"}), columnsOfKind(numberedNames(1, 20), Transfer::Integer)});
}

// mc, zd as text; yesno boolean; lk text (line_yesno, show_line).
std::vector<TemplateColumn> lineSwitchColumns() {
    return joined({text({"mc", "zd"}), columnsOfKind({"yesno"}, Transfer::Boolean), text({"lk"})});
}

std::vector<TemplateTable> buildTemplateTables() {
    return {
        {"col_num", layoutCountColumns()},
        {"colrow_num",
         joined({text({"model", "ytmc"}), columnsOfKind({"col", "row"}, Transfer::Integer),
                 text(numberedNames(4, 20))})},
        {"hpszxxb", text({"bm",  "hh",   "jm",   "txm",  "qm",   "xh",   "gg",  "dw",
                          "dj",  "rbdj", "cshw", "sslb", "jjsx", "jjxx", "pz1", "pz2",
                          "pz3", "pz4",  "jk",   "bz",   "sj1",  "sj2",  "sj3"})},
        {"line_yesno", lineSwitchColumns()},
        {"print_colrow", joined({text({"model", "ytmc"}), text(numberedNames(1, 20))})},
        {"print_model", text({"ytmc", "mc", "model", "bz"})},
        {"row_num", layoutCountColumns()},
        {"show_line", lineSwitchColumns()},
        {"系统信息表",
         text({"yhmc",  "sjlj", "ksmc",  "tel",     "fax",      "dz",       "yb",   "bz",
               "xsdcd", "sffs", "shf",   "hpcx",    "sfgz",     "gzqx",     "sfqy", "qyrq",
               "yjcrq", "njc",  "njcqc", "picpath", "jj",       "sj",       "zjjj", "zjsj",
               "sj1",   "sj2",  "sj3",   "cbjj",    "cqysdate", "cqyfdate", "txsz", "skdate",
               "bdz",   "ys",   "jzb",   "ztds",    "zcxbd",    "fkc",      "bghs", "mrzk",
               "mrsl",  "xsdy", "pz1",   "pz2",     "pz3",      "pz4",      "pz5",  "pz6"})},
        {"打印设置表",
         text({"ytmc",      "ytzt",     "ytztdx",  "ytjc",   "ytshx",   "ytxt",      "ywmc",
               "ywwz",      "ywzt",     "ywztdx",  "ywjc",   "ywshx",   "ywxt",      "jsb",
               "jzb",       "jyb",      "jxb",     "btybj",  "zbybj",   "btzt",      "btwz",
               "btztdx",    "brzt",     "brwz",    "brztdx", "dygs",    "gswz",      "dyyh",
               "yhwz",      "dyym",     "ymwz",    "dyrq",   "rqwz",    "btjc",      "myhs",
               "bkys",      "yjbz2",    "yjbz2wz", "yjbz3",  "yjbz3wz", "checkdjbh", "checkdwmc",
               "checkckmc", "checkjsr", "djbhwz",  "dwmcwz", "ckmcwz",  "zhsjzt",    "zhsjztdx",
               "jsrwz",     "djbhbt",   "dwmcbt",  "ckmcbt", "jsrbt",   "ywbz",      "ytmc1",
               "bt_zt",     "bt_ztdx",  "bt_ztwz", "ywbzwz"})},
        {"打印设置表1", joined({text({"model", "ytmc"}), text(numberedNames(1, 28))})},
    };
}

// The column as the query layer describes the server's column of this type.
db::Column targetColumn(const schema::Column& declared) {
    db::Column column;
    column.name = declared.name;
    column.nullable = !declared.notNull;
    column.identity = declared.identity;
    column.primaryKey = declared.primaryKey;
    switch (declared.type) {
    case schema::ColumnType::NVarChar:
        column.kind = db::ColumnKind::Text;
        column.width = declared.length;
        break;
    case schema::ColumnType::NText:
        column.kind = db::ColumnKind::Text;
        break;
    case schema::ColumnType::Money:
        column.kind = db::ColumnKind::Money;
        break;
    case schema::ColumnType::Int:
    case schema::ColumnType::BigInt:
        column.kind = db::ColumnKind::Integer;
        break;
    case schema::ColumnType::SmallDateTime:
        column.kind = db::ColumnKind::DateTime;
        break;
    case schema::ColumnType::Float:
        column.kind = db::ColumnKind::Float;
        break;
    case schema::ColumnType::Bit:
        column.kind = db::ColumnKind::Boolean;
        break;
    }
    return column;
}

// One row for a table of the account set, its values converted as assigning them to the
// table's fields converts them.
class RowWriter {
public:
    explicit RowWriter(const QString& table) : table_(table) {
        const schema::Table* declared = schema::findTable(table);
        if (declared == nullptr)
            throw db::DbError(QStringLiteral("Invalid object name '%1'.").arg(table));
        declared_ = declared;
    }

    void assign(const QString& name, const QVariant& value) {
        names_ << name;
        values_ << db::valueForColumn(targetColumn(columnNamed(name)), value);
    }

    QString statement() {
        QString text = db::literalInsert(table_, names_, values_);
        names_.clear();
        values_.clear();
        return text;
    }

private:
    const schema::Column& columnNamed(const QString& name) const {
        for (const schema::Column& column : declared_->columns)
            if (column.name.compare(name, Qt::CaseInsensitive) == 0)
                return column;
        throw db::DbError(QStringLiteral("Invalid column name '%1'.").arg(name));
    }

    QString table_;
    const schema::Table* declared_ = nullptr;
    QStringList names_;
    QVariantList values_;
};

// What a template field gives in its transfer kind, as assigning it would hand it over.
QVariant transferred(db::Field from, Transfer kind) {
    switch (kind) {
    case Transfer::Text:
        return from.asString();
    case Transfer::Integer:
        return qlonglong(from.asInteger());
    case Transfer::Boolean:
        return from.asBoolean();
    }
    return {};
}

void appendTemplateRows(db::Query& source, const TemplateTable& table, QStringList& statements) {
    openTable(source, table.name);
    RowWriter row(table.name);
    for (; !source.eof(); source.next()) {
        for (const TemplateColumn& column : table.columns)
            row.assign(column.name, transferred(source.fieldByName(column.name), column.transfer));
        statements << row.statement();
    }
}

void addSuperAdministrator(QStringList& statements) {
    RowWriter row(QStringLiteral("用户信息表"));
    row.assign(QStringLiteral("yhmc"), superAdministratorName());
    statements << row.statement();
}

void grantAllRights(QStringList& statements) {
    RowWriter row(QStringLiteral("用户权限表"));
    for (int right = 1; right <= rightCount; ++right) {
        row.assign(QStringLiteral("yhmc"), superAdministratorName());
        row.assign(QStringLiteral("yhqx"), QStringLiteral("n%1").arg(right));
        row.assign(QStringLiteral("pd"), QStringLiteral("true"));
        statements << row.statement();
    }
}

} // namespace

std::vector<TemplateTable> templateTables() {
    return buildTemplateTables();
}

QString superAdministratorName() {
    return QStringLiteral("超级管理员");
}

QStringList defaultDataStatements(db::Query& source) {
    QStringList statements;
    addSuperAdministrator(statements);
    grantAllRights(statements);
    for (const TemplateTable& table : buildTemplateTables())
        appendTemplateRows(source, table, statements);
    source.close();
    return statements;
}

void copyTemplateTable(db::Query& source, db::Query& target, const TemplateTable& table) {
    QStringList statements;
    appendTemplateRows(source, table, statements);
    source.close();
    db::BatchPlan plan;
    plan.statementsPerBatch = rowsPerBatch;
    plan.transaction = true;
    db::executeInBatches(target, statements, plan);
}

void seedDefaultData(db::Query& source, db::Query& target, const SeedProgress& progress) {
    db::BatchPlan plan;
    plan.statementsPerBatch = rowsPerBatch;
    plan.transaction = true;
    plan.sent = progress;
    db::executeInBatches(target, defaultDataStatements(source), plan);
}

} // namespace zt::seed
