#include "model/DataModel.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "gridding/InterpEllipseSmooth.h"
#include "model/Data_Calc.h"
#include "model/Data_Mathematical_Calc.h"
#include "model/UserPrompt.h"
#include "shell/Dialog_EllipseSmooth.h"
#include "store/Data_Line.h"
#include "store/Data_Point.h"

namespace {

// The smoothing dialog's spin boxes hold radii of 1 to 10000.
constexpr int kMinSmoothRadius = 1;
constexpr int kMaxSmoothRadius = 10000;

// The line-level calls take every curve as measured at this current.
constexpr double kLineInversionCurrent = Data_Mathematical_Calc::kLineCurrent;

double scaledConstraint(const InvParam& param)
{
    switch (param.instrumentKind) {
    case 1:
        return param.constraintCoefficient * 0.5;
    case 2:
        return param.constraintCoefficient * 0.8;
    case 3:
        return param.constraintCoefficient * 2.0;
    default:
        return param.constraintCoefficient;
    }
}

bool hasValues(const QList<DataType_ResultData>& grid)
{
    for (const DataType_ResultData& column : grid) {
        if (!column.value.isEmpty())
            return true;
    }
    return false;
}

} // namespace

QVector<TopoData> DataModel::buildTopography(QVector<GPSCoordinate> coordinates)
{
    QVector<TopoData> topography;
    topography.reserve(coordinates.size());
    for (const GPSCoordinate& c : coordinates) {
        if (!std::isfinite(c.z) || c.z > 50000.0f)
            continue;
        TopoData t;
        t.position = static_cast<double>(c.pointNo);
        t.elevation = static_cast<double>(c.z);
        topography.append(t);
    }
    return topography;
}

QMap<float, QColor> DataModel::defaultColourRamp()
{
    QMap<float, QColor> ramp;
    ramp.insert(1e-18f, QColor(Qt::white));
    ramp.insert(0.025f, QColor(0, 0, 255));
    ramp.insert(0.05f, QColor(30, 144, 255));
    ramp.insert(0.075f, QColor(70, 130, 180));
    ramp.insert(0.1f, QColor(100, 149, 237));
    ramp.insert(0.125f, QColor(65, 105, 255));
    ramp.insert(0.15f, QColor(0, 255, 255));
    ramp.insert(0.175f, QColor(32, 178, 170));
    ramp.insert(0.2f, QColor(144, 238, 144));
    ramp.insert(0.225f, QColor(0, 255, 0));
    ramp.insert(0.25f, QColor(50, 205, 50));
    ramp.insert(0.275f, QColor(60, 179, 113));
    ramp.insert(0.3f, QColor(0, 128, 0));
    ramp.insert(0.325f, QColor(0, 100, 0));
    ramp.insert(0.35f, QColor(255, 255, 0));
    ramp.insert(0.375f, QColor(255, 215, 0));
    ramp.insert(0.4f, QColor(218, 165, 32));
    ramp.insert(0.425f, QColor(255, 165, 0));
    ramp.insert(0.45f, QColor(255, 140, 0));
    ramp.insert(0.475f, QColor(255, 160, 122));
    ramp.insert(0.5f, QColor(250, 128, 114));
    ramp.insert(0.55f, QColor(240, 128, 128));
    ramp.insert(0.6f, QColor(205, 92, 92));
    ramp.insert(0.7f, QColor(255, 0, 0));
    ramp.insert(0.85f, QColor(162, 42, 42));
    ramp.insert(1.0f, QColor(128, 0, 0));
    return ramp;
}

int DataModel::proposedSmoothRadius(const QVector<double>& stations, double depth)
{
    double span = 0.0;
    if (!stations.isEmpty()) {
        const auto range = std::minmax_element(stations.cbegin(), stations.cend());
        span = (*range.second - *range.first) * 0.5;
    }
    double r = std::max(span, depth * 0.5);
    if (!std::isfinite(r))
        r = std::isinf(r) && r > 0 ? kMaxSmoothRadius : kMinSmoothRadius;
    r = std::trunc(r);
    // The dialog clamps to its range, so a proposal outside it would look
    // like a change the user made.
    return static_cast<int>(std::clamp(r, double(kMinSmoothRadius), double(kMaxSmoothRadius)));
}

bool DataModel::lessByPosition(const TopoData& a, const TopoData& b)
{
    return a.position < b.position;
}

bool DataModel::lessByPosition(const DataType_ResultData& a, const DataType_ResultData& b)
{
    return a.x < b.x;
}

bool DataModel::lessByStation(const GPSCoordinate& a, const GPSCoordinate& b)
{
    return a.pointNo < b.pointNo;
}

void DataModel::stopView()
{
    forgetShownStation();
    emit signal_FiseSaveButtonEnalbe(false);
    // The 1D view may still show an earlier station: it takes no edits until
    // a station is shown again, which sends the edit switches once more.
    emit signal_EditStateChanged(false, false);
}

void DataModel::clearSection(const QString& reason)
{
    emit signal_SectionCleared();
    UserPrompt::information(reason);
}

void DataModel::showTreeNode(int line, int station, int sample)
{
    currentLineRow = line;
    currentStationRow = station;
    currentSampleRow = sample;
    // Whatever was shown is replaced; it is remembered again only when a
    // station view gets its curve on screen.
    forgetShownStation();

    Data_Line* lineObject = lineAt(line);
    if (!lineObject) {
        stopView();
        return;
    }
    emit signal_FittingMethodActionReset();

    lineObject->loadReferences();
    lineObject->setDataCalc(calc);
    HORM_Collection<Data_Point>* stations = lineObject->REF_Data_Point();
    const int stationCount = stations ? stations->size() : 0;
    if (station >= 0 && station < stationCount)
        showStationView(lineObject, station);
    else
        showLineView(lineObject);
}

void DataModel::showStationView(Data_Line* line, int stationRow)
{
    HORM_Collection<Data_Point>* stations = line->REF_Data_Point();
    const int stationCount = stations->size();
    Data_Point* station = stationAt(line, stationRow);
    if (!station || station->TYPE() == 1) {
        stopView();
        return;
    }

    const QString title = QStringLiteral("%1线 %2点").arg(line->NAME()).arg(station->NAME());
    // The station is inverted at its measured current: one read in part
    // would give another model.
    double offTime = 0.0;
    double sendCurrent = 0.0;
    const int refusedBefore = database ? database->busyFailures() : 0;
    if (!station->sampleMeans(offTime, sendCurrent)) {
        tellSamplesUnread(refusedBefore, title, QStringLiteral("未显示该测点"));
        stopView();
        return;
    }
    const double tmin = invParam.timeWindowStart;
    const double tmax = invParam.timeWindowEnd;

    // The first and the last station have no neighbour on one side: an
    // earlier station's curve must not stand in for it.
    previousResponse.clear();
    nextResponse.clear();
    if (!station->unpackWindow(scheme, stationResponse, stationTimes, stationRaw, tmin, tmax)
        || stationResponse.isEmpty()) {
        stopView();
        return;
    }
    QVector<double> neighbourTimes, neighbourRaw;
    if (Data_Point* previous = stationRow > 0 ? stationAt(line, stationRow - 1) : nullptr)
        previous->unpackWindow(scheme, previousResponse, neighbourTimes, neighbourRaw, tmin, tmax);
    if (Data_Point* next = stationRow < stationCount - 1 ? stationAt(line, stationRow + 1) : nullptr)
        next->unpackWindow(scheme, nextResponse, neighbourTimes, neighbourRaw, tmin, tmax);

    emit signal_CentralWidgetChanged(true);
    const double constraint = scaledConstraint(invParam);
    emitShownReferenceCurve();
    emit signal_StationChanged(title, stationResponse, stationTimes, sendCurrent,
                               invParam.referenceResistivity, constraint);
    // The curve is on screen now: an edit of it may be saved back.
    rememberShownStation(currentLineRow, stationRow, scheme, tmin, tmax, stationTimes);

    QVector<QVector<double> > curves;
    QVector<double> times;
    QVector<double> numbers;
    QVector<GPSCoordinate> coordinates;
    // The neighbours have their own currents: every curve is brought to the
    // line current, so the shown station gets the model of the line view.
    QVector<double> currents;
    if (!readLineCurves(line, stationRow - 10, stationRow + 10, 1, curves, times, numbers, coordinates,
                        currents))
        return;

    QVector<QVector<double> > inversionCurves = curves;
    QVector<double> inversionNumbers = numbers;
    QVector<GPSCoordinate> inversionCoordinates = coordinates;
    prepareLineInversion(currents, times, inversionCurves, inversionNumbers, inversionCoordinates);
    QList<DataType_ResultData> results;
    mathCalc->pointInversion(inversionCurves, times, inversionNumbers, kLineInversionCurrent, results, invParam);
    QList<DataType_ResultData> grid = ModelFiles::buildSectionGrid(
        results, invParam.inversionDepth, invParam.referenceResistivity,
        invParam.inversionCoefficient, gridPattern, gridValue);

    const QMap<float, QColor> ramp = chosenRamp;
    emit signal_FiseSaveButtonEnalbe(false);
    emit signal_MenuEnable(1);
    if (numbers.size() > kSectionMinStations) {
        emit signal_ContourMethod(1);
        emit signal_LineCurrentsChanged(currents);
        emit signal_LineSectionGraphChanged(curves, times, numbers, station->NAME());
        emit signal_ISOGraphChanged(invParam, grid, invParam.topography, invParam.inversionDepth,
                                    ramp, true);
    }
    emit signal_EditStateChanged(pointMove, lineMove);
}

float DataModel::sectionMinimum(const QList<DataType_ResultData>& grid)
{
    double smallest = std::numeric_limits<double>::infinity();
    for (const DataType_ResultData& column : grid) {
        for (double v : column.value) {
            if (std::isfinite(v) && v > ModelFiles::kNoValueLimit)
                smallest = std::min(smallest, v);
        }
    }
    return std::isfinite(smallest) ? float(smallest) : ModelFiles::minValue(grid);
}

void DataModel::prepareLineInversion(const QVector<double>& currents, const QVector<double>& times,
                                     QVector<QVector<double> >& curves, QVector<double>& numbers,
                                     QVector<GPSCoordinate>& coordinates)
{
    Data_Mathematical_Calc::scaleToLineCurrent(curves, currents);

    const QVector<int> keep = Data_Mathematical_Calc::invertibleStations(curves, times);
    if (keep.size() == numbers.size())
        return;
    QVector<QVector<double> > keptCurves(curves.size());
    QVector<double> keptNumbers;
    QVector<GPSCoordinate> keptCoordinates;
    for (int j : keep) {
        for (int g = 0; g < curves.size(); ++g)
            keptCurves[g].append(j < curves[g].size() ? curves[g][j] : 0.0);
        keptNumbers.append(numbers[j]);
        if (j < coordinates.size())
            keptCoordinates.append(coordinates[j]);
    }
    if (keep.isEmpty())
        keptCurves.clear();
    curves = keptCurves;
    numbers = keptNumbers;
    coordinates = keptCoordinates;
}

bool DataModel::readLineCurves(Data_Line* line, int first, int last, int minStations,
                               QVector<QVector<double> >& curves, QVector<double>& times,
                               QVector<double>& numbers, QVector<GPSCoordinate>& coordinates,
                               QVector<double>& currents)
{
    QVector<double> offTimes;
    const int refusedBefore = database ? database->busyFailures() : 0;
    if (!line->getLineData(invParam, &curves, &times, &numbers, &offTimes, &coordinates, true, scheme,
                           first, last, &currents)) {
        tellSamplesUnread(refusedBefore, QStringLiteral("测线 %1").arg(line->NAME()),
                          QStringLiteral("未显示或计算该测线的任何结果"));
        return false;
    }
    if (curves.isEmpty() || times.isEmpty() || numbers.size() < minStations)
        return false;
    invParam.topography = coordinates.isEmpty() ? QVector<TopoData>() : buildTopography(coordinates);
    return true;
}

void DataModel::showLineView(Data_Line* line)
{
    HORM_Collection<Data_Point>* stations = line->REF_Data_Point();
    if (!stations || stations->size() < 2) {
        stopView();
        return;
    }

    QVector<QVector<double> > curves;
    QVector<double> times;
    QVector<double> numbers;
    QVector<GPSCoordinate> coordinates;
    QVector<double> currents;
    // A section needs two stations; one usable station is no line.
    if (!readLineCurves(line, 0, stations->size() - 1, 2, curves, times, numbers, coordinates, currents)) {
        stopView();
        return;
    }
    startReportLine(currentLineRow, invParam.topography);
    emit signal_CentralWidgetChanged(false);

    QVector<QVector<double> > inversionCurves = curves;
    QVector<double> inversionNumbers = numbers;
    QVector<GPSCoordinate> inversionCoordinates = coordinates;
    prepareLineInversion(currents, times, inversionCurves, inversionNumbers, inversionCoordinates);

    const int method = transRelaxMethod;
    if (method == 1 || method == 2) {
        QList<DataType_ResultData> pointResults;
        QList<DataType_ThreeResultData> columns;
        QList<DataType_ResultData> grid;
        float largest = 0.0f;
        float smallest = 0.0f;
        if (method == 1) {
            mathCalc->pointInversion(inversionCurves, times, inversionNumbers, kLineInversionCurrent,
                                     pointResults, invParam);
            grid = ModelFiles::buildSectionGrid(pointResults, invParam.inversionDepth,
                                                invParam.referenceResistivity,
                                                invParam.inversionCoefficient, gridPattern, gridValue);
            ellipseSmooth(grid, numbers);
            largest = ModelFiles::maxValue(grid);
            smallest = sectionMinimum(grid);
        } else {
            emit signal_2DLineSectionGraphChanged(curves, times, numbers);
            emit signal_Mesh(numbers, invParam);
            columns = mathCalc->profileInversion(inversionCurves, times, inversionCoordinates, invParam, 100.0);
            grid = ModelFiles::buildSectionGrid2(columns, invParam.inversionCoefficient,
                                                 invParam.topography, invParam.inversionDepth);
            // The range is that of the unsmoothed profile.
            largest = ModelFiles::maxValue(grid);
            smallest = sectionMinimum(grid);
            ellipseSmooth(grid, numbers);
        }

        // The four lists and the ground they stand on are the shown line's,
        // together; the list of the other method holds nothing of it.
        stationResults = pointResults;
        profileResults = columns;
        sectionResults = grid;
        layerResults = method == 1 ? calc->quantileClasses(pointResults) : calc->linearClasses(grid);
        resultTopography = invParam.topography;

        const QMap<float, QColor> ramp = chosenRamp;
        if (numbers.size() <= kSectionMinStations) {
            clearSection(QStringLiteral("该测线可用测点不足%1个，无法绘制断面图").arg(kSectionMinStations + 1));
        } else if (!hasValues(grid)) {
            clearSection(QStringLiteral("该测线反演未得到结果，无法绘制断面图"));
        } else {
            emit signal_StaticResistivity(smallest, largest);
            emit signal_ContourMethod(method);
            if (method == 1)
                emit signal_2DLineSectionGraphChanged(curves, times, numbers);
            emit signal_2DISOGraphChanged(grid, invParam.topography, invParam.inversionDepth, ramp,
                                          method, true);
            emit signal_2DPointData(grid, invParam.topography, ramp, invParam.inversionDepth);
            if (channelsDrawable(curves))
                keepReportSection(grid, invParam.topography, invParam.inversionDepth, method);
        }
    } else {
        // Not inverted: no results belong to this line.
        stationResults.clear();
        profileResults.clear();
        sectionResults.clear();
        layerResults.clear();
        resultTopography.clear();
    }

    currentLineNumber = line->NAME();
    // The exports pair these with the results, station for station.
    lineCoordinates = inversionCoordinates;
    reportTimes = times;
    reportCurves = curves;
    reportDistances = numbers;
    emit signal_MenuEnable(2);
    emit signal_FiseSaveButtonEnalbe(false);
    emit signal_FileExportButtonEnable(true);
}

bool DataModel::ellipseSmooth(QList<DataType_ResultData>& grid, const QVector<double>& stations)
{
    // A line the view will not draw is not worth asking about.
    if (!hasValues(grid) || stations.size() <= kSectionMinStations)
        return false;
    const int r = proposedSmoothRadius(stations, invParam.inversionDepth);
    if (!smoothDialog) {
        // Owned for the controller's life; the dialog has no parent.
        smoothDialog = new Dialog_EllipseSmooth(r, r, 0, nullptr);
    }
    if (UserPrompt::exec(smoothDialog) != QDialog::Accepted)
        return false;
    const int radius1 = smoothDialog->radius1();
    const int radius2 = smoothDialog->radius2();
    const float angle = smoothDialog->angle();
    // The proposal unchanged means no smoothing; any other ellipse smooths,
    // upright ones (angle 0) included.
    if (radius1 == r && radius2 == r)
        return false;
    InterpEllipseSmooth smoother(grid, radius1, radius2, angle, nullptr);
    grid = smoother.columns();
    return true;
}
