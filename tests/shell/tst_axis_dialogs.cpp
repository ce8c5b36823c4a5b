#include "shell/Dialog_Axis.h"
#include "shell/Dialog_InvAxis.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "model/UserPrompt.h"

namespace {

template <typename T>
T *child(QWidget *parent, const char *name)
{
    return parent->findChild<T *>(QString::fromLatin1(name));
}

void setText(QWidget *dialog, const char *edit, const QString &text)
{
    if (QLineEdit *e = child<QLineEdit>(dialog, edit))
        e->setText(text);
}

// Runs exec() with a click queued for when its loop starts; a fallback ends
// the loop so that a missed click cannot block the test.
int execAndClick(QDialog *dialog, const char *button)
{
    QTimer::singleShot(0, dialog, [dialog, button] {
        if (QPushButton *b = child<QPushButton>(dialog, button))
            QTest::mouseClick(b, Qt::LeftButton);
    });
    QTimer::singleShot(3000, dialog, [dialog] { dialog->done(-1); });
    return dialog->exec();
}

// Like execAndClick, pressing the buttons in turn while the dialog stays.
int execAndClickInTurn(QDialog *dialog, const QStringList &buttons)
{
    QTimer::singleShot(0, dialog, [dialog, buttons] {
        for (const QString &name : buttons) {
            if (!dialog->isVisible())
                break;
            if (QPushButton *b = dialog->findChild<QPushButton *>(name))
                QTest::mouseClick(b, Qt::LeftButton);
        }
    });
    QTimer::singleShot(3000, dialog, [dialog] { dialog->done(-1); });
    return dialog->exec();
}

} // namespace

class TestAxisDialogs : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void axisForm();
    void axisOkWithoutEditingEmitsDefaults();
    void axisOkReadsFields_data();
    void axisOkReadsFields();
    void axisCancelKeepsLastLimits();

    void invAxisForm();
    void invAxisOkReadsFields_data();
    void invAxisOkReadsFields();
    void invAxisTickedBoxKeepsEarlierLimits();
    void invAxisCancelRejects();
    void invAxisOpensOnValuesInForce();

private:
    QStringList m_messages;
};

void TestAxisDialogs::init()
{
    m_messages.clear();
    UserPrompt::setMessageAnswerer([this](const QString &text) { m_messages << text; });
}

void TestAxisDialogs::cleanup()
{
    UserPrompt::setMessageAnswerer(nullptr);
}

void TestAxisDialogs::axisForm()
{
    Dialog_Axis dialog(nullptr);
    QCOMPARE(dialog.objectName(), QStringLiteral("Dialog_Axis"));
    QCOMPARE(dialog.size(), QSize(357, 165));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Dialog"));
    const struct {
        const char *edit;
        const char *text;
    } fields[] = {{"lineEdit_xMin", "50"},
                  {"lineEdit_xMax", "1000000"},
                  {"lineEdit_yMin", "1e-8"},
                  {"lineEdit_yMax", "0.001"}};
    for (const auto &f : fields) {
        QLineEdit *edit = child<QLineEdit>(&dialog, f.edit);
        QVERIFY2(edit, f.edit);
        QCOMPARE(edit->text(), QString::fromLatin1(f.text));
        QCOMPARE(edit->alignment(), Qt::AlignRight | Qt::AlignVCenter);
        QVERIFY(!edit->validator());
    }
    QCOMPARE(child<QPushButton>(&dialog, "pushButton_OK")->text(), QStringLiteral("确定"));
    QCOMPARE(child<QPushButton>(&dialog, "pushButton_Cancle")->text(), QStringLiteral("取消"));
    QCOMPARE(dialog.xMin(), 50.0);
    QCOMPARE(dialog.xMax(), 1000000.0);
    QCOMPARE(dialog.yMin(), 1e-8);
    QCOMPARE(dialog.yMax(), 0.001);
}

void TestAxisDialogs::axisOkWithoutEditingEmitsDefaults()
{
    Dialog_Axis dialog(nullptr);
    QSignalSpy spy(&dialog, &Dialog_Axis::signalChartAxisScaleChanged);
    // OK closes rather than accepts, so exec() reports Rejected.
    QCOMPARE(execAndClick(&dialog, "pushButton_OK"), int(QDialog::Rejected));
    QVERIFY(!dialog.isVisible());
    QCOMPARE(spy.count(), 1);
    const QList<QVariant> args = spy.takeFirst();
    QCOMPARE(args.at(0).toDouble(), 1000000.0);
    QCOMPARE(args.at(1).toDouble(), 50.0);
    QCOMPARE(args.at(2).toDouble(), 0.001);
    QCOMPARE(args.at(3).toDouble(), 1e-8);
}

void TestAxisDialogs::axisOkReadsFields_data()
{
    QTest::addColumn<QString>("xMin");
    QTest::addColumn<QString>("xMax");
    QTest::addColumn<QString>("yMin");
    QTest::addColumn<QString>("yMax");
    QTest::addColumn<QList<double>>("expected"); // xMax, xMin, yMax, yMin

    QTest::newRow("plain") << "10" << "2e5" << "1e-9" << "1e-2"
                           << QList<double>{2e5, 10.0, 1e-2, 1e-9};
    QTest::newRow("unparsable and empty read as zero")
        << "abc" << "" << "1,5" << " " << QList<double>{0.0, 0.0, 0.0, 0.0};
    QTest::newRow("minimum above maximum passes unchanged")
        << "5000" << "100" << "1e-3" << "1e-6" << QList<double>{100.0, 5000.0, 1e-6, 1e-3};
}

void TestAxisDialogs::axisOkReadsFields()
{
    QFETCH(QString, xMin);
    QFETCH(QString, xMax);
    QFETCH(QString, yMin);
    QFETCH(QString, yMax);
    QFETCH(QList<double>, expected);

    Dialog_Axis dialog(nullptr);
    setText(&dialog, "lineEdit_xMin", xMin);
    setText(&dialog, "lineEdit_xMax", xMax);
    setText(&dialog, "lineEdit_yMin", yMin);
    setText(&dialog, "lineEdit_yMax", yMax);
    QSignalSpy spy(&dialog, &Dialog_Axis::signalChartAxisScaleChanged);
    QTest::mouseClick(child<QPushButton>(&dialog, "pushButton_OK"), Qt::LeftButton);

    QCOMPARE(spy.count(), 1);
    const QList<QVariant> args = spy.takeFirst();
    for (int i = 0; i < 4; ++i)
        QCOMPARE(args.at(i).toDouble(), expected.at(i));
    QCOMPARE(dialog.xMax(), expected.at(0));
    QCOMPARE(dialog.xMin(), expected.at(1));
    QCOMPARE(dialog.yMax(), expected.at(2));
    QCOMPARE(dialog.yMin(), expected.at(3));
}

void TestAxisDialogs::axisCancelKeepsLastLimits()
{
    Dialog_Axis dialog(nullptr);
    QSignalSpy spy(&dialog, &Dialog_Axis::signalChartAxisScaleChanged);

    // Before any OK: the defaults stay, nothing is emitted.
    setText(&dialog, "lineEdit_xMin", "7");
    QCOMPARE(execAndClick(&dialog, "pushButton_Cancle"), int(QDialog::Rejected));
    QCOMPARE(spy.count(), 0);
    QCOMPARE(dialog.xMin(), 50.0);
    QCOMPARE(dialog.yMax(), 0.001);

    setText(&dialog, "lineEdit_xMax", "3000");
    QTest::mouseClick(child<QPushButton>(&dialog, "pushButton_OK"), Qt::LeftButton);
    QCOMPARE(spy.count(), 1);

    // Edits followed by Cancel leave the limits of that OK.
    setText(&dialog, "lineEdit_xMin", "1");
    setText(&dialog, "lineEdit_xMax", "2");
    QCOMPARE(execAndClick(&dialog, "pushButton_Cancle"), int(QDialog::Rejected));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(dialog.xMin(), 7.0);
    QCOMPARE(dialog.xMax(), 3000.0);
    QCOMPARE(dialog.yMin(), 1e-8);
    QCOMPARE(dialog.yMax(), 0.001);
    // The fields keep what was typed for the next run.
    QCOMPARE(child<QLineEdit>(&dialog, "lineEdit_xMin")->text(), QStringLiteral("1"));
}

void TestAxisDialogs::invAxisForm()
{
    Dialog_InvAxis dialog(nullptr);
    QCOMPARE(dialog.objectName(), QStringLiteral("Dialog_InvAxis"));
    QCOMPARE(dialog.size(), QSize(231, 157));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Dialog"));
    for (const char *name : {"yminLineEdit", "xMaxlineEdit", "xMinlineEdit"}) {
        QLineEdit *edit = child<QLineEdit>(&dialog, name);
        QVERIFY2(edit, name);
        QVERIFY(edit->text().isEmpty());
        QVERIFY(!edit->validator());
    }
    QCheckBox *box = child<QCheckBox>(&dialog, "checkBox");
    QVERIFY(box);
    QCOMPARE(box->text(), QStringLiteral("使用默认值"));
    QVERIFY(!box->isChecked());
    QVERIFY(!dialog.useDefaults());
    QCOMPARE(child<QPushButton>(&dialog, "pushButton_OK")->text(), QStringLiteral("确定"));
    QCOMPARE(child<QPushButton>(&dialog, "pushButton_cancel")->text(), QStringLiteral("取消"));
}

void TestAxisDialogs::invAxisOkReadsFields_data()
{
    QTest::addColumn<QString>("yMin");
    QTest::addColumn<QString>("xMax");
    QTest::addColumn<QString>("xMin");
    QTest::addColumn<double>("expYMin");
    QTest::addColumn<double>("expXMax");
    QTest::addColumn<double>("expXMin");
    QTest::addColumn<QString>("refused"); // the field the message names; empty: taken

    // A refused OK takes none of the three: they stay as they were (0).
    QTest::newRow("all empty") << "" << "" << "" << 0.0 << 0.0 << 0.0 << "YMin";
    QTest::newRow("numbers") << "-250" << "800" << "5" << -250.0 << 800.0 << 5.0 << "";
    QTest::newRow("exponent and blanks") << " -1e2 " << "1e3" << "0" << -100.0 << 1000.0 << 0.0 << "";
    QTest::newRow("malformed depth") << "deep" << "1e3" << "5" << 0.0 << 0.0 << 0.0 << "YMin";
    QTest::newRow("malformed minimum") << "-10" << "1e3" << "x" << 0.0 << 0.0 << 0.0 << "xMin";
    QTest::newRow("comma") << "-10" << "1,5" << "1" << 0.0 << 0.0 << 0.0 << "xMax";
    QTest::newRow("depth below the surface only") << "10" << "800" << "5" << 0.0 << 0.0 << 0.0 << "YMin";
    QTest::newRow("zero depth") << "0" << "800" << "5" << 0.0 << 0.0 << 0.0 << "YMin";
    QTest::newRow("minimum above maximum") << "-10" << "1" << "9" << 0.0 << 0.0 << 0.0 << "xMin";
    QTest::newRow("equal limits") << "-10" << "9" << "9" << 0.0 << 0.0 << 0.0 << "xMin";
    QTest::newRow("infinite maximum") << "-10" << "inf" << "9" << 0.0 << 0.0 << 0.0 << "xMax";
}

void TestAxisDialogs::invAxisOkReadsFields()
{
    QFETCH(QString, yMin);
    QFETCH(QString, xMax);
    QFETCH(QString, xMin);

    Dialog_InvAxis dialog(nullptr);
    setText(&dialog, "yminLineEdit", yMin);
    setText(&dialog, "xMaxlineEdit", xMax);
    setText(&dialog, "xMinlineEdit", xMin);
    QFETCH(QString, refused);
    const int result = execAndClickInTurn(&dialog, {"pushButton_OK", "pushButton_cancel"});
    QCOMPARE(result, int(refused.isEmpty() ? QDialog::Accepted : QDialog::Rejected));
    QTEST(dialog.yMin(), "expYMin");
    QTEST(dialog.xMax(), "expXMax");
    QTEST(dialog.xMin(), "expXMin");
    QVERIFY(!dialog.useDefaults());
    if (refused.isEmpty()) {
        QVERIFY(m_messages.isEmpty());
        return;
    }
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages.first().contains(refused), qPrintable(m_messages.first()));
}

void TestAxisDialogs::invAxisTickedBoxKeepsEarlierLimits()
{
    Dialog_InvAxis dialog(nullptr);
    setText(&dialog, "yminLineEdit", "-300");
    setText(&dialog, "xMaxlineEdit", "1000");
    setText(&dialog, "xMinlineEdit", "10");
    QCOMPARE(execAndClick(&dialog, "pushButton_OK"), int(QDialog::Accepted));

    QCheckBox *box = child<QCheckBox>(&dialog, "checkBox");
    QTest::mouseClick(box, Qt::LeftButton);
    QVERIFY(box->isChecked());
    QVERIFY(dialog.useDefaults());
    setText(&dialog, "yminLineEdit", "-1");
    setText(&dialog, "xMaxlineEdit", "3");
    setText(&dialog, "xMinlineEdit", "2");
    QCOMPARE(execAndClick(&dialog, "pushButton_OK"), int(QDialog::Accepted));
    QVERIFY(dialog.useDefaults());
    QCOMPARE(dialog.yMin(), -300.0);
    QCOMPARE(dialog.xMax(), 1000.0);
    QCOMPARE(dialog.xMin(), 10.0);

    // Clearing the box reads the fields again at the next OK.
    QTest::mouseClick(box, Qt::LeftButton);
    QVERIFY(!dialog.useDefaults());
    QCOMPARE(execAndClick(&dialog, "pushButton_OK"), int(QDialog::Accepted));
    QCOMPARE(dialog.yMin(), -1.0);
    QCOMPARE(dialog.xMax(), 3.0);
    QCOMPARE(dialog.xMin(), 2.0);
}

void TestAxisDialogs::invAxisCancelRejects()
{
    Dialog_InvAxis dialog(nullptr);
    setText(&dialog, "yminLineEdit", "-50");
    setText(&dialog, "xMaxlineEdit", "500");
    setText(&dialog, "xMinlineEdit", "50");
    QCOMPARE(execAndClick(&dialog, "pushButton_OK"), int(QDialog::Accepted));

    setText(&dialog, "yminLineEdit", "-70");
    QTest::mouseClick(child<QCheckBox>(&dialog, "checkBox"), Qt::LeftButton);
    QCOMPARE(execAndClick(&dialog, "pushButton_cancel"), int(QDialog::Rejected));
    QCOMPARE(dialog.yMin(), -50.0);
    QCOMPARE(dialog.xMax(), 500.0);
    QCOMPARE(dialog.xMin(), 50.0);
    // The box mirrors its state even when the run is cancelled.
    QVERIFY(dialog.useDefaults());
}

// The caller puts the ranges in force into the dialog; a refused field
// shows its value in force again and nothing is taken.
void TestAxisDialogs::invAxisOpensOnValuesInForce()
{
    Dialog_InvAxis dialog(nullptr);
    dialog.setValues(-120.0, 640.5, 12.0, true);
    QCOMPARE(child<QLineEdit>(&dialog, "yminLineEdit")->text(), QStringLiteral("-120"));
    QCOMPARE(child<QLineEdit>(&dialog, "xMaxlineEdit")->text(), QStringLiteral("640.5"));
    QCOMPARE(child<QLineEdit>(&dialog, "xMinlineEdit")->text(), QStringLiteral("12"));
    QVERIFY(child<QCheckBox>(&dialog, "checkBox")->isChecked());
    QVERIFY(dialog.useDefaults());

    dialog.setValues(-120.0, 640.5, 12.0, false);
    QVERIFY(!child<QCheckBox>(&dialog, "checkBox")->isChecked());
    QVERIFY(!dialog.useDefaults());
    setText(&dialog, "xMaxlineEdit", "abc");
    QCOMPARE(execAndClickInTurn(&dialog, {"pushButton_OK", "pushButton_cancel"}), int(QDialog::Rejected));
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages.first().contains(QStringLiteral("xMax")) && m_messages.first().contains(QStringLiteral("640.5")),
             qPrintable(m_messages.first()));
    QCOMPARE(child<QLineEdit>(&dialog, "xMaxlineEdit")->text(), QStringLiteral("640.5"));
    QCOMPARE(dialog.yMin(), -120.0);
    QCOMPARE(dialog.xMax(), 640.5);
    QCOMPARE(dialog.xMin(), 12.0);
}

QTEST_MAIN(TestAxisDialogs)
#include "tst_axis_dialogs.moc"
