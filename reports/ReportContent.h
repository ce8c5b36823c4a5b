#ifndef HW_REPORTS_REPORTCONTENT_H
#define HW_REPORTS_REPORTCONTENT_H

#include <QFont>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVector>

#include "model/SharedTypes.h"

namespace QtCharts {
class QChart;
}

// The texts and tables of the line report, shared by the PDF and the
// document writer so that both say exactly the same.
class ReportContent
{
public:
    static QString title(double line);
    static QString workloadHeading();
    static QString parametersHeading();
    static QString elevationHeading();
    static QString detailsHeading();
    static QString resultsHeading();
    static QString elevationCaption();
    static QString editCaption();

    // Method of the inversion: the selector 1 is the station-by-station
    // method, anything else the two-dimensional one.
    static QString methodText(int selector);
    static QString gridText(GridPattern pattern, double spacing);

    // Body lines of sections 1 and 2.
    static QStringList workloadLines(const LineInfo& info);
    static QStringList parameterLines(const InvParam& param, const QString& methodText,
                                      const QString& gridText);

    // Elevation table: four columns, two entries a row; an odd count leaves
    // the right half of the last row empty.
    static QStringList elevationHeader();
    static QVector<QStringList> elevationRows(const QVector<TopoData>& topography);

    // Edit statistics table: three columns, one row per station.
    static QStringList editHeader();
    static QVector<QStringList> editRows(const QVector<EditInfo>& edits);

    // The report's font families: the one the report names, then CJK
    // families the installation brings, so that the glyphs and a PDF's
    // text layer do not depend on the machine's own fallback.
    static QStringList fontFamilies();
    // A font of those families; weight -1 is the normal weight.
    static QFont font(int pointSize, int weight = -1);

    // Chart title "<line>线 <station>点".
    static QString chartTitle(double line, double station);
    // Font of a chart title: the report's families, point size 24, bold.
    static QFont chartTitleFont();
    // The decay chart of one station (owned by the caller): the gate times
    // against the curve on log axes, titled in the chart title font.
    static QtCharts::QChart* decayChart(const QVector<double>& gateTimes, const QVector<double>& curve,
                                        double line, double station);

    // Size of a station chart picture on a screen of dpi logical dots per
    // inch: 1000 x 1200, growing by 500 x 600 per 96 dpi above 96.
    static QSize chartPictureSize(qreal dpi);
    // The same on the primary screen.
    static QSize chartPictureSize();
    // Renders chart (taking it over) in an unshown chart view of the given
    // size on white, as the view's whole picture.
    static QPixmap chartPicture(QtCharts::QChart* chart, const QSize& size);
};

#endif // HW_REPORTS_REPORTCONTENT_H
