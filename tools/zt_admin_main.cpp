// zt-admin: the account-set operations from the command line (see --help).

#include "tools/admin_tool.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return zt::accountset::runAdminTool(QCoreApplication::arguments(), out, err);
}
