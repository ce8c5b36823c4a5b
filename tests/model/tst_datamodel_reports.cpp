#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include <cmath>
#include <functional>
#include <memory>

#include "model/DataModel.h"
#include "model/Data_Calc.h"
#include "model/SharedTypes.h"
#include "model/UserPrompt.h"
#include "reports/ReportContent.h"
#include "reports/ReportFiles.h"
#include "store/LibHORM.h"
#include "tools/projectgen/ProjectGenerator.h"

#include "DataModelFixture.h"
#include "common/FileFailures.h"
#include "common/ImageHelpers.h"

namespace {

class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

struct Payload {
    double line = 0.0;
    LineInfo info;
    QVector<EditInfo> edits;
    InvParam param;
    GridPattern pattern = GRID_FIXED;
    double spacing = 0.0;
    QVector<QVector<double> > curves;
    QVector<double> times;
    QVector<double> stations;
};

// Stations and heights as text, to compare grounds.
QString groundText(const QVector<TopoData>& ground)
{
    QStringList entries;
    for (const TopoData& t : ground)
        entries << QString("%1:%2").arg(t.position, 0, 'g', 17).arg(t.elevation, 0, 'g', 17);
    return entries.join(' ');
}

} // namespace

class TestDataModelReports : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void chartImagesOfLine();
    void chartImageOfStation_data();
    void chartImageOfStation();
    void chartImagesOutsideProject_data();
    void chartImagesOutsideProject();
    void chartImagesNotWritten_data();
    void chartImagesNotWritten();
    void chartNamesOfLargeNumbers();

    void reportPayload();
    void reportAfterAnotherLineChosen();
    void documentReport();
    void reportBySuffix_data();
    void reportBySuffix();
    void sectionPictureOfTheReportedLine();
    void sectionPictureOfAnotherProject();
    void noSectionPictureForAbnormalChannels_data();
    void noSectionPictureForAbnormalChannels();
    void methodAndGridOfTheShownLine_data();
    void methodAndGridOfTheShownLine();
    void modelCalculationOfTooFewStations();
    void editsInTheLinesTimeWindow();
    void elevationsOfTheReportedLine();
    void reportOfTheLineChosen();
    void editsOfTheLineAtItsRow();
    void reportNeedsLineOfOpenProject_data();
    void reportNeedsLineOfOpenProject();
    void documentNotSaved_data();
    void documentNotSaved();

private:
    void openGenerated();
    // Writes a project of its own under name and opens it in place of the
    // open one.
    void openNewProject(const QString& name, const ProjectGenerator::Options& options);
    // Shows station row of line row and stores its response with the
    // first two gates doubled.
    void editStation(int lineRow, int stationRow);
    // The same with its third gate stored as value, instead.
    void editStation(int lineRow, int stationRow, double value);
    // The same with the response edited by edit.
    void editStation(int lineRow, int stationRow, const std::function<void(QVector<double>&)>& edit);
    void setStationUse(int lineRow, int stationRow, bool use);
    Payload sentPayload();
    // Draws the sections the reports ask for as plain pictures, one colour
    // a call, and notes what it was given.
    void installSectionRenderer();
    QVector<QColor> sectionColours() const;

    struct Rendered {
        QList<DataType_ResultData> grid;
        QVector<TopoData> topography;
        QImage picture;
    };
    QList<Rendered> m_rendered;

    QTemporaryDir m_dir;
    QString m_generated;
    int m_copies = 0;
    std::unique_ptr<LibHORM> m_lib;
    std::unique_ptr<DataModel> m_model;
    QStringList m_events;
    QString m_pdfAnswer;
    UrlRecorder m_urls;
};

void TestDataModelReports::initTestCase()
{
    registerSharedTypes();
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir::setCurrent(m_dir.path()));
    // Two lines of 16 stations 20 m apart (0 to 300).
    ProjectGenerator::Options options;
    options.lines = 2;
    options.stationsPerLine = 16;
    options.samplesPerStation = 1;
    options.sampleLength = 2000;
    options.zoneFrom = 100.0;
    options.zoneTo = 200.0;
    options.zoneTaper = 20.0;
    const QString file = m_dir.filePath("reports.QELVA");
    QString error;
    QVERIFY2(ProjectGenerator(options).write(file, &error), qPrintable(error));
    QVERIFY(dmtest::loadOnce(file));
    m_generated = file;
    QDesktopServices::setUrlHandler("file", &m_urls, "open");
}

void TestDataModelReports::init()
{
    m_events.clear();
    m_urls.urls.clear();
    m_pdfAnswer.clear();
    UserPrompt::setTitledMessageAnswerer([this](const QString& title, const QString& text) {
        m_events << QString("message %1 %2").arg(title, text);
    });
    UserPrompt::setMessageAnswerer([this](const QString& text) { m_events << QString("message %1").arg(text); });
    // The smoothing offer of the line view is declined.
    UserPrompt::setDialogAnswerer([](QDialog*) { return int(QDialog::Rejected); });
    UserPrompt::setFileAnswerer([this](UserPrompt::FileDialogKind, const QString& caption, const QString&,
                                       const QString&) {
        m_events << QString("file %1").arg(caption);
        return m_pdfAnswer;
    });
    m_rendered.clear();
    m_model.reset(new DataModel);
    installSectionRenderer();
    openGenerated();
}

void TestDataModelReports::cleanup()
{
    UserPrompt::setTitledMessageAnswerer(UserPrompt::TitledMessageAnswerer());
    UserPrompt::setMessageAnswerer(UserPrompt::MessageAnswerer());
    UserPrompt::setDialogAnswerer(UserPrompt::DialogAnswerer());
    UserPrompt::setFileAnswerer(UserPrompt::FileAnswerer());
    if (m_model)
        m_model->closeProject();
    m_lib.reset();
    m_model.reset();
    QFile::remove("contour.png");
}

void TestDataModelReports::openGenerated()
{
    const QString copy = m_dir.filePath(QString("copy%1.QELVA").arg(++m_copies));
    QVERIFY(QFile::copy(m_generated, copy));
    m_lib.reset(new LibHORM);
    QVERIFY(m_lib->open(copy));
    m_model->setFileSuffix("QELVA");
    m_model->loadProject(m_lib.get());
    QVERIFY(m_model->isProjectOpen());
}

void TestDataModelReports::openNewProject(const QString& name, const ProjectGenerator::Options& options)
{
    const QString file = m_dir.filePath(name);
    QString error;
    QVERIFY2(ProjectGenerator(options).write(file, &error), qPrintable(error));
    QVERIFY(dmtest::loadOnce(file));
    m_model->closeProject();
    m_lib.reset(new LibHORM);
    QVERIFY(m_lib->open(file));
    m_model->setFileSuffix("QELVA");
    m_model->loadProject(m_lib.get());
    QVERIFY(m_model->isProjectOpen());
}

void TestDataModelReports::editStation(int lineRow, int stationRow, const std::function<void(QVector<double>&)>& edit)
{
    QVector<double> response, times;
    auto c = connect(m_model.get(), &DataModel::signal_StationChanged, this,
                     [&](QString, QVector<double> r, QVector<double> g, double, double, double) {
                         response = r;
                         times = g;
                     });
    m_model->showTreeNode(lineRow, stationRow, -1);
    disconnect(c);
    QVERIFY(response.size() > 2);
    edit(response);
    m_model->on_signal_FileSavedToDB(response, times);
}

void TestDataModelReports::editStation(int lineRow, int stationRow)
{
    editStation(lineRow, stationRow, [](QVector<double>& response) {
        response[0] *= 2.0;
        response[1] *= 2.0;
    });
}

void TestDataModelReports::editStation(int lineRow, int stationRow, double value)
{
    editStation(lineRow, stationRow, [value](QVector<double>& response) { response[2] = value; });
}

void TestDataModelReports::setStationUse(int lineRow, int stationRow, bool use)
{
    m_model->showTreeNode(lineRow, stationRow, -1);
    m_model->on_signal_UseableCheckBoxStateChanged(use);
}

QVector<QColor> TestDataModelReports::sectionColours() const
{
    return {Qt::magenta, Qt::cyan, Qt::yellow, Qt::darkYellow};
}

void TestDataModelReports::installSectionRenderer()
{
    m_model->setSectionRenderer([this](const QList<DataType_ResultData>& grid, const QVector<TopoData>& topography,
                                       double, int) {
        const QColor colour = sectionColours().value(m_rendered.size() % sectionColours().size());
        const QImage picture = reporttest::sectionImage(QSize(700, 350), colour, colour.darker());
        m_rendered.append({grid, topography, picture});
        return picture;
    });
}

Payload TestDataModelReports::sentPayload()
{
    Payload p;
    int sent = 0;
    auto c = connect(m_model.get(), &DataModel::signal_SendPdfData, this,
                     [&](double line, LineInfo info, QVector<EditInfo> edits, InvParam param, GridPattern pattern,
                         double spacing, QVector<QVector<double> > curves, QVector<double> times,
                         QVector<double> stations) {
                         ++sent;
                         p = {line, info, edits, param, pattern, spacing, curves, times, stations};
                     });
    m_model->on_signalSendPdfData();
    disconnect(c);
    [&]() { QCOMPARE(sent, 1); }();
    return p;
}

void TestDataModelReports::chartImagesOfLine()
{
    // Out of use or not, every station gets its picture.
    setStationUse(1, 3, false);
    const QString folder = m_dir.filePath("charts");
    QVERIFY(QDir().mkpath(folder));
    m_events.clear();
    m_model->exportChartImages(folder, -1, 1, 0);
    QCOMPARE(m_events, QStringList({"message 提示 导出结束"}));
    const QStringList files = QDir(folder).entryList(QDir::Files, QDir::Name);
    QCOMPARE(files.size(), 16);
    for (int k = 0; k < 16; ++k) {
        const QString name = QString("110-%1.png").arg(20 * k);
        QVERIFY2(files.contains(name), qPrintable(name));
        QImageReader reader(QDir(folder).filePath(name));
        QCOMPARE(reader.format(), QByteArray("png"));
        QCOMPARE(reader.size(), ReportContent::chartPictureSize());
    }
    // The last station drawn stays the current one.
    QVERIFY(!m_model->stationResponse.isEmpty());
    QCOMPARE(m_model->stationResponse.size(), m_model->stationTimes.size());
    QVERIFY(m_model->stationTimes.first() >= m_model->invParam.timeWindowStart);
}

void TestDataModelReports::chartImageOfStation_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("format");
    QTest::newRow("jpg") << "a.jpg" << QByteArray("jpeg");
    QTest::newRow("png") << "b.png" << QByteArray("png");
    QTest::newRow("bmp") << "c.bmp" << QByteArray("bmp");
}

void TestDataModelReports::chartImageOfStation()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, format);
    const QString file = m_dir.filePath(name);
    m_events.clear();
    m_model->exportChartImages(file, 2, 0, -1);
    QCOMPARE(m_events, QStringList({"message 提示 导出结束"}));
    QImageReader reader(file);
    QCOMPARE(reader.format(), format);
    QCOMPARE(reader.size(), ReportContent::chartPictureSize());
    const QImage image = reader.read();
    // A white picture with the red curve on it.
    QCOMPARE(QColor(image.pixel(3, 3)).lightness(), 255);
    QVERIFY(hwtest::countRedPixels(image, 80) > 50);
}

void TestDataModelReports::chartImagesOutsideProject_data()
{
    QTest::addColumn<int>("station");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("mode");
    QTest::newRow("line out of range, folder") << -1 << 2 << 0;
    QTest::newRow("no line, one chart") << 0 << -1 << -1;
    QTest::newRow("station out of range") << 16 << 0 << -1;
}

void TestDataModelReports::chartImagesOutsideProject()
{
    QFETCH(int, station);
    QFETCH(int, line);
    QFETCH(int, mode);
    const QString folder = m_dir.filePath(QString("outside-%1").arg(QTest::currentDataTag()));
    QVERIFY(QDir().mkpath(folder));
    m_events.clear();
    m_model->exportChartImages(mode < 0 ? folder + "/x.png" : folder, station, line, mode);
    QVERIFY(m_events.isEmpty());
    QVERIFY(QDir(folder).entryList(QDir::Files).isEmpty());
}

void TestDataModelReports::chartImagesNotWritten_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("obstacle");
    QTest::addColumn<QString>("failed");
    // target: the folder of a line's pictures, or one station's picture.
    QTest::newRow("line, folder is a file") << "plain" << "folder is a file" << "plain/110-0.png";
    QTest::newRow("line, read-only folder") << "locked" << "read-only folder" << "locked/110-0.png";
    QTest::newRow("station, disk full, picture in place kept") << "full/c.png" << "disk full" << "full/c.png";
    QTest::newRow("station, name without picture format") << "named/chart" << "" << "named/chart";
}

void TestDataModelReports::chartImagesNotWritten()
{
    QFETCH(QString, target);
    QFETCH(QString, obstacle);
    QFETCH(QString, failed);
    const bool station = target.contains('/');
    const QString folder = m_dir.filePath(station ? target.section('/', 0, 0) : target);
    const QString file = m_dir.filePath(failed);
    const QByteArray old("a picture from before");
    QVERIFY(hwtest::placeObstacle(obstacle, folder, file, old));
    if (obstacle == "read-only folder" && !hwtest::makeReadOnly(folder))
        QSKIP("a read-only folder stays writable for this user (root)");

    m_events.clear();
    {
        std::unique_ptr<hwtest::FileSizeLimit> full;
        if (obstacle == "disk full")
            full.reset(new hwtest::FileSizeLimit(4096));
        if (station)
            m_model->exportChartImages(m_dir.filePath(target), 2, 1, -1);
        else
            m_model->exportChartImages(folder, -1, 1, 0);
    }
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    // One message naming the file, no "导出结束", nothing half-written.
    QCOMPARE(m_events, QStringList({"message 提示 导出失败：" + QDir::toNativeSeparators(file)}));
    if (obstacle == "disk full") {
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), old);
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList({"c.png"}));
    } else if (QFileInfo(folder).isDir()) {
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList());
    }
}

void TestDataModelReports::chartNamesOfLargeNumbers()
{
    // Six significant digits would name both pictures "1e+06-1e+06.png".
    ProjectGenerator::Options options;
    options.lines = 1;
    options.stationsPerLine = 2;
    options.samplesPerStation = 1;
    options.sampleLength = 1000;
    options.firstLine = 1000001.0;
    options.firstStation = 1000001.0;
    options.stationSpacing = 1.0;
    const QString project = m_dir.filePath("large.QELVA");
    QString error;
    QVERIFY2(ProjectGenerator(options).write(project, &error), qPrintable(error));
    QVERIFY(dmtest::loadOnce(project));
    m_model->closeProject();
    m_lib.reset(new LibHORM);
    QVERIFY(m_lib->open(project));
    m_model->loadProject(m_lib.get());

    const QString folder = m_dir.filePath("large");
    QVERIFY(QDir().mkpath(folder));
    m_events.clear();
    m_model->exportChartImages(folder, -1, 0, 0);
    QCOMPARE(m_events, QStringList({"message 提示 导出结束"}));
    QCOMPARE(QDir(folder).entryList(QDir::Files, QDir::Name),
             QStringList({"1000001-1000001.png", "1000001-1000002.png"}));
}

void TestDataModelReports::reportPayload()
{
    setStationUse(1, 3, false);   // station 60
    editStation(1, 5);            // station 100
    m_model->on_signal_currentGridSettingsChanged(GRID_PROGRESSIVE, 1.2);
    m_model->showTreeNode(1, -1, -1);
    QCOMPARE(m_model->currentLineNumber, 110.0);

    const Payload p = sentPayload();
    QCOMPARE(p.line, 110.0);
    QCOMPARE(p.stations, m_model->reportDistances);
    QCOMPARE(p.stations.size(), 15);
    QVERIFY(!p.stations.contains(60.0));
    QCOMPARE(p.info.firstStation, 0.0);
    QCOMPARE(p.info.lastStation, 300.0);
    QCOMPARE(p.info.stationCount, 15);
    QCOMPARE(p.info.stationSpacing, 20);
    QCOMPARE(p.times, m_model->reportTimes);
    Data_Calc calc(nullptr);
    QCOMPARE(p.curves, calc.transpose(m_model->reportCurves));
    QCOMPARE(p.curves.size(), 15);
    QCOMPARE(p.curves.first().size(), p.times.size());
    QCOMPARE(p.pattern, GRID_PROGRESSIVE);
    QCOMPARE(p.spacing, 1.2);
    QCOMPARE(p.param.topography.size(), m_model->invParam.topography.size());

    // Only the edited station shows edits: its two changed gates.
    QCOMPARE(p.edits.size(), 15);
    for (int k = 0; k < p.edits.size(); ++k) {
        QCOMPARE(p.edits[k].pointNumber, p.stations[k]);
        if (p.stations[k] == 100.0) {
            QCOMPARE(p.edits[k].editedPercent, 200.0 / p.times.size());
            QVERIFY(p.edits[k].meanChangePercent > 0.0);
        } else {
            QCOMPARE(p.edits[k].editedPercent, 0.0);
            QCOMPARE(p.edits[k].meanChangePercent, 0.0);
        }
    }
}

void TestDataModelReports::reportAfterAnotherLineChosen()
{
    // The report belongs to the line shown last, even when a station of
    // another line was chosen in the tree since.
    editStation(1, 5);
    m_model->showTreeNode(1, -1, -1);
    m_model->showTreeNode(0, 2, -1);
    QCOMPARE(m_model->currentLineRow, 0);
    const Payload p = sentPayload();
    QCOMPARE(p.line, 110.0);
    QCOMPARE(p.edits.size(), 16);
    for (const EditInfo& e : p.edits)
        QCOMPARE(e.editedPercent, e.pointNumber == 100.0 ? 200.0 / p.times.size() : 0.0);
}

void TestDataModelReports::documentReport()
{
    setStationUse(1, 3, false);
    editStation(1, 5);
    m_model->showTreeNode(1, -1, -1);
    const Payload p = sentPayload();

    // While the document is written this thread shows a busy dialog and
    // keeps drawing (the writer's charts come from here).
    QStringList progress;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&]() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QProgressDialog*>(w);
            if (dialog && dialog->isVisible() && progress.isEmpty()) {
                progress << dialog->windowTitle() << dialog->labelText()
                         << QString::number(dialog->minimum()) << QString::number(dialog->maximum())
                         << QString::number(dialog->isModal());
                for (QPushButton* b : dialog->findChildren<QPushButton*>())
                    if (b->isVisible())
                        progress << "button";
                // The main window stays usable meanwhile; a second export
                // must not share the running writer.
                m_model->exportReport(m_dir.filePath("second.docx"));
            }
        }
    });
    watch.start(10);
    // While it waits, this thread sleeps between events instead of turning
    // in a loop that never blocks.
    int blocked = 0;
    auto sleep = connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
                         [&]() { ++blocked; });
    const QString file = m_dir.filePath("line110.docx");
    m_events.clear();
    m_model->exportReport(file);
    disconnect(sleep);
    watch.stop();
    QVERIFY(blocked > 0);
    QCOMPARE(progress, QStringList({"请等待...", "正在执行...", "0", "0", "0"}));
    QCOMPARE(m_events, QStringList({"message 提示 导出完成"}));
    QVERIFY(!m_model->reportRunning);
    QVERIFY(!QFile::exists(m_dir.filePath("second.docx")));

    const QString text = reporttest::docxText(file);
    const QStringList expected{"测线 110 数据处理报告", "起始点号：0", "终止点号：300", "测点数量：15 个",
                               "点距：20 m", "约束系数：1", "基准阻值：100", "反演系数：0.3", "反演深度：100",
                               "反演方法：瞬态弛豫反演方法", "网格设置：固定网格 网格间距 5", "高程数据统计表",
                               "数据编辑统计表", "5. 测线成果"};
    int at = 0;
    for (const QString& s : expected) {
        const int found = text.indexOf(s, at);
        QVERIFY2(found >= 0, qPrintable(QString("'%1' missing or out of order").arg(s)));
        at = found + s.size();
    }
    for (const QStringList& row : ReportContent::editRows(p.edits))
        QVERIFY2(text.contains(row.join('\n')), qPrintable(row.join(' ')));
    QVERIFY(text.contains(QString::number(200.0 / p.times.size(), 'f', 2)));
    for (const QStringList& row : ReportContent::elevationRows(p.param.topography))
        QVERIFY(text.contains(row.at(0) + '\n' + row.at(1)));
    // One chart per station of the line data, then the line's section.
    QCOMPARE(reporttest::docxPictureCount(file), 16);
    QCOMPARE(m_rendered.size(), 1);
    QVERIFY(!QFile::exists("temp_chart.png"));
}

void TestDataModelReports::reportBySuffix_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("document");
    QTest::addColumn<bool>("pdf");
    QTest::newRow("docx") << "r1.docx" << true << false;
    QTest::newRow("doc") << "r2.doc" << true << false;
    QTest::newRow("pdf") << "r3.pdf" << false << true;
    // One file for one name: the last suffix decides.
    QTest::newRow("pdf.doc: the document") << "r4.pdf.doc" << true << false;
    QTest::newRow("docx.pdf: the PDF") << "r8.docx.pdf" << false << true;
    QTest::newRow("no suffix") << "r5" << false << false;
    QTest::newRow("txt") << "r6.txt" << false << false;
    QTest::newRow("upper case") << "r7.PDF" << false << false;
}

void TestDataModelReports::reportBySuffix()
{
    QFETCH(QString, name);
    QFETCH(bool, document);
    QFETCH(bool, pdf);
    m_model->showTreeNode(0, -1, -1);
    const QString path = m_dir.filePath(name);
    m_pdfAnswer = m_dir.filePath(QString("chosen-%1.pdf").arg(name));
    m_events.clear();
    m_model->exportReport(path);

    // The name was asked for once, before: the PDF report takes it as it
    // is and asks no other.
    QStringList expected;
    if (document)
        expected << "message 提示 导出完成";
    QCOMPARE(m_events, expected);
    QCOMPARE(QFile::exists(path), document || pdf);
    QVERIFY(!QFile::exists(m_pdfAnswer));
    if (document)
        QVERIFY(reporttest::docxText(path).contains("测线 100 数据处理报告"));
    if (pdf) {
        QCOMPARE(reporttest::pdfPageCount(path), 8);
        QCOMPARE(m_urls.urls.size(), 1);
    } else {
        QVERIFY(m_urls.urls.isEmpty());
    }
}

void TestDataModelReports::sectionPictureOfTheReportedLine()
{
    // Line 100 with its section, then line 110 with 3 stations in use (no
    // section): each report holds its own line's picture or none, whatever
    // the section map left in the working folder.
    QVERIFY(reporttest::writeStaleContourImage());
    m_model->showTreeNode(0, -1, -1);
    const QList<DataType_ResultData> section100 = m_model->sectionResults;
    QVERIFY(!section100.isEmpty());
    const QString first = m_dir.filePath("line100.docx");
    m_model->exportReport(first);
    QCOMPARE(m_rendered.size(), 1);
    QCOMPARE(m_rendered.first().grid.size(), section100.size());
    for (int i = 0; i < section100.size(); ++i) {
        QCOMPARE(m_rendered.first().grid.at(i).x, section100.at(i).x);
        QCOMPARE(m_rendered.first().grid.at(i).value, section100.at(i).value);
    }
    QCOMPARE(groundText(m_rendered.first().topography), groundText(m_model->resultTopography));
    QList<QImage> pictures = reporttest::docxPictures(first);
    QCOMPARE(pictures.size(), 17);
    QCOMPARE(pictures.last().convertToFormat(QImage::Format_RGB32),
             m_rendered.first().picture.convertToFormat(QImage::Format_RGB32));

    for (int row = 3; row < 16; ++row)
        setStationUse(1, row, false);
    m_model->showTreeNode(1, -1, -1);
    QCOMPARE(m_model->currentLineNumber, 110.0);
    QCOMPARE(m_model->reportDistances.size(), 3);
    const QString second = m_dir.filePath("line110.docx");
    const QString secondPdf = m_dir.filePath("line110.pdf");
    m_model->exportReport(second);
    m_model->exportReport(secondPdf);
    // Three charts and no section picture, in both kinds; nothing drawn.
    QCOMPARE(m_rendered.size(), 1);
    QCOMPARE(reporttest::docxPictureCount(second), 3);
    QCOMPARE(reporttest::pdfImageCount(secondPdf), 3);
    const QString text = reporttest::docxText(second);
    QVERIFY(text.contains("测线 110 数据处理报告"));
    QVERIFY(text.contains("测点数量：3 个"));
    QVERIFY(text.endsWith("5. 测线成果\n\n") || text.endsWith("5. 测线成果\n"));
}

void TestDataModelReports::sectionPictureOfAnotherProject()
{
    // A report made, then another project opened in the same folder, where
    // the old project's map left its picture: the new report's picture is
    // of the new project's line, and a line of the new project that has no
    // section gets none.
    m_model->showTreeNode(0, -1, -1);
    m_model->exportReport(m_dir.filePath("old.docx"));
    QCOMPARE(m_rendered.size(), 1);
    QVERIFY(reporttest::writeStaleContourImage());

    ProjectGenerator::Options options;
    options.lines = 2;
    options.stationsPerLine = 6;
    options.samplesPerStation = 1;
    options.sampleLength = 2000;
    options.firstLine = 500.0;
    openNewProject("other.QELVA", options);

    // Not shown yet: no report, nothing drawn.
    m_model->exportReport(m_dir.filePath("nothing.docx"));
    QVERIFY(!QFile::exists(m_dir.filePath("nothing.docx")));
    QCOMPARE(m_rendered.size(), 1);

    m_model->showTreeNode(1, -1, -1);
    const QString file = m_dir.filePath("other.docx");
    m_model->exportReport(file);
    QCOMPARE(m_rendered.size(), 2);
    QCOMPARE(m_rendered.last().grid.size(), m_model->sectionResults.size());
    QCOMPARE(m_rendered.last().grid.first().x, m_model->sectionResults.first().x);
    const QList<QImage> pictures = reporttest::docxPictures(file);
    QCOMPARE(pictures.size(), 7);
    QCOMPARE(pictures.last().convertToFormat(QImage::Format_RGB32),
             m_rendered.last().picture.convertToFormat(QImage::Format_RGB32));
    QVERIFY(reporttest::docxText(file).contains(QString("测线 %1 数据处理报告").arg(m_model->currentLineNumber)));
}

void TestDataModelReports::noSectionPictureForAbnormalChannels_data()
{
    QTest::addColumn<bool>("modelCalculation");
    QTest::newRow("line view") << false;
    QTest::newRow("model calculation over the line") << true;
}

// A line whose channel curves hold a value the views do not draw (here a
// subnormal gate) leaves its section views as they were: its report holds
// the charts and no section picture, neither one drawn for it, nor the
// section of the line shown before, nor the one the map left in the folder.
void TestDataModelReports::noSectionPictureForAbnormalChannels()
{
    QFETCH(bool, modelCalculation);
    editStation(0, 5, 1e-310);
    m_model->showTreeNode(1, -1, -1);
    QVERIFY(!m_model->sectionResults.isEmpty());
    QVERIFY(reporttest::writeStaleContourImage());
    if (modelCalculation) {
        m_model->computeLineSection(0);
        m_model->computeModelSection(QStringLiteral(HW_TEST_DATA_DIR "/modelcalc_example.txt"));
    } else {
        m_model->showTreeNode(0, -1, -1);
    }
    QCOMPARE(m_model->currentLineNumber, 100.0);
    QVERIFY(!DataModel::channelsDrawable(m_model->reportCurves));
    QVERIFY(!m_model->sectionResults.isEmpty());

    const QString pdf = m_dir.filePath("abnormal.pdf");
    const QString document = m_dir.filePath("abnormal.docx");
    m_model->exportReport(document);
    m_model->exportReport(pdf);
    QCOMPARE(m_rendered.size(), 0);
    QCOMPARE(reporttest::docxPictureCount(document), 16);
    QCOMPARE(reporttest::pdfImageCount(pdf), 16);
    QVERIFY(reporttest::docxText(document).contains("测线 100 数据处理报告"));
}

void TestDataModelReports::methodAndGridOfTheShownLine_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<QString>("methodLine");
    QTest::newRow("station by station") << 1 << QStringLiteral("反演方法：瞬态弛豫反演方法");
    QTest::newRow("profile") << 2 << QStringLiteral("反演方法：二维瞬态弛豫反演");
}

// Method and grid chosen anew after the line was shown: the report names
// those its section was computed with, as it does its parameters.
void TestDataModelReports::methodAndGridOfTheShownLine()
{
    QFETCH(int, method);
    QFETCH(QString, methodLine);
    m_model->on_signal_TransRelaxInversionMethodChanged(method);
    m_model->on_signal_currentGridSettingsChanged(GRID_FIXED, 5.0);
    m_model->showTreeNode(0, -1, -1);
    QVERIFY(!m_model->sectionResults.isEmpty());
    m_model->on_signal_TransRelaxInversionMethodChanged(3 - method);
    m_model->on_signal_currentGridSettingsChanged(GRID_PROGRESSIVE, 20.0);

    const Payload p = sentPayload();
    QCOMPARE(p.param.intField, method);
    QCOMPARE(p.pattern, GRID_FIXED);
    QCOMPARE(p.spacing, 5.0);
    const QString file = m_dir.filePath("method.docx");
    m_model->exportReport(file);
    const QString text = reporttest::docxText(file);
    QVERIFY2(text.contains(methodLine), qPrintable(text.left(400)));
    QVERIFY(text.contains(QStringLiteral("网格设置：固定网格 网格间距 5")));
    QVERIFY(!text.contains(QStringLiteral("递进网格")));
}

// The model calculation of a line with three stations in use follows the
// line view's rule: the section is cleared and the reason told, nothing is
// drawn, and the report holds no section picture.
void TestDataModelReports::modelCalculationOfTooFewStations()
{
    for (int row = 3; row < 16; ++row)
        setStationUse(1, row, false);
    QSignalSpy cleared(m_model.get(), &DataModel::signal_SectionCleared);
    int drawn = 0;
    connect(m_model.get(), &DataModel::signal_2DISOGraphChanged, this, [&drawn] { ++drawn; });
    m_events.clear();
    m_model->computeLineSection(1);
    QCOMPARE(m_model->reportDistances.size(), 3);
    QVERIFY(!m_model->sectionResults.isEmpty());
    m_model->computeModelSection(QStringLiteral(HW_TEST_DATA_DIR "/modelcalc_example.txt"));
    QCOMPARE(m_events, QStringList({"message 该测线可用测点不足4个，无法绘制断面图"}));
    QCOMPARE(cleared.count(), 1);
    QCOMPARE(drawn, 0);

    const QString file = m_dir.filePath("three.docx");
    m_model->exportReport(file);
    const QString text = reporttest::docxText(file);
    QVERIFY(text.contains(QStringLiteral("测点数量：3 个")));
    QCOMPARE(reporttest::docxPictureCount(file), 3);
    QVERIFY(m_rendered.isEmpty());
}

void TestDataModelReports::editsInTheLinesTimeWindow()
{
    // The time window changed on the ribbon after the line was shown: the
    // report still compares the line's curves with the stored ones in the
    // window the line was shown in, so only the edited station shows edits.
    editStation(0, 5);
    m_model->showTreeNode(0, -1, -1);
    const Payload shown = sentPayload();
    InvParam later = m_model->invParam;
    QVERIFY(later.timeWindowStart < 400.0);
    later.timeWindowStart = 400.0;
    m_model->on_signal_curInvsionParamChanged(later);
    const Payload p = sentPayload();
    QCOMPARE(p.times, shown.times);
    QCOMPARE(p.edits.size(), 16);
    for (const EditInfo& e : p.edits) {
        QCOMPARE(e.editedPercent, e.pointNumber == 100.0 ? 200.0 / p.times.size() : 0.0);
        if (e.pointNumber != 100.0)
            QCOMPARE(e.meanChangePercent, 0.0);
    }
}

void TestDataModelReports::elevationsOfTheReportedLine()
{
    // Line 100 shown, then a station of line 110 (its view takes the ground
    // of the stations around it) and a parameter edit (which comes without
    // ground): the report of line 100 lists line 100's stations and heights,
    // and the parameters its results were computed with.
    m_model->showTreeNode(0, -1, -1);
    const QVector<TopoData> ground = m_model->invParam.topography;
    const double computedWith = m_model->invParam.constraintCoefficient;
    QVERIFY(computedWith != 2.0);
    QCOMPARE(ground.size(), 16);
    m_model->showTreeNode(1, 0, -1);
    QVERIFY(groundText(m_model->invParam.topography) != groundText(ground));
    Payload p = sentPayload();
    QCOMPARE(p.line, 100.0);
    QCOMPARE(groundText(p.param.topography), groundText(ground));

    InvParam edited = m_model->invParam;
    edited.topography.clear();
    edited.constraintCoefficient = 2.0;
    m_model->on_signal_curInvsionParamChanged(edited);
    p = sentPayload();
    QCOMPARE(groundText(p.param.topography), groundText(ground));
    QCOMPARE(p.param.constraintCoefficient, computedWith);

    const QString file = m_dir.filePath("ground100.docx");
    m_model->exportReport(file);
    const QString text = reporttest::docxText(file);
    for (const QStringList& row : ReportContent::elevationRows(ground))
        QVERIFY2(text.contains(row.join('\n')), qPrintable(row.join(' ')));

    // Shown again, the line is computed with the edited parameters.
    m_model->showTreeNode(0, -1, -1);
    QCOMPARE(sentPayload().param.constraintCoefficient, 2.0);
}

void TestDataModelReports::reportOfTheLineChosen()
{
    // The report command on line 110 while line 100 is shown reports line
    // 110 (shown first); on the shown line it shows nothing again.
    m_model->showTreeNode(0, -1, -1);
    int shown = 0;
    auto c = connect(m_model.get(), &DataModel::signal_CentralWidgetChanged, this, [&](bool) { ++shown; });
    m_model->exportReport(m_dir.filePath("chosen110.docx"), 1);
    QCOMPARE(shown, 1);
    QCOMPARE(m_model->currentLineNumber, 110.0);
    QVERIFY(reporttest::docxText(m_dir.filePath("chosen110.docx")).contains("测线 110 数据处理报告"));
    QCOMPARE(m_rendered.size(), 1);
    QCOMPARE(m_rendered.last().grid.first().x, m_model->sectionResults.first().x);

    m_model->exportReport(m_dir.filePath("again110.docx"), 1);
    disconnect(c);
    QCOMPARE(shown, 1);
    QVERIFY(reporttest::docxText(m_dir.filePath("again110.docx")).contains("测线 110 数据处理报告"));

    // A line that cannot be shown (one station in use) is not reported
    // under the name of the line shown before it.
    for (int row = 1; row < 16; ++row)
        setStationUse(0, row, false);
    m_model->showTreeNode(1, -1, -1);
    m_events.clear();
    m_model->exportReport(m_dir.filePath("single.docx"), 0);
    QCOMPARE(m_events, QStringList({"message 该测线无法显示，无法导出报告！"}));
    QVERIFY(!QFile::exists(m_dir.filePath("single.docx")));
}

void TestDataModelReports::editsOfTheLineAtItsRow()
{
    // Two lines numbered 100, a conductor under the first only: the report
    // of the second compares its curves with its own stored ones, not with
    // those of the first.
    ProjectGenerator::Options options;
    options.lines = 2;
    options.stationsPerLine = 16;
    options.samplesPerStation = 1;
    options.sampleLength = 2000;
    options.zoneFrom = 100.0;
    options.zoneTo = 200.0;
    options.zoneFirstLine = 100.0;
    options.zoneLastLine = 100.0;
    openNewProject("twins.QELVA", options);
    QVERIFY(m_model->setData(m_model->index(1, 0), 100.0, Qt::EditRole));
    m_model->showTreeNode(1, -1, -1);
    QCOMPARE(m_model->currentLineNumber, 100.0);
    Payload p = sentPayload();
    QCOMPARE(p.edits.size(), 16);
    for (const EditInfo& e : p.edits) {
        QCOMPARE(e.editedPercent, 0.0);
        QCOMPARE(e.meanChangePercent, 0.0);
    }
    // An edit of the second line shows up in its own report.
    editStation(1, 5);
    m_model->showTreeNode(1, -1, -1);
    p = sentPayload();
    for (const EditInfo& e : p.edits)
        QCOMPARE(e.editedPercent, e.pointNumber == 100.0 ? 200.0 / p.times.size() : 0.0);
}

void TestDataModelReports::reportNeedsLineOfOpenProject_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("reopened");
    QTest::addColumn<QString>("message");
    QTest::newRow("document, another project") << "stale.docx" << true << "message 请先显示一条测线，再导出结果！";
    QTest::newRow("pdf, another project") << "stale.pdf" << true << "message 请先显示一条测线，再导出结果！";
    QTest::newRow("document, no project") << "none.docx" << false << "message 没有打开的工程，无法导出！";
}

void TestDataModelReports::reportNeedsLineOfOpenProject()
{
    QFETCH(QString, name);
    QFETCH(bool, reopened);
    QFETCH(QString, message);
    // A line shown in a project that is then closed: its line data must not
    // become the report of the next project (nor of none).
    m_model->showTreeNode(1, -1, -1);
    QVERIFY(!m_model->reportDistances.isEmpty());
    m_model->closeProject();
    if (reopened)
        openGenerated();
    const QString path = m_dir.filePath(name);
    m_pdfAnswer = m_dir.filePath("chosen-" + name + ".pdf");
    m_events.clear();
    m_model->exportReport(path);
    QCOMPARE(m_events, QStringList({message}));
    QVERIFY(!QFile::exists(path));
    QVERIFY(!QFile::exists(m_pdfAnswer));
}

void TestDataModelReports::documentNotSaved_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("diskFull");
    QTest::newRow("folder missing") << "missing/folder/report.docx" << false;
    QTest::newRow("disk full, document in place kept") << "kept.docx" << true;
}

void TestDataModelReports::documentNotSaved()
{
    QFETCH(QString, name);
    QFETCH(bool, diskFull);
    // A document that could not be saved is not reported as exported, and
    // the message names it.
    m_model->showTreeNode(0, -1, -1);
    const QString path = m_dir.filePath(name);
    const QByteArray old("a document from before");
    if (diskFull) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(old);
    }
    m_events.clear();
    {
        std::unique_ptr<hwtest::FileSizeLimit> full;
        if (diskFull)
            full.reset(new hwtest::FileSizeLimit(1024));
        m_model->exportReport(path);
    }
    QCOMPARE(m_events, QStringList({"message 提示 导出失败：" + QDir::toNativeSeparators(path)}));
    if (diskFull) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), old);
        QCOMPARE(QDir(m_dir.path()).entryList({"kept.docx*"}, QDir::Files), QStringList({"kept.docx"}));
    } else {
        QVERIFY(!QFile::exists(path));
    }
    QVERIFY(!m_model->reportRunning);
}

QTEST_MAIN(TestDataModelReports)
#include "tst_datamodel_reports.moc"
