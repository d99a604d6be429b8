#include "core/application.h"
#include "core/failure_explanation.h"
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
    void serverRefusalsAreExplained_data();
    void serverRefusalsAreExplained();
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
    int runs = 0;
    // The failure stops at the error box: nothing escapes to the caller (Qt's event loop).
    QVERIFY_THROWS_NO_EXCEPTION(guarded(dialogs, [&] {
        ++runs;
        throw db::DbError(QStringLiteral("Database 'x' already exists"), 1801);
    }));
    QCOMPARE(runs, 1);
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
void ShellTest::serverRefusalsAreExplained_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("chinese"); // how the first line starts; empty: none is added
    QTest::newRow("database exists") << 1801 << "服务器上已有同名的数据库";
    QTest::newRow("cannot open database") << 4060 << "无法打开所需的数据库";
    QTest::newRow("INSERT denied") << 229 << "权限不足";
    QTest::newRow("CREATE denied") << 262 << "权限不足";
    QTest::newRow("not permitted") << 15247 << "权限不足";
    QTest::newRow("backup unreadable") << 3201 << "服务器无法打开备份文件";
    QTest::newRow("restore in use") << 3101 << "该数据库正在使用";
    QTest::newRow("another database") << 3154 << "服务器上已有的同名数据库";
    QTest::newRow("tail of the log") << 3159 << "服务器要求先备份";
    QTest::newRow("not exclusive") << 5030 << "该数据库正在被其他连接使用";
    QTest::newRow("database full") << 1105 << "服务器上数据库的空间已满";
    QTest::newRow("log full") << 9002 << "服务器上数据库的日志已满";
    QTest::newRow("too many connections") << 17809 << "服务器的连接数已达上限";
    QTest::newRow("anything else") << 102 << "";
}

void ShellTest::serverRefusalsAreExplained() {
    QFETCH(int, number);
    QFETCH(QString, chinese);
    const QString serverText = QStringLiteral("the server's own words");
    const QStringList lines =
        core::causeOf(db::DbError(serverText, number, db::ErrorSource::Server)).split(u'\n');
    // The Chinese line says what to do; the server's text follows it, never alone but for
    // numbers no installer is expected to meet.
    QCOMPARE(lines.size(), chinese.isEmpty() ? 1 : 2);
    QVERIFY2(lines.first().startsWith(chinese), qPrintable(lines.first()));
    QVERIFY(chinese.isEmpty() || lines.first().contains(u'：'));
    QCOMPARE(lines.last(), serverText);
}

#include "tst_shell.moc"
