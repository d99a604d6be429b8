#include "seed/default_data.h"

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

void transfer(db::Field from, db::Field to, Transfer kind) {
    switch (kind) {
    case Transfer::Text:
        to.setString(from.asString());
        return;
    case Transfer::Integer:
        to.setInteger(from.asInteger());
        return;
    case Transfer::Boolean:
        to.setBoolean(from.asBoolean());
        return;
    }
}

void addSuperAdministrator(db::Query& target) {
    openTable(target, QStringLiteral("用户信息表"));
    target.append();
    target.fieldByName(QStringLiteral("yhmc")).setString(superAdministratorName());
    target.post();
}

void grantAllRights(db::Query& target) {
    openTable(target, QStringLiteral("用户权限表"));
    for (int right = 1; right <= rightCount; ++right) {
        target.append();
        target.fieldByName(QStringLiteral("yhmc")).setString(superAdministratorName());
        target.fieldByName(QStringLiteral("yhqx")).setString(QStringLiteral("n%1").arg(right));
        target.fieldByName(QStringLiteral("pd")).setString(QStringLiteral("true"));
        target.post();
    }
}

} // namespace

void copyTemplateTable(db::Query& source, db::Query& target, const TemplateTable& table) {
    openTable(source, table.name);
    openTable(target, table.name);
    while (!source.eof()) {
        target.append();
        for (const TemplateColumn& column : table.columns)
            transfer(source.fieldByName(column.name), target.fieldByName(column.name),
                     column.transfer);
        target.post();
        source.next();
    }
}

std::vector<TemplateTable> templateTables() {
    return buildTemplateTables();
}

QString superAdministratorName() {
    return QStringLiteral("超级管理员");
}

void ActxzrrExecute(db::Query& source, db::Query& target) {
    addSuperAdministrator(target);
    grantAllRights(target);
    for (const TemplateTable& table : buildTemplateTables())
        copyTemplateTable(source, target, table);
}

} // namespace zt::seed
