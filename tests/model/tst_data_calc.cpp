// Preprocessing, classification and statistics routines of Data_Calc.

#include <QDataStream>
#include <QtTest>

#include <cmath>
#include <limits>

#include "common/TestHelpers.h"
#include "model/Data_Calc.h"

using Matrix = QVector<QVector<double>>;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

QByteArray blobOf(const QVector<double>& values)
{
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    for (double v : values)
        s << v;
    return out;
}

QVector<double> range(int from, int to)
{
    QVector<double> v;
    for (int i = from; i <= to; ++i)
        v.append(i);
    return v;
}

QList<DataType_ResultData> columns(const Matrix& values)
{
    QList<DataType_ResultData> out;
    for (int i = 0; i < values.size(); ++i) {
        DataType_ResultData r;
        r.x = 10.0 * i;
        r.value = values[i];
        for (int k = 0; k < values[i].size(); ++k)
            r.depth.append(5.0 * k);
        out.append(r);
    }
    return out;
}

// Exact comparison that treats NaN as equal to NaN.
bool sameValues(const QVector<double>& a, const QVector<double>& b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if (std::isnan(a[i]) != std::isnan(b[i]))
            return false;
        if (!std::isnan(a[i]) && a[i] != b[i])
            return false;
    }
    return true;
}

} // namespace

class TestDataCalc : public QObject
{
    Q_OBJECT

private slots:
    void stackCurves_data();
    void stackCurves();
    void stackCurvesWithoutRecordsKeepsOutputs();

    void shiftTimeZero_data();
    void shiftTimeZero();

    void smoothCurveVariable_data();
    void smoothCurveVariable();

    void regroupRecords_data();
    void regroupRecords();

    void findSettledIndex_data();
    void findSettledIndex();

    void smoothCurves_data();
    void smoothCurves();

    void abnormalValueIndices_data();
    void abnormalValueIndices();

    void groupByKey_data();
    void groupByKey();
    void containsKey_data();
    void containsKey();

    void quantileClasses_data();
    void quantileClasses();

    void linearClasses_data();
    void linearClasses();

    void editStatistics_data();
    void editStatistics();

    void reportValueMap_data();
    void reportValueMap();

    void transpose_data();
    void transpose();

    void pointInArea_data();
    void pointInArea();

private:
    Data_Calc calc{nullptr};
};

// --- stacking ---

void TestDataCalc::stackCurves_data()
{
    QTest::addColumn<Matrix>("values");
    QTest::addColumn<Matrix>("times");
    QTest::addColumn<QVector<double>>("expectedValues");
    QTest::addColumn<QVector<double>>("expectedTimes");

    QTest::newRow("three records")
        << Matrix{{1, 2, 3}, {3, 4, 5}, {5, 6, 7}}
        << Matrix{{10, 20, 30}, {11, 21, 31}, {12, 22, 32}}
        << QVector<double>{3, 4, 5} << QVector<double>{10, 20, 30};
    QTest::newRow("single record")
        << Matrix{{2, 4}} << Matrix{{10, 20}}
        << QVector<double>{2, 4} << QVector<double>{10, 20};
    QTest::newRow("shorter later record cuts to common length")
        << Matrix{{1, 2, 3, 4}, {3, 4}} << Matrix{{10, 20, 30, 40}, {10, 20}}
        << QVector<double>{2, 3} << QVector<double>{10, 20};
    QTest::newRow("longer later record uses record 0 length")
        << Matrix{{1, 2}, {3, 4, 99}} << Matrix{{10, 20}, {10, 20, 30}}
        << QVector<double>{2, 3} << QVector<double>{10, 20};
    QTest::newRow("empty record gives empty mean")
        << Matrix{{1, 2}, {}} << Matrix{{10, 20}, {}}
        << QVector<double>{} << QVector<double>{};
}

void TestDataCalc::stackCurves()
{
    QFETCH(Matrix, values);
    QFETCH(Matrix, times);
    QFETCH(QVector<double>, expectedValues);
    QFETCH(QVector<double>, expectedTimes);

    QList<SampleCurve> records;
    for (int i = 0; i < values.size(); ++i) {
        SampleCurve c;
        c.values = values[i];
        c.times = times[i];
        records.append(c);
    }
    QVector<double> outValues{-1, -1, -1, -1, -1};
    QVector<double> outTimes{-1};
    calc.stackCurves(records, &outValues, &outTimes);
    HW_COMPARE_VECTORS(outValues, expectedValues, 1e-12, 1e-12);
    QCOMPARE(outTimes, expectedTimes);
}

void TestDataCalc::stackCurvesWithoutRecordsKeepsOutputs()
{
    QVector<double> values{1, 2};
    QVector<double> times{10, 20};
    calc.stackCurves({}, &values, &times);
    QCOMPARE(values, (QVector<double>{1, 2}));
    QCOMPARE(times, (QVector<double>{10, 20}));
}

// --- shift onto the 1.6 us grid ---

void TestDataCalc::shiftTimeZero_data()
{
    QTest::addColumn<QVector<double>>("times");
    QTest::addColumn<QVector<double>>("values");
    QTest::addColumn<double>("t0");
    QTest::addColumn<QVector<double>>("expectedTimes");
    QTest::addColumn<QVector<double>>("expectedValues");

    const QVector<double> t{10, 20, 30, 40};
    const QVector<double> v{1, 2, 3, 4};
    QTest::newRow("quantised after turn-off") << t << v << 15.0
        << QVector<double>{4.8, 14.4, 24.0} << QVector<double>{2, 3, 4};
    QTest::newRow("t0 on a sample time drops it too") << t << v << 20.0
        << QVector<double>{9.6, 19.2} << QVector<double>{3, 4};
    QTest::newRow("raised first and spread") << QVector<double>{10, 16, 16.5, 17} << v << 15.5
        << QVector<double>{1.6, 3.2, 4.8} << QVector<double>{2, 3, 4};
    QTest::newRow("t0 zero") << t << v << 0.0 << t << v;
    QTest::newRow("t0 at last time") << t << v << 40.0 << t << v;
    QTest::newRow("t0 after last time") << t << v << 50.0 << t << v;
    QTest::newRow("t0 at first time") << t << v << 10.0 << t << v;
    QTest::newRow("t0 before first time") << t << v << 5.0 << t << v;
    QTest::newRow("t0 NaN") << t << v << kNaN << t << v;
    QTest::newRow("unequal lengths") << t << QVector<double>{1, 2, 3} << 15.0
        << t << QVector<double>{1, 2, 3};
    QTest::newRow("empty") << QVector<double>{} << QVector<double>{} << 15.0
        << QVector<double>{} << QVector<double>{};
}

void TestDataCalc::shiftTimeZero()
{
    QFETCH(QVector<double>, times);
    QFETCH(QVector<double>, values);
    QFETCH(double, t0);
    QFETCH(QVector<double>, expectedTimes);
    QFETCH(QVector<double>, expectedValues);

    calc.shiftTimeZero(&times, &values, t0);
    HW_COMPARE_VECTORS(times, expectedTimes, 1e-12, 1e-12);
    QCOMPARE(values, expectedValues);
}

// --- length-dependent smoothing ---

// Input i*i: a three-point mean adds 2/3, a five-point mean adds 2, and the
// tail rule on an already three-point-smoothed sample adds 8/9.
void TestDataCalc::smoothCurveVariable_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<QVector<double>>("offsets");

    auto offsets = [](int n, std::initializer_list<std::pair<std::pair<int, int>, double>> spans) {
        QVector<double> o(n, 0.0);
        for (const auto& s : spans)
            for (int i = s.first.first; i <= s.first.second; ++i)
                o[i] = s.second;
        return o;
    };
    const double third = 2.0 / 3.0;

    QTest::newRow("10 samples unchanged") << 10 << QVector<double>(10, 0.0);
    QTest::newRow("11 samples: tail reaches 9") << 11 << offsets(11, {{{9, 9}, third}});
    QTest::newRow("12 samples: tail reaches 10") << 12 << offsets(12, {{{10, 10}, third}});
    QTest::newRow("13 samples: tail on smoothed 11")
        << 13 << offsets(13, {{{11, 11}, 8.0 / 9.0}});
    QTest::newRow("102 samples")
        << 102 << offsets(102, {{{11, 99}, third}, {{100, 100}, 8.0 / 9.0}});
    QTest::newRow("103 samples")
        << 103 << offsets(103, {{{11, 100}, third}, {{101, 101}, third}});
    QTest::newRow("200 samples")
        << 200 << offsets(200, {{{11, 100}, third}, {{101, 197}, 2.0}, {{198, 198}, third}});
}

void TestDataCalc::smoothCurveVariable()
{
    QFETCH(int, n);
    QFETCH(QVector<double>, offsets);

    QVector<double> in(n), expected(n);
    for (int i = 0; i < n; ++i) {
        in[i] = double(i) * i;
        expected[i] = in[i] + offsets[i];
    }
    HW_COMPARE_VECTORS(calc.smoothCurveVariable(in), expected, 1e-12, 1e-9);
}

void TestDataCalc::regroupRecords_data()
{
    QTest::addColumn<QVector<double>>("values");
    QTest::addColumn<QVector<double>>("times");
    QTest::addColumn<double>("t0");
    QTest::addColumn<QVector<double>>("expectedValues");
    QTest::addColumn<QVector<double>>("expectedTimes");

    QTest::newRow("negative value scaled to positive")
        << QVector<double>{-22, 11, 0} << QVector<double>{10, 20, 30} << 0.0
        << QVector<double>{2, 1, 0} << QVector<double>{10, 20, 30};
    QTest::newRow("shifted then scaled")
        << QVector<double>{1, -22, 33, 44} << QVector<double>{10, 20, 30, 40} << 15.0
        << QVector<double>{2, 3, 4} << QVector<double>{4.8, 14.4, 24.0};
    QTest::newRow("empty") << QVector<double>{} << QVector<double>{} << 15.0
        << QVector<double>{} << QVector<double>{};
}

void TestDataCalc::regroupRecords()
{
    QFETCH(QVector<double>, values);
    QFETCH(QVector<double>, times);
    QFETCH(double, t0);
    QFETCH(QVector<double>, expectedValues);
    QFETCH(QVector<double>, expectedTimes);

    calc.regroupRecords(&values, &times, t0);
    HW_COMPARE_VECTORS(values, expectedValues, 1e-12, 1e-12);
    HW_COMPARE_VECTORS(times, expectedTimes, 1e-12, 1e-12);
}

// --- turn-off detection ---

void TestDataCalc::findSettledIndex_data()
{
    QTest::addColumn<double>("rate");
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<double>("expected");

    const QByteArray tenZeros = blobOf(QVector<double>(10, 0.0));
    // Sample 0 is too high, the window from sample 1 is quiet: result 3e6/rate.
    const QByteArray settlesAt1 =
        blobOf({0.34375, 0.25, 0.25, 0.25, 0.25, 0.296875, 0.296875});

    QTest::newRow("quiet at once, 2.0 becomes 64.5") << 1e6 << tenZeros << 64.5;
    QTest::newRow("quiet at once, 20.0 becomes 64.5") << 1e5 << tenZeros << 64.5;
    QTest::newRow("1.0 stays") << 2e6 << tenZeros << 1.0;
    QTest::newRow("200 stays") << 1e4 << tenZeros << 200.0;
    QTest::newRow("window from sample 1") << 1e6 << settlesAt1 << 64.5;
    QTest::newRow("exactly 30 stays") << 1e5 << settlesAt1 << 30.0;
    // The early averages add the earlier averages before the new value. In
    // that order the step from sample 3 to sample 4 is exactly 0.05 (quiet);
    // adding the new value first makes it 0.05000000000000002 (not quiet).
    QTest::newRow("summation order decides a borderline window") << 1e3
        << blobOf({0.1, 0.1, 0.2, 0.05, 0.3, 0.3, 0.3, 0.3, 0.3, 0.3}) << 2000.0;
    QTest::newRow("5 values") << 1e6 << blobOf(QVector<double>(5, 0.0)) << 0.0;
    QTest::newRow("4 values") << 1e6 << blobOf(QVector<double>(4, 0.0)) << 0.0;
    QTest::newRow("empty record") << 1e6 << QByteArray() << 0.0;
    QTest::newRow("never settles") << 1e6 << blobOf(QVector<double>(20, 1.0)) << 0.0;
    QTest::newRow("NaN record is not quiet")
        << 1e6 << blobOf(QVector<double>(10, kNaN)) << 0.0;
    QTest::newRow("broken tail is not a value")
        << 1e6 << blobOf(QVector<double>(5, 0.0)) + QByteArray(4, '\0') << 0.0;
    QTest::newRow("broken tail after whole values")
        << 1e6 << tenZeros + QByteArray(3, '\x7f') << 64.5;
    QTest::newRow("zero rate") << 0.0 << tenZeros << 0.0;
    QTest::newRow("negative rate") << -1e6 << tenZeros << 0.0;
}

void TestDataCalc::findSettledIndex()
{
    QFETCH(double, rate);
    QFETCH(QByteArray, record);
    QFETCH(double, expected);
    if (record.size() % 8 != 0)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("broken tail"));
    HW_COMPARE_NEAR(calc.findSettledIndex(rate, record), expected, 1e-12);
}

// --- sideways smoothing ---

void TestDataCalc::smoothCurves_data()
{
    QTest::addColumn<Matrix>("values");
    QTest::addColumn<Matrix>("expected");

    QTest::newRow("three stations") << Matrix{{1}, {2}, {6}} << Matrix{{2.2}, {3.2}, {4.2}};
    QTest::newRow("two levels, five stations")
        << Matrix{{5, 0}, {10, 0}, {15, 5}, {20, 0}, {25, 0}}
        << Matrix{{8, 1}, {11, 1}, {15, 1}, {19, 1}, {22, 1}};
    QTest::newRow("single station") << Matrix{{7, 3}} << Matrix{{7, 3}};
    QTest::newRow("ragged: extra levels untouched")
        << Matrix{{1, 100}, {2}, {6, 50}} << Matrix{{2.2, 100}, {3.2}, {4.2, 50}};
    QTest::newRow("empty") << Matrix{} << Matrix{};
}

void TestDataCalc::smoothCurves()
{
    QFETCH(Matrix, values);
    QFETCH(Matrix, expected);

    const QList<DataType_ResultData> in = columns(values);
    const QList<DataType_ResultData> out = calc.smoothCurves(in.toVector());
    QCOMPARE(out.size(), expected.size());
    for (int i = 0; i < out.size(); ++i) {
        QCOMPARE(out[i].x, in[i].x);
        QCOMPARE(out[i].depth, in[i].depth);
        HW_COMPARE_VECTORS(out[i].value, expected[i], 1e-12, 1e-12);
    }
}

// --- abnormal values ---

void TestDataCalc::abnormalValueIndices_data()
{
    QTest::addColumn<QVector<double>>("values");
    QTest::addColumn<QVector<int>>("before");
    QTest::addColumn<QVector<int>>("after");

    const QVector<double> mixed{1, kNaN, 0, kInf, 1e-310};
    QTest::newRow("NaN, inf and subnormal") << mixed << QVector<int>{} << QVector<int>{1, 3, 4};
    QTest::newRow("appends without repeating")
        << mixed << QVector<int>{3, 7} << QVector<int>{3, 7, 1, 4};
    QTest::newRow("negative kinds")
        << QVector<double>{-kInf, -1e-310, -0.0, -1.0, std::numeric_limits<double>::min()}
        << QVector<int>{} << QVector<int>{0, 1};
    QTest::newRow("empty") << QVector<double>{} << QVector<int>{9} << QVector<int>{9};
}

void TestDataCalc::abnormalValueIndices()
{
    QFETCH(QVector<double>, values);
    QFETCH(QVector<int>, before);
    QFETCH(QVector<int>, after);
    Data_Calc::abnormalValueIndices(values, before);
    QCOMPARE(before, after);
}

// --- GPS grouping ---

void TestDataCalc::groupByKey_data()
{
    QTest::addColumn<Matrix>("records"); // line, station, x
    QTest::addColumn<Matrix>("expected");

    QTest::newRow("lines in order, repeated station dropped")
        << Matrix{{2, 5, 1}, {1, 7, 2}, {2, 5.0005, 3}, {2, 6, 4}}
        << Matrix{{2, 5, 1}, {2, 6, 4}, {1, 7, 2}};
    QTest::newRow("line key within tolerance")
        << Matrix{{3, 1, 1}, {3.0005, 2, 2}, {3.002, 3, 3}}
        << Matrix{{3, 1, 1}, {3.0005, 2, 2}, {3.002, 3, 3}};
    QTest::newRow("stations just apart stay")
        << Matrix{{1, 10, 1}, {1, 10.002, 2}} << Matrix{{1, 10, 1}, {1, 10.002, 2}};
    QTest::newRow("empty") << Matrix{} << Matrix{};
}

void TestDataCalc::groupByKey()
{
    QFETCH(Matrix, records);
    QFETCH(Matrix, expected);

    QList<GPSCoordinate> in;
    for (const auto& r : records)
        in.append(GPSCoordinate{float(r[0]), float(r[1]), float(r[2]), 0.0f, 0.0f});
    const QList<GPSCoordinate> out = calc.groupByKey(in);
    QCOMPARE(out.size(), expected.size());
    for (int i = 0; i < out.size(); ++i) {
        QCOMPARE(out[i].lineNo, float(expected[i][0]));
        QCOMPARE(out[i].pointNo, float(expected[i][1]));
        QCOMPARE(out[i].x, float(expected[i][2]));
    }
}

void TestDataCalc::containsKey_data()
{
    QTest::addColumn<QVector<float>>("keys");
    QTest::addColumn<float>("key");
    QTest::addColumn<bool>("found");

    QTest::newRow("exact") << QVector<float>{1, 2} << 2.0f << true;
    QTest::newRow("within tolerance") << QVector<float>{5} << 5.0005f << true;
    QTest::newRow("outside tolerance") << QVector<float>{5} << 5.0015f << false;
    QTest::newRow("empty") << QVector<float>{} << 0.0f << false;
}

void TestDataCalc::containsKey()
{
    QFETCH(QVector<float>, keys);
    QFETCH(float, key);
    QFETCH(bool, found);
    QCOMPARE(calc.containsKey(keys, key), found);
}

// --- classification ---

void TestDataCalc::quantileClasses_data()
{
    QTest::addColumn<Matrix>("values");
    QTest::addColumn<Matrix>("expected");

    QTest::newRow("1..18")
        << Matrix{range(1, 18)}
        << Matrix{{1.5, 1.5, 3.5, 3.5, 5.5, 5.5, 7.5, 7.5, 9.5, 9.5, 11.5, 11.5,
                   13.5, 13.5, 15.5, 15.5, 17.5, 18}};
    QTest::newRow("1..20: largest keep their values")
        << Matrix{range(1, 20)}
        << Matrix{{1.5, 1.5, 3.5, 3.5, 5.5, 5.5, 7.5, 7.5, 9.5, 9.5, 11.5, 11.5,
                   13.5, 13.5, 15.5, 15.5, 17.5, 18, 19, 20}};
    QTest::newRow("across records, zero, negative and NaN stay")
        << Matrix{{18, 0, 1, 2, 3, 4, -5, 5, 6}, {7, 8, 9, kNaN, 10, 11, 12, 13, 14, 15, 16, 17, 1e-19}}
        << Matrix{{18, 0, 1.5, 1.5, 3.5, 3.5, -5, 5.5, 5.5},
                  {7.5, 7.5, 9.5, kNaN, 9.5, 11.5, 11.5, 13.5, 13.5, 15.5, 15.5, 17.5, 1e-19}};
    QTest::newRow("fewer than nine values unchanged")
        << Matrix{{1, 2, 3, 4, 5, 6, 7, 8, 0}} << Matrix{{1, 2, 3, 4, 5, 6, 7, 8, 0}};
    QTest::newRow("empty") << Matrix{} << Matrix{};
    QTest::newRow("empty records") << Matrix{{}, {}} << Matrix{{}, {}};
}

void TestDataCalc::quantileClasses()
{
    QFETCH(Matrix, values);
    QFETCH(Matrix, expected);

    const QList<DataType_ResultData> in = columns(values);
    const QList<DataType_ResultData> out = calc.quantileClasses(in);
    QCOMPARE(out.size(), expected.size());
    for (int i = 0; i < out.size(); ++i) {
        QCOMPARE(out[i].depth, in[i].depth);
        QVERIFY2(sameValues(out[i].value, expected[i]),
                 qPrintable(hwtest::describe(out[i].value)));
    }
}

void TestDataCalc::linearClasses_data()
{
    QTest::addColumn<Matrix>("values");
    QTest::addColumn<Matrix>("expected");

    // mean 4.5, smallest 1, largest 8: both steps are 1.
    QTest::newRow("seven bands")
        << Matrix{{1, 2, 3.5}, {4.5, 5.5, 7, 8}}
        << Matrix{{1.5, 2.5, 3.5}, {4.5, 5.5, 6.5, 7.5}};
    QTest::newRow("below smallest positive and NaN stay")
        << Matrix{{0, 1, 2, 3.5, -1}, {4.5, 5.5, kNaN, 7, 8}}
        << Matrix{{0, 1.5, 2.5, 3.5, -1}, {4.5, 5.5, kNaN, 6.5, 7.5}};
    // Edges of the middle band (lo + 3a = 4, hi - 3d = 5) both take the mean.
    QTest::newRow("middle band edges")
        << Matrix{{1, 4, 5, 8}} << Matrix{{1.5, 4.5, 4.5, 7.5}};
    QTest::newRow("single positive value")
        << Matrix{{0, 3, 1e-19}} << Matrix{{0, 3, 1e-19}};
    QTest::newRow("no positive value") << Matrix{{0, -2}} << Matrix{{0, -2}};
    QTest::newRow("empty") << Matrix{} << Matrix{};
}

void TestDataCalc::linearClasses()
{
    QFETCH(Matrix, values);
    QFETCH(Matrix, expected);

    const QList<DataType_ResultData> out = calc.linearClasses(columns(values));
    QCOMPARE(out.size(), expected.size());
    for (int i = 0; i < out.size(); ++i)
        QVERIFY2(sameValues(out[i].value, expected[i]),
                 qPrintable(hwtest::describe(out[i].value)));
}

// --- edit statistics ---

void TestDataCalc::editStatistics_data()
{
    QTest::addColumn<Matrix>("current");
    QTest::addColumn<Matrix>("raw");
    QTest::addColumn<QVector<double>>("points");
    QTest::addColumn<Matrix>("expected"); // station, share, mean change

    const Matrix curves{{100, 10, 1000, 50}, {1e-3, 2e-3}};
    QTest::newRow("identical curves")
        << curves << curves << QVector<double>{10, 20} << Matrix{{10, 0, 0}, {20, 0, 0}};
    QTest::newRow("last-bit differences are equal")
        << Matrix{{0.1 + 0.2, 1e-7 * 3}} << Matrix{{0.3, 3e-7}}
        << QVector<double>{5} << Matrix{{5, 0, 0}};
    QTest::newRow("one gate of four changed")
        << Matrix{{100, 10, 1000, 50}} << Matrix{{100, 10, 100, 50}}
        << QVector<double>{7} << Matrix{{7, 25, 50}};
    QTest::newRow("mean over changed gates")
        << Matrix{{1000, 1e4}} << Matrix{{100, 100}}
        << QVector<double>{1} << Matrix{{1, 100, 75}};
    QTest::newRow("raw value 1 has no finite ratio")
        << Matrix{{10}} << Matrix{{1}} << QVector<double>{3} << Matrix{{3, 100, 0}};
    QTest::newRow("more points than curves")
        << Matrix{{100}} << Matrix{{10}} << QVector<double>{1, 2}
        << Matrix{{1, 100, 100}, {2, 0, 0}};
    QTest::newRow("raw shorter than current")
        << Matrix{{100, 5, 5}} << Matrix{{10}} << QVector<double>{1}
        << Matrix{{1, 100, 100}};
    QTest::newRow("empty station curve")
        << Matrix{{}} << Matrix{{}} << QVector<double>{4} << Matrix{{4, 0, 0}};
    QTest::newRow("no points") << curves << curves << QVector<double>{} << Matrix{};
}

void TestDataCalc::editStatistics()
{
    QFETCH(Matrix, current);
    QFETCH(Matrix, raw);
    QFETCH(QVector<double>, points);
    QFETCH(Matrix, expected);

    const QVector<EditInfo> out = calc.editStatistics(current, raw, points);
    QCOMPARE(out.size(), expected.size());
    for (int i = 0; i < out.size(); ++i) {
        QCOMPARE(out[i].pointNumber, expected[i][0]);
        HW_COMPARE_NEAR(out[i].editedPercent, expected[i][1], 1e-12);
        HW_COMPARE_NEAR(out[i].meanChangePercent, expected[i][2], 1e-12);
    }
}

// --- line summary ---

void TestDataCalc::reportValueMap_data()
{
    QTest::addColumn<QVector<double>>("stations");
    QTest::addColumn<double>("first");
    QTest::addColumn<double>("last");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("spacing");

    QTest::newRow("unsorted") << QVector<double>{30, 10, 20, 40} << 10.0 << 40.0 << 4 << 10;
    QTest::newRow("tie takes smaller, truncated")
        << QVector<double>{0, 5, 10, 12.5, 15} << 0.0 << 15.0 << 5 << 2;
    QTest::newRow("most frequent wins")
        << QVector<double>{0, 20, 25, 30, 35} << 0.0 << 35.0 << 5 << 5;
    QTest::newRow("single station") << QVector<double>{7} << 7.0 << 7.0 << 1 << 0;
    QTest::newRow("repeated station") << QVector<double>{4, 4, 4} << 4.0 << 4.0 << 3 << 0;
    QTest::newRow("empty") << QVector<double>{} << 0.0 << 0.0 << 0 << 0;
    QTest::newRow("numbers that are not finite are left out")
        << QVector<double>{kInf, 20, kNaN, 10, kInf, -kInf, 30} << 10.0 << 30.0 << 3 << 10;
}

void TestDataCalc::reportValueMap()
{
    QFETCH(QVector<double>, stations);
    QFETCH(double, first);
    QFETCH(double, last);
    QFETCH(int, count);
    QFETCH(int, spacing);

    const LineInfo info = calc.reportValueMap(stations);
    QCOMPARE(info.firstStation, first);
    QCOMPARE(info.lastStation, last);
    QCOMPARE(info.stationCount, count);
    QCOMPARE(info.stationSpacing, spacing);
}

void TestDataCalc::transpose_data()
{
    QTest::addColumn<Matrix>("m");
    QTest::addColumn<Matrix>("expected");

    QTest::newRow("2x3") << Matrix{{1, 2, 3}, {4, 5, 6}} << Matrix{{1, 4}, {2, 5}, {3, 6}};
    QTest::newRow("row 0 fixes the width") << Matrix{{1, 2}, {3, 4, 5}} << Matrix{{1, 3}, {2, 4}};
    QTest::newRow("short row cuts to common width")
        << Matrix{{1, 2, 3}, {4}} << Matrix{{1, 4}};
    QTest::newRow("empty") << Matrix{} << Matrix{};
    QTest::newRow("empty row 0") << Matrix{{}, {1}} << Matrix{};
}

void TestDataCalc::transpose()
{
    QFETCH(Matrix, m);
    QFETCH(Matrix, expected);
    QCOMPARE(calc.transpose(m), expected);
}

void TestDataCalc::pointInArea_data()
{
    QTest::addColumn<QPolygonF>("polygon");
    QTest::addColumn<QPointF>("point");
    QTest::addColumn<bool>("inside");

    const QPolygonF square(QVector<QPointF>{{0, 0}, {10, 0}, {10, 10}, {0, 10}});
    const QPolygonF triangle(QVector<QPointF>{{0, 0}, {4, 0}, {0, 3}});
    QTest::newRow("inside") << square << QPointF(3, 7) << true;
    QTest::newRow("vertex") << square << QPointF(10, 10) << true;
    QTest::newRow("origin vertex") << square << QPointF(0, 0) << true;
    QTest::newRow("middle of bottom edge") << square << QPointF(5, 0) << true;
    QTest::newRow("middle of closing edge") << square << QPointF(0, 5) << true;
    QTest::newRow("on slanted edge") << triangle << QPointF(2, 1.5) << true;
    QTest::newRow("just outside an edge") << square << QPointF(5, -1e-6) << false;
    QTest::newRow("on edge line beyond vertex") << square << QPointF(12, 0) << false;
    QTest::newRow("outside") << square << QPointF(20, 20) << false;
    QTest::newRow("empty polygon") << QPolygonF() << QPointF(0, 0) << false;
    QTest::newRow("degenerate edge never matches")
        << QPolygonF(QVector<QPointF>{{5, 5}, {5, 5}}) << QPointF(5, 5) << false;
}

void TestDataCalc::pointInArea()
{
    QFETCH(QPolygonF, polygon);
    QFETCH(QPointF, point);
    QFETCH(bool, inside);
    QCOMPARE(calc.pointInArea(polygon, point), inside);
}

QTEST_GUILESS_MAIN(TestDataCalc)
#include "tst_data_calc.moc"
