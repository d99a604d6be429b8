// zt-prepare-local-database DATABASE TEMPLATE: the build's way to a working local
// configuration database beside the programs. Made from the template when missing; from a
// template of a higher version only given the tables it lacks, so a rebuild keeps what a user
// stored and changed.

#include "config/local_database_file.h"
#include "db/query.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3) {
        std::fputs("usage: zt-prepare-local-database DATABASE TEMPLATE\n", stderr);
        return EXIT_FAILURE;
    }
    try {
        zt::config::prepareLocalDatabase(arguments.at(1), arguments.at(2));
    } catch (const zt::db::DbError& failure) {
        std::fprintf(stderr, "zt-prepare-local-database: %s\n", qPrintable(failure.text()));
        return EXIT_FAILURE;
    }
    return EXIT_SUCCESS;
}
