#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QIntValidator>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

#include "common/TestHelpers.h"
#include "model/SharedTypes.h"
#include "platform/gradient/WidgetGradientEditor.h"
#include "shell/Dialog_ColorMap.h"
#include "shell/Dialog_GridSetting.h"
#include "shell/Dialog_TimeSetting.h"

using Ramp = QMap<float, QColor>;
Q_DECLARE_METATYPE(Ramp)

namespace {

template <typename T>
T* child(QWidget* parent, const char* name)
{
    return parent->findChild<T*>(QString::fromLatin1(name));
}

void click(QWidget* parent, const char* name)
{
    QPushButton* button = child<QPushButton>(parent, name);
    QVERIFY2(button, name);
    QTest::mouseClick(button, Qt::LeftButton);
}

void clickRadio(QWidget* parent, const char* name)
{
    QRadioButton* button = child<QRadioButton>(parent, name);
    QVERIFY2(button, name);
    QTest::mouseClick(button, Qt::LeftButton);
}

// exec() with a click queued for when its loop runs and a fallback that
// ends the loop, so a missed click cannot hang the test.
int execAndClick(QDialog* dialog, const char* button)
{
    QTimer::singleShot(0, dialog, [dialog, button] { click(dialog, button); });
    QTimer::singleShot(3000, dialog, [dialog] { dialog->done(-1); });
    return dialog->exec();
}

Ramp ramp(std::initializer_list<std::pair<float, QColor> > stops)
{
    Ramp r;
    for (const auto& s : stops)
        r.insert(s.first, s.second);
    return r;
}

bool writeFile(const QString& path, const QByteArray& text)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    return f.write(text) == text.size();
}

} // namespace

// The time-window, grid-setting and colour-scale dialogs: their forms, the
// values they send and the colour-scale preset files.
class TestSettingsDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void timeSettingDefaults();
    void timeSettingOk_data();
    void timeSettingOk();
    void timeSettingCancelKeepsValues();

    void gridSettingDefaults();
    void gridSettingOkAtOnce();
    void gridSettingProgressiveIsKept();
    void gridSettingCancelRestoresCommitted();
    void gridSettingSpinBoxesClamp();

    void presetParsing_data();
    void presetParsing();
    void presetUnreadableFile();
    void presetFolderLoadsInNameOrder();
    void presetFolderMissing();
    void shippedPresetsParse();
    void colorMapRangeAndCurrentValue();
    void colorMapOk_data();
    void colorMapOk();
    void colorMapOkTwiceDoesNotCompound();
    void colorMapCancelSendsNothing();

    void renderDialogs();

private:
    QString m_startDir;
};

void TestSettingsDialogs::initTestCase()
{
    registerSharedTypes();
    qRegisterMetaType<Ramp>("QMap<float,QColor>");
    m_startDir = QDir::currentPath();
}

// ---- Time window ----

void TestSettingsDialogs::timeSettingDefaults()
{
    Dialog_TimeSetting dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Dialog"));
    QCOMPARE(dialog.size(), QSize(332, 134));
    QCOMPARE(child<QLineEdit>(&dialog, "lineEdit")->text(), QStringLiteral("150"));
    QCOMPARE(child<QLineEdit>(&dialog, "lineEdit_2")->text(), QStringLiteral("4e+06"));
    QCOMPARE(dialog.start(), 150.0);
    QCOMPARE(dialog.end(), 4e6);
    auto* startValidator = qobject_cast<const QIntValidator*>(child<QLineEdit>(&dialog, "lineEdit")->validator());
    auto* endValidator = qobject_cast<const QIntValidator*>(child<QLineEdit>(&dialog, "lineEdit_2")->validator());
    QVERIFY(startValidator && endValidator);
    QCOMPARE(startValidator->bottom(), 60);
    QCOMPARE(startValidator->top(), 3000);
    QCOMPARE(endValidator->bottom(), 1000);
    QCOMPARE(endValidator->top(), 4000000);
    QCOMPARE(child<QPushButton>(&dialog, "pushButton_OK")->text(), QStringLiteral("确定"));
    QCOMPARE(child<QPushButton>(&dialog, "pushButton_Cancel")->text(), QStringLiteral("取消"));
}

void TestSettingsDialogs::timeSettingOk_data()
{
    QTest::addColumn<QString>("startText");
    QTest::addColumn<QString>("endText");
    QTest::addColumn<bool>("emitted");
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("end");
    QTest::addColumn<QString>("shownStart");
    QTest::addColumn<QString>("shownEnd");

    QTest::newRow("within ranges") << "60" << "1000" << true << 60.0 << 1000.0 << "60" << "1000";
    QTest::newRow("start raised to 10") << "5" << "4e+06" << true << 10.0 << 4e6 << "10" << "4e+06";
    QTest::newRow("start after end") << "3000" << "1000" << false << 3000.0 << 1000.0 << "3000" << "1000";
    QTest::newRow("empty end raised") << "60" << "" << true << 60.0 << 1000.0 << "60" << "1000";
    QTest::newRow("equal after raising") << "1000" << "500" << false << 1000.0 << 1000.0 << "1000" << "1000";
    QTest::newRow("not a number") << "abc" << "2000" << true << 10.0 << 2000.0 << "10" << "2000";
    // The validator lets an unfinished value below 60 stand; it passes.
    QTest::newRow("start below validator") << "30" << "2000" << true << 30.0 << 2000.0 << "30" << "2000";
}

void TestSettingsDialogs::timeSettingOk()
{
    QFETCH(QString, startText);
    QFETCH(QString, endText);
    QFETCH(bool, emitted);
    QFETCH(double, start);
    QFETCH(double, end);
    QFETCH(QString, shownStart);
    QFETCH(QString, shownEnd);

    Dialog_TimeSetting dialog;
    QSignalSpy spy(&dialog, SIGNAL(signal_TimeSettingChanged(double,double)));
    child<QLineEdit>(&dialog, "lineEdit")->setText(startText);
    child<QLineEdit>(&dialog, "lineEdit_2")->setText(endText);

    const int result = execAndClick(&dialog, "pushButton_OK");
    QCOMPARE(result, emitted ? int(QDialog::Accepted) : int(QDialog::Rejected));
    QVERIFY(!dialog.isVisible());
    QCOMPARE(spy.count(), emitted ? 1 : 0);
    if (emitted) {
        QCOMPARE(spy.at(0).at(0).toDouble(), start);
        QCOMPARE(spy.at(0).at(1).toDouble(), end);
    }
    QCOMPARE(dialog.start(), start);
    QCOMPARE(dialog.end(), end);
    QCOMPARE(child<QLineEdit>(&dialog, "lineEdit")->text(), shownStart);
    QCOMPARE(child<QLineEdit>(&dialog, "lineEdit_2")->text(), shownEnd);
}

void TestSettingsDialogs::timeSettingCancelKeepsValues()
{
    Dialog_TimeSetting dialog;
    QSignalSpy spy(&dialog, SIGNAL(signal_TimeSettingChanged(double,double)));
    child<QLineEdit>(&dialog, "lineEdit")->setText("200");
    QCOMPARE(execAndClick(&dialog, "pushButton_Cancel"), int(QDialog::Rejected));
    QCOMPARE(spy.count(), 0);
    QCOMPARE(dialog.start(), 150.0);
    // The field keeps what was typed for the next run.
    QCOMPARE(child<QLineEdit>(&dialog, "lineEdit")->text(), QStringLiteral("200"));

    // The unconnected slot only rewrites the fields.
    dialog.onTimeSettingChanged(79.0, 5e5, 0);
    QCOMPARE(child<QLineEdit>(&dialog, "lineEdit")->text(), QStringLiteral("79"));
    QCOMPARE(child<QLineEdit>(&dialog, "lineEdit_2")->text(), QStringLiteral("500000"));
    QCOMPARE(dialog.start(), 150.0);
    QCOMPARE(dialog.end(), 4e6);
}

// ---- Grid setting ----

void TestSettingsDialogs::gridSettingDefaults()
{
    Dialog_GridSetting dialog;
    QCOMPARE(dialog.size(), QSize(261, 153));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Dialog"));
    auto* fixed = child<QRadioButton>(&dialog, "radioButton");
    auto* progressive = child<QRadioButton>(&dialog, "radioButton_2");
    auto* spacing = child<QDoubleSpinBox>(&dialog, "doubleSpinBox");
    auto* factor = child<QDoubleSpinBox>(&dialog, "doubleSpinBox2");
    QVERIFY(fixed && progressive && spacing && factor);
    QCOMPARE(fixed->text(), QStringLiteral("固定网格"));
    QCOMPARE(progressive->text(), QStringLiteral("递进网格"));
    QVERIFY(fixed->isChecked());
    QVERIFY(!progressive->isChecked());
    QCOMPARE(spacing->decimals(), 1);
    QCOMPARE(spacing->minimum(), 0.5);
    QCOMPARE(spacing->maximum(), 20.0);
    QCOMPARE(spacing->singleStep(), 0.5);
    QCOMPARE(spacing->value(), 5.0);
    QVERIFY(spacing->isEnabled());
    QCOMPARE(factor->decimals(), 2);
    QCOMPARE(factor->minimum(), 1.0);
    QCOMPARE(factor->maximum(), 1.5);
    QCOMPARE(factor->singleStep(), 0.1);
    QCOMPARE(factor->value(), 1.0);
    QVERIFY(!factor->isEnabled());
    QCOMPARE(dialog.committedPattern(), GRID_FIXED);
    QCOMPARE(dialog.committedValue(), 5.0);
}

void TestSettingsDialogs::gridSettingOkAtOnce()
{
    Dialog_GridSetting dialog;
    QSignalSpy spy(&dialog, SIGNAL(currentGridSettings(GridPattern,double)));
    QCOMPARE(execAndClick(&dialog, "OKpushButton"), int(QDialog::Rejected));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<GridPattern>(), GRID_FIXED);
    QCOMPARE(spy.at(0).at(1).toDouble(), 5.0);
}

void TestSettingsDialogs::gridSettingProgressiveIsKept()
{
    Dialog_GridSetting dialog;
    QSignalSpy spy(&dialog, SIGNAL(currentGridSettings(GridPattern,double)));
    dialog.show();
    clickRadio(&dialog, "radioButton_2");
    auto* spacing = child<QDoubleSpinBox>(&dialog, "doubleSpinBox");
    auto* factor = child<QDoubleSpinBox>(&dialog, "doubleSpinBox2");
    QVERIFY(!spacing->isEnabled());
    QVERIFY(factor->isEnabled());
    QCOMPARE(factor->value(), 1.0);
    factor->setValue(1.2);
    click(&dialog, "OKpushButton");
    QVERIFY(!dialog.isVisible());
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<GridPattern>(), GRID_PROGRESSIVE);
    QVERIFY(hwtest::nearlyEqual(spy.at(0).at(1).toDouble(), 1.2));

    // Shown again as left.
    dialog.show();
    QVERIFY(child<QRadioButton>(&dialog, "radioButton_2")->isChecked());
    QVERIFY(factor->isEnabled());
    QVERIFY(hwtest::nearlyEqual(factor->value(), 1.2));
    click(&dialog, "CanclepushButton");
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(1).at(0).value<GridPattern>(), GRID_PROGRESSIVE);
    QVERIFY(hwtest::nearlyEqual(spy.at(1).at(1).toDouble(), 1.2));
}

void TestSettingsDialogs::gridSettingCancelRestoresCommitted()
{
    Dialog_GridSetting dialog;
    QSignalSpy spy(&dialog, SIGNAL(currentGridSettings(GridPattern,double)));
    auto* spacing = child<QDoubleSpinBox>(&dialog, "doubleSpinBox");
    auto* factor = child<QDoubleSpinBox>(&dialog, "doubleSpinBox2");
    dialog.show();
    spacing->setValue(7.5);
    clickRadio(&dialog, "radioButton_2");
    factor->setValue(1.4);
    click(&dialog, "CanclepushButton");
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<GridPattern>(), GRID_FIXED);
    QCOMPARE(spy.at(0).at(1).toDouble(), 5.0);
    QVERIFY(child<QRadioButton>(&dialog, "radioButton")->isChecked());
    QVERIFY(spacing->isEnabled());
    QVERIFY(!factor->isEnabled());
    QCOMPARE(spacing->value(), 5.0);
    // The box of the pattern not in force keeps what it was given.
    QVERIFY(hwtest::nearlyEqual(factor->value(), 1.4));

    dialog.show();
    spacing->setValue(2.5);
    click(&dialog, "OKpushButton");
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(1).at(0).value<GridPattern>(), GRID_FIXED);
    QCOMPARE(spy.at(1).at(1).toDouble(), 2.5);
    QCOMPARE(dialog.committedValue(), 2.5);
}

void TestSettingsDialogs::gridSettingSpinBoxesClamp()
{
    Dialog_GridSetting dialog;
    auto* spacing = child<QDoubleSpinBox>(&dialog, "doubleSpinBox");
    auto* factor = child<QDoubleSpinBox>(&dialog, "doubleSpinBox2");
    spacing->setValue(25.0);
    QCOMPARE(spacing->value(), 20.0);
    spacing->setValue(0.1);
    QCOMPARE(spacing->value(), 0.5);
    factor->setValue(3.0);
    QCOMPARE(factor->value(), 1.5);
    factor->setValue(0.5);
    QCOMPARE(factor->value(), 1.0);
}

// ---- Colour scales ----

void TestSettingsDialogs::presetParsing_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<Ramp>("expected");

    const QColor red(255, 0, 0);
    QTest::newRow("empty file") << QByteArray() << Ramp();
    QTest::newRow("header only") << QByteArray("pos r g b\n") << Ramp();
    QTest::newRow("blank header") << QByteArray("\n0 0 0 255\n100 255 255 255\n")
                                  << ramp({{0.0f, QColor(0, 0, 255)}, {1.0f, QColor(255, 255, 255)}});
    QTest::newRow("separator header") << QByteArray(",;|*\n50 255 0 0\n") << ramp({{0.5f, red}});
    QTest::newRow("commas") << QByteArray("h\n50,255,0,0\n") << ramp({{0.5f, red}});
    QTest::newRow("blanks") << QByteArray("h\n  50   255 0\t0  \n") << ramp({{0.5f, red}});
    QTest::newRow("mixed separators") << QByteArray("h\n50;255|0*0\n") << ramp({{0.5f, red}});
    QTest::newRow("no final newline") << QByteArray("h\n50 255 0 0") << ramp({{0.5f, red}});
    QTest::newRow("exponent splits at plus")
        << QByteArray("h\n1e+2,0,0,255\n") << ramp({{0.0f, QColor(2, 0, 0)}});
    QTest::newRow("blank line ends the ramp")
        << QByteArray("h\n0 0 0 0\n\n100 255 255 255\n") << ramp({{0.0f, QColor(0, 0, 0)}});
    QTest::newRow("three fields end the ramp")
        << QByteArray("h\n0 0 0 0\n50 1 2\n100 255 255 255\n") << ramp({{0.0f, QColor(0, 0, 0)}});
    QTest::newRow("later duplicate wins")
        << QByteArray("h\n20 1 1 1\n20 9 9 9\n") << ramp({{0.2f, QColor(9, 9, 9)}});
    QTest::newRow("outside 0..100 kept") << QByteArray("h\n150 0 255 0\n-10 0 0 9\n")
                                         << ramp({{1.5f, QColor(0, 255, 0)}, {-0.1f, QColor(0, 0, 9)}});
    QTest::newRow("unreadable numbers are 0")
        << QByteArray("h\nabc 10 x 20 extra fields\n") << ramp({{0.0f, QColor(10, 0, 20)}});
    QTest::newRow("nan and inf positions count as 0")
        << QByteArray("h\nnan 0 0 255\n50 255 0 0\ninf 9 9 9\n")
        << ramp({{0.0f, QColor(9, 9, 9)}, {0.5f, red}});
    QTest::newRow("unordered stops") << QByteArray("h\n100 255 255 255\n0 0 0 0\n")
                                     << ramp({{0.0f, QColor(0, 0, 0)}, {1.0f, QColor(255, 255, 255)}});
}

void TestSettingsDialogs::presetParsing()
{
    QFETCH(QByteArray, text);
    QFETCH(Ramp, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath("scale.clr");
    QVERIFY(writeFile(path, text));
    Ramp read;
    QVERIFY(Dialog_ColorMap::readColorScale(path, read));
    QCOMPARE(read.keys(), expected.keys());
    for (auto it = expected.constBegin(); it != expected.constEnd(); ++it) {
        QCOMPARE(read.value(it.key()), it.value());
        QCOMPARE(read.value(it.key()).alpha(), 255);
    }
}

void TestSettingsDialogs::presetUnreadableFile()
{
    Ramp read = ramp({{0.3f, Qt::red}});
    QVERIFY(!Dialog_ColorMap::readColorScale(QStringLiteral("/nonexistent/none.clr"), read));
    QVERIFY(read.isEmpty());
}

void TestSettingsDialogs::presetFolderLoadsInNameOrder()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("ColorScales"));
    const QString scales = dir.filePath("ColorScales/");
    QVERIFY(writeFile(scales + "b.clr", "h\n0 0 0 255\n100 255 0 0\n"));
    QVERIFY(writeFile(scales + "A.clr", "h\n0 0 255 0\n100 0 0 0\n"));
    QVERIFY(writeFile(scales + "c.CLR.txt", "h\n0 1 1 1\n"));
    QVERIFY(writeFile(scales + "empty.clr", ""));
    QVERIFY(QDir(scales).mkdir("folder.clr"));
    QVERIFY(QFile::link(scales + "b.clr", scales + "link.clr"));
    // A file that cannot be opened is skipped; lists stay aligned.
    QVERIFY(writeFile(scales + "locked.clr", "h\n0 9 9 9\n"));
    QFile::setPermissions(scales + "locked.clr", QFileDevice::Permissions());
    const bool lockedReadable = QFile(scales + "locked.clr").open(QIODevice::ReadOnly);

    QVERIFY(QDir::setCurrent(dir.path()));
    Dialog_ColorMap dialog;
    QDir::setCurrent(m_startDir);

    auto* combo = child<QComboBox>(&dialog, "comboBox");
    QStringList names;
    for (int i = 0; i < combo->count(); ++i)
        names << combo->itemText(i);
    QStringList expected{"A.clr", "b.clr", "empty.clr"};
    if (lockedReadable)
        expected << "locked.clr";
    QCOMPARE(names, expected);
    QCOMPARE(dialog.presets().size(), combo->count());
    QCOMPARE(dialog.presets().at(0), ramp({{0.0f, QColor(0, 255, 0)}, {1.0f, QColor(0, 0, 0)}}));
    QVERIFY(dialog.presets().at(2).isEmpty());
    QCOMPARE(combo->iconSize(), QSize(200, 20));
    QVERIFY(!combo->itemIcon(0).isNull());

    // The first preset is in the editor; choosing another replaces it.
    QCOMPARE(dialog.gradientEditor()->getGradient(), dialog.presets().at(0));
    combo->setCurrentIndex(1);
    QCOMPARE(dialog.gradientEditor()->getGradient(), dialog.presets().at(1));
    combo->setCurrentIndex(2);
    QVERIFY(dialog.gradientEditor()->getGradient().isEmpty());
}

void TestSettingsDialogs::presetFolderMissing()
{
    QTemporaryDir dir;
    QVERIFY(QDir::setCurrent(dir.path()));
    Dialog_ColorMap dialog;
    QDir::setCurrent(m_startDir);
    QCOMPARE(child<QComboBox>(&dialog, "comboBox")->count(), 0);
    QVERIFY(dialog.presets().isEmpty());
    QCOMPARE(dialog.gradientEditor()->getGradient(),
             WidgetGradientEditor::presetGradient(WidgetGradientEditor::Preset(1)));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("色谱调整"));
    QCOMPARE(dialog.gradientEditor()->maximumHeight(), 35);
}

void TestSettingsDialogs::shippedPresetsParse()
{
    const QDir dir(QStringLiteral(HW_COLORSCALES_DIR));
    const QStringList names = dir.entryList(QStringList() << "*.clr", QDir::Files);
    QVERIFY(names.size() >= 3);
    for (const QString& name : names) {
        Ramp read;
        QVERIFY(Dialog_ColorMap::readColorScale(dir.filePath(name), read));
        QVERIFY2(read.size() >= 2, qPrintable(name));
        QCOMPARE(read.firstKey(), 0.0f);
        QCOMPARE(read.lastKey(), 1.0f);
    }
}

void TestSettingsDialogs::colorMapRangeAndCurrentValue()
{
    QTemporaryDir dir;
    QVERIFY(QDir::setCurrent(dir.path()));
    Dialog_ColorMap dialog;
    QDir::setCurrent(m_startDir);

    dialog.onStaticResistivity(10.0f, 110.0f);
    QCOMPARE(child<QLineEdit>(&dialog, "lineEdit")->text(), QStringLiteral("10"));
    QCOMPARE(child<QLineEdit>(&dialog, "lineEdit_Min")->text(), QStringLiteral("10"));
    QCOMPARE(child<QLineEdit>(&dialog, "lineEdit_Max")->text(), QStringLiteral("110"));
    QCOMPARE(dialog.minimum(), 10.0f);
    QCOMPARE(dialog.maximum(), 110.0f);

    // The focused marker's position shows as a value of the range.
    WidgetGradientEditor* editor = dialog.gradientEditor();
    emit editor->focusMarkerChanged(0.25f, QColor(Qt::red));
    QCOMPARE(child<QLineEdit>(&dialog, "lineEdit")->text(), QStringLiteral("35"));

    // A typed value goes back as a position.
    QSignalSpy spy(&dialog, SIGNAL(signalfocusMarkerPositionChanged(float)));
    child<QLineEdit>(&dialog, "lineEdit")->setText("85");
    click(&dialog, "pushButton");
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toFloat(), 0.75f);

    // An empty range gives no position.
    dialog.onStaticResistivity(5.0f, 5.0f);
    click(&dialog, "pushButton");
    QCOMPARE(spy.count(), 1);
}

void TestSettingsDialogs::colorMapOk_data()
{
    QTest::addColumn<float>("minimum");
    QTest::addColumn<float>("maximum");
    QTest::addColumn<QString>("newMinimum");
    QTest::addColumn<QString>("newMaximum");
    QTest::addColumn<Ramp>("editor");
    QTest::addColumn<Ramp>("expected");

    const QColor a(0, 0, 255), b(0, 255, 0), c(255, 0, 0);
    const Ramp three = ramp({{0.0f, a}, {0.5f, b}, {1.0f, c}});
    QTest::newRow("unchanged range") << 10.0f << 110.0f << "10" << "110" << three << three;
    QTest::newRow("change below a thousandth") << 10.0f << 110.0f << "10.05" << "109.95" << three << three;
    QTest::newRow("fields' own digits") << 1.2345678f << 2.7182818f << "1.23457" << "2.71828" << three << three;
    // A conductive section spans less than one ohm-metre.
    QTest::newRow("conductive section") << 1.0f << 2.12f << "1.05" << "2.05" << three
                                        << ramp({{0.05f / 1.12f, a}, {0.55f / 1.12f, b}, {1.05f / 1.12f, c}});
    // The first colour on the typed minimum, the last on the typed maximum,
    // every stop kept (positions are fractions of the section's range).
    QTest::newRow("stretched maximum") << 10.0f << 110.0f << "10" << "210" << three
                                       << ramp({{0.0f, a}, {1.0f, b}, {2.0f, c}});
    QTest::newRow("narrowed maximum") << 10.0f << 110.0f << "10" << "60" << three
                                      << ramp({{0.0f, a}, {0.25f, b}, {0.5f, c}});
    QTest::newRow("both ends moved") << 10.0f << 110.0f << "30" << "90" << three
                                     << ramp({{0.2f, a}, {0.5f, b}, {0.8f, c}});
    QTest::newRow("range widened on both sides") << 10.0f << 110.0f << "-40" << "160" << three
                                                 << ramp({{-0.5f, a}, {0.5f, b}, {1.5f, c}});
    QTest::newRow("empty range keeps stops") << 5.0f << 5.0f << "0" << "200" << three << three;
    QTest::newRow("not a number keeps stops") << 10.0f << 110.0f << "nan" << "110" << three << three;
}

void TestSettingsDialogs::colorMapOk()
{
    QFETCH(float, minimum);
    QFETCH(float, maximum);
    QFETCH(QString, newMinimum);
    QFETCH(QString, newMaximum);
    QFETCH(Ramp, editor);
    QFETCH(Ramp, expected);

    Dialog_ColorMap dialog;
    dialog.onStaticResistivity(minimum, maximum);
    dialog.gradientEditor()->setGradient(editor);
    child<QLineEdit>(&dialog, "lineEdit_Min")->setText(newMinimum);
    child<QLineEdit>(&dialog, "lineEdit_Max")->setText(newMaximum);
    QSignalSpy spy(&dialog, SIGNAL(signal_ColorMapChanged(QMap<float,QColor>)));
    QCOMPARE(execAndClick(&dialog, "pushButton_ok"), int(QDialog::Rejected));
    QCOMPARE(spy.count(), 1);
    const Ramp sent = spy.at(0).at(0).value<Ramp>();
    QCOMPARE(sent.size(), expected.size());
    auto s = sent.constBegin();
    for (auto e = expected.constBegin(); e != expected.constEnd(); ++e, ++s) {
        QVERIFY2(hwtest::nearlyEqual(s.key(), e.key(), 1e-5), qPrintable(QString::number(s.key())));
        QCOMPARE(s.value(), e.value());
    }
    // OK moves neither the range, the fields nor the editor.
    QCOMPARE(dialog.minimum(), minimum);
    QCOMPARE(dialog.maximum(), maximum);
    QCOMPARE(child<QLineEdit>(&dialog, "lineEdit_Max")->text(), newMaximum);
    QCOMPARE(dialog.gradientEditor()->getGradient(), editor);
}

void TestSettingsDialogs::colorMapOkTwiceDoesNotCompound()
{
    Dialog_ColorMap dialog;
    dialog.onStaticResistivity(10.0f, 110.0f);
    dialog.gradientEditor()->setGradient(ramp({{0.0f, Qt::blue}, {0.5f, Qt::green}, {1.0f, Qt::red}}));
    child<QLineEdit>(&dialog, "lineEdit_Max")->setText("210");
    QSignalSpy spy(&dialog, SIGNAL(signal_ColorMapChanged(QMap<float,QColor>)));
    execAndClick(&dialog, "pushButton_ok");
    execAndClick(&dialog, "pushButton_ok");
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(0).at(0).value<Ramp>(), spy.at(1).at(0).value<Ramp>());
}

void TestSettingsDialogs::colorMapCancelSendsNothing()
{
    Dialog_ColorMap dialog;
    QSignalSpy spy(&dialog, SIGNAL(signal_ColorMapChanged(QMap<float,QColor>)));
    QCOMPARE(execAndClick(&dialog, "pushButton_Cancle"), int(QDialog::Rejected));
    QCOMPARE(spy.count(), 0);
}

void TestSettingsDialogs::renderDialogs()
{
    Dialog_TimeSetting time;
    time.show();
    QVERIFY(time.grab().save("/tmp/hw_timesetting.png"));
    Dialog_GridSetting grid;
    grid.show();
    QVERIFY(grid.grab().save("/tmp/hw_gridsetting.png"));

    QVERIFY(QDir::setCurrent(QStringLiteral(HW_COLORSCALES_DIR "/..")));
    Dialog_ColorMap colours;
    QDir::setCurrent(m_startDir);
    colours.onStaticResistivity(12.5f, 860.0f);
    colours.show();
    QVERIFY(colours.grab().save("/tmp/hw_colormap.png"));
}

QTEST_MAIN(TestSettingsDialogs)
#include "tst_settings_dialogs.moc"
