#include "model/DataModel.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QFuture>
#include <QFutureWatcher>
#include <QPixmap>
#include <QProgressDialog>
#include <QThreadPool>
#include <QtCharts/QChart>
#include <QtConcurrent/QtConcurrentRun>

#include <cmath>

#include "model/Data_Calc.h"
#include "model/ExportFiles.h"
#include "model/UserPrompt.h"
#include "reports/Pdf.h"
#include "reports/ReportContent.h"
#include "reports/Word.h"
#include "store/Data_Line.h"
#include "store/Data_Point.h"


bool DataModel::drawStationChart(Data_Line* line, Data_Point* station, const QString& fileName)
{
    station->unpackWindow(scheme, stationResponse, stationTimes, stationRaw, invParam.timeWindowStart,
                          invParam.timeWindowEnd);
    QtCharts::QChart* chart = ReportContent::decayChart(stationTimes, stationResponse, line->NAME(), station->NAME());
    return ExportFiles::writePicture(ReportContent::chartPicture(chart, ReportContent::chartPictureSize()).toImage(),
                                     fileName);
}

void DataModel::exportChartImages(QString path, int stationIndex, int lineIndex, int mode)
{
    Data_Line* line = lineAt(lineIndex);
    if (!line)
        return;
    line->loadReferences();
    if (mode < 0) {
        Data_Point* station = stationAt(line, stationIndex);
        if (!station)
            return;
        if (!drawStationChart(line, station, path)) {
            UserPrompt::critical(QStringLiteral("提示"), ExportFiles::failedText(path));
            return;
        }
    } else {
        HORM_Collection<Data_Point>* stations = line->REF_Data_Point();
        const int count = stations ? stations->size() : 0;
        for (int i = 0; i < count; ++i) {
            Data_Point* station = stations->at(i).value();
            if (!station)
                continue;
            const QString fileName = path + QStringLiteral("/%1-%2.png").arg(ExportFiles::number(line->NAME()),
                                                                              ExportFiles::number(station->NAME()));
            // The rest would fail alike; one message names the first file.
            if (!drawStationChart(line, station, fileName)) {
                UserPrompt::critical(QStringLiteral("提示"), ExportFiles::failedText(fileName));
                return;
            }
        }
    }
    UserPrompt::informationOk(QStringLiteral("提示"), QStringLiteral("导出结束"));
}

Data_Line* DataModel::reportLine() const
{
    // By row: two lines may share a number, and a station of another line
    // may have been chosen in the tree since.
    return lineAt(reportLineRow);
}

void DataModel::startReportLine(int row, const QVector<TopoData>& topography)
{
    reportLineRow = row;
    reportParam = invParam;
    reportParam.topography = topography;
    // The report names the method and grid of the line's section, not
    // those chosen later.
    reportParam.intField = transRelaxMethod;
    reportGridPattern = gridPattern;
    reportGridValue = gridValue;
    reportSection.clear();
    reportSectionTopography.clear();
}

void DataModel::keepReportSection(const QList<DataType_ResultData>& grid, const QVector<TopoData>& topography,
                                  double depth, int method)
{
    reportSection = grid;
    reportSectionTopography = topography;
    reportSectionDepth = depth;
    reportSectionMethod = method;
}

void DataModel::forgetReportLine()
{
    startReportLine(-1, QVector<TopoData>());
}

bool DataModel::channelsDrawable(const QVector<QVector<double> >& curves)
{
    QVector<int> abnormal;
    for (const QVector<double>& channel : curves)
        Data_Calc::abnormalValueIndices(channel, abnormal);
    return abnormal.isEmpty();
}

void DataModel::setSectionRenderer(SectionRenderer renderer)
{
    sectionRenderer = std::move(renderer);
}

QVector<QVector<double> > DataModel::reportRawCurves()
{
    // Gathered per station number of the report, so that every station's
    // statistics compare its own curves even when the line data skipped
    // stations; a station without a match counts as unedited.
    QVector<QVector<double> > rawCurves(reportDistances.size());
    Data_Line* line = reportLine();
    if (!line)
        return rawCurves;
    line->loadReferences();
    HORM_Collection<Data_Point>* stations = line->REF_Data_Point();
    const int count = stations ? stations->size() : 0;
    QVector<bool> taken(reportDistances.size(), false);
    for (int i = 0; i < count; ++i) {
        Data_Point* station = stations->at(i).value();
        if (!station || station->USE() == 0)
            continue;
        station->unpackWindow(scheme, stationResponse, stationTimes, stationRaw, reportParam.timeWindowStart,
                              reportParam.timeWindowEnd);
        for (int k = 0; k < reportDistances.size(); ++k) {
            if (!taken.at(k) && reportDistances.at(k) == station->NAME()) {
                rawCurves[k] = stationRaw;
                taken[k] = true;
                break;
            }
        }
    }
    return rawCurves;
}

void DataModel::gatherReportData(LineInfo& lineInfo, QVector<EditInfo>& editInfos,
                                 QVector<QVector<double> >& stationCurves)
{
    lineInfo = calc->reportValueMap(reportDistances);
    stationCurves = calc->transpose(reportCurves);
    const QVector<QVector<double> > rawCurves = reportRawCurves();
    editInfos = calc->editStatistics(stationCurves, rawCurves, reportDistances);
}

void DataModel::exportReport(QString path, int lineRow)
{
    // The word-processor road runs the event loop; a second export started
    // from there would share the writer with the running one.
    if (reportRunning)
        return;

    // One name, one file: a name ending in ".pdf" is the PDF report, any
    // other naming a document ("x.pdf.docx" too) the document.
    const QString suffix = QFileInfo(path).completeSuffix();
    const bool toPdf = path.endsWith(QLatin1String(".pdf"));
    const bool toWord = !toPdf
                        && (suffix.indexOf(QLatin1String("docx")) >= 0 || suffix.indexOf(QLatin1String("doc")) >= 0);
    if (!toWord && !toPdf)
        return;
    // The report is made of what the line view computes: a line chosen
    // while another is shown is shown first.
    if (lineRow >= 0 && lineRow != reportLineRow && isProjectOpen() && lineAt(lineRow)) {
        showTreeNode(lineRow, -1, -1);
        if (reportLineRow != lineRow) {
            UserPrompt::information(QStringLiteral("该测线无法显示，无法导出报告！"));
            return;
        }
    }
    // The line data outlive a closed project; without a line shown in this
    // one they would make a report of another project's line.
    if (!exportAllowed(true))
        return;

    LineInfo lineInfo;
    QVector<EditInfo> editInfos;
    QVector<QVector<double> > stationCurves;
    gatherReportData(lineInfo, editInfos, stationCurves);

    // Copied now: the main window stays usable while the task runs.
    const double line = currentLineNumber;
    // The parameters and ground the reported line was computed with, not
    // those of a station view or of a parameter edit since.
    const InvParam param = reportParam;
    const QImage section = sectionRenderer && !reportSection.isEmpty()
                               ? sectionRenderer(reportSection, reportSectionTopography, reportSectionDepth,
                                                 reportSectionMethod)
                               : QImage();
    const GridPattern pattern = reportGridPattern;
    const double spacing = reportGridValue;
    const QVector<double> times = reportTimes;
    const QVector<double> stations = reportDistances;

    if (toWord) {
        reportRunning = true;
        QProgressDialog progress(nullptr);
        progress.setWindowTitle(QStringLiteral("请等待..."));
        progress.setLabelText(QStringLiteral("正在执行..."));
        progress.setCancelButtonText(QString());
        progress.setWindowFlags(Qt::CustomizeWindowHint | Qt::WindowMinimizeButtonHint);
        progress.setRange(0, 0);
        progress.show();

        Word* writer = wordReport;
        // Stays false when the body throws; read only after the task ended.
        bool saved = false;
        QFuture<void> task = QtConcurrent::run(QThreadPool::globalInstance(), [=, &saved]() {
            saved = writer->exportReport(line, lineInfo, editInfos, param, pattern, spacing, stationCurves, times,
                                         stations, section, path);
        });
        // The writer has its charts drawn on this thread: it runs its event
        // loop, asleep between events, until the task has ended.
        QEventLoop loop;
        QFutureWatcher<void> watcher;
        QObject::connect(&watcher, &QFutureWatcher<void>::finished, &loop, &QEventLoop::quit);
        watcher.setFuture(task);
        loop.exec();

        progress.close();
        reportRunning = false;
        if (saved)
            UserPrompt::informationOk(QStringLiteral("提示"), QStringLiteral("导出完成"));
        else
            UserPrompt::critical(QStringLiteral("提示"), ExportFiles::failedText(path));
    }

    if (toPdf)
        pdfReport->exportReport(line, lineInfo, editInfos, param, pattern, spacing, stationCurves, times, stations,
                                section, path);
}

void DataModel::on_signalSendPdfData()
{
    LineInfo lineInfo;
    QVector<EditInfo> editInfos;
    QVector<QVector<double> > stationCurves;
    gatherReportData(lineInfo, editInfos, stationCurves);
    emit signal_SendPdfData(currentLineNumber, lineInfo, editInfos, reportParam, reportGridPattern, reportGridValue,
                            stationCurves, reportTimes, reportDistances);
}
