#ifndef HW_REPORTS_WORD_H
#define HW_REPORTS_WORD_H

#include <QMutex>
#include <QObject>
#include <QString>
#include <QVector>
#include <QWaitCondition>

#include "model/SharedTypes.h"
#include "reports/ReportInputs.h"

class WordApplication;
class WordDocument;
class WordSelection;
class WordTable;
struct WordFont;
struct WordParagraphFormat;

// Writes the line report as a word-processor document (.docx) through the
// document object model. exportReport runs on a worker thread; the station
// charts are drawn on the object's own (GUI) thread by queued saveChart
// calls, which the writer waits for, so that thread must keep processing
// events until exportReport returns.
class Word : public QObject, private ReportInputs
{
    Q_OBJECT

public:
    explicit Word(QObject* parent = nullptr);
    ~Word() override;

    // Writes and saves the document at path; nothing when no word
    // processor can be started. True when the document was saved.
    // section is the line's section picture (null: none).
    bool exportReport(double line, LineInfo info, QVector<EditInfo> edits, InvParam param,
                      GridPattern pattern, double spacing, QVector<QVector<double> > curves,
                      QVector<double> gateTimes, QVector<double> stations, QImage section, QString path);

    // Draws the decay chart of (x[i], y[i]) titled with line and point into
    // a PNG file at path, then wakes the waiting writer (also when the
    // picture could not be saved).
    Q_INVOKABLE void saveChart(QVector<double> x, QVector<double> y, double line, double point, QString path);

    // Sets the format of what is typed next.
    void setTextFormat(int outlineLevel, int alignment, QString fontName, int size, bool bold,
                       int firstLineIndent, int lineSpacingRule);

private:
    bool openApplication();
    void closeApplication();
    void writeSections();
    void writeTitle();
    void writeWorkload();
    void writeInversionParameters();
    void writeElevationTable();
    void writePointDetails();
    void writeEditStatisticsTable();
    void writeLineResults();

    // A table with borders all round, its header row in bold; nullptr when
    // it cannot be added.
    WordTable* addBorderedTable(int rows, int columns, const QStringList& header);
    // Puts the selection below the table.
    void endTable(WordTable* table);
    // Has the chart of station k drawn into picturePath; false when the
    // request could not be made. Called with the chart lock held.
    bool requestChart(int k, const QString& picturePath);
    static void renderChart(const QVector<double>& x, const QVector<double>& y, double line, double point,
                            const QString& path);

    QString path;

    WordApplication* application = nullptr;
    WordDocument* activeDocument = nullptr;
    WordSelection* selection = nullptr;
    WordFont* selectionFont = nullptr;
    WordParagraphFormat* paragraphFormat = nullptr;

    QMutex chartLock;
    QWaitCondition chartReady;
    bool chartDone = false;

    float pageWidth = 0.0f;
    float pageHeight = 0.0f;
};

#endif // HW_REPORTS_WORD_H
