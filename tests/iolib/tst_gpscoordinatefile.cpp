#include "iolib/Drumvelt.h"

#include <QtTest>

Q_DECLARE_METATYPE(GPSCoordinate)

namespace {

GPSCoordinate rec(double line, double point, double x, double y, double z)
{
    return {float(line), float(point), float(x), float(y), float(z)};
}

QString dataFile(const char *name)
{
    return QStringLiteral(HW_TEST_DATA_DIR "/") + QLatin1String(name);
}

QString show(const GPSCoordinate &c)
{
    return QString("{%1, %2, %3, %4, %5}")
        .arg(double(c.lineNo), 0, 'g', 9).arg(double(c.pointNo), 0, 'g', 9)
        .arg(double(c.x), 0, 'g', 9).arg(double(c.y), 0, 'g', 9).arg(double(c.z), 0, 'g', 9);
}

} // namespace

class TestGpsCoordinateFile : public QObject
{
    Q_OBJECT

private slots:
    void read_data();
    void read();
    void singlePrecision();
};

void TestGpsCoordinateFile::read_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QList<GPSCoordinate>>("expected");

    const QList<GPSCoordinate> twoStations{rec(3, 101, 512.5, 310.25, 35.2),
                                           rec(3, 102, 522.5, 320.25, 35.4)};
    QTest::newRow("commas and semicolons, empty line, header skipped")
        << dataFile("gps_two_stations.dat") << twoStations;
    QTest::newRow("byte-order mark, CRLF, no final line end")
        << dataFile("gps_bom_crlf.dat") << twoStations;
    QTest::newRow("old Mac line ends (CR only), empty line") << dataFile("gps_cr_only.dat") << twoStations;
    // Numeric header never read; blanks, tab, bar and asterisk mixed; a word
    // reads as 0; fields past the fifth ignored.
    QTest::newRow("separators, word field, extra fields")
        << dataFile("gps_separators.dat")
        << QList<GPSCoordinate>{rec(7, 8, 9, 10, 11), rec(7, 9, 0, 1, 2), rec(7, 10, 150, -2, 3)};
    QTest::newRow("short and blank lines skipped, reading goes on")
        << dataFile("gps_short_lines.dat")
        << QList<GPSCoordinate>{rec(1, 1, 10, 20, 30), rec(1, 3, 12, 22, 32)};
    QTest::newRow("header only") << dataFile("gps_header_only.dat") << QList<GPSCoordinate>();
    QTest::newRow("empty file") << dataFile("gps_empty.dat") << QList<GPSCoordinate>();
    QTest::newRow("missing file") << dataFile("no_such_file.dat") << QList<GPSCoordinate>();
    QTest::newRow("directory cannot be opened") << QString(HW_TEST_DATA_DIR)
                                                << QList<GPSCoordinate>();
}

void TestGpsCoordinateFile::read()
{
    QFETCH(QString, path);
    QFETCH(QList<GPSCoordinate>, expected);
    Drumvelt d;
    const QList<GPSCoordinate> got = d.ReadGPSCoordinateFile(path);
    QCOMPARE(got.size(), expected.size());
    for (int i = 0; i < got.size(); ++i) {
        const GPSCoordinate &a = got[i], &e = expected[i];
        QVERIFY2(a.lineNo == e.lineNo && a.pointNo == e.pointNo && a.x == e.x && a.y == e.y
                     && a.z == e.z,
                 qPrintable(QString("record %1: %2, expected %3").arg(i).arg(show(a), show(e))));
    }
}

void TestGpsCoordinateFile::singlePrecision()
{
    // Projected coordinates with decimals come back rounded to the nearest float.
    Drumvelt d;
    const QList<GPSCoordinate> got = d.ReadGPSCoordinateFile(dataFile("gps_precision.dat"));
    QCOMPARE(got.size(), 1);
    QVERIFY(got[0].x == 512345.6875f);
    QVERIFY(got[0].y == 3456789.0f);
    QVERIFY(double(got[0].x) != 512345.678);
    QVERIFY(got[0].z == float(35.2));
}

QTEST_APPLESS_MAIN(TestGpsCoordinateFile)
#include "tst_gpscoordinatefile.moc"
