#include "config/local_config.h"
#include "db/connection_string.h"
#include "db/query.h"
#include "tests/support/local_database_copy.h"

#include <QCoreApplication>
#include <QDir>
#include <QtTest/QtTest>

#include <memory>

using namespace zt;

class LocalConfigTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void databaseBesideTheProgram();
    void jetConnectionString();
    void integratedSecurityFragment();
    void sqlLoginFragment_data();
    void sqlLoginFragment();
    void quotedLoginReadsBack_data();
    void quotedLoginReadsBack();
    void serverRowStatement();

    void noRowGivesEmptyCredentialPart();
    void firstStoreAppendsRow();
    void storeSwitchesAuthenticationInPlace();
    void storeFindsRowWhateverLetterCase();
    void storeWithQuoteInServerName();
    void credentialPartJoinsColumns();

    void registrationAppendsRow();
    void registrationAtMidnight();
    void registeringTwiceGivesTwoRows();
    void registrationCheck();

    void templateTablesHaveSeededColumns_data();
    void templateTablesHaveSeededColumns();
    void templateRowsReadInTransferKinds();

private:
    QStringList loginRows() const;

    std::unique_ptr<test::LocalDatabaseCopy> local_;
    std::unique_ptr<db::Query> query_;
};

void LocalConfigTest::init() {
    local_ = std::make_unique<test::LocalDatabaseCopy>();
    QVERIFY2(local_->isValid(), "the build's data/CHWHDB.mdb could not be copied");
    query_ = std::make_unique<db::Query>(QStringLiteral("ADOQuery2"));
    query_->setConnectionString(config::localConnectionString(local_->path()));
}

void LocalConfigTest::cleanup() {
    query_.reset();
    local_.reset();
}

QStringList LocalConfigTest::loginRows() const {
    return local_->rows(QStringLiteral("select zjmc, \"1\", \"2\" from 系统路径表 order by rowid"));
}

void LocalConfigTest::databaseBesideTheProgram() {
    QCOMPARE(config::localDatabasePath(),
             QCoreApplication::applicationDirPath() + QStringLiteral("/data/CHWHDB.mdb"));
}

void LocalConfigTest::jetConnectionString() {
    QCOMPARE(config::localConnectionString(QStringLiteral("/opt/zt/data/CHWHDB.mdb")),
             QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/opt/zt/data/CHWHDB.mdb;"
                            "Persist Security Info=False"));
}

void LocalConfigTest::integratedSecurityFragment() {
    QCOMPARE(config::integratedSecurityFragment(),
             QStringLiteral("integrated security=sspi;persist security info=false;"));
}

void LocalConfigTest::sqlLoginFragment_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("fragment");
    QTest::newRow("sa, empty password") << "sa"
                                        << ""
                                        << "password=;persist security info=true;user id=sa;";
    QTest::newRow("ordinary") << "bob"
                              << "Secret1"
                              << "password=Secret1;persist security info=true;user id=bob;";
    QTest::newRow("equals sign and inner blank stay as they are")
        << "a b"
        << "x=y"
        << "password=x=y;persist security info=true;user id=a b;";
    QTest::newRow("semicolon") << "sa"
                               << "p;w"
                               << "password=\"p;w\";persist security info=true;user id=sa;";
    QTest::newRow("single quote") << "o'neil"
                                  << "pw"
                                  << "password=pw;persist security info=true;user id=\"o'neil\";";
    QTest::newRow("double quote") << "sa"
                                  << "a\"b"
                                  << "password='a\"b';persist security info=true;user id=sa;";
    QTest::newRow("both quotes") << "sa"
                                 << "a\"b'c"
                                 << "password=\"a\"\"b'c\";persist security info=true;user id=sa;";
    QTest::newRow("leading and trailing blanks")
        << " sa"
        << "pw "
        << "password=\"pw \";persist security info=true;user id=\" sa\";";
}

void LocalConfigTest::sqlLoginFragment() {
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, fragment);
    QCOMPARE(config::sqlLoginFragment(user, password), fragment);
}

void LocalConfigTest::quotedLoginReadsBack_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::newRow("plain") << "sa"
                           << "";
    QTest::newRow("semicolons") << "a;b"
                                << ";;";
    QTest::newRow("quotes") << "it's"
                            << "say \"hi\"";
    QTest::newRow("everything") << " \"x';y' "
                                << "'\";=\" ";
    QTest::newRow("keyword look-alike") << "sa"
                                        << "x;Data Source=elsewhere";
}

void LocalConfigTest::quotedLoginReadsBack() {
    QFETCH(QString, user);
    QFETCH(QString, password);
    // What the business application reads from the stored fragment is the login typed.
    const QString connection = QStringLiteral("Provider=SQLOLEDB.1;") +
                               config::sqlLoginFragment(user, password) +
                               QStringLiteral("Data Source=srv");
    const auto properties = db::ConnectionProperties::parse(connection);
    QCOMPARE(properties.value(QStringLiteral("User ID")), user);
    QCOMPARE(properties.value(QStringLiteral("Password")), password);
    QCOMPARE(properties.value(QStringLiteral("Data Source")), QStringLiteral("srv"));
}

void LocalConfigTest::serverRowStatement() {
    QCOMPARE(config::serverRowStatement(QStringLiteral("DBSRV\\SQL2000")),
             QStringLiteral("select*from 系统路径表 where zjmc='DBSRV\\SQL2000'"));
    QCOMPARE(config::serverRowStatement(QStringLiteral("o'hare")),
             QStringLiteral("select*from 系统路径表 where zjmc='o''hare'"));
}

void LocalConfigTest::noRowGivesEmptyCredentialPart() {
    QCOMPARE(config::readCredentialPart(*query_, QStringLiteral("nowhere")), QString());
}

void LocalConfigTest::firstStoreAppendsRow() {
    config::ServerLogin login;
    login.integratedSecurity = false;
    login.userName = QStringLiteral("sa");
    config::storeServerLogin(*query_, QStringLiteral("127.0.0.1,1433"), login);
    QCOMPARE(loginRows(),
             QStringList{"127.0.0.1,1433||password=;persist security info=true;user id=sa;"});
}

void LocalConfigTest::storeSwitchesAuthenticationInPlace() {
    config::ServerLogin sqlLogin;
    sqlLogin.integratedSecurity = false;
    sqlLogin.userName = QStringLiteral("bob");
    sqlLogin.password = QStringLiteral("pw");
    const QString server = QStringLiteral("srv");
    config::storeServerLogin(*query_, server, sqlLogin);
    config::storeServerLogin(*query_, server, config::ServerLogin{});
    QCOMPARE(loginRows(),
             QStringList{"srv|integrated security=sspi;persist security info=false;|"});
    config::storeServerLogin(*query_, server, sqlLogin);
    QCOMPARE(loginRows(), QStringList{"srv||password=pw;persist security info=true;user id=bob;"});
}

void LocalConfigTest::storeFindsRowWhateverLetterCase() {
    config::storeServerLogin(*query_, QStringLiteral("MyServer"), config::ServerLogin{});
    config::ServerLogin sqlLogin{false, QStringLiteral("sa"), QString()};
    config::storeServerLogin(*query_, QStringLiteral("MYSERVER"), sqlLogin);
    // One row, still spelt as first written.
    QCOMPARE(loginRows(),
             QStringList{"MyServer||password=;persist security info=true;user id=sa;"});
}

void LocalConfigTest::storeWithQuoteInServerName() {
    config::storeServerLogin(*query_, QStringLiteral("o'hare"), config::ServerLogin{});
    config::storeServerLogin(*query_, QStringLiteral("o'hare"), config::ServerLogin{});
    QCOMPARE(loginRows(),
             QStringList{"o'hare|integrated security=sspi;persist security info=false;|"});
}

void LocalConfigTest::credentialPartJoinsColumns() {
    config::storeServerLogin(*query_, QStringLiteral("a"), config::ServerLogin{});
    config::storeServerLogin(*query_, QStringLiteral("b"),
                             config::ServerLogin{false, QStringLiteral("u"), QStringLiteral("p")});
    QCOMPARE(config::readCredentialPart(*query_, QStringLiteral("a")),
             QStringLiteral("integrated security=sspi;persist security info=false;"));
    QCOMPARE(config::readCredentialPart(*query_, QStringLiteral("b")),
             QStringLiteral("password=p;persist security info=true;user id=u;"));
}

void LocalConfigTest::registrationAppendsRow() {
    config::AccountSetRegistration row;
    row.accountSetName = QStringLiteral("公司帐套");
    row.registeredOn = QDate(2026, 12, 8);
    row.password = QString();
    row.serverName = QStringLiteral("srv");
    row.network = true;
    config::registerAccountSet(*query_, row);
    row.accountSetName = QStringLiteral("本地帐套");
    row.password = QStringLiteral("kl1");
    row.network = false;
    config::registerAccountSet(*query_, row);
    QCOMPARE(local_->rows(QStringLiteral("select ztmc, kl, zjmc, net from 帐套信息表")),
             (QStringList{"公司帐套||srv|是", "本地帐套|kl1|srv|否"}));
}

void LocalConfigTest::registrationAtMidnight() {
    config::AccountSetRegistration row{QStringLiteral("z"), QDate(2026, 12, 8), QString(),
                                       QStringLiteral("srv"), false};
    config::registerAccountSet(*query_, row);
    query_->close();
    query_->sqlClear();
    query_->sqlAdd(QStringLiteral("select*from 帐套信息表"));
    query_->open();
    QCOMPARE(query_->fieldByName(QStringLiteral("jlrq")).asDateTime(),
             QDateTime(QDate(2026, 12, 8), QTime(0, 0)));
}

void LocalConfigTest::registeringTwiceGivesTwoRows() {
    const config::AccountSetRegistration row{QStringLiteral("sample"), QDate(2026, 1, 2),
                                             QStringLiteral("x"), QStringLiteral("srv"), false};
    config::registerAccountSet(*query_, row);
    config::registerAccountSet(*query_, row);
    QCOMPARE(local_->rows(QStringLiteral("select count(*) from 帐套信息表 where ztmc='sample'")),
             QStringList{"2"});
}

void LocalConfigTest::registrationCheck() {
    config::registerAccountSet(*query_, {QStringLiteral("Books"), QDate(2026, 1, 2), QString(),
                                         QStringLiteral("srv"), true});
    QVERIFY(
        config::isAccountSetRegistered(*query_, QStringLiteral("Books"), QStringLiteral("srv")));
    QVERIFY(
        config::isAccountSetRegistered(*query_, QStringLiteral("BOOKS"), QStringLiteral("SRV")));
    QVERIFY(
        !config::isAccountSetRegistered(*query_, QStringLiteral("Books"), QStringLiteral("other")));
    QVERIFY(
        !config::isAccountSetRegistered(*query_, QStringLiteral("Books'"), QStringLiteral("srv")));
}

namespace {

QStringList numbered(int from, int to) {
    QStringList names;
    for (int i = from; i <= to; ++i)
        names << QString::number(i);
    return names;
}

QStringList words(const char* list) {
    return QString::fromUtf8(list).split(u' ');
}

} // namespace

void LocalConfigTest::templateTablesHaveSeededColumns_data() {
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("columns");
    const QStringList layout = QStringList{"model", "ytmc"};
    QTest::newRow("col_num") << "col_num" << layout + numbered(1, 20);
    QTest::newRow("colrow_num") << "colrow_num"
                                << layout + QStringList{"col", "row"} + numbered(4, 20);
    QTest::newRow("hpszxxb") << "hpszxxb"
                             << words("bm hh jm txm qm xh gg dw dj rbdj cshw sslb jjsx jjxx pz1 "
                                      "pz2 pz3 pz4 jk bz sj1 sj2 sj3");
    QTest::newRow("line_yesno") << "line_yesno" << words("mc zd yesno lk");
    QTest::newRow("print_colrow") << "print_colrow" << layout + numbered(1, 20);
    QTest::newRow("print_model") << "print_model" << words("ytmc mc model bz");
    QTest::newRow("row_num") << "row_num" << layout + numbered(1, 20);
    QTest::newRow("show_line") << "show_line" << words("mc zd yesno lk");
    QTest::newRow("系统信息表")
        << "系统信息表"
        << words("yhmc sjlj ksmc tel fax dz yb bz xsdcd sffs shf hpcx sfgz gzqx sfqy qyrq yjcrq "
                 "njc njcqc picpath jj sj zjjj zjsj sj1 sj2 sj3 cbjj cqysdate cqyfdate txsz skdate "
                 "bdz ys jzb ztds zcxbd fkc bghs mrzk mrsl xsdy pz1 pz2 pz3 pz4 pz5 pz6");
    QTest::newRow("打印设置表")
        << "打印设置表"
        << words("ytmc ytzt ytztdx ytjc ytshx ytxt ywmc ywwz ywzt ywztdx ywjc ywshx ywxt jsb jzb "
                 "jyb jxb btybj zbybj btzt btwz btztdx brzt brwz brztdx dygs gswz dyyh yhwz dyym "
                 "ymwz dyrq rqwz btjc myhs bkys yjbz2 yjbz2wz yjbz3 yjbz3wz checkdjbh checkdwmc "
                 "checkckmc checkjsr djbhwz dwmcwz ckmcwz zhsjzt zhsjztdx jsrwz djbhbt dwmcbt "
                 "ckmcbt jsrbt ywbz ytmc1 bt_zt bt_ztdx bt_ztwz ywbzwz");
    QTest::newRow("打印设置表1") << "打印设置表1" << layout + numbered(1, 28);
}

void LocalConfigTest::templateTablesHaveSeededColumns() {
    QFETCH(QString, table);
    QFETCH(QStringList, columns);
    query_->close();
    query_->sqlClear();
    query_->sqlAdd(QStringLiteral("select*from ") + table);
    query_->open();
    QVERIFY2(!query_->eof(), "every template table ships default rows");
    const QStringList present = query_->fieldNames();
    for (const QString& column : columns)
        QVERIFY2(present.contains(column), qPrintable(table + u'.' + column));
}

void LocalConfigTest::templateRowsReadInTransferKinds() {
    query_->close();
    query_->sqlClear();
    query_->sqlAdd(QStringLiteral("select*from col_num"));
    query_->open();
    QVERIFY(query_->fieldByName(QStringLiteral("1")).asInteger() > 0);
    query_->close();
    query_->sqlClear();
    query_->sqlAdd(QStringLiteral("select*from show_line"));
    query_->open();
    QVERIFY(query_->fieldByName(QStringLiteral("yesno")).asBoolean());
    bool isNumber = false;
    query_->fieldByName(QStringLiteral("lk")).asString().toInt(&isNumber);
    QVERIFY(isNumber);
    // The settings row holds texts the account set's int, float and date columns accept.
    query_->close();
    query_->sqlClear();
    query_->sqlAdd(QStringLiteral("select*from 系统信息表"));
    query_->open();
    QCOMPARE(query_->recordCount(), 1);
    for (const char* column : {"cqysdate", "cqyfdate", "skdate", "jzb", "ztds", "bghs"}) {
        const QString text = query_->fieldByName(QString::fromLatin1(column)).asString();
        bool ok = text.isEmpty();
        if (!ok)
            text.toInt(&ok);
        QVERIFY2(ok, column);
    }
    for (const char* column : {"mrzk", "mrsl"}) {
        bool ok = false;
        query_->fieldByName(QString::fromLatin1(column)).asString().toDouble(&ok);
        QVERIFY2(ok, column);
    }
    QVERIFY(query_->fieldByName(QStringLiteral("qyrq")).asString().isEmpty());
}

QTEST_GUILESS_MAIN(LocalConfigTest)
#include "tst_local_config.moc"
