// Qt's own Chinese translations: standard buttons read 确定/取消/是/否; where they are
// missing the program runs on with English buttons.

#include "core/application.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest/QtTest>

class TestTranslations : public QObject {
    Q_OBJECT

private slots:
    void cleanup();
    void standardButtonsReadChinese_data();
    void standardButtonsReadChinese();
    void missingTranslationsLeaveEnglish();
};

namespace {

// The button's text without its keyboard accelerator ("是(&Y)" reads 是).
QString shownText(QMessageBox& box, QMessageBox::StandardButton which) {
    QString text = box.button(which)->text();
    text.remove(QRegularExpression(QStringLiteral("\\(&.\\)")));
    text.remove(u'&');
    return text.trimmed();
}

} // namespace

void TestTranslations::cleanup() {
    for (QTranslator* translator : qApp->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(translator);
        translator->deleteLater();
    }
}

void TestTranslations::standardButtonsReadChinese_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("text");
    QTest::newRow("OK") << int(QMessageBox::Ok) << "确定";
    QTest::newRow("Cancel") << int(QMessageBox::Cancel) << "取消";
    QTest::newRow("Yes") << int(QMessageBox::Yes) << "是";
    QTest::newRow("No") << int(QMessageBox::No) << "否";
}

void TestTranslations::standardButtonsReadChinese() {
    QFETCH(int, button);
    QFETCH(QString, text);
    QVERIFY(zt::installQtTranslations(*qApp));
    QMessageBox box(QMessageBox::Information, QStringLiteral("提示"), QStringLiteral("正文"),
                    QMessageBox::StandardButton(button));
    QCOMPARE(shownText(box, QMessageBox::StandardButton(button)), text);
}

void TestTranslations::missingTranslationsLeaveEnglish() {
    const QTemporaryDir empty;
    QVERIFY(!zt::installQtTranslations(*qApp, empty.path()));
    QMessageBox box(QMessageBox::Information, QStringLiteral("提示"), QStringLiteral("正文"),
                    QMessageBox::Ok);
    QCOMPARE(shownText(box, QMessageBox::Ok), QStringLiteral("OK"));
}

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
