#ifndef HW_REPORTS_REPORTINPUTS_H
#define HW_REPORTS_REPORTINPUTS_H

#include <QImage>
#include <QString>
#include <QVector>

#include "model/SharedTypes.h"

// What a line report is written from, kept by both report writers for the
// length of one export.
class ReportInputs
{
protected:
    // Stores the inputs and derives the method and grid texts from them.
    void setReportInputs(double line, const LineInfo& info, const QVector<EditInfo>& edits,
                         const InvParam& param, GridPattern pattern, double spacing,
                         const QVector<QVector<double> >& curves, const QVector<double>& times,
                         const QVector<double>& stations, const QImage& section);

    double lineNumber = 0.0;
    LineInfo lineInfo;
    InvParam invParam;
    GridPattern gridPattern = GRID_FIXED;
    double gridSpacing = 0.0;
    QString methodText;
    QString gridText;
    QVector<double> stationNumbers;
    QVector<QVector<double> > stationCurves;
    QVector<double> gateTimes;
    QVector<EditInfo> editInfos;
    // The line's section drawn for print; null when the line has none.
    QImage sectionPicture;
};

#endif // HW_REPORTS_REPORTINPUTS_H
