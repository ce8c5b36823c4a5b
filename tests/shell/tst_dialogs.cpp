#include "shell/Dialog_ChangeName.h"
#include "shell/Dialog_EllipseSmooth.h"

#include <QComboBox>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

namespace {

template <typename T>
T *child(QWidget *parent, const char *name)
{
    T *w = parent->findChild<T *>(QString::fromLatin1(name));
    if (!w)
        qWarning("missing child %s", name);
    return w;
}

void click(QWidget *parent, const char *button)
{
    QPushButton *b = child<QPushButton>(parent, button);
    QVERIFY(b);
    QTest::mouseClick(b, Qt::LeftButton);
}

// Runs exec() with a click queued for when its loop starts, and a fallback
// reject so that a click that misses can never block the test.
int execAndClick(QDialog *dialog, const char *button)
{
    QTimer::singleShot(0, dialog, [dialog, button] { click(dialog, button); });
    QTimer::singleShot(3000, dialog, [dialog] { dialog->done(-1); });
    return dialog->exec();
}

// Bounding box of the pure blue preview pixels.
QRect blueBox(const QImage &image)
{
    const QRgb blue = qRgb(0, 0, 255);
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if ((image.pixel(x, y) & 0xffffff) == (blue & 0xffffff))
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

QPoint previewCentre(Dialog_EllipseSmooth *dialog)
{
    QFrame *frame = child<QFrame>(dialog, "frame");
    QPushButton *ok = child<QPushButton>(dialog, "pushButton_OK");
    return QPoint(dialog->width() - 10 - frame->width() / 2,
                  dialog->height() - 15 - frame->height() / 2 - ok->height());
}

// Records whether the preview area of a dialog was repainted.
class PaintWatcher : public QObject
{
public:
    PaintWatcher(QWidget *watched, QPoint spot) : m_spot(spot) { watched->installEventFilter(this); }
    bool painted = false;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint
            && static_cast<QPaintEvent *>(event)->region().contains(m_spot))
            painted = true;
        return false;
    }

private:
    QPoint m_spot;
};

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void changeNameForm();
    void changeNameOk_data();
    void changeNameOk();
    void changeNameCancelAndKeptChoice();
    void changeNameExecNeverAccepted();

    void ellipseForm();
    void ellipseConstructor_data();
    void ellipseConstructor();
    void ellipseOkAndCancel();
    void ellipsePreview_data();
    void ellipsePreview();
    void ellipsePreviewTurnsCounterClockwise();
    void ellipsePreviewFollowsBoxes_data();
    void ellipsePreviewFollowsBoxes();
};

void TestDialogs::changeNameForm()
{
    Dialog_ChangeName dialog(nullptr);
    QCOMPARE(dialog.windowTitle(), QString("Dialog"));
    QCOMPARE(dialog.size(), QSize(247, 134));
    QCOMPARE(child<QLabel>(&dialog, "label")->text(), QString("点号"));
    QComboBox *combo = child<QComboBox>(&dialog, "comboBox");
    QVERIFY(combo);
    QCOMPARE(combo->count(), 2);
    QCOMPARE(combo->itemText(0), QString("点号乘以"));
    QCOMPARE(combo->itemText(1), QString("点号加上"));
    QVERIFY(!combo->itemData(0).isValid());
    QCOMPARE(combo->currentIndex(), 0);
    QLineEdit *edit = child<QLineEdit>(&dialog, "lineEdit");
    QCOMPARE(edit->text(), QString("10"));
    QVERIFY(edit->alignment() & Qt::AlignRight);
    QVERIFY(edit->alignment() & Qt::AlignVCenter);
    QVERIFY(edit->validator() == nullptr);
    QCOMPARE(child<QPushButton>(&dialog, "pushButton_OK")->text(), QString("确定"));
    QCOMPARE(child<QPushButton>(&dialog, "pushButton_2")->text(), QString("取消"));
    QVERIFY(dialog.multiply());
    QCOMPARE(dialog.value(), 10.0);
}

void TestDialogs::changeNameOk_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("multiply");
    QTest::addColumn<double>("value");

    QTest::newRow("defaults") << -1 << QString() << true << 10.0;
    QTest::newRow("add -5") << 1 << "-5" << false << -5.0;
    QTest::newRow("multiply 2.5") << 0 << "2.5" << true << 2.5;
    QTest::newRow("multiply, not a number") << 0 << "abc" << true << 0.0;
    QTest::newRow("add, not a number") << 1 << "1,5" << false << 0.0;
    QTest::newRow("add, empty") << 1 << "" << false << 0.0;
    QTest::newRow("add 0.1") << 1 << "0.1" << false << 0.1;
    // Texts that convert to no finite number would make every station
    // number of the line NaN or infinite; they count as not a number.
    QTest::newRow("multiply, nan") << 0 << "nan" << true << 0.0;
    QTest::newRow("add, inf") << 1 << "inf" << false << 0.0;
    QTest::newRow("add, -inf") << 1 << "-inf" << false << 0.0;
    QTest::newRow("multiply, overflow") << 0 << "1e400" << true << 0.0;
}

void TestDialogs::changeNameOk()
{
    QFETCH(int, index);
    QFETCH(QString, text);
    QFETCH(bool, multiply);
    QFETCH(double, value);

    Dialog_ChangeName dialog(nullptr);
    QSignalSpy spy(&dialog, &Dialog_ChangeName::changeNameRules);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    if (index >= 0) {
        child<QComboBox>(&dialog, "comboBox")->setCurrentIndex(index);
        QLineEdit *edit = child<QLineEdit>(&dialog, "lineEdit");
        edit->clear();
        QTest::keyClicks(edit, text);
    }
    click(&dialog, "pushButton_OK");

    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toBool(), multiply);
    QCOMPARE(spy.at(0).at(1).toDouble(), value);
    QCOMPARE(dialog.multiply(), multiply);
    QCOMPARE(dialog.value(), value);
    QVERIFY(!dialog.isVisible());
}

void TestDialogs::changeNameCancelAndKeptChoice()
{
    Dialog_ChangeName dialog(nullptr);
    QSignalSpy spy(&dialog, &Dialog_ChangeName::changeNameRules);
    QComboBox *combo = child<QComboBox>(&dialog, "comboBox");
    QLineEdit *edit = child<QLineEdit>(&dialog, "lineEdit");

    dialog.show();
    combo->setCurrentIndex(1);
    edit->setText("-5");
    click(&dialog, "pushButton_OK");
    QCOMPARE(spy.count(), 1);

    // The next run starts with the previous choice.
    dialog.show();
    QCOMPARE(combo->currentIndex(), 1);
    QCOMPARE(edit->text(), QString("-5"));

    // Cancel closes without a signal and keeps the last rule.
    combo->setCurrentIndex(0);
    edit->setText("3");
    click(&dialog, "pushButton_2");
    QCOMPARE(spy.count(), 1);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(!dialog.multiply());
    QCOMPARE(dialog.value(), -5.0);

    // Escape dismisses it the same way.
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(spy.count(), 1);
}

void TestDialogs::changeNameExecNeverAccepted()
{
    // The controller runs it modally and renumbers from the signal, which
    // arrives before exec() returns.
    Dialog_ChangeName dialog(nullptr);
    bool signalledInside = false;
    connect(&dialog, &Dialog_ChangeName::changeNameRules, this,
            [&] { signalledInside = dialog.isVisible(); });
    QCOMPARE(execAndClick(&dialog, "pushButton_OK"), int(QDialog::Rejected));
    QVERIFY(signalledInside);

    signalledInside = false;
    QCOMPARE(execAndClick(&dialog, "pushButton_2"), int(QDialog::Rejected));
    QVERIFY(!signalledInside);
}

void TestDialogs::ellipseForm()
{
    Dialog_EllipseSmooth dialog(5, 5, 0, nullptr);
    QCOMPARE(dialog.objectName(), QString("Dialog_EllipseSmooth"));
    QCOMPARE(dialog.windowTitle(), QString("倾斜半径"));
    QCOMPARE(child<QLabel>(&dialog, "label")->text(), QString("Radius 1:"));
    QCOMPARE(child<QLabel>(&dialog, "label_2")->text(), QString("Radius 2:"));
    QCOMPARE(child<QLabel>(&dialog, "label_3")->text(), QString("Angle:"));

    struct Range { const char *name; int min, max, step; };
    for (const Range &r : {Range{"spinBox_Radius1", 1, 10000, 1},
                           Range{"spinBox_Radius2", 1, 10000, 1},
                           Range{"spinBox_Angle", -360, 360, 5}}) {
        QSpinBox *box = child<QSpinBox>(&dialog, r.name);
        QVERIFY(box);
        QCOMPARE(box->minimum(), r.min);
        QCOMPARE(box->maximum(), r.max);
        QCOMPARE(box->singleStep(), r.step);
    }

    QFrame *frame = child<QFrame>(&dialog, "frame");
    QVERIFY(frame);
    QCOMPARE(frame->minimumSize(), QSize(120, 120));
    QCOMPARE(frame->maximumSize(), QSize(120, 120));
    QCOMPARE(frame->frameShape(), QFrame::StyledPanel);
    QCOMPARE(frame->frameShadow(), QFrame::Sunken);
    QCOMPARE(child<QPushButton>(&dialog, "pushButton_OK")->text(), QString("确定"));
    QCOMPARE(child<QPushButton>(&dialog, "pushButton_Cancle")->text(), QString("取消"));

    // The angle box starts at 0 when the form is built on its own.
    Dialog_EllipseSmooth other(1, 1, 0, nullptr);
    QCOMPARE(child<QSpinBox>(&other, "spinBox_Angle")->value(), 0);
}

void TestDialogs::ellipseConstructor_data()
{
    QTest::addColumn<int>("r1");
    QTest::addColumn<int>("r2");
    QTest::addColumn<int>("degrees");
    QTest::addColumn<int>("expR1");
    QTest::addColumn<int>("expR2");
    QTest::addColumn<int>("expDegrees");
    QTest::addColumn<float>("ratio");

    QTest::newRow("3, 7") << 3 << 7 << 0 << 3 << 7 << 0 << 2.3333333f;
    QTest::newRow("equal, tilted") << 25 << 25 << 30 << 25 << 25 << 30 << 1.0f;
    QTest::newRow("zero radii clamp to 1") << 0 << 0 << 0 << 1 << 1 << 0 << 1.0f;
    QTest::newRow("negative radius") << -8 << 4 << -45 << 1 << 4 << -45 << 4.0f;
    QTest::newRow("too large") << 20000 << 10000 << 400 << 10000 << 10000 << 360 << 1.0f;
    QTest::newRow("angle below range") << 40 << 10 << -400 << 40 << 10 << -360 << 0.25f;
}

void TestDialogs::ellipseConstructor()
{
    QFETCH(int, r1);
    QFETCH(int, r2);
    QFETCH(int, degrees);
    QFETCH(int, expR1);
    QFETCH(int, expR2);
    QFETCH(int, expDegrees);
    QFETCH(float, ratio);

    Dialog_EllipseSmooth dialog(r1, r2, degrees, nullptr);
    QCOMPARE(child<QSpinBox>(&dialog, "spinBox_Radius1")->value(), expR1);
    QCOMPARE(child<QSpinBox>(&dialog, "spinBox_Radius2")->value(), expR2);
    QCOMPARE(child<QSpinBox>(&dialog, "spinBox_Angle")->value(), expDegrees);
    QCOMPARE(dialog.radius1(), expR1);
    QCOMPARE(dialog.radius2(), expR2);
    QCOMPARE(dialog.ratio(), ratio);
    QCOMPARE(dialog.angle(), float(expDegrees) * 0.017453292f);
}

void TestDialogs::ellipseOkAndCancel()
{
    Dialog_EllipseSmooth dialog(3, 7, 0, nullptr);
    QSpinBox *r1 = child<QSpinBox>(&dialog, "spinBox_Radius1");
    QSpinBox *r2 = child<QSpinBox>(&dialog, "spinBox_Radius2");
    QSpinBox *angle = child<QSpinBox>(&dialog, "spinBox_Angle");

    // OK with the same radii stores the same ratio.
    QCOMPARE(execAndClick(&dialog, "pushButton_OK"), int(QDialog::Accepted));
    QCOMPARE(dialog.radius1(), 3);
    QCOMPARE(dialog.radius2(), 7);
    QCOMPARE(dialog.ratio(), 2.3333333f);
    QCOMPARE(dialog.angle(), 0.0f);

    // Cancel leaves the values of the last OK, but the boxes keep the edit.
    r1->setValue(10);
    r2->setValue(40);
    angle->setValue(45);
    QCOMPARE(execAndClick(&dialog, "pushButton_Cancle"), int(QDialog::Rejected));
    QCOMPARE(dialog.radius1(), 3);
    QCOMPARE(dialog.radius2(), 7);
    QCOMPARE(dialog.angle(), 0.0f);
    QCOMPARE(r1->value(), 10);

    // Typed values beyond the range end at the range.
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    r2->selectAll();
    QTest::keyClicks(r2, "99999");
    r2->interpretText();
    QVERIFY(r2->value() <= 10000);
    r2->setValue(40);
    click(&dialog, "pushButton_OK");
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.radius1(), 10);
    QCOMPARE(dialog.radius2(), 40);
    QCOMPARE(dialog.ratio(), 4.0f);
    QCOMPARE(dialog.angle(), 45.0f * 0.017453292f);
}

void TestDialogs::ellipsePreview_data()
{
    QTest::addColumn<int>("r1");
    QTest::addColumn<int>("r2");
    QTest::addColumn<int>("degrees");
    QTest::addColumn<int>("halfWidth");
    QTest::addColumn<int>("halfHeight");

    QTest::newRow("circle") << 20 << 20 << 0 << 50 << 50;
    QTest::newRow("circle tilted") << 20 << 20 << 30 << 50 << 50;
    QTest::newRow("10, 40") << 10 << 40 << 0 << 12 << 50;
    QTest::newRow("40, 10") << 40 << 10 << 0 << 50 << 12;
    QTest::newRow("40, 10 quarter turn") << 40 << 10 << 90 << 12 << 50;
    QTest::newRow("1, 10000") << 1 << 10000 << 0 << 0 << 50;
}

void TestDialogs::ellipsePreview()
{
    QFETCH(int, r1);
    QFETCH(int, r2);
    QFETCH(int, degrees);
    QFETCH(int, halfWidth);
    QFETCH(int, halfHeight);

    // The preview follows the boxes, whatever the stored values are.
    Dialog_EllipseSmooth dialog(5, 5, 0, nullptr);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    child<QSpinBox>(&dialog, "spinBox_Radius1")->setValue(r1);
    child<QSpinBox>(&dialog, "spinBox_Radius2")->setValue(r2);
    child<QSpinBox>(&dialog, "spinBox_Angle")->setValue(degrees);

    const QImage image = dialog.grab().toImage();
    const QRect box = blueBox(image);
    QVERIFY(!box.isNull());
    const QPoint c = previewCentre(&dialog);
    // One pixel of slack for the pen and the rotation.
    const auto near = [](int actual, int expected) { return qAbs(actual - expected) <= 1; };
    QVERIFY2(near(c.x() - box.left(), halfWidth) && near(box.right() - c.x(), halfWidth),
             qPrintable(QString("x %1..%2 around %3").arg(box.left()).arg(box.right()).arg(c.x())));
    QVERIFY2(near(c.y() - box.top(), halfHeight) && near(box.bottom() - c.y(), halfHeight),
             qPrintable(QString("y %1..%2 around %3").arg(box.top()).arg(box.bottom()).arg(c.y())));
    // Painting updates the ratio only; the radii wait for OK.
    QCOMPARE(dialog.ratio(), float(double(r2) / r1));
    QCOMPARE(dialog.radius1(), 5);
}

void TestDialogs::ellipsePreviewTurnsCounterClockwise()
{
    // Radius 1 along x, tilted by +45 degrees: the long axis runs from the
    // lower left to the upper right on screen.
    Dialog_EllipseSmooth dialog(40, 10, 45, nullptr);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QImage image = dialog.grab().toImage();
    const QPoint c = previewCentre(&dialog);
    const QRgb blue = qRgb(0, 0, 255) & 0xffffff;
    const auto blueNear = [&](int dx, int dy) {
        for (int y = -1; y <= 1; ++y)
            for (int x = -1; x <= 1; ++x)
                if ((image.pixel(c.x() + dx + x, c.y() + dy + y) & 0xffffff) == blue)
                    return true;
        return false;
    };
    QVERIFY(blueNear(25, -25));
    QVERIFY(blueNear(-25, 25));
    QVERIFY(!blueNear(25, 25));
    QVERIFY(!blueNear(-25, -25));
}

void TestDialogs::ellipsePreviewFollowsBoxes_data()
{
    QTest::addColumn<QString>("box");
    QTest::newRow("radius 1") << "spinBox_Radius1";
    QTest::newRow("radius 2") << "spinBox_Radius2";
    QTest::newRow("angle") << "spinBox_Angle";
}

void TestDialogs::ellipsePreviewFollowsBoxes()
{
    QFETCH(QString, box);
    Dialog_EllipseSmooth dialog(5, 5, 0, nullptr);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCoreApplication::processEvents();

    PaintWatcher watcher(&dialog, previewCentre(&dialog));
    QSpinBox *spin = child<QSpinBox>(&dialog, qPrintable(box));
    spin->setValue(spin->value() + 10);
    QTRY_VERIFY(watcher.painted);
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
