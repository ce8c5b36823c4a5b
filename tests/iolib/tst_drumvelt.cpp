#include "iolib/Drumvelt.h"

#include "common/TestHelpers.h"

#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

enum Scheme { QELVA18 = 0, LOG10 = 1, LOG20 = 2 };

// Midpoint of two neighbouring gate centres, written as the gate rules do.
double mid(double a, double b)
{
    return (b + a) * 0.5;
}

// A run of table entries 10^(k/n), k = k0..k1, rounded to the given digits.
struct Run {
    int n, k0, k1, digits;
};

// The gate rules written out directly: every gate scans every sample.
void scanPerGate(const QVector<double> &table, bool inclusiveMiddle,
                 QVector<double> *times, QVector<double> *values)
{
    const int count = qMin(times->size(), values->size());
    double tmax = kNaN;
    for (int k = 0; k < count; ++k)
        if (std::isnan(tmax) || times->at(k) > tmax)
            tmax = times->at(k);
    QVector<double> g;
    for (double e : table)
        if (10.0 <= e && e <= tmax)
            g.append(e);
    const int n = g.size();
    QVector<double> outT, outV;
    for (int i = 0; i < n; ++i) {
        double sum = 0.0;
        int used = 0;
        for (int k = 0; k < count; ++k) {
            const double t = times->at(k);
            bool in = t >= 10.0;
            if (n >= 2 && i == 0)
                in = in && t < mid(g[0], g[1]);
            else if (n >= 2 && i == n - 1)
                in = in && t >= mid(g[n - 2], g[n - 1]);
            else if (n >= 2)
                in = in && t >= mid(g[i - 1], g[i])
                     && (inclusiveMiddle ? t <= mid(g[i], g[i + 1]) : t < mid(g[i], g[i + 1]));
            if (in) {
                sum += values->at(k);
                ++used;
            }
        }
        if (used > 0) {
            outT.append(g[i]);
            outV.append(sum / used);
        }
    }
    *times = outT;
    *values = outV;
}

bool sameBits(const QVector<double> &a, const QVector<double> &b)
{
    return a.size() == b.size()
           && std::memcmp(a.constData(), b.constData(), sizeof(double) * size_t(a.size())) == 0;
}

} // namespace

Q_DECLARE_METATYPE(Scheme)

class TestDrumvelt : public QObject
{
    Q_OBJECT

private:
    static const QVector<double> &table(const Drumvelt &d, const QString &name)
    {
        if (name == "timeScaleMixed") return d.timeScaleMixed;
        if (name == "timeScaleQELVA18") return d.timeScaleQELVA18;
        if (name == "timeScale10") return d.timeScale10;
        if (name == "timeScale20") return d.timeScale20;
        return d.timeScale30;
    }

    static QVector<double> gateTable(const Drumvelt &d, Scheme s)
    {
        return s == QELVA18 ? d.timeScaleQELVA18 : s == LOG10 ? d.timeScale30 : d.timeScale20;
    }

    static void window(Drumvelt &d, Scheme s, QVector<double> *t, QVector<double> *v)
    {
        if (s == QELVA18)
            d.QELVA18TimeWindow(t, v);
        else if (s == LOG10)
            d.QVLOG10TimeWindow(t, v);
        else
            d.QVLOG20TimeWindow(t, v);
    }

    // How each table is made up, from the instrument's definition.
    static QVector<Run> runs(const QString &name)
    {
        const QVector<Run> mixedHead = {{10, 10, 18, 7}, {12, 23, 23, 7}, {24, 47, 47, 7},
                                        {19, 38, 57, 7}};
        if (name == "timeScaleMixed")
            return mixedHead + QVector<Run>{{15, 46, 60, 7}, {10, 41, 60, 7}};
        if (name == "timeScaleQELVA18")
            return mixedHead + QVector<Run>{{20, 61, 80, 7}, {30, 121, 180, 6}, {10, 61, 66, 7}};
        if (name == "timeScale10")
            return {{10, 10, 60, 7}};
        if (name == "timeScale20")
            return {{20, 20, 120, 7}};
        return {{30, 30, 180, 6}};
    }

private slots:
    void tableShape_data();
    void tableShape();
    void tableEntriesFollowRule_data();
    void tableEntriesFollowRule();
    void tableLandmarks_data();
    void tableLandmarks();
    void currentTimeScale_data();
    void currentTimeScale();
    void copyAndMove();

    void windows_data();
    void windows();
    void windowsMatchPerGateScan_data();
    void windowsMatchPerGateScan();
    void nullArgumentsLeaveOtherUntouched();
};

void TestDrumvelt::tableShape_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("size");
    QTest::addColumn<double>("last");
    QTest::newRow("mixed") << "timeScaleMixed" << 66 << 1000000.0;
    QTest::newRow("qelva18") << "timeScaleQELVA18" << 117 << 3981072.0;
    QTest::newRow("10") << "timeScale10" << 51 << 1000000.0;
    QTest::newRow("20") << "timeScale20" << 101 << 1000000.0;
    QTest::newRow("30") << "timeScale30" << 151 << 1000000.0;
}

void TestDrumvelt::tableShape()
{
    QFETCH(QString, name);
    QFETCH(int, size);
    QFETCH(double, last);
    const Drumvelt d;
    const QVector<double> &t = table(d, name);
    QCOMPARE(t.size(), size);
    QCOMPARE(t.first(), 10.0);
    QCOMPARE(t.last(), last);
    for (int i = 1; i < t.size(); ++i)
        QVERIFY2(t[i - 1] < t[i], qPrintable(QString("not ascending at %1").arg(i)));
}

void TestDrumvelt::tableEntriesFollowRule_data()
{
    QTest::addColumn<QString>("name");
    for (const char *n : {"timeScaleMixed", "timeScaleQELVA18", "timeScale10", "timeScale20",
                          "timeScale30"})
        QTest::newRow(n) << QString(n);
}

void TestDrumvelt::tableEntriesFollowRule()
{
    QFETCH(QString, name);
    const Drumvelt d;
    const QVector<double> &t = table(d, name);
    int i = 0;
    for (const Run &r : runs(name)) {
        for (int k = r.k0; k <= r.k1; ++k, ++i) {
            QVERIFY2(i < t.size(), "table shorter than its definition");
            const double exact = std::pow(10.0, double(k) / r.n);
            const double rounded = QString::number(exact, 'g', r.digits).toDouble();
            QVERIFY2(t[i] == rounded,
                     qPrintable(QString("entry %1 (10^(%2/%3)): %4, expected %5")
                                    .arg(i).arg(k).arg(r.n)
                                    .arg(t[i], 0, 'g', 17).arg(rounded, 0, 'g', 17)));
        }
    }
    QCOMPARE(i, t.size());
}

void TestDrumvelt::tableLandmarks_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("entry");   // counted from 1
    QTest::addColumn<double>("value");
    QTest::newRow("qelva18 31") << "timeScaleQELVA18" << 31 << 1000.0;
    QTest::newRow("qelva18 32") << "timeScaleQELVA18" << 32 << 1122.018;
    QTest::newRow("qelva18 51") << "timeScaleQELVA18" << 51 << 10000.0;
    QTest::newRow("qelva18 52, six digits") << "timeScaleQELVA18" << 52 << 10797.8;
    QTest::newRow("qelva18 111") << "timeScaleQELVA18" << 111 << 1000000.0;
    QTest::newRow("qelva18 112") << "timeScaleQELVA18" << 112 << 1258925.0;
    QTest::newRow("mixed odd 82") << "timeScaleMixed" << 10 << 82.54042;
    QTest::newRow("mixed odd 90") << "timeScaleMixed" << 11 << 90.85176;
    QTest::newRow("mixed 7 digits") << "timeScaleMixed" << 2 << 12.58925;
    QTest::newRow("30, six digits low") << "timeScale30" << 2 << 10.7978;
    QTest::newRow("30, six digits high") << "timeScale30" << 150 << 926119.0;
    QTest::newRow("20, seven digits") << "timeScale20" << 100 << 891250.9;
}

void TestDrumvelt::tableLandmarks()
{
    QFETCH(QString, name);
    QFETCH(int, entry);
    QFETCH(double, value);
    const Drumvelt d;
    QCOMPARE(table(d, name).at(entry - 1), value);
}

void TestDrumvelt::currentTimeScale_data()
{
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<QVector<double>>("source");
    QTest::addColumn<QVector<double>>("expected");

    const Drumvelt d;
    const QVector<double> up150 = d.timeScale20.mid(0, 24);
    QTest::newRow("10..150 on 20 per decade") << 10.0 << 150.0 << d.timeScale20 << up150;
    QTest::newRow("max on an entry is kept") << 10.0 << 141.2538 << d.timeScale20 << up150;
    QTest::newRow("max below 10") << 10.0 << 9.99 << d.timeScale20 << QVector<double>();
    QTest::newRow("max NaN") << 10.0 << kNaN << d.timeScale20 << QVector<double>();
    QTest::newRow("NaN entry skipped") << 10.0 << 100.0 << QVector<double>{5, 10, kNaN, 20, 200}
                                       << QVector<double>{10, 20};
}

void TestDrumvelt::currentTimeScale()
{
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(QVector<double>, source);
    QFETCH(QVector<double>, expected);
    Drumvelt d;
    const QVector<double> got = d.getCurrentTimeScale(min, max, source);
    QCOMPARE(got, expected);
    if (expected.size() == 24)
        QCOMPARE(got.last(), 141.2538);
}

void TestDrumvelt::copyAndMove()
{
    Drumvelt source;
    const Drumvelt copy(source);
    QCOMPARE(copy.timeScaleQELVA18, source.timeScaleQELVA18);
    QCOMPARE(copy.timeScale30, source.timeScale30);

    Drumvelt moved(std::move(source));
    QCOMPARE(moved.timeScale20, copy.timeScale20);
    for (const char *n : {"timeScaleMixed", "timeScaleQELVA18", "timeScale10", "timeScale20",
                          "timeScale30"})
        QVERIFY2(table(source, n).isEmpty(), n);

    // A moved-from object forms no gates on any scheme.
    for (Scheme s : {QELVA18, LOG10, LOG20}) {
        QVector<double> t{10, 11, 12, 13}, v{1, 2, 3, 4};
        window(source, s, &t, &v);
        QVERIFY(t.isEmpty());
        QVERIFY(v.isEmpty());
    }

    Drumvelt target;
    target = std::move(moved);
    QCOMPARE(target.timeScaleMixed, copy.timeScaleMixed);
    QVERIFY(moved.timeScaleMixed.isEmpty());
    Drumvelt assigned;
    assigned = copy;
    QCOMPARE(assigned.timeScale10, copy.timeScale10);
}

void TestDrumvelt::windows_data()
{
    QTest::addColumn<Scheme>("scheme");
    QTest::addColumn<QVector<double>>("times");
    QTest::addColumn<QVector<double>>("values");
    QTest::addColumn<QVector<double>>("gateTimes");
    QTest::addColumn<QVector<double>>("gateValues");
    using V = QVector<double>;

    QTest::newRow("log20 three gates")
        << LOG20 << V{10, 11, 12, 13} << V{1, 2, 3, 4}
        << V{10, 11.22018, 12.58925} << V{1, 2, 3.5};
    QTest::newRow("log20 sample before 10 us ignored")
        << LOG20 << V{5, 10, 11, 12, 13} << V{100, 1, 2, 3, 4}
        << V{10, 11.22018, 12.58925} << V{1, 2, 3.5};
    QTest::newRow("log20 unsorted times")
        << LOG20 << V{13, 10, 12, 11} << V{4, 1, 3, 2}
        << V{10, 11.22018, 12.58925} << V{1, 2, 3.5};
    QTest::newRow("log20 gate without samples dropped")
        << LOG20 << V{10, 13} << V{1, 2} << V{10, 12.58925} << V{1, 2};

    // Boundaries: under the 30- and 20-per-decade schemes a sample on a
    // middle gate's upper boundary counts in both gates (not so on the first
    // gate's); under the 18-channel scheme only in the later gate.
    QTest::newRow("log20 samples on boundaries")
        << LOG20
        << V{10, mid(10, 11.22018), mid(11.22018, 12.58925), mid(12.58925, 14.12538), 15}
        << V{1, 2, 4, 8, 16}
        << V{10, 11.22018, 12.58925, 14.12538} << V{1, 3, 6, 12};
    QTest::newRow("log10 samples on boundaries")
        << LOG10 << V{10, mid(10, 10.7978), mid(10.7978, 11.6591), 12} << V{1, 2, 4, 8}
        << V{10, 10.7978, 11.6591} << V{1, 3, 6};
    QTest::newRow("qelva18 samples on boundaries")
        << QELVA18
        << V{10, mid(10, 12.58925), mid(12.58925, 15.84893), mid(15.84893, 19.95262), 25}
        << V{1, 2, 4, 8, 16}
        << V{10, 12.58925, 15.84893, 19.95262} << V{1, 2, 4, 12};
    QTest::newRow("qelva18 boundary in the 19-per-decade run")
        << QELVA18 << V{mid(885.8668, 1000), mid(1000, 1122.018), 1200} << V{1, 2, 4}
        << V{1000, 1122.018} << V{1, 3};

    // Beyond one second the 30/20-per-decade schemes pile everything into
    // their last gate; the 18-channel scheme goes on.
    QTest::newRow("log20 beyond 1 s")
        << LOG20 << V{900000, 990000, 2000000, 3000000} << V{1, 2, 3, 4}
        << V{891250.9, 1000000} << V{1, 3};
    QTest::newRow("log10 beyond 1 s")
        << LOG10 << V{900000, 990000, 2000000, 3000000} << V{1, 2, 3, 4}
        << V{926119, 1000000} << V{1, 3};
    QTest::newRow("qelva18 beyond 1 s")
        << QELVA18 << V{900000, 990000, 2000000, 3000000} << V{1, 2, 3, 4}
        << V{926119, 1000000, 1995262, 2511886} << V{1, 2, 3, 4};

    for (Scheme s : {QELVA18, LOG10, LOG20}) {
        const QByteArray tag = s == QELVA18 ? "qelva18" : s == LOG10 ? "log10" : "log20";
        QTest::newRow(tag + " empty") << s << V{} << V{} << V{} << V{};
        QTest::newRow(tag + " all before 10 us") << s << V{1, 5, 9.99} << V{1, 2, 3} << V{} << V{};
        QTest::newRow(tag + " all times NaN") << s << V{kNaN, kNaN} << V{1, 2} << V{} << V{};
    }

    // One admissible gate: the mean of every sample from 10 us on.
    QTest::newRow("log20 one gate") << LOG20 << V{5, 10, 10.5, 11.2} << V{100, 1, 2, 3}
                                    << V{10} << V{2};
    QTest::newRow("log10 one gate") << LOG10 << V{10, 10.5} << V{1, 2} << V{10} << V{1.5};
    QTest::newRow("qelva18 one gate") << QELVA18 << V{10, 11, 12} << V{1, 2, 6} << V{10} << V{3};

    QTest::newRow("values shorter than times")
        << LOG20 << V{10, 11, 12, 13} << V{1, 2, 3} << V{10, 11.22018} << V{1, 2.5};
    QTest::newRow("values longer than times")
        << LOG20 << V{10, 11, 12, 13} << V{1, 2, 3, 4, 99}
        << V{10, 11.22018, 12.58925} << V{1, 2, 3.5};
    QTest::newRow("NaN first time")
        << LOG20 << V{kNaN, 10, 11, 12, 13} << V{9, 1, 2, 3, 4}
        << V{10, 11.22018, 12.58925} << V{1, 2, 3.5};
    QTest::newRow("NaN time inside")
        << QELVA18 << V{10, kNaN, 13} << V{1, 50, 3} << V{10, 12.58925} << V{1, 3};
}

void TestDrumvelt::windows()
{
    QFETCH(Scheme, scheme);
    QFETCH(QVector<double>, times);
    QFETCH(QVector<double>, values);
    QFETCH(QVector<double>, gateTimes);
    QFETCH(QVector<double>, gateValues);
    Drumvelt d;
    window(d, scheme, &times, &values);
    QCOMPARE(times, gateTimes);
    QCOMPARE(values, gateValues);
}

void TestDrumvelt::windowsMatchPerGateScan_data()
{
    QTest::addColumn<Scheme>("scheme");
    QTest::addColumn<QVector<double>>("times");
    QTest::addColumn<QVector<double>>("values");

    // A decay sampled every 10 us out to 5 s.
    QVector<double> t, v;
    for (int k = 1; k <= 500000; ++k) {
        const double time = 10.0 * k;
        t.append(time);
        v.append(1e6 * std::pow(time, -2.5) * (1.0 + 0.01 * std::sin(k)));
    }
    QVector<double> tr(t.crbegin(), t.crend()), vr(v.crbegin(), v.crend());

    // Random times in 0..2e6 with a sample on every boundary, some repeated,
    // in random order.
    const Drumvelt d;
    QRandomGenerator rng(20261209);
    for (Scheme s : {QELVA18, LOG10, LOG20}) {
        const QVector<double> g = gateTable(d, s);
        QVector<double> rt, rv;
        for (int k = 0; k < 3000; ++k) {
            rt.append(rng.bounded(2e6));
            rv.append(rng.bounded(1.0) - 0.5);
        }
        for (int j = 0; j + 1 < g.size() && g[j + 1] <= 2e6; ++j) {
            for (int rep = 0; rep < 1 + j % 2; ++rep) {
                const int at = int(rng.bounded(rt.size() + 1));
                rt.insert(at, mid(g[j], g[j + 1]));
                rv.insert(at, rng.bounded(1.0));
            }
        }
        const QByteArray tag = s == QELVA18 ? "qelva18" : s == LOG10 ? "log10" : "log20";
        QTest::newRow(tag + " decay every 10 us to 5 s") << s << t << v;
        QTest::newRow(tag + " same decay reversed") << s << tr << vr;
        QTest::newRow(tag + " random order with boundaries") << s << rt << rv;
    }
}

void TestDrumvelt::windowsMatchPerGateScan()
{
    QFETCH(Scheme, scheme);
    QFETCH(QVector<double>, times);
    QFETCH(QVector<double>, values);
    Drumvelt d;
    const double latest = *std::max_element(times.cbegin(), times.cend());
    QVector<double> expT = times, expV = values;
    scanPerGate(gateTable(d, scheme), scheme != QELVA18, &expT, &expV);
    window(d, scheme, &times, &values);
    QVERIFY(!expT.isEmpty());
    QVERIFY2(sameBits(times, expT), "gate times differ from the per-gate scan");
    QVERIFY2(sameBits(values, expV), "gate means differ from the per-gate scan");
    if (latest > 4e6)
        QCOMPARE(times.last(), scheme == QELVA18 ? 3981072.0 : 1000000.0);
}

void TestDrumvelt::nullArgumentsLeaveOtherUntouched()
{
    Drumvelt d;
    QVector<double> v{1, 2, 3};
    d.QELVA18TimeWindow(nullptr, &v);
    d.QVLOG10TimeWindow(&v, nullptr);
    d.QVLOG20TimeWindow(nullptr, &v);
    QCOMPARE(v, (QVector<double>{1, 2, 3}));
}

QTEST_APPLESS_MAIN(TestDrumvelt)
#include "tst_drumvelt.moc"
