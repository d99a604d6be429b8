// Splitting a browse answer into server names.

#include "server/servers_searcher.h"

#include <QTest>

using zt::server::ParseServerList;

class SearchParseTest : public QObject {
    Q_OBJECT

private slots:
    void splitsAnswer_data();
    void splitsAnswer();
    void replacesWhatTheListHeld();
};

void SearchParseTest::splitsAnswer_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("servers");

    const QString tail = QStringLiteral(";UID:Login ID=?;PWD:Password=?;");
    QTest::newRow("two servers") << "SERVER:Server={A,B}" + tail << QStringList{"A", "B"};
    QTest::newRow("three servers in answer order")
        << "SERVER:Server={CC,A,B}" + tail << QStringList{"CC", "A", "B"};
    QTest::newRow("one server") << "SERVER:Server={A}" + tail << QStringList{"A"};
    QTest::newRow("instance names") << QStringLiteral("SERVER:Server={HOST\\SQLEXPRESS,HOST};")
                                    << QStringList{"HOST\\SQLEXPRESS", "HOST"};
    QTest::newRow("two commas in a row give an empty entry")
        << "SERVER:Server={A,,B}" + tail << QStringList{"A", "", "B"};
    QTest::newRow("comma before the end gives no trailing entry")
        << "SERVER:Server={A,B,}" + tail << QStringList{"A", "B"};
    QTest::newRow("leading comma gives an empty first entry")
        << QStringLiteral("S={,A};") << QStringList{"", "A"};
    QTest::newRow("a lone comma") << QStringLiteral("S={,};") << QStringList{""};
    QTest::newRow("duplicates stay") << QStringLiteral("S={A,B,A};") << QStringList{"A", "B", "A"};
    QTest::newRow("blanks stay") << QStringLiteral("S={ A , B };") << QStringList{" A ", " B "};
    QTest::newRow("empty server list") << QStringLiteral("SERVER:Server={};") << QStringList{};
    QTest::newRow("empty answer") << QString() << QStringList{};
    QTest::newRow("no opening loses only the first character")
        << QStringLiteral("XA,B};rest") << QStringList{"A", "B"};
    QTest::newRow("no opening and no comma") << QStringLiteral("XYZ") << QStringList{"YZ"};
    QTest::newRow("no closing cuts nothing")
        << QStringLiteral("S={A,B;UID:Login ID=?") << QStringList{"A", "B;UID:Login ID=?"};
    QTest::newRow("only the first opening counts")
        << QStringLiteral("a={b={c};") << QStringList{"b={c"};
    QTest::newRow("a closing before the opening is ignored")
        << QStringLiteral("x};y={A,B};z={C};") << QStringList{"A", "B"};
    QTest::newRow("brace without semicolon does not close")
        << QStringLiteral("S={A}B,C};") << QStringList{"A}B", "C"};
    QTest::newRow("non-ASCII names")
        << QStringLiteral("S={服务器甲,服务器乙};") << QStringList{"服务器甲", "服务器乙"};
}

void SearchParseTest::splitsAnswer() {
    QFETCH(QString, answer);
    QFETCH(QStringList, servers);

    QStringList target;
    QVERIFY(ParseServerList(answer, target));
    QCOMPARE(target, servers);
}

void SearchParseTest::replacesWhatTheListHeld() {
    QStringList target{"old", ""};
    QVERIFY(ParseServerList(QStringLiteral("S={new};"), target));
    QCOMPARE(target, QStringList{"new"});
}

QTEST_GUILESS_MAIN(SearchParseTest)
#include "tst_search_parse.moc"
