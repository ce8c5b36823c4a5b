#include "reports/ReportInputs.h"

#include "reports/ReportContent.h"

void ReportInputs::setReportInputs(double line, const LineInfo& info, const QVector<EditInfo>& edits,
                                   const InvParam& param, GridPattern pattern, double spacing,
                                   const QVector<QVector<double> >& curves, const QVector<double>& times,
                                   const QVector<double>& stations, const QImage& section)
{
    lineNumber = line;
    lineInfo = info;
    editInfos = edits;
    invParam = param;
    gridPattern = pattern;
    gridSpacing = spacing;
    stationCurves = curves;
    gateTimes = times;
    stationNumbers = stations;
    sectionPicture = section;
    methodText = ReportContent::methodText(invParam.intField);
    gridText = ReportContent::gridText(gridPattern, gridSpacing);
}
