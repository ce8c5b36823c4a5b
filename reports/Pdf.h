#ifndef HW_REPORTS_PDF_H
#define HW_REPORTS_PDF_H

#include <QBuffer>
#include <QFont>
#include <QObject>
#include <QString>
#include <QVector>

#include "model/SharedTypes.h"
#include "reports/ReportInputs.h"

class QPainter;
class QSaveFile;
class QPdfWriter;

namespace QtCharts {
class QChart;
}

// Writes the line report as a PDF file: every page is painted with a
// vertical cursor in device pixels at 300 dpi. Runs on the GUI thread.
class Pdf : public QObject, private ReportInputs
{
    Q_OBJECT

public:
    explicit Pdf(QObject* parent = nullptr);
    ~Pdf() override;

    // Writes the report to path, shows a self-closing notice and opens the
    // file in the desktop's viewer. An empty path (a cancelled dialog) ends
    // it silently; a file that cannot be written whole is left as it was,
    // and the user is told.
    // section is the line's section picture (null: none).
    void exportReport(double line, LineInfo info, QVector<EditInfo> edits, InvParam param,
                      GridPattern pattern, double spacing, QVector<QVector<double> > curves,
                      QVector<double> gateTimes, QVector<double> stations, QImage section, QString path);

    // New chart of one station's curve against the gate times (the caller
    // deletes it).
    QtCharts::QChart* createDecayChart(QVector<double> curve);

private:
    bool openWriter();
    // Ends the writer and replaces the file by what was written when keep
    // is true (else drops it); true when the file was replaced.
    bool closeWriter(bool keep);

    void writeTitle(QPainter* painter);
    void writeWorkload(QPainter* painter);
    void writeInversionParameters(QPainter* painter);
    void writeElevationTable(QPainter* painter);
    void writePointDetails(QPainter* painter);
    void writeLineResults(QPainter* painter);

    void writeHeading(QPainter* painter, const QString& text);
    void writeBodyLine(QPainter* painter, const QString& text);
    void writeCaption(QPainter* painter, const QString& text);
    // One bordered table: every row of cells cw wide, rows moving to the
    // next page when they do not fit.
    void writeTable(QPainter* painter, const QStringList& header, const QVector<QStringList>& rows, int cw);
    // Starts a new page when an item of height h does not fit below Y.
    void ensureRoom(int h);
    void startPage();
    int topOfPage() const;

    QString path;
    QSaveFile* file = nullptr;
    // The document is painted here and written to file once complete.
    QBuffer document;
    QPdfWriter* writer = nullptr;
    int W = 0;
    int H = 0;
    int L = 0;
    int Y = 0;
    QFont titleFont;
    QFont headingFont;
    QFont bodyFont;
    QFont smallFont;
};

#endif // HW_REPORTS_PDF_H
