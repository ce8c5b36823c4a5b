#include "shell/QtTranslation.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

// The translator main() installs gives Qt's standard buttons Chinese texts.
class TestQtTranslation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void messageBoxButtons_data();
    void messageBoxButtons();
    void dialogButtonBox();
};

void TestQtTranslation::initTestCase()
{
    QVERIFY(QtTranslation::install(*qApp));
}

void TestQtTranslation::messageBoxButtons_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("text");
    QTest::newRow("yes") << int(QMessageBox::Yes) << QStringLiteral("是");
    QTest::newRow("no") << int(QMessageBox::No) << QStringLiteral("否");
    QTest::newRow("ok") << int(QMessageBox::Ok) << QStringLiteral("确定");
    QTest::newRow("cancel") << int(QMessageBox::Cancel) << QStringLiteral("取消");
}

void TestQtTranslation::messageBoxButtons()
{
    QFETCH(int, button);
    QFETCH(QString, text);
    QMessageBox box(QMessageBox::Question, QStringLiteral("提示"), QStringLiteral("是否保存？"),
                    QMessageBox::StandardButton(button));
    QAbstractButton* shown = box.button(QMessageBox::StandardButton(button));
    QVERIFY(shown);
    // The mnemonic ("(&Y)") may follow the word.
    QVERIFY2(shown->text().startsWith(text), qPrintable(shown->text()));
}

void TestQtTranslation::dialogButtonBox()
{
    QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QVERIFY(box.button(QDialogButtonBox::Ok)->text().startsWith(QStringLiteral("确定")));
    QVERIFY(box.button(QDialogButtonBox::Cancel)->text().startsWith(QStringLiteral("取消")));
}

QTEST_MAIN(TestQtTranslation)
#include "tst_qttranslation.moc"
