#include "model/DataModel.h"

#include <QFile>
#include <QPointF>
#include <QRegularExpression>
#include <QStringList>
#include <QTextStream>

#include <algorithm>
#include <cmath>

#include "model/Data_Calc.h"
#include "model/Data_Mathematical_Calc.h"
#include "store/Data_Line.h"
#include "store/Data_Point.h"

namespace {

// A plus splits too, except as the sign of an exponent (5.0e+01 is 50).
QStringList tokensOf(const QString& line)
{
    static const QRegularExpression separators(QStringLiteral("[,*;\\t|\\s]|(?<![0-9.][eE])\\+"));
    return line.split(separators, Qt::SkipEmptyParts);
}

bool opensBlock(const QStringList& tokens)
{
    return !tokens.isEmpty()
        && (tokens.at(0).startsWith(QLatin1String("floor"))
            || tokens.at(0).startsWith(QLatin1String("section")));
}

// Cells above the ground carry the no-value marker; they take no part in
// the re-scaling or the sideways smoothing.
bool hasValue(double v)
{
    return std::isfinite(v) && v > ModelFiles::kNoValue;
}

int cellCount(const DataType_ResultData& record)
{
    return std::min(record.depth.size(), record.value.size());
}

} // namespace

QVector<ModelArea> DataModel::readModelFile(QString path)
{
    QVector<ModelArea> areas;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return areas;
    QTextStream in(&file);

    // A line that opens a block while an earlier block still reads its
    // corners ends that block (dropped) and is taken as the next header.
    QStringList pending;
    bool havePending = false;
    auto nextTokens = [&](QStringList& tokens) {
        if (havePending) {
            tokens = pending;
            havePending = false;
            return true;
        }
        if (in.atEnd())
            return false;
        tokens = tokensOf(in.readLine());
        return true;
    };
    // Two finite numbers from tokens 0 and 1 of a line inside a block.
    auto readPair = [&](double& a, double& b) {
        QStringList tokens;
        if (!nextTokens(tokens))
            return false;
        if (opensBlock(tokens)) {
            pending = tokens;
            havePending = true;
            return false;
        }
        if (tokens.size() < 2)
            return false;
        a = tokens.at(0).toDouble();
        b = tokens.at(1).toDouble();
        return std::isfinite(a) && std::isfinite(b);
    };

    QStringList header;
    while (nextTokens(header)) {
        if (!opensBlock(header) || header.size() < 2)
            continue;
        const int corners = header.at(1).toInt();
        ModelArea area;
        bool complete = true;
        for (int k = 0; k < corners && complete; ++k) {
            double x = 0.0;
            double z = 0.0;
            complete = readPair(x, z);
            if (complete)
                area.outline.append(QPointF(x, z));
        }
        if (complete)
            complete = readPair(area.low, area.high);
        if (complete)
            areas.append(area);
    }
    file.close();
    return areas;
}

void DataModel::computeLineSection(int lineRow)
{
    currentLineRow = lineRow;
    Data_Line* line = lineAt(lineRow);
    if (!line)
        return;
    emit signal_FittingMethodActionReset();

    line->loadReferences();
    line->setDataCalc(calc);
    HORM_Collection<Data_Point>* points = line->REF_Data_Point();
    const int count = points ? points->size() : 0;

    QVector<QVector<double> > curves;
    QVector<double> times;
    QVector<double> stations;
    QVector<GPSCoordinate> coordinates;
    QVector<double> currents;
    // One usable station makes no section, as in the line view. The
    // previous line's results must not stand in for this line's: the model
    // calculation that follows would re-scale and show them.
    if (count < 2 || !readLineCurves(line, 0, count - 1, 2, curves, times, stations, coordinates, currents)) {
        stationResults.clear();
        profileResults.clear();
        sectionResults.clear();
        layerResults.clear();
        resultTopography.clear();
        return;
    }
    startReportLine(lineRow, invParam.topography);
    // The section replaces the station view: its curve is no longer the one
    // an edit would be saved into.
    forgetShownStation();
    emit signal_CentralWidgetChanged(false);

    // The lists and the ground they stand on all belong to this line; the
    // list of the other method holds nothing of it.
    const double depth = invParam.inversionDepth;
    QList<DataType_ResultData> pointResults;
    QList<DataType_ThreeResultData> columns;
    QList<DataType_ResultData> grid;
    QVector<QVector<double> > inversionCurves = curves;
    QVector<double> inversionStations = stations;
    QVector<GPSCoordinate> inversionCoordinates = coordinates;
    prepareLineInversion(currents, times, inversionCurves, inversionStations, inversionCoordinates);
    if (transRelaxMethod == 1) {
        mathCalc->pointInversion(inversionCurves, times, inversionStations, Data_Mathematical_Calc::kLineCurrent,
                                 pointResults, invParam);
        grid = ModelFiles::buildSectionGrid(pointResults, depth, invParam.referenceResistivity,
                                            invParam.inversionCoefficient, gridPattern, gridValue);
        ellipseSmooth(grid, stations);
        const float largest = ModelFiles::maxValue(grid);
        const float smallest = sectionMinimum(grid);
        emit signal_StaticResistivity(smallest, largest);
        emit signal_2DLineSectionGraphChanged(curves, times, stations);
    } else if (transRelaxMethod == 2) {
        columns = mathCalc->profileInversion(inversionCurves, times, inversionCoordinates, invParam, 100.0);
        grid = ModelFiles::buildSectionGrid2(columns, invParam.inversionCoefficient,
                                             invParam.topography, depth);
        // The range is that of the unsmoothed grid here.
        const float largest = ModelFiles::maxValue(grid);
        const float smallest = sectionMinimum(grid);
        ellipseSmooth(grid, stations);
        emit signal_Mesh(stations, invParam);
        emit signal_StaticResistivity(smallest, largest);
        emit signal_2DLineSectionGraphChanged(curves, times, stations);
    }
    stationResults = pointResults;
    profileResults = columns;
    sectionResults = grid;
    if (transRelaxMethod == 1)
        layerResults = calc->quantileClasses(pointResults);
    else if (transRelaxMethod == 2)
        layerResults = calc->linearClasses(grid);
    else
        layerResults.clear();
    resultTopography = transRelaxMethod == 1 || transRelaxMethod == 2 ? invParam.topography
                                                                       : QVector<TopoData>();

    currentLineNumber = line->NAME();
    lineCoordinates = inversionCoordinates;
    reportTimes = times;
    reportCurves = curves;
    reportDistances = stations;
    emit signal_MenuEnable(2);
    emit signal_FiseSaveButtonEnalbe(false);
    emit signal_FileExportButtonEnable(true);
}

void DataModel::computeModelSection(QString path)
{
    if (!std::any_of(sectionResults.cbegin(), sectionResults.cend(),
                     [](const DataType_ResultData& r) { return !r.value.isEmpty(); })) {
        clearSection(QStringLiteral("该测线没有反演断面，无法进行模型计算"));
        return;
    }
    // As in the line view: too few stations of the line make no section to
    // show, nor one for the report.
    if (reportLineRow >= 0 && reportDistances.size() <= kSectionMinStations) {
        clearSection(QStringLiteral("该测线可用测点不足%1个，无法绘制断面图").arg(kSectionMinStations + 1));
        return;
    }
    const QList<DataType_ResultData> stored = sectionResults;
    QList<DataType_ResultData> section = stored;
    const QVector<ModelArea> areas = readModelFile(path);

    for (const ModelArea& area : areas) {
        // Cells of the stored section inside the outline, and their range.
        QVector<QVector<bool> > inside(stored.size());
        double vmin = 0.0;
        double vmax = 0.0;
        bool any = false;
        for (int i = 0; i < stored.size(); ++i) {
            const DataType_ResultData& record = stored.at(i);
            const int cells = cellCount(record);
            inside[i].fill(false, cells);
            for (int j = 0; j < cells; ++j) {
                const double v = record.value.at(j);
                if (!hasValue(v)
                    || !calc->pointInArea(area.outline, QPointF(record.x, record.depth.at(j))))
                    continue;
                inside[i][j] = true;
                vmin = any ? std::min(vmin, v) : v;
                vmax = any ? std::max(vmax, v) : v;
                any = true;
            }
        }
        if (!any)
            continue;

        // Equal values have no spread to map: they go to the middle.
        const double spread = vmax - vmin;
        const double scale = spread > 0.0 ? (area.high - area.low) / spread : 0.0;
        const double middle = (area.low + area.high) * 0.5;
        for (int i = 0; i < stored.size(); ++i) {
            for (int j = 0; j < inside.at(i).size(); ++j) {
                if (!inside.at(i).at(j))
                    continue;
                const double v = stored.at(i).value.at(j);
                section[i].value[j] = spread > 0.0 ? (v - vmin) * scale + area.low : middle;
            }
        }
    }

    // Sideways smoothing over the cells that hold a value: the smoothed
    // values weighted by a mask of those cells, so that blanks stay blank
    // and do not pull their neighbours towards zero. Without blanks the
    // mask is 1 everywhere and this is the plain smoothing.
    QVector<DataType_ResultData> masked;
    QVector<DataType_ResultData> weights;
    masked.reserve(section.size());
    weights.reserve(section.size());
    // Blanks are those of the stored section: a re-scaled value may fall
    // to or below the marker and is still a value.
    for (int i = 0; i < section.size(); ++i) {
        DataType_ResultData m = section.at(i);
        DataType_ResultData w = section.at(i);
        for (int j = 0; j < m.value.size(); ++j) {
            const bool valued = hasValue(stored.at(i).value.at(j));
            m.value[j] = valued ? m.value.at(j) : 0.0;
            w.value[j] = valued ? 1.0 : 0.0;
        }
        masked.append(m);
        weights.append(w);
    }
    const QList<DataType_ResultData> smoothed = calc->smoothCurves(masked);
    const QList<DataType_ResultData> weightSums = calc->smoothCurves(weights);
    for (int i = 0; i < section.size(); ++i) {
        for (int j = 0; j < section.at(i).value.size(); ++j) {
            if (!hasValue(stored.at(i).value.at(j)))
                continue;
            const double w = weightSums.at(i).value.at(j);
            if (w > 0.0)
                section[i].value[j] = smoothed.at(i).value.at(j) / w;
        }
    }

    const QMap<float, QColor> ramp = chosenRamp;
    QVector<TopoData> topography = resultTopography;
    const double depth = invParam.inversionDepth;
    emit signal_ContourMethod(transRelaxMethod);
    emit signal_2DISOGraphChanged(section, topography, depth, ramp, transRelaxMethod, true);
    emit signal_2DPointData(section, topography, ramp, depth);
    if (reportLineRow >= 0 && channelsDrawable(reportCurves))
        keepReportSection(section, topography, depth, transRelaxMethod);
    layerResults = calc->linearClasses(section);
    sectionResults = section;
}

void DataModel::sendModelerInput(QString path)
{
    ModelFiles reader(nullptr);
    LayerModeler model;
    if (reader.readModelFile(path, model))
        emit signal_Modelerinput(model, sectionResults);
}
