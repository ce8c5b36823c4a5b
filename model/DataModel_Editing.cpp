#include "model/DataModel.h"

#include <cmath>

#include "model/Data_Mathematical_Calc.h"
#include "model/UserPrompt.h"
#include "shell/Dialog_ChangeName.h"
#include "store/Data_Line.h"
#include "store/Data_Point.h"

namespace {

// These operations end their window here, not at the window end of the
// inversion parameters.
constexpr double kEditWindowEnd = 4000000.0;

// Calls act on every station of the line that is in use.
template <typename Act>
void forEachUsedStation(Data_Line* line, Act act)
{
    HORM_Collection<Data_Point>* stations = line->REF_Data_Point();
    for (int i = 0; stations && i < stations->size(); ++i) {
        Data_Point* station = stations->at(i).value();
        if (station && station->USE() != 0)
            act(station);
    }
}

} // namespace

int DataModel::showChangeNameDialog(int lineRow, const QModelIndex& lineIndex)
{
    if (!isProjectOpen())
        return 0;
    renameLineRow = lineRow;
    renameLineIndex = lineIndex;
    return UserPrompt::exec(renameDialog);
}

void DataModel::on_signalChangeNameRuleChanged(bool isMultipy, double distance)
{
    if (!isProjectOpen())
        return;
    // Multiplying by 0, or by or with a value that is not a number, would
    // wipe out every station number of the line.
    if (!std::isfinite(distance) || distance == 0.0)
        return;
    renameMultiply = isMultipy;
    renameValue = distance;

    Data_Line* line = lineAt(renameLineRow);
    if (!line || line->TYPE() == 1)
        return;
    line->loadReferences();
    HORM_Collection<Data_Point>* stations = line->REF_Data_Point();
    if (!stations)
        return;
    const QModelIndex lineIndex = index(renameLineRow, 0);
    QVector<NamedRow> before;
    storeTogether([&] {
        holdForTakeBack([&] { takeBackNames(before); });
        for (int i = 0; i < stations->size(); ++i) {
            Data_Point* station = stations->at(i).value();
            if (!station)
                continue;
            const double renamed = isMultipy ? station->NAME() * distance : station->NAME() + distance;
            if (!std::isfinite(renamed))
                continue;
            NamedRow named;
            if (namedRow(index(i, 0, lineIndex), named))
                before.append(named);
            station->setNAME(renamed);
            store(station);
            // The station holds the new number already: only the row's label
            // follows (an equal number would be refused as no change).
            if (i < rowCount(lineIndex))
                TreeModel::setData(index(i, 0, lineIndex), QVariant(renamed), Qt::EditRole);
        }
    }, QStringLiteral("修改未能写入工程文件 %1！"));
}

void DataModel::markLineSampleMode(Data_Line* line)
{
    line->loadReferences();
    holdForTakeBack(line);
    line->setSampleMode(static_cast<int>(scheme));
    store(line);
}

void DataModel::restoreStation(Data_Point* station)
{
    QVector<double> response, times, raw;
    if (!station->unpackWhole(scheme, response, times, raw))
        return;
    const QVector<int> window = gatesWithin(times, invParam.timeWindowStart, kEditWindowEnd);
    for (int i : window) {
        if (i < raw.size() && std::isfinite(raw[i]))
            response[i] = raw[i];
    }
    holdForTakeBack(station);
    writeResponse(station, scheme, response);
    store(station);
}

void DataModel::fitStation(Data_Point* station, int method)
{
    QVector<double> response, times, raw;
    if (!station->unpackWhole(scheme, response, times, raw))
        return;
    const QVector<int> window = gatesWithin(times, invParam.timeWindowStart, kEditWindowEnd);
    QVector<double> windowTimes, windowValues;
    for (int i : window) {
        windowTimes.append(times[i]);
        windowValues.append(response[i]);
    }
    switch (method) {
    case 0:
        mathCalc->bsplineFit(windowTimes, windowValues);
        break;
    case 1:
        mathCalc->gaussianFit(windowTimes, windowValues);
        break;
    case 2:
        mathCalc->exponentialFit(windowTimes, windowValues);
        break;
    default:
        break;
    }
    for (int j = 0; j < window.size() && j < windowValues.size(); ++j) {
        if (std::isfinite(windowValues[j]))
            response[window[j]] = windowValues[j];
    }
    holdForTakeBack(station);
    writeResponse(station, scheme, response);
    store(station);
}

void DataModel::clearPointInfo(int lineRow, int stationRow)
{
    if (!isProjectOpen())
        return;
    Data_Line* line = lineAt(lineRow);
    const bool stored = storeTogether([&] {
        if (line) {
            markLineSampleMode(line);
            if (Data_Point* station = stationAt(line, stationRow))
                restoreStation(station);
        }
    }, QStringLiteral("重置的数据未能写入工程文件 %1！"));
    if (stored)
        UserPrompt::information(QStringLiteral("重置数据完成"));
}

void DataModel::resetPointData(int lineRow)
{
    if (!isProjectOpen())
        return;
    Data_Line* line = lineAt(lineRow);
    const bool stored = storeTogether([&] {
        if (line) {
            markLineSampleMode(line);
            forEachUsedStation(line, [this](Data_Point* station) { restoreStation(station); });
        }
    }, QStringLiteral("重置的数据未能写入工程文件 %1！"));
    if (stored)
        UserPrompt::information(QStringLiteral("重置数据完成"));
}

void DataModel::applyFittingMethod(int lineRow, int method)
{
    if (!isProjectOpen())
        return;
    Data_Line* line = lineAt(lineRow);
    const bool stored = storeTogether([&] {
        if (line) {
            markLineSampleMode(line);
            forEachUsedStation(line, [this, method](Data_Point* station) { fitStation(station, method); });
        }
    }, QStringLiteral("预处理结果未能写入工程文件 %1！"));
    if (stored)
        UserPrompt::information(QStringLiteral("预处理完成"));
}
