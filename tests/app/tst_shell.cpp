#include "core/application.h"
#include "db/query.h"
#include "tests/support/recording_dialogs.h"

#include <QtTest/QtTest>

#include <stdexcept>

using namespace zt;

class ShellTest : public QObject {
    Q_OBJECT

private slots:
    void applicationTitle();
    void failureText_data();
    void failureText();
    void databaseFailureShownInErrorBox();
    void otherFailureShownInErrorBox();
    void handlerWithoutFailureShowsNothing();
};

void ShellTest::applicationTitle() {
    QCOMPARE(zt::applicationTitle(), QStringLiteral("创建帐套"));
}

void ShellTest::failureText_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter") << "Login failed for user sa"
                            << "Login failed for user sa.";
    QTest::newRow("quote sorts before") << "user 'sa'"
                                        << "user 'sa'";
    QTest::newRow("chinese") << "无法打开数据库"
                             << "无法打开数据库.";
    QTest::newRow("chinese full stop already") << "与服务器的连接中断。"
                                               << "与服务器的连接中断。";
    QTest::newRow("full stop already") << "Done."
                                       << "Done.";
    QTest::newRow("exclamation sorts before") << "Stop!"
                                              << "Stop!";
    QTest::newRow("closing parenthesis sorts before") << "(42)"
                                                      << "(42)";
    QTest::newRow("slash sorts after") << "a/"
                                       << "a/.";
    QTest::newRow("digit sorts after") << "error 1"
                                       << "error 1.";
    QTest::newRow("blank sorts before") << "x "
                                        << "x ";
    QTest::newRow("empty") << ""
                           << "";
}

void ShellTest::failureText() {
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(zt::failureText(message), shown);
}

void ShellTest::databaseFailureShownInErrorBox() {
    test::RecordingDialogs dialogs;
    bool after = false;
    guarded(dialogs, [&] {
        throw db::DbError(QStringLiteral("Database 'x' already exists"), 1801);
        after = true;
    });
    QVERIFY(!after);
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages[0].text, QStringLiteral("Database 'x' already exists."));
    QCOMPARE(dialogs.messages[0].caption, QStringLiteral("创建帐套"));
    QCOMPARE(dialogs.messages[0].icon, DialogIcon::Error);
    QCOMPARE(dialogs.messages[0].buttons, DialogButtons::Ok);
    QCOMPARE(dialogs.beeps, 0);
}

void ShellTest::otherFailureShownInErrorBox() {
    test::RecordingDialogs dialogs;
    guarded(dialogs, [] { throw std::runtime_error("Cannot open file"); });
    QCOMPARE(dialogs.messageTexts(), QStringList{"Cannot open file."});
    QCOMPARE(dialogs.messages[0].icon, DialogIcon::Error);
}

void ShellTest::handlerWithoutFailureShowsNothing() {
    test::RecordingDialogs dialogs;
    int runs = 0;
    guarded(dialogs, [&] { ++runs; });
    QCOMPARE(runs, 1);
    QVERIFY(dialogs.events.isEmpty());
}

QTEST_GUILESS_MAIN(ShellTest)
#include "tst_shell.moc"
