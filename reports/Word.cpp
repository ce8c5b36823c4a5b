#include "reports/Word.h"

#include <QDir>
#include <QFile>
#include <QMetaType>
#include <QMutexLocker>
#include <QPixmap>
#include <QTemporaryDir>
#include <QThread>
#include <QtCharts/QChart>

#include "model/ExportFiles.h"
#include "platform/wordproc/WordApplication.h"
#include "platform/wordproc/WordCell.h"
#include "platform/wordproc/WordDocument.h"
#include "platform/wordproc/WordInlineShape.h"
#include "platform/wordproc/WordSelection.h"
#include "platform/wordproc/WordTable.h"
#include "reports/ReportContent.h"

namespace {

const QString kFontName = QStringLiteral("宋体");

} // namespace

Word::Word(QObject* parent)
    : QObject(parent)
{
    // Arguments of the queued chart requests.
    qRegisterMetaType<QVector<double> >("QVector<double>");
}

Word::~Word()
{
    closeApplication();
}

bool Word::openApplication()
{
    closeApplication();
    application = new WordApplication;
    if (!application->setControl(QStringLiteral("word.Application"))
        && !application->setControl(QStringLiteral("kwps.Application"))) {
        closeApplication();
        return false;
    }
    application->setVisible(false);
    application->addDocument();
    activeDocument = application->activeDocument();
    if (!activeDocument)
        return false;
    // Readers without the named font take the report's fallbacks, as the
    // PDF does; the language picks the simplified Chinese glyph forms.
    activeDocument->setFontAlternatives(kFontName, ReportContent::fontFamilies());
    activeDocument->setEastAsianLanguage(QStringLiteral("zh-CN"));
    return true;
}

void Word::closeApplication()
{
    // The document objects die with the application; keep no pointer into it.
    if (application)
        application->quit();
    delete application;
    application = nullptr;
    activeDocument = nullptr;
    selection = nullptr;
    selectionFont = nullptr;
    paragraphFormat = nullptr;
}

bool Word::exportReport(double line, LineInfo info, QVector<EditInfo> edits, InvParam param,
                        GridPattern pattern, double spacing, QVector<QVector<double> > curves,
                        QVector<double> times, QVector<double> stations, QImage section, QString filePath)
{
    if (!openApplication()) {
        closeApplication();
        return false;
    }
    const WordPageSetup& pageSetup = activeDocument->pageSetup();
    pageWidth = static_cast<float>(pageSetup.pageWidth);
    pageHeight = static_cast<float>(pageSetup.pageHeight);

    setReportInputs(line, info, edits, param, pattern, spacing, curves, times, stations, section);
    path = filePath;

    writeSections();

    const bool saved = activeDocument->saveAs(path);
    // Saved just now: closing must not write the whole document again.
    application->closeDocument(activeDocument, false);
    closeApplication();
    return saved;
}

void Word::writeSections()
{
    selection = application->selection();
    paragraphFormat = &selection->paragraphFormat();
    selectionFont = &selection->font();

    writeTitle();
    writeWorkload();
    writeInversionParameters();
    writeElevationTable();
    writePointDetails();
    writeLineResults();
}

void Word::setTextFormat(int outlineLevel, int alignment, QString fontName, int size, bool bold,
                         int firstLineIndent, int lineSpacingRule)
{
    if (!paragraphFormat || !selectionFont)
        return;
    paragraphFormat->lineSpacingRule = lineSpacingRule;
    paragraphFormat->alignment = alignment;
    paragraphFormat->outlineLevel = outlineLevel;
    paragraphFormat->firstLineIndent = firstLineIndent;
    paragraphFormat->spaceBefore = 0;
    paragraphFormat->spaceAfter = 0;
    selectionFont->name = fontName;
    selectionFont->size = size;
    selectionFont->bold = bold;
    selectionFont->color = 0;
}

void Word::writeTitle()
{
    setTextFormat(1, 1, kFontName, 24, true, 0, 1);
    selection->typeText(ReportContent::title(lineNumber) + QLatin1Char('\n'));
}

void Word::writeWorkload()
{
    setTextFormat(2, 0, kFontName, 16, true, 0, 1);
    selection->typeText(ReportContent::workloadHeading() + QLatin1Char('\n'));
    setTextFormat(10, 0, kFontName, 12, false, 28, 1);
    for (const QString& text : ReportContent::workloadLines(lineInfo))
        selection->typeText(text + QLatin1Char('\n'));
}

void Word::writeInversionParameters()
{
    setTextFormat(2, 0, kFontName, 16, true, 0, 1);
    selection->typeText(ReportContent::parametersHeading() + QLatin1Char('\n'));
    setTextFormat(10, 0, kFontName, 12, false, 28, 1);
    for (const QString& text : ReportContent::parameterLines(invParam, methodText, gridText))
        selection->typeText(text + QLatin1Char('\n'));
}

WordTable* Word::addBorderedTable(int rows, int columns, const QStringList& header)
{
    WordTable* table = selection->addTable(rows, columns);
    if (!table)
        return nullptr;
    table->setVerticallyCentered(true);
    table->setRowHeightRule(2);
    table->setRowHeight(30);
    for (int i = 1; i <= 6; ++i) {
        if (WordBorder* border = table->border(i)) {
            border->lineStyle = 1;
            border->lineWidth = 1;
            border->color = 0;
        }
    }
    for (int c = 1; c <= columns && c <= header.size(); ++c) {
        WordCell* cell = table->cell(1, c);
        cell->setVerticalAlignment(1);
        cell->setText(header.at(c - 1));
        cell->font().bold = true;
    }
    return table;
}

void Word::endTable(WordTable* table)
{
    // The selection always follows the last table, so text typed from here
    // on lands in the paragraph below it.
    Q_UNUSED(table);
}

void Word::writeElevationTable()
{
    setTextFormat(2, 0, kFontName, 16, true, 0, 1);
    selection->typeText(ReportContent::elevationHeading() + QLatin1Char('\n'));
    setTextFormat(10, 1, kFontName, 12, false, 0, 0);
    selection->typeText(ReportContent::elevationCaption() + QLatin1Char('\n'));

    const QVector<QStringList> rows = ReportContent::elevationRows(invParam.topography);
    WordTable* table = addBorderedTable(rows.size() + 1, 4, ReportContent::elevationHeader());
    if (!table)
        return;
    const int n = invParam.topography.size();
    int entry = 0;
    for (int r = 0; r < rows.size(); ++r) {
        for (int c = 1; c <= 4 && entry < n; ++c) {
            WordCell* cell = table->cell(r + 2, c);
            cell->setVerticalAlignment(1);
            cell->setText(rows.at(r).at(c - 1));
            if (c % 2 == 0)
                ++entry;
        }
    }
    endTable(table);
    selection->insertBreak(2);
}

bool Word::requestChart(int k, const QString& picturePath)
{
    const QVector<double> curve = stationCurves.value(k);
    const double station = stationNumbers.at(k);
    if (QThread::currentThread() == thread()) {
        // Nobody else could draw it: the wait below would never end.
        renderChart(gateTimes, curve, lineNumber, station, picturePath);
        return true;
    }
    chartDone = false;
    if (!QMetaObject::invokeMethod(this, "saveChart", Qt::QueuedConnection, Q_ARG(QVector<double>, gateTimes),
                                   Q_ARG(QVector<double>, curve), Q_ARG(double, lineNumber),
                                   Q_ARG(double, station), Q_ARG(QString, picturePath)))
        return false;
    while (!chartDone)
        chartReady.wait(&chartLock);
    return true;
}

void Word::writePointDetails()
{
    setTextFormat(2, 0, kFontName, 16, true, 0, 1);
    selection->typeText(ReportContent::detailsHeading() + QLatin1Char('\n'));
    setTextFormat(10, 0, kFontName, 12, false, 0, 1);

    const int n = stationNumbers.size();
    const int rows = (n + 1) / 2;
    WordTable* table = selection->addTable(rows, 2);
    if (table) {
        table->setPreferredWidthType(2);
        table->setPreferredWidth(100);
        table->setBordersEnabled(false);
        table->autoFitBehavior(2);
    }

    QMutexLocker locker(&chartLock);
    if (table) {
        const QString picturePath = QDir::currentPath() + QStringLiteral("/temp_chart.png");
        int k = 0;
        for (int r = 1; r <= rows && k < n; ++r) {
            for (int c = 1; c <= 2 && k < n; ++c, ++k) {
                WordCell* cell = table->cell(r, c);
                const bool drawn = requestChart(k, picturePath);
                cell->setVerticalAlignment(1);
                if (drawn) {
                    // A third of the page wide, within a third of its
                    // height, undistorted.
                    if (WordInlineShape* picture = cell->addPicture(QDir::toNativeSeparators(picturePath))) {
                        picture->setLockAspectRatio(true);
                        picture->setWidth(pageWidth / 3.0f);
                        if (picture->height() > pageHeight / 3.0f)
                            picture->setHeight(pageHeight / 3.0f);
                    }
                }
                QFile::remove(picturePath);
            }
        }
        endTable(table);
    }

    setTextFormat(10, 1, kFontName, 12, false, 0, 0);
    selection->typeText(ReportContent::editCaption() + QLatin1Char('\n'));
    writeEditStatisticsTable();
}

void Word::writeEditStatisticsTable()
{
    const QVector<QStringList> rows = ReportContent::editRows(editInfos);
    WordTable* table = addBorderedTable(rows.size() + 1, 3, ReportContent::editHeader());
    if (!table)
        return;
    for (int r = 0; r < rows.size(); ++r) {
        for (int c = 1; c <= 3; ++c) {
            WordCell* cell = table->cell(r + 2, c);
            cell->setVerticalAlignment(1);
            cell->setText(rows.at(r).at(c - 1));
        }
    }
    endTable(table);
    selection->insertBreak(2);
}

void Word::writeLineResults()
{
    setTextFormat(2, 0, kFontName, 16, true, 0, 1);
    selection->typeText(ReportContent::resultsHeading() + QLatin1Char('\n'));
    setTextFormat(10, 1, kFontName, 12, false, 0, 1);
    if (sectionPicture.isNull())
        return;
    // The document takes pictures from files: a private one, outside the
    // working folder, gone when the picture is in.
    QTemporaryDir folder;
    const QString picturePath = folder.filePath(QStringLiteral("section.png"));
    if (!folder.isValid() || !sectionPicture.save(picturePath, "PNG"))
        return;
    // At its own size where it fits the text area, else shrunk to it,
    // undistorted; the paragraph centres it.
    if (WordInlineShape* picture = selection->addPicture(QDir::toNativeSeparators(picturePath))) {
        const WordPageSetup& page = activeDocument->pageSetup();
        const double textWidth = page.pageWidth - page.leftMargin - page.rightMargin;
        const double textHeight = page.pageHeight - page.topMargin - page.bottomMargin;
        picture->setLockAspectRatio(true);
        if (picture->width() > textWidth)
            picture->setWidth(textWidth);
        if (picture->height() > textHeight)
            picture->setHeight(textHeight);
    }
}

void Word::renderChart(const QVector<double>& x, const QVector<double>& y, double line, double point,
                       const QString& path)
{
    QtCharts::QChart* chart = ReportContent::decayChart(x, y, line, point);
    const QPixmap picture = ReportContent::chartPicture(chart, ReportContent::chartPictureSize());
    ExportFiles::writePicture(picture.toImage(), path, "PNG", -1);
}

void Word::saveChart(QVector<double> x, QVector<double> y, double line, double point, QString path)
{
    renderChart(x, y, line, point, path);
    QMutexLocker locker(&chartLock);
    chartDone = true;
    chartReady.wakeOne();
}
