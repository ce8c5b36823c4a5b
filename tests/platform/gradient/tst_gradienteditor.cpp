#include "platform/gradient/WidgetGradientEditor.h"

#include "common/TestHelpers.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <limits>

using Ramp = QMap<float, QColor>;
Q_DECLARE_METATYPE(Ramp)

namespace {

Ramp rainbow()
{
    return WidgetGradientEditor::presetGradient(WidgetGradientEditor::Rainbow);
}

// A shown editor of a fixed size, so marker positions map to known pixels.
struct Shown {
    WidgetGradientEditor editor;
    explicit Shown(const Ramp& ramp = rainbow())
    {
        editor.resize(212, 35);
        editor.setGradient(ramp);
        editor.show();
    }
    bool exposed() { return QTest::qWaitForWindowExposed(&editor); }
    // Pixel under the marker of a stop: the bar runs from x = 6 to x = 205.
    QPoint markerPoint(float position) const
    {
        const double t = (position - editor.rangeMinimum())
            / double(editor.rangeMaximum() - editor.rangeMinimum());
        return QPoint(6 + int(std::lround(t * 199)), editor.height() - 4);
    }
};

} // namespace

class TestGradientEditor : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void presets_data();
    void presets();
    void markerFocusByClick_data();
    void markerFocusByClick();
    void slotMovesFocusedMarker_data();
    void slotMovesFocusedMarker();
    void slotWithoutFocusOrBadValue();
    void dragMovesMarker();
    void newGradientDropsFocus();
    void renderOffscreen();
};

void TestGradientEditor::roundTrip_data()
{
    QTest::addColumn<Ramp>("ramp");
    QTest::addColumn<float>("rangeMin");
    QTest::addColumn<float>("rangeMax");

    Ramp normal{{0.0f, Qt::blue}, {0.3f, Qt::green}, {1.0f, Qt::red}};
    QTest::newRow("stops inside 0..1") << normal << 0.0f << 1.0f;
    // A stretched ramp from the colour-scale dialog reaches past 1.
    Ramp stretched{{0.0f, Qt::blue}, {0.916667f, Qt::green}, {1.909091f, Qt::red}};
    QTest::newRow("stretched past 1") << stretched << 0.0f << 1.909091f;
    Ramp negative{{-0.5f, Qt::black}, {0.5f, Qt::white}};
    QTest::newRow("below 0") << negative << -0.5f << 1.0f;
    QTest::newRow("single stop") << Ramp{{0.5f, QColor(255, 0, 0)}} << 0.0f << 1.0f;
    QTest::newRow("empty") << Ramp() << 0.0f << 1.0f;
}

void TestGradientEditor::roundTrip()
{
    QFETCH(Ramp, ramp);
    QFETCH(float, rangeMin);
    QFETCH(float, rangeMax);
    WidgetGradientEditor editor;
    editor.setGradient(ramp);
    QCOMPARE(editor.getGradient(), ramp);
    QCOMPARE(editor.rangeMinimum(), rangeMin);
    QCOMPARE(editor.rangeMaximum(), rangeMax);
    QCOMPARE(editor.focusedMarker(), -1);
}

void TestGradientEditor::presets_data()
{
    QTest::addColumn<int>("preset");
    QTest::addColumn<int>("stops");
    QTest::addColumn<QColor>("first");
    QTest::addColumn<QColor>("last");
    QTest::newRow("grayscale") << int(WidgetGradientEditor::Grayscale) << 2 << QColor(Qt::black) << QColor(Qt::white);
    QTest::newRow("rainbow (preset 1)") << 1 << 5 << QColor(0, 0, 255) << QColor(255, 0, 0);
    QTest::newRow("hot") << int(WidgetGradientEditor::Hot) << 4 << QColor(Qt::black) << QColor(Qt::white);
    QTest::newRow("cool-warm") << int(WidgetGradientEditor::CoolWarm) << 3 << QColor(59, 76, 192) << QColor(180, 4, 38);
}

void TestGradientEditor::presets()
{
    QFETCH(int, preset);
    QFETCH(int, stops);
    QFETCH(QColor, first);
    QFETCH(QColor, last);

    WidgetGradientEditor editor;
    editor.setGradient(Ramp{{0.2f, Qt::gray}});
    editor.slotReset(WidgetGradientEditor::Preset(preset));
    const Ramp g = editor.getGradient();
    QCOMPARE(g.size(), stops);
    QCOMPARE(g.firstKey(), 0.0f);
    QCOMPARE(g.lastKey(), 1.0f);
    QCOMPARE(g.first(), first);
    QCOMPARE(g.last(), last);

    // A value naming no preset leaves the ramp alone.
    editor.slotReset(WidgetGradientEditor::Preset(99));
    QCOMPARE(editor.getGradient(), g);
}

void TestGradientEditor::markerFocusByClick_data()
{
    QTest::addColumn<float>("position");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<int>("index");
    QTest::newRow("first") << 0.0f << QColor(0, 0, 255) << 0;
    QTest::newRow("middle") << 0.5f << QColor(0, 255, 0) << 2;
    QTest::newRow("last") << 1.0f << QColor(255, 0, 0) << 4;
}

void TestGradientEditor::markerFocusByClick()
{
    QFETCH(float, position);
    QFETCH(QColor, colour);
    QFETCH(int, index);

    Shown s;
    QVERIFY(s.exposed());
    // A fresh editor starts with preset 1 and no focus.
    QCOMPARE(WidgetGradientEditor().getGradient(), rainbow());

    QSignalSpy spy(&s.editor, &WidgetGradientEditor::focusMarkerChanged);
    QTest::mouseClick(&s.editor, Qt::LeftButton, Qt::NoModifier, s.markerPoint(position));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toFloat(), position);
    QCOMPARE(spy.at(0).at(1).value<QColor>(), colour);
    QCOMPARE(s.editor.focusedMarker(), index);
    // A click does not move the marker.
    QCOMPARE(s.editor.getGradient(), rainbow());

    // A click between markers changes nothing.
    QTest::mouseClick(&s.editor, Qt::LeftButton, Qt::NoModifier, s.markerPoint(0.125f));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(s.editor.focusedMarker(), index);
}

void TestGradientEditor::slotMovesFocusedMarker_data()
{
    QTest::addColumn<float>("focusAt");
    QTest::addColumn<float>("wanted");
    QTest::addColumn<float>("expected");

    QTest::newRow("free move") << 0.5f << 0.6f << 0.6f;
    QTest::newRow("stops before next marker") << 0.5f << 0.9f << 0.75f - 1e-4f;
    QTest::newRow("stops after previous marker") << 0.5f << 0.1f << 0.25f + 1e-4f;
    QTest::newRow("last marker inside range") << 1.0f << 3.0f << 1.0f;
    QTest::newRow("first marker inside range") << 0.0f << -2.0f << 0.0f;
    QTest::newRow("first marker moves right") << 0.0f << 0.2f << 0.2f;
}

void TestGradientEditor::slotMovesFocusedMarker()
{
    QFETCH(float, focusAt);
    QFETCH(float, wanted);
    QFETCH(float, expected);

    Shown s;
    QVERIFY(s.exposed());
    const QColor colour = rainbow().value(focusAt);
    QTest::mouseClick(&s.editor, Qt::LeftButton, Qt::NoModifier, s.markerPoint(focusAt));

    QSignalSpy spy(&s.editor, &WidgetGradientEditor::focusMarkerChanged);
    s.editor.onfocusMarkerPositionChanged(wanted);
    QCOMPARE(spy.count(), 1);
    QVERIFY(hwtest::nearlyEqual(spy.at(0).at(0).toFloat(), expected, 1e-5, 1e-6));
    QCOMPARE(spy.at(0).at(1).value<QColor>(), colour);

    const Ramp g = s.editor.getGradient();
    QCOMPARE(g.size(), 5);
    const QList<float> keys = g.keys();
    for (int i = 1; i < keys.size(); ++i)
        QVERIFY(keys.at(i - 1) < keys.at(i));
    QVERIFY(keys.first() >= 0.0f && keys.last() <= 1.0f);
    bool found = false;
    for (auto it = g.constBegin(); it != g.constEnd(); ++it)
        if (it.value() == colour) {
            QVERIFY(hwtest::nearlyEqual(it.key(), expected, 1e-5, 1e-6));
            found = true;
        }
    QVERIFY(found);
}

void TestGradientEditor::slotWithoutFocusOrBadValue()
{
    Shown s;
    QVERIFY(s.exposed());
    QSignalSpy spy(&s.editor, &WidgetGradientEditor::focusMarkerChanged);
    s.editor.onfocusMarkerPositionChanged(0.6f);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(s.editor.getGradient(), rainbow());

    // The dialog divides by (maximum - minimum); an equal range gives these.
    QTest::mouseClick(&s.editor, Qt::LeftButton, Qt::NoModifier, s.markerPoint(0.5f));
    QCOMPARE(spy.count(), 1);
    for (float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                      -std::numeric_limits<float>::infinity()})
        s.editor.onfocusMarkerPositionChanged(bad);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(s.editor.getGradient(), rainbow());
}

void TestGradientEditor::dragMovesMarker()
{
    // A stretched ramp: the last marker may go anywhere up to its own end.
    Ramp stretched{{0.0f, Qt::blue}, {1.0f, Qt::green}, {2.0f, Qt::red}};
    Shown s(stretched);
    QVERIFY(s.exposed());
    QSignalSpy spy(&s.editor, &WidgetGradientEditor::focusMarkerChanged);

    QTest::mousePress(&s.editor, Qt::LeftButton, Qt::NoModifier, s.markerPoint(1.0f));
    QCOMPARE(spy.count(), 1);
    QMouseEvent move(QEvent::MouseMove, s.markerPoint(1.5f), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&s.editor, &move);
    QTest::mouseRelease(&s.editor, Qt::LeftButton, Qt::NoModifier, s.markerPoint(1.5f));

    QCOMPARE(spy.count(), 2);
    const float moved = spy.at(1).at(0).toFloat();
    QVERIFY2(std::fabs(moved - 1.5f) < 0.02f, qPrintable(QString::number(moved)));
    const Ramp g = s.editor.getGradient();
    QCOMPARE(g.keys().size(), 3);
    QCOMPARE(g.value(moved), QColor(Qt::green));
    QCOMPARE(g.lastKey(), 2.0f);

    // Dragging past the next marker stops short of it.
    QTest::mousePress(&s.editor, Qt::LeftButton, Qt::NoModifier, s.markerPoint(0.0f));
    QMouseEvent far(QEvent::MouseMove, QPoint(s.editor.width() - 1, 30), Qt::NoButton, Qt::LeftButton,
                    Qt::NoModifier);
    QApplication::sendEvent(&s.editor, &far);
    QTest::mouseRelease(&s.editor, Qt::LeftButton);
    const QList<float> keys = s.editor.getGradient().keys();
    QCOMPARE(keys.size(), 3);
    QVERIFY(keys.at(0) < keys.at(1) && keys.at(1) < keys.at(2));
    QCOMPARE(s.editor.getGradient().first(), QColor(Qt::blue));

    // Moving without a pressed button does nothing.
    const int before = spy.count();
    QMouseEvent hover(QEvent::MouseMove, s.markerPoint(0.2f), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&s.editor, &hover);
    QCOMPARE(spy.count(), before);
}

void TestGradientEditor::newGradientDropsFocus()
{
    Shown s;
    QVERIFY(s.exposed());
    QTest::mouseClick(&s.editor, Qt::LeftButton, Qt::NoModifier, s.markerPoint(1.0f));
    QCOMPARE(s.editor.focusedMarker(), 4);
    // The old focus index would point past the end of the new two-stop ramp.
    s.editor.slotReset(WidgetGradientEditor::Grayscale);
    QCOMPARE(s.editor.focusedMarker(), -1);
    QSignalSpy spy(&s.editor, &WidgetGradientEditor::focusMarkerChanged);
    s.editor.onfocusMarkerPositionChanged(0.5f);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(s.editor.getGradient(), WidgetGradientEditor::presetGradient(WidgetGradientEditor::Grayscale));
}

void TestGradientEditor::renderOffscreen()
{
    Shown s;
    QVERIFY(s.exposed());
    QTest::mouseClick(&s.editor, Qt::LeftButton, Qt::NoModifier, s.markerPoint(0.5f));
    const QImage img = s.editor.grab().toImage();
    QCOMPARE(img.size(), s.editor.size());
    // Blue at the left end of the bar, red at the right, green in the middle.
    const int y = 10;
    const QColor left = img.pixelColor(8, y);
    const QColor right = img.pixelColor(203, y);
    QVERIFY2(left.blue() > 200 && left.red() < 60, qPrintable(left.name()));
    QVERIFY2(right.red() > 200 && right.blue() < 60, qPrintable(right.name()));
    const QColor middle = img.pixelColor(100, y);
    QVERIFY2(middle.green() > 200 && middle.red() < 80 && middle.blue() < 80, qPrintable(middle.name()));

    const QString dir = qEnvironmentVariable("HW_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        QWidget frame;
        frame.resize(330, 60);
        auto* editor = new WidgetGradientEditor(&frame);
        editor->setGeometry(10, 12, 310, 35);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QTest::mouseClick(editor, Qt::LeftButton, Qt::NoModifier, QPoint(6 + 149, 30));
        editor->onfocusMarkerPositionChanged(0.55f);
        QVERIFY(frame.grab().scaled(frame.size() * 2).save(QDir(dir).filePath(QStringLiteral("hw_gradient_editor.png"))));
    }
}

QTEST_MAIN(TestGradientEditor)
#include "tst_gradienteditor.moc"
