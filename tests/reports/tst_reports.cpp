#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QImage>
#include <QImageReader>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>
#include <QUrl>
#include <QtCharts/QChart>
#include <QtCharts/QLogValueAxis>
#include <QtCharts/QScatterSeries>
#include <QtConcurrent/QtConcurrentRun>
#include <QtTest>

#include <cmath>
#include <memory>

#include "ReportFiles.h"
#include "model/SharedTypes.h"
#include "model/UserPrompt.h"
#include "reports/Pdf.h"
#include "reports/ReportContent.h"
#include "reports/Word.h"

#include "common/FileFailures.h"
#include "common/ImageHelpers.h"

using namespace QtCharts;

namespace {

// Stands in for the desktop's viewer: records the files it is asked to open.
class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

// Watches for message boxes while a writer runs and notes their texts.
class BoxWatcher : public QObject
{
public:
    BoxWatcher()
    {
        connect(&timer, &QTimer::timeout, this, [this]() {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                if (!seen.contains(box->text()))
                    seen << box->text();
            }
        });
        timer.start(20);
    }
    QStringList seen;
    QTimer timer;
};

struct Payload {
    double line = 7.0;
    LineInfo info;
    QVector<EditInfo> edits;
    InvParam param;
    GridPattern pattern = GRID_FIXED;
    double spacing = 5.0;
    QVector<QVector<double> > curves;
    QVector<double> times;
    QVector<double> stations;
    QImage section;
};

// n stations 100, 110, ...; topo elevation entries; a decay on 20 gates.
Payload makePayload(int n, int topo)
{
    Payload p;
    for (int i = 0; i < 20; ++i)
        p.times << 10.0 * std::pow(10.0, i * 0.2);
    for (int k = 0; k < n; ++k) {
        p.stations << 100.0 + 10.0 * k;
        QVector<double> curve;
        for (double t : p.times)
            curve << 1e-3 * std::pow(t / 10.0, -1.2 - 0.05 * k);
        p.curves << curve;
        EditInfo e;
        e.pointNumber = p.stations.last();
        e.editedPercent = k == 1 ? 12.5 : 0.0;
        e.meanChangePercent = k == 1 ? 3.14159 : 0.0;
        p.edits << e;
    }
    for (int k = 0; k < topo; ++k)
        p.param.topography << TopoData{100.0 + 10.0 * k, 1200.5 + k};
    p.info.firstStation = 100.0;
    p.info.lastStation = n > 0 ? p.stations.last() : 100.0;
    p.info.stationCount = n;
    p.info.stationSpacing = 10;
    p.param.intField = 2;
    return p;
}

// Runs the document writer as the controller does: on the pool, with this
// thread processing events until it ends.
bool runWordOnPool(Word& word, const Payload& p, const QString& path)
{
    QFuture<void> task = QtConcurrent::run(QThreadPool::globalInstance(), [&]() {
        word.exportReport(p.line, p.info, p.edits, p.param, p.pattern, p.spacing, p.curves, p.times, p.stations,
                          p.section, path);
    });
    QElapsedTimer clock;
    clock.start();
    while (!task.isFinished()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
        if (clock.elapsed() > 120000)
            return false;
    }
    return true;
}

} // namespace

class TestReports : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void methodAndGridTexts_data();
    void methodAndGridTexts();
    void bodyLines();
    void elevationRows_data();
    void elevationRows();
    void editRows();
    void chartPictureSize_data();
    void chartPictureSize();
    void decayChart();

    void pdf_data();
    void pdf();
    void pdfNotWritten_data();
    void pdfNotWritten();

    void word_data();
    void word();
    void wordChartsOnGuiThread();
    void wordCalledOnGuiThread();
    void sectionPictureIsTheOneGiven();
    void pdfSectionKeepsItsProportions_data();
    void pdfSectionKeepsItsProportions();

private:
    QTemporaryDir m_dir;
    QString m_oldCurrent;
    UrlRecorder m_urls;
    QStringList m_fileQuestions;
    QString m_fileAnswer;
    QStringList m_messages; // "title|text" of the boxes asked through UserPrompt
};

void TestReports::initTestCase()
{
    registerSharedTypes();
    // Which of the report's fallbacks this run sees (the suite runs once
    // with the CJK fonts of the machine and once with Noto hidden).
    QStringList present;
    const QStringList installed = QFontDatabase().families();
    for (const QString& family : ReportContent::fontFamilies())
        if (installed.contains(family, Qt::CaseInsensitive))
            present << family;
    qInfo("report font families present: %s", qPrintable(present.join(", ")));
    QVERIFY(m_dir.isValid());
    // Set to look at the reports and pictures afterwards.
    if (qEnvironmentVariableIsSet("HW_KEEP_TEST_OUTPUT")) {
        m_dir.setAutoRemove(false);
        qInfo("output kept in %s", qPrintable(m_dir.path()));
    }
    // The writers use the working directory for their pictures.
    m_oldCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir.path()));
    QDesktopServices::setUrlHandler("file", &m_urls, "open");
    UserPrompt::setTitledMessageAnswerer(
        [this](const QString& title, const QString& text) { m_messages << title + "|" + text; });
    UserPrompt::setFileAnswerer([this](UserPrompt::FileDialogKind kind, const QString& caption,
                                       const QString& dir, const QString& filter) {
        m_fileQuestions << QString("%1|%2|%3|%4").arg(kind).arg(caption, dir, filter);
        return m_fileAnswer;
    });
}

void TestReports::init()
{
    m_urls.urls.clear();
    m_fileQuestions.clear();
    m_fileAnswer.clear();
    m_messages.clear();
    // Reports take the section picture they are given, never a file that
    // happens to lie in the working folder.
    QVERIFY(reporttest::writeStaleContourImage());
}

void TestReports::cleanup()
{
    QFile::remove("contour.png");
    QFile::remove("temp_chart.png");
}

void TestReports::methodAndGridTexts_data()
{
    QTest::addColumn<int>("selector");
    QTest::addColumn<int>("pattern");
    QTest::addColumn<double>("spacing");
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("grid");
    QTest::newRow("one, fixed 5") << 1 << 0 << 5.0 << "瞬态弛豫反演方法" << "固定网格 网格间距 5";
    QTest::newRow("zero, progressive 1.2") << 0 << 1 << 1.2 << "二维瞬态弛豫反演" << "递进网格 递进长度 1.2";
    QTest::newRow("two, fixed 2.5") << 2 << 0 << 2.5 << "二维瞬态弛豫反演" << "固定网格 网格间距 2.5";
    QTest::newRow("negative, odd pattern") << -1 << 7 << 1.05 << "二维瞬态弛豫反演" << "递进网格 递进长度 1.05";
}

void TestReports::methodAndGridTexts()
{
    QFETCH(int, selector);
    QFETCH(int, pattern);
    QFETCH(double, spacing);
    QFETCH(QString, method);
    QFETCH(QString, grid);
    QCOMPARE(ReportContent::methodText(selector), method);
    QCOMPARE(ReportContent::gridText(static_cast<GridPattern>(pattern), spacing), grid);
}

void TestReports::bodyLines()
{
    LineInfo info{100.0, 1234567.0, 4, 10};
    QCOMPARE(ReportContent::workloadLines(info),
             QStringList({"起始点号：100", "终止点号：1.23457e+06", "测点数量：4 个", "点距：10 m"}));
    InvParam p;
    p.constraintCoefficient = 0.5;
    p.referenceResistivity = 250.0;
    p.inversionCoefficient = 0.3;
    p.inversionDepth = 1000.0;
    QCOMPARE(ReportContent::parameterLines(p, "M", "G"),
             QStringList({"约束系数：0.5", "基准阻值：250", "反演系数：0.3", "反演深度：1000", "反演方法：M",
                          "网格设置：G"}));
    QCOMPARE(ReportContent::title(110.0), QString("测线 110 数据处理报告"));
    QCOMPARE(ReportContent::chartTitle(110.0, 1234567.0), QString("110线 1.23457e+06点"));
}

void TestReports::elevationRows_data()
{
    QTest::addColumn<int>("entries");
    QTest::addColumn<QVector<QStringList> >("rows");
    QTest::newRow("none") << 0 << QVector<QStringList>();
    QTest::newRow("one") << 1 << QVector<QStringList>{{"100", "1200.5", "", ""}};
    QTest::newRow("two") << 2 << QVector<QStringList>{{"100", "1200.5", "110", "1201.5"}};
    QTest::newRow("three") << 3
                           << QVector<QStringList>{{"100", "1200.5", "110", "1201.5"}, {"120", "1202.5", "", ""}};
}

void TestReports::elevationRows()
{
    QFETCH(int, entries);
    QFETCH(QVector<QStringList>, rows);
    QCOMPARE(ReportContent::elevationRows(makePayload(0, entries).param.topography), rows);
    QCOMPARE(ReportContent::elevationHeader(), QStringList({"点号", "高程", "点号", "高程"}));
}

void TestReports::editRows()
{
    const QVector<EditInfo> edits{{1200.0, 12.5, 0.0}, {1234567.0, 100.0, 3.14159}, {-5.5, 0.004, 0.005}};
    const QVector<QStringList> expected{{"1200", "12.50", "0.00"}, {"1.23457e+06", "100.00", "3.14"},
                                        {"-5.5", "0.00", "0.01"}};
    QCOMPARE(ReportContent::editRows(edits), expected);
    QCOMPARE(ReportContent::editHeader(), QStringList({"点号", "数据道编辑 %", "数据变化率 %(平均)"}));
}

void TestReports::chartPictureSize_data()
{
    QTest::addColumn<double>("dpi");
    QTest::addColumn<QSize>("size");
    QTest::newRow("72") << 72.0 << QSize(1000, 1200);
    QTest::newRow("96") << 96.0 << QSize(1000, 1200);
    QTest::newRow("120") << 120.0 << QSize(1125, 1350);
    QTest::newRow("144") << 144.0 << QSize(1250, 1500);
    QTest::newRow("192") << 192.0 << QSize(1500, 1800);
}

void TestReports::chartPictureSize()
{
    QFETCH(double, dpi);
    QFETCH(QSize, size);
    QCOMPARE(ReportContent::chartPictureSize(dpi), size);
}

void TestReports::decayChart()
{
    const Payload p = makePayload(2, 0);
    QVector<double> curve = p.curves.at(0);
    curve[3] = 0.0; // cannot sit on a log axis
    QChart* chart = ReportContent::decayChart(p.times, curve, 7.0, 110.0);
    QCOMPARE(chart->title(), QString("7线 110点"));
    QCOMPARE(chart->titleFont().pointSize(), 24);
    QVERIFY(chart->titleFont().bold());
    QVERIFY(!chart->legend()->isVisible());
    auto* series = qobject_cast<QScatterSeries*>(chart->series().value(0));
    QVERIFY(series);
    QCOMPARE(series->count(), p.times.size() - 1);
    QCOMPARE(series->color(), QColor(Qt::red));
    auto* x = qobject_cast<QLogValueAxis*>(chart->axes(Qt::Horizontal).value(0));
    auto* y = qobject_cast<QLogValueAxis*>(chart->axes(Qt::Vertical).value(0));
    QVERIFY(x && y);
    // Whole decades around the gates: 10 us to 63 ms, 2.8e-8 to 1e-3 V.
    QCOMPARE(x->min(), 10.0);
    QCOMPARE(x->max(), 1e5);
    QCOMPARE(y->min(), 1e-8);
    QCOMPARE(y->max(), 1e-3);
    QCOMPARE(y->labelFormat(), QString("%.1E"));

    const QPixmap picture = ReportContent::chartPicture(chart, QSize(1000, 1200));
    QCOMPARE(picture.size(), QSize(1000, 1200));
    const QImage image = picture.toImage();
    QVERIFY(image.save(m_dir.filePath("chart-look.png")));
    // White background, red markers somewhere.
    QCOMPARE(QColor(image.pixel(2, 2)), QColor(Qt::white));
    QVERIFY(hwtest::countRedPixels(image, 60) > 100);
}

void TestReports::pdf_data()
{
    QTest::addColumn<int>("stations");
    QTest::addColumn<int>("topo");
    QTest::addColumn<bool>("contour");
    QTest::addColumn<int>("pages");
    // Page 1 holds sections 1 to 3 while the elevation table fits (header
    // and 7 rows); section 4 starts a page and holds two chart rows a page;
    // section 5 starts a page.
    QTest::newRow("no stations") << 0 << 0 << false << 3;
    QTest::newRow("three stations, statistics table breaks") << 3 << 3 << true << 4;
    QTest::newRow("elevation table breaks, three chart rows") << 5 << 16 << true << 5;
}

void TestReports::pdf()
{
    QFETCH(int, stations);
    QFETCH(int, topo);
    QFETCH(bool, contour);
    QFETCH(int, pages);
    const QString file = m_dir.filePath(QString("report-%1.pdf").arg(QTest::currentDataTag()).replace(' ', '_'));
    m_fileAnswer = file;
    Payload p = makePayload(stations, topo);
    if (contour)
        p.section = reporttest::sectionImage();

    Pdf pdf;
    BoxWatcher boxes;
    QElapsedTimer clock;
    clock.start();
    pdf.exportReport(p.line, p.info, p.edits, p.param, p.pattern, p.spacing, p.curves, p.times, p.stations,
                     p.section, file);
    // The notice closed itself after half a second.
    QVERIFY(clock.elapsed() >= 450);
    QCOMPARE(boxes.seen, QStringList({"导出结束"}));
    QCOMPARE(m_messages, QStringList());
    // The name given is the one written: the writer asks for no other.
    QCOMPARE(m_fileQuestions, QStringList());
    QCOMPARE(m_urls.urls, QList<QUrl>({QUrl::fromLocalFile(file)}));

    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.size() > 1000);
    QVERIFY(f.read(5) == "%PDF-");
    f.close();
    QCOMPARE(reporttest::pdfPageCount(file), pages);
    QCOMPARE(reporttest::pdfImageCount(file), stations + (contour ? 1 : 0));

    if (!reporttest::havePoppler())
        QSKIP("pdftotext/pdftoppm not installed: text and rendering not checked");
    // Every font of the text is one of the report's families, never the
    // machine's own fallback.
    const QStringList fonts = reporttest::pdfFonts(file);
    QVERIFY(!fonts.isEmpty());
    for (const QString& font : fonts) {
        bool listed = false;
        for (const QString& family : ReportContent::fontFamilies())
            listed = listed || font.startsWith(QString(family).remove(' '), Qt::CaseInsensitive);
        QVERIFY2(listed, qPrintable(fonts.join(", ")));
    }
    const QString text = reporttest::pdfText(file);
    const QStringList pageTexts = text.split('\f');
    QVERIFY(pageTexts.size() >= pages);
    QVERIFY2(pageTexts.at(0).contains("测线 7 数据处理报告"), qPrintable(pageTexts.at(0)));
    const QStringList firstPage{"1. 测线工作量", "起始点号：100", QString("测点数量：%1 个").arg(stations),
                                "点距：10 m", "2. 测线反演参数", "反演方法：二维瞬态弛豫反演",
                                "网格设置：固定网格 网格间距 5", "3. 测点高程值", "高程数据统计表"};
    for (const QString& s : firstPage)
        QVERIFY2(pageTexts.at(0).contains(s), qPrintable(s));
    QVERIFY(!pageTexts.at(0).contains("4. 测点数据处理详情"));
    const int details = topo > 14 ? 2 : 1;
    QVERIFY(pageTexts.at(details).contains("4. 测点数据处理详情"));
    QVERIFY(pageTexts.at(pages - 1).contains("5. 测线成果"));
    QVERIFY(text.contains("数据编辑统计表"));
    QVERIFY(text.contains("数据道编辑 %"));
    if (stations > 1) {
        QVERIFY(text.contains("12.50"));
    }

    const QImage first = reporttest::pdfPage(file, 1, m_dir.filePath("page1"));
    QVERIFY(!first.isNull());
    QVERIFY(reporttest::inkShare(first) > 0.002);
    const QImage last = reporttest::pdfPage(file, pages, m_dir.filePath("pageN"));
    // The section picture fills the text width when there is one.
    if (contour)
        QVERIFY(reporttest::inkShare(last) > 0.2);
    else
        QVERIFY(reporttest::inkShare(last) < 0.05);
}

void TestReports::pdfNotWritten_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("obstacle");
    QTest::newRow("cancelled") << QString() << QString();
    QTest::newRow("folder missing") << QString("missing/sub/report.pdf") << QString();
    QTest::newRow("folder is a file") << QString("plain/report.pdf") << QString("folder is a file");
    QTest::newRow("read-only folder") << QString("locked/report.pdf") << QString("read-only folder");
    QTest::newRow("disk full, report in place kept") << QString("full/report.pdf") << QString("disk full");
}

void TestReports::pdfNotWritten()
{
    QFETCH(QString, answer);
    QFETCH(QString, obstacle);
    m_fileAnswer = answer.isEmpty() ? answer : m_dir.filePath(answer);
    const QString folder = QFileInfo(m_fileAnswer).path();
    const QByteArray old("%PDF- an earlier report");
    // Without an obstacle the folder is left missing, or no file is chosen.
    if (!obstacle.isEmpty())
        QVERIFY(hwtest::placeObstacle(obstacle, folder, m_fileAnswer, old));
    if (obstacle == "read-only folder" && !hwtest::makeReadOnly(folder))
        QSKIP("a read-only folder stays writable for this user (root)");
    Payload p = makePayload(2, 2);
    p.section = reporttest::sectionImage();
    Pdf pdf;
    BoxWatcher boxes;
    {
        std::unique_ptr<hwtest::FileSizeLimit> full;
        if (obstacle == "disk full")
            full.reset(new hwtest::FileSizeLimit(16 * 1024));
        pdf.exportReport(p.line, p.info, p.edits, p.param, p.pattern, p.spacing, p.curves, p.times, p.stations,
                         p.section, m_fileAnswer);
    }
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCoreApplication::processEvents();
    QCOMPARE(m_fileQuestions, QStringList());
    // No notice, no viewer; a failure names the file.
    QVERIFY2(boxes.seen.isEmpty(), qPrintable(boxes.seen.join(",") + m_messages.join(",")));
    QVERIFY(m_urls.urls.isEmpty());
    if (answer.isEmpty()) {
        QCOMPARE(m_messages, QStringList());
    } else {
        QCOMPARE(m_messages, QStringList({"提示|导出失败：" + QDir::toNativeSeparators(m_fileAnswer)}));
    }
    if (obstacle == "disk full") {
        // The report in place is left whole, and nothing is left beside it.
        QFile f(m_fileAnswer);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), old);
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList({"report.pdf"}));
    } else if (!answer.isEmpty()) {
        QVERIFY(!QFile::exists(m_fileAnswer));
    }
}

void TestReports::word_data()
{
    QTest::addColumn<int>("stations");
    QTest::addColumn<int>("topo");
    QTest::addColumn<QSize>("contourPixels");
    QTest::newRow("no stations") << 0 << 0 << QSize();
    QTest::newRow("three stations, odd elevations, wide section") << 3 << 5 << QSize(1300, 500);
    QTest::newRow("four stations, small section") << 4 << 4 << QSize(300, 200);
    QTest::newRow("one station, tall section") << 1 << 2 << QSize(400, 1600);
}

void TestReports::word()
{
    QFETCH(int, stations);
    QFETCH(int, topo);
    QFETCH(QSize, contourPixels);
    const bool contour = contourPixels.isValid();
    Payload p = makePayload(stations, topo);
    if (contour)
        p.section = reporttest::sectionImage(contourPixels);
    p.param.intField = 1;
    p.pattern = GRID_PROGRESSIVE;
    p.spacing = 1.2;
    const QString file = m_dir.filePath(QString("report-%1.docx").arg(stations));

    Word word;
    QVERIFY(runWordOnPool(word, p, file));
    QVERIFY(QFileInfo(file).size() > 0);
    QVERIFY(!QFile::exists("temp_chart.png"));

    const QString text = reporttest::docxText(file);
    const QStringList expected{"测线 7 数据处理报告", "1. 测线工作量", "起始点号：100",
                               QString("测点数量：%1 个").arg(stations), "点距：10 m", "2. 测线反演参数",
                               "约束系数：1", "基准阻值：100", "反演系数：0.3", "反演深度：100",
                               "反演方法：瞬态弛豫反演方法", "网格设置：递进网格 递进长度 1.2", "3. 测点高程值",
                               "高程数据统计表", "点号", "4. 测点数据处理详情", "数据编辑统计表",
                               "数据变化率 %(平均)", "5. 测线成果"};
    int at = 0;
    for (const QString& s : expected) {
        const int found = text.indexOf(s, at);
        QVERIFY2(found >= 0, qPrintable(QString("'%1' missing or out of order in:\n%2").arg(s, text)));
        at = found + s.size();
    }
    // Elevation cells: the last entry of an odd count has empty neighbours.
    for (const TopoData& t : p.param.topography) {
        QVERIFY(text.contains(QString::number(t.position, 'g', 6)));
        QVERIFY(text.contains(QString::number(t.elevation, 'g', 6)));
    }
    for (const QStringList& row : ReportContent::editRows(p.edits))
        QVERIFY(text.contains(row.join("\n")));

    const QString xml = QString::fromUtf8(reporttest::docxPart(file, "word/document.xml"));
    // The document names 宋体 and, for readers without it, the same
    // fallbacks as the PDF, with simplified Chinese as the text's language.
    QVERIFY(xml.contains("w:eastAsia=\"宋体\""));
    QVERIFY(!xml.contains(QRegularExpression("w:eastAsia=\"(?!宋体|zh-CN)")));
    QCOMPARE(xml.count("<w:lang w:eastAsia=\"zh-CN\"/>"), xml.count("<w:rPr>"));
    const QString fontTable = QString::fromUtf8(reporttest::docxPart(file, "word/fontTable.xml"));
    QVERIFY2(fontTable.contains(QString("<w:font w:name=\"宋体\"><w:altName w:val=\"%1\"/>")
                                    .arg(ReportContent::fontFamilies().join(','))),
             qPrintable(fontTable));
    // Sections 4 and 5 each start on a new page: two breaks, then the
    // properties of the document's last section.
    QCOMPARE(xml.count("<w:type w:val=\"nextPage\"/>"), 3);
    const int breakToDetails = xml.indexOf("<w:type w:val=\"nextPage\"/>");
    QVERIFY(breakToDetails < xml.indexOf("4. 测点数据处理详情"));
    QVERIFY(xml.indexOf("<w:type w:val=\"nextPage\"/>", breakToDetails + 1) < xml.indexOf("5. 测线成果"));
    // Station charts at a third of the page each way, plus the section map.
    QCOMPARE(reporttest::docxPictureCount(file), stations + (contour ? 1 : 0));
    // Station charts a third of the page wide, within a third of its height,
    // undistorted.
    QVector<QSizeF> extents; // points
    const QRegularExpression extentTag("<wp:extent cx=\"(\\d+)\" cy=\"(\\d+)\"");
    for (auto it = extentTag.globalMatch(xml); it.hasNext();) {
        const auto m = it.next();
        extents << QSizeF(m.captured(1).toDouble() / 12700.0, m.captured(2).toDouble() / 12700.0);
    }
    QCOMPARE(extents.size(), stations + (contour ? 1 : 0));
    const QSize chartPixels = ReportContent::chartPictureSize();
    const double pageWidth = 595.3, pageHeight = 841.9;
    for (int k = 0; k < stations; ++k) {
        const QSizeF e = extents[k];
        QVERIFY2(std::fabs(e.width() - pageWidth / 3.0) < 0.01, qPrintable(QString::number(e.width())));
        QVERIFY(e.height() <= pageHeight / 3.0 + 0.01);
        QVERIFY2(std::fabs(e.height() / e.width() - double(chartPixels.height()) / chartPixels.width()) < 1e-4,
                 qPrintable(QString("%1 x %2").arg(e.width()).arg(e.height())));
    }
    if (contour) {
        // The section picture keeps its own size (a pixel is 3/4 point) unless
        // that leaves the text area; then it shrinks to it, undistorted.
        const QSizeF own(contourPixels.width() * 0.75, contourPixels.height() * 0.75);
        const QSizeF area(pageWidth - 180.0, pageHeight - 144.0);
        const QSizeF expected = own.width() <= area.width() && own.height() <= area.height()
                                    ? own : own.scaled(area, Qt::KeepAspectRatio);
        const QSizeF e = extents.last();
        QVERIFY2(std::fabs(e.width() - expected.width()) < 0.01 && std::fabs(e.height() - expected.height()) < 0.01,
                 qPrintable(QString("%1 x %2, expected %3 x %4").arg(e.width()).arg(e.height())
                                .arg(expected.width()).arg(expected.height())));
        // In a centred paragraph.
        const int drawing = xml.lastIndexOf("<w:drawing>");
        const int paragraph = xml.lastIndexOf("<w:p>", drawing);
        QVERIFY(xml.mid(paragraph, drawing - paragraph).contains("<w:jc w:val=\"center\"/>"));
    }
    // Tables: elevation, pictures (only with stations), statistics.
    QCOMPARE(xml.count("<w:tbl>"), stations > 0 ? 3 : 2);
    QCOMPARE(xml.count("<w:tr>") + xml.count("<w:tr "), (topo + 1) / 2 + 1 + (stations + 1) / 2 + stations + 1);
}

void TestReports::wordChartsOnGuiThread()
{
    // Each chart picture is drawn by a queued call on the writer's thread;
    // the picture that reaches the document is the one drawn there.
    Payload p = makePayload(1, 0);
    const QString file = m_dir.filePath("one.docx");
    Word word;
    QVERIFY(runWordOnPool(word, p, file));
    QStringList media;
    for (const QString& name : reporttest::docxEntries(file))
        if (name.startsWith("word/media/"))
            media << name;
    QCOMPARE(media.size(), 1);
    QImage image;
    QVERIFY(image.loadFromData(reporttest::docxPart(file, media.first()), "PNG"));
    QCOMPARE(image.size(), ReportContent::chartPictureSize());

    // Directly: the picture is saved and a writer would be woken.
    const QString direct = m_dir.filePath("direct.png");
    word.saveChart(p.times, p.curves.at(0), 7.0, 100.0, direct);
    QImageReader reader(direct);
    QCOMPARE(reader.format(), QByteArray("png"));
    QCOMPARE(reader.size(), ReportContent::chartPictureSize());
}

void TestReports::wordCalledOnGuiThread()
{
    // Called on its own thread the writer draws the charts itself instead
    // of waiting for a thread that is busy running it.
    const Payload p = makePayload(2, 1);
    const QString file = m_dir.filePath("gui.docx");
    Word word;
    QVERIFY(word.exportReport(p.line, p.info, p.edits, p.param, p.pattern, p.spacing, p.curves, p.times,
                              p.stations, p.section, file));
    // A document that cannot be saved is reported so.
    const QString nowhere = m_dir.filePath("missing/folder/gui.docx");
    QVERIFY(!word.exportReport(p.line, p.info, p.edits, p.param, p.pattern, p.spacing, p.curves, p.times,
                               p.stations, p.section, nowhere));
    QVERIFY(!QFile::exists(nowhere));
    QCOMPARE(reporttest::docxPictureCount(file), 2);
}

void TestReports::sectionPictureIsTheOneGiven()
{
    // With a picture "contour.png" of another line in the working folder:
    // a report without a section picture holds none, one with a picture
    // holds exactly it, of either kind.
    Payload p = makePayload(2, 2);
    Word word;
    Pdf pdf;
    const QStringList picturesBefore = QDir::current().entryList({"*.png"}, QDir::Files);

    const QString without = m_dir.filePath("without.docx");
    QVERIFY(runWordOnPool(word, p, without));
    QCOMPARE(reporttest::docxPictureCount(without), 2);
    m_fileAnswer = m_dir.filePath("without.pdf");
    pdf.exportReport(p.line, p.info, p.edits, p.param, p.pattern, p.spacing, p.curves, p.times, p.stations,
                     p.section, m_fileAnswer);
    QCOMPARE(reporttest::pdfImageCount(m_fileAnswer), 2);

    p.section = reporttest::sectionImage(QSize(640, 320), Qt::magenta, Qt::yellow);
    const QString with = m_dir.filePath("with.docx");
    QVERIFY(runWordOnPool(word, p, with));
    QCOMPARE(reporttest::docxPictureCount(with), 3);
    // The last picture of the document is the section's, pixel for pixel.
    const QImage embedded = reporttest::docxPictures(with).value(2);
    QCOMPARE(embedded.convertToFormat(QImage::Format_RGB32), p.section.convertToFormat(QImage::Format_RGB32));
    m_fileAnswer = m_dir.filePath("with.pdf");
    pdf.exportReport(p.line, p.info, p.edits, p.param, p.pattern, p.spacing, p.curves, p.times, p.stations,
                     p.section, m_fileAnswer);
    QCOMPARE(reporttest::pdfImageCount(m_fileAnswer), 3);
    // Nothing of the writers is left in the working folder.
    QCOMPARE(QDir::current().entryList({"*.png"}, QDir::Files), picturesBefore);
}

void TestReports::pdfSectionKeepsItsProportions_data()
{
    QTest::addColumn<QSize>("pixels");
    QTest::newRow("wide") << QSize(1300, 500);
    QTest::newRow("tall") << QSize(400, 1600);
}

void TestReports::pdfSectionKeepsItsProportions()
{
    QFETCH(QSize, pixels);
    if (!reporttest::havePoppler())
        QSKIP("pdftoppm not installed: the page cannot be rendered");
    Payload p = makePayload(1, 1);
    p.section = reporttest::sectionImage(pixels);
    const QString file = m_dir.filePath(QString("proportions-%1.pdf").arg(QTest::currentDataTag()));
    m_fileAnswer = file;
    Pdf pdf;
    pdf.exportReport(p.line, p.info, p.edits, p.param, p.pattern, p.spacing, p.curves, p.times, p.stations,
                     p.section, file);
    const int pages = reporttest::pdfPageCount(file);
    const QImage page = reporttest::pdfPage(file, pages, m_dir.filePath(QString("proportions-%1").arg(pages)));
    QVERIFY(!page.isNull());
    const QRect drawn = reporttest::colouredBox(page);
    QVERIFY(!drawn.isEmpty());
    // Whole on the page (not cut by its edge), and undistorted: at 50 dpi a
    // pixel either way is the only difference allowed.
    QVERIFY2(drawn.bottom() < page.height() - 10 && drawn.right() < page.width() - 10,
             qPrintable(QString("%1,%2 %3x%4 on %5x%6").arg(drawn.x()).arg(drawn.y()).arg(drawn.width())
                            .arg(drawn.height()).arg(page.width()).arg(page.height())));
    const double expected = double(pixels.width()) / pixels.height();
    QVERIFY2(std::fabs(drawn.width() - drawn.height() * expected) <= 2.0 * std::max(1.0, expected),
             qPrintable(QString("%1 x %2 drawn, %3 x %4 given").arg(drawn.width()).arg(drawn.height())
                            .arg(pixels.width()).arg(pixels.height())));
    // As wide as the text where the page's height allows.
    if (pixels.width() > pixels.height())
        QVERIFY(drawn.width() > page.width() * 0.7);
}

QTEST_MAIN(TestReports)
#include "tst_reports.moc"
