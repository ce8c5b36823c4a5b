#include "reports/Pdf.h"

#include <QDesktopServices>
#include <QSaveFile>
#include <QMarginsF>
#include <QMessageBox>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPen>
#include <QPixmap>
#include <QTimer>
#include <QUrl>
#include <QtCharts/QChart>

#include <cmath>

#include "model/Data_Calc.h"
#include "model/ExportFiles.h"
#include "model/UserPrompt.h"
#include "reports/ReportContent.h"

namespace {

constexpr int kTextHeight = 100;
constexpr int kCellHeight = 150;
constexpr int kChartHeight = 1200;

} // namespace

Pdf::Pdf(QObject* parent)
    : QObject(parent),
      titleFont(ReportContent::font(24)),
      headingFont(ReportContent::font(16, 87)),
      bodyFont(ReportContent::font(12)),
      smallFont(ReportContent::font(10))
{
}

Pdf::~Pdf()
{
    closeWriter(false);
}

void Pdf::exportReport(double line, LineInfo info, QVector<EditInfo> edits, InvParam param,
                       GridPattern pattern, double spacing, QVector<QVector<double> > curves,
                       QVector<double> times, QVector<double> stations, QImage section, QString filePath)
{
    path = filePath;
    if (!openWriter()) {
        // An empty path: the dialog was cancelled.
        if (!path.isEmpty())
            UserPrompt::critical(QStringLiteral("提示"), ExportFiles::failedText(path));
        return;
    }

    setReportInputs(line, info, edits, param, pattern, spacing, curves, times, stations, section);

    bool painted = false;
    {
        QPainter painter(writer);
        painted = painter.isActive();
        if (painted) {
            W = painter.viewport().width();
            H = painter.viewport().height();
            L = Y = topOfPage();
            writeTitle(&painter);
            writeWorkload(&painter);
            writeInversionParameters(&painter);
            writeElevationTable(&painter);
            writePointDetails(&painter);
            writeLineResults(&painter);
        }
    }
    // A painter that could not begin wrote no page: no document either.
    if (!closeWriter(painted)) {
        UserPrompt::critical(QStringLiteral("提示"), ExportFiles::failedText(path));
        return;
    }

    QMessageBox box(QMessageBox::Information, QStringLiteral("提示"), QStringLiteral("导出结束"),
                    QMessageBox::NoButton, nullptr);
    QTimer::singleShot(500, &box, SLOT(accept()));
    box.exec();

    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

QtCharts::QChart* Pdf::createDecayChart(QVector<double> curve)
{
    Data_Calc calc(nullptr);
    return calc.makeDecayChart(gateTimes, curve);
}

bool Pdf::openWriter()
{
    // The name was chosen in the report's own dialog: it is not asked again.
    if (path.isEmpty())
        return false;
    // Opened now, so that a file that cannot be written ends the export
    // before anything is painted; replaced only by a complete document.
    file = new QSaveFile(path);
    if (!file->open(QIODevice::WriteOnly)) {
        delete file;
        file = nullptr;
        return false;
    }
    document.setData(QByteArray());
    document.open(QIODevice::WriteOnly);
    writer = new QPdfWriter(&document);
    writer->setResolution(300);
    writer->setPageSize(QPageSize(QPageSize::A4));
    writer->setPageMargins(QMarginsF(30, 30, 30, 30), QPageLayout::Point);
    return true;
}

bool Pdf::closeWriter(bool keep)
{
    delete writer;
    writer = nullptr;
    document.close();
    bool saved = false;
    if (file && file->isOpen()) {
        if (keep)
            saved = ExportFiles::commitWhole(*file, document.data());
        else
            file->cancelWriting();
    }
    delete file;
    file = nullptr;
    document.setData(QByteArray());
    return saved;
}

int Pdf::topOfPage() const
{
    return static_cast<int>(0.05 * H);
}

void Pdf::startPage()
{
    writer->newPage();
    Y = topOfPage();
}

void Pdf::ensureRoom(int h)
{
    if (Y + h > H - static_cast<int>(0.08 * H))
        startPage();
}

void Pdf::writeHeading(QPainter* painter, const QString& text)
{
    painter->setFont(headingFont);
    painter->drawText(QRect(L, Y, W, kTextHeight), Qt::AlignLeft, text);
    Y += 100;
}

void Pdf::writeBodyLine(QPainter* painter, const QString& text)
{
    painter->setFont(bodyFont);
    painter->drawText(QRect(L + 115, Y, W, kTextHeight), Qt::AlignLeft, text);
    Y += 100;
}

void Pdf::writeCaption(QPainter* painter, const QString& text)
{
    painter->setFont(smallFont);
    painter->drawText(QRect(0, Y, W, kTextHeight), Qt::AlignHCenter | Qt::AlignVCenter, text);
    Y += 78;
}

void Pdf::writeTable(QPainter* painter, const QStringList& header, const QVector<QStringList>& rows, int cw)
{
    painter->setPen(QPen(QBrush(Qt::black, Qt::SolidPattern), 2.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    painter->setFont(bodyFont);
    QVector<QStringList> all;
    all.reserve(rows.size() + 1);
    all.append(header);
    all += rows;
    for (const QStringList& row : all) {
        int x = L;
        for (const QString& text : row) {
            ensureRoom(kCellHeight);
            const QRect cell(x, Y, cw, kCellHeight);
            painter->drawText(cell, Qt::AlignHCenter | Qt::AlignVCenter, text);
            painter->drawRects(&cell, 1);
            x += cw;
        }
        Y += kCellHeight;
    }
}

void Pdf::writeTitle(QPainter* painter)
{
    painter->setFont(titleFont);
    painter->drawText(QRect(0, Y, W, kTextHeight), Qt::AlignHCenter | Qt::AlignVCenter,
                      ReportContent::title(lineNumber));
    Y += 150;
}

void Pdf::writeWorkload(QPainter* painter)
{
    writeHeading(painter, ReportContent::workloadHeading());
    for (const QString& text : ReportContent::workloadLines(lineInfo))
        writeBodyLine(painter, text);
}

void Pdf::writeInversionParameters(QPainter* painter)
{
    writeHeading(painter, ReportContent::parametersHeading());
    for (const QString& text : ReportContent::parameterLines(invParam, methodText, gridText))
        writeBodyLine(painter, text);
}

void Pdf::writeElevationTable(QPainter* painter)
{
    writeHeading(painter, ReportContent::elevationHeading());
    writeCaption(painter, ReportContent::elevationCaption());
    writeTable(painter, ReportContent::elevationHeader(), ReportContent::elevationRows(invParam.topography),
               (W - 2 * L) / 4);
}

void Pdf::writePointDetails(QPainter* painter)
{
    startPage();
    writeHeading(painter, ReportContent::detailsHeading());

    const int n = stationNumbers.size();
    const int half = (W - 2 * L) / 2;
    for (int k = 0; k < n; k += 2) {
        int x = L;
        for (int j = k; j < k + 2 && j < n; ++j) {
            ensureRoom(kChartHeight);
            QtCharts::QChart* chart = createDecayChart(stationCurves.value(j));
            chart->setTitleFont(ReportContent::chartTitleFont());
            chart->setTitle(ReportContent::chartTitle(lineNumber, stationNumbers.at(j)));
            painter->drawPixmap(x, Y, ReportContent::chartPicture(chart, QSize(half + 100, kChartHeight)));
            x += 70 + half;
        }
        Y += kChartHeight;
    }

    writeCaption(painter, ReportContent::editCaption());
    writeTable(painter, ReportContent::editHeader(), ReportContent::editRows(editInfos), (W - 2 * L) / 3);
}

void Pdf::writeLineResults(QPainter* painter)
{
    startPage();
    writeHeading(painter, ReportContent::resultsHeading());

    // The text width, or less where that would run past the page, in the
    // picture's own proportions; embedded whole, so it prints sharp.
    if (!sectionPicture.isNull()) {
        const QSizeF room(W - 2 * L, H - static_cast<int>(0.08 * H) - Y);
        const QSizeF size = QSizeF(sectionPicture.size()).scaled(room, Qt::KeepAspectRatio);
        painter->drawImage(QRectF(QPointF(L + (room.width() - size.width()) / 2.0, Y), size), sectionPicture);
    }
}
