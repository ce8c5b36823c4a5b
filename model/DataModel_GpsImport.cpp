#include "model/DataModel.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

#include "model/Data_Mathematical_Calc.h"
#include "model/UserPrompt.h"
#include "store/Data_Line.h"
#include "store/Data_Point.h"

namespace {

// Line numbers and end stations are compared as the import groups them: in
// single precision, within a thousandth.
constexpr float kTolerance = 0.001f;

bool finiteRecord(const GPSCoordinate& c)
{
    return std::isfinite(c.lineNo) && std::isfinite(c.pointNo) && std::isfinite(c.x) && std::isfinite(c.y)
           && std::isfinite(c.z);
}

} // namespace

void DataModel::importGpsCoordinates(const QList<GPSCoordinate>& records)
{
    if (!isProjectOpen()) {
        UserPrompt::information(QStringLiteral("没有打开的工程，未导入GPS坐标！"));
        return;
    }
    QList<GPSCoordinate> usable;
    for (const GPSCoordinate& c : records) {
        if (finiteRecord(c))
            usable.append(c);
    }
    if (usable.isEmpty()) {
        UserPrompt::information(QStringLiteral("GPS坐标文件为空或无法读取，未导入！"));
        return;
    }

    // The checks are told after the transaction, not while it holds the file.
    QStringList notices;
    int linesStored = 0;
    database->transaction();
    for (int i = 0; i < lines->size(); ++i) {
        Data_Line* line = lineAt(i);
        if (!line)
            continue;
        const double lineNo = line->NAME();
        HORM_Collection<Data_Point>* stations = line->REF_Data_Point();
        if (!stations || stations->size() == 0)
            continue;
        double smin = 1e11;
        double smax = -1e11;
        for (int s = 0; s < stations->size(); ++s) {
            const double name = stations->at(s).value()->NAME();
            smin = std::min(smin, name);
            smax = std::max(smax, name);
        }

        QList<GPSCoordinate> own;
        for (const GPSCoordinate& c : usable) {
            const float diff = float(lineNo) - c.lineNo;
            if (std::fabs(diff) < kTolerance)
                own.append(c);
        }
        std::stable_sort(own.begin(), own.end(),
                         [](const GPSCoordinate& a, const GPSCoordinate& b) { return DataModel::lessByStation(a, b); });
        QVector<double> at, xs, ys, zs;
        float gmin = 1e11f;
        float gmax = -1e11f;
        for (const GPSCoordinate& c : own) {
            at.append(c.pointNo);
            xs.append(c.x);
            ys.append(c.y);
            zs.append(c.z);
            gmin = std::min(gmin, c.pointNo);
            gmax = std::max(gmax, c.pointNo);
        }

        const QString label = QString::number(lineNo, 'g', 6);
        if (float(smin) - gmin < -kTolerance) {
            notices << label + QStringLiteral("号线最小点号无坐标，未导入！");
            continue;
        }
        if (float(smax) - gmax > kTolerance) {
            notices << label + QStringLiteral("号线最大点号无坐标，未导入!");
            continue;
        }

        const int n = at.size();
        for (int s = 0; s < stations->size(); ++s) {
            Data_Point* station = stations->at(s).value();
            const double name = station->NAME();
            station->setXCoord(float(Data_Mathematical_Calc::linearInterpolate(at.constData(), xs.constData(), n, name)));
            station->setYCoord(float(Data_Mathematical_Calc::linearInterpolate(at.constData(), ys.constData(), n, name)));
            station->setZCoord(float(Data_Mathematical_Calc::linearInterpolate(at.constData(), zs.constData(), n, name)));
            station->setHasZCoord(1);
            station->commit();
        }
        ++linesStored;
    }
    database->commit();

    for (const QString& notice : notices)
        UserPrompt::information(notice);
    UserPrompt::information(linesStored > 0 ? QStringLiteral("导入GPS坐标成功!")
                                            : QStringLiteral("未导入任何GPS坐标！"));
}
