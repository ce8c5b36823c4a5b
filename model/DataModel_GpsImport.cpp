#include "model/DataModel.h"

#include <QDir>
#include <QPointer>
#include <QStringList>
#include <QVector>

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

// A station's coordinates as they were before the import touched it.
struct StoredCoordinates {
    QPointer<Data_Point> station;
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    int has = -1;
};

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

    const QString file = QDir::toNativeSeparators(database->path());
    if (database->isDamaged()) {
        UserPrompt::information(QStringLiteral("工程文件%1已损坏，以只读方式打开，未导入GPS坐标！").arg(file));
        return;
    }
    if (database->hasTriggers()) {
        UserPrompt::information(QStringLiteral("工程文件%1的数据表带有触发器，以只读方式打开，未导入GPS坐标！").arg(file));
        return;
    }

    // The checks are told after the transaction, not while it holds the file.
    QStringList notices;
    QStringList storedLines;
    QStringList refusedLines;
    bool written = true;
    QVector<StoredCoordinates> touched;
    const bool began = database->transaction();
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
        // A station that a damaged page kept from loading is null.
        for (int s = 0; s < stations->size(); ++s) {
            const Data_Point* station = stations->at(s).value();
            if (!station)
                continue;
            smin = std::min(smin, station->NAME());
            smax = std::max(smax, station->NAME());
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
            refusedLines << label + QStringLiteral("号线");
            continue;
        }
        if (float(smax) - gmax > kTolerance) {
            notices << label + QStringLiteral("号线最大点号无坐标，未导入!");
            refusedLines << label + QStringLiteral("号线");
            continue;
        }

        const int n = at.size();
        int stationsWritten = 0;
        for (int s = 0; s < stations->size() && written; ++s) {
            Data_Point* station = stations->at(s).value();
            if (!station)
                continue;
            touched.append({station, station->XCoord(), station->YCoord(), station->ZCoord(), station->HasZCoord()});
            const double name = station->NAME();
            station->setXCoord(float(Data_Mathematical_Calc::linearInterpolate(at.constData(), xs.constData(), n, name)));
            station->setYCoord(float(Data_Mathematical_Calc::linearInterpolate(at.constData(), ys.constData(), n, name)));
            station->setZCoord(float(Data_Mathematical_Calc::linearInterpolate(at.constData(), zs.constData(), n, name)));
            station->setHasZCoord(1);
            written = station->commit();
            stationsWritten += written ? 1 : 0;
        }
        if (!written)
            break;
        if (stationsWritten > 0)
            storedLines << label + QStringLiteral("号线");
    }
    if (!written) {
        if (began)
            database->rollback();
    } else if (began) {
        written = database->commit();
    }
    // Nothing reached the file: the stations show what the file holds.
    if (!written && began) {
        for (const StoredCoordinates& c : touched) {
            if (!c.station)
                continue;
            c.station->setXCoord(c.x);
            c.station->setYCoord(c.y);
            c.station->setZCoord(c.z);
            c.station->setHasZCoord(c.has);
        }
    }

    for (const QString& notice : notices)
        UserPrompt::information(notice);
    if (!written)
        UserPrompt::information(QStringLiteral("GPS坐标未能写入工程文件%1，未导入！").arg(file));
    else if (storedLines.isEmpty())
        UserPrompt::information(QStringLiteral("未导入任何GPS坐标！"));
    else if (refusedLines.isEmpty())
        UserPrompt::information(QStringLiteral("导入GPS坐标成功!"));
    else
        // Not a plain success when some lines kept their old coordinates.
        UserPrompt::information(QStringLiteral("已导入%1的GPS坐标；%2未导入！")
                                    .arg(storedLines.join(QStringLiteral("、")),
                                         refusedLines.join(QStringLiteral("、"))));
}
