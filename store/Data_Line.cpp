#include "store/Data_Line.h"

#include <QHash>

#include <algorithm>
#include <cmath>

#include "model/Data_Calc.h"
#include "store/Data_Point.h"

namespace {

// Marks an elevation as missing; consumers skip z above 50000.
const float kMissingElevation = 100000.0f;

struct CollectedStation {
    QVector<double> times;
    QVector<double> response;
    QHash<double, int> gateIndex;   // gate time -> first position
};

GPSCoordinate coordinateOf(double lineName, const Data_Point* point)
{
    GPSCoordinate c;
    c.lineNo = static_cast<float>(lineName);
    c.pointNo = static_cast<float>(point->NAME());
    if (point->HasZCoord() > 0) {
        c.x = static_cast<float>(point->XCoord());
        c.y = static_cast<float>(point->YCoord());
        c.z = static_cast<float>(point->ZCoord());
    } else {
        c.x = static_cast<float>(lineName);
        c.y = static_cast<float>(point->NAME());
        c.z = kMissingElevation;
    }
    return c;
}

} // namespace

Data_Line::Data_Line(LibHORM* lib, QObject* parent)
    : HORM_BaseObject(lib, parent)
{
}

Data_Line::~Data_Line()
{
    delete m_points;
}

void Data_Line::setNAME(double value)
{
    m_NAME = value;
    markChanged("NAME");
}

void Data_Line::setTYPE(int value)
{
    m_TYPE = value;
    markChanged("TYPE");
}

void Data_Line::setUSE(int value)
{
    m_USE = value;
    markChanged("USE");
}

void Data_Line::setNOTE(const QString& value)
{
    m_NOTE = value;
    markChanged("NOTE");
}

void Data_Line::setSampleMode(int value)
{
    m_SampleMode = value;
    markChanged("SampleMode");
}

void Data_Line::resetSampleMode()
{
    m_SampleMode = 0;
}

HORM_Collection<Data_Point>* Data_Line::REF_Data_Point()
{
    loadReferences();
    return m_points;
}

void Data_Line::resetREF_Data_Point()
{
    delete m_points;
    m_points = new HORM_Collection<Data_Point>(lib(), QString("%1ID").arg(metaObject()->className()),
                                               hasStoredKey() ? QString::number(ID()) : QString(), this,
                                               m_pointOrder);
}

void Data_Line::setPointOrder(const QString& order)
{
    m_pointOrder = order;
    if (m_points && m_points->orderBy() != order)
        m_points->setOrderBy(order);
}

void Data_Line::setDataCalc(Data_Calc* calc)
{
    m_calc = calc;
    HORM_Collection<Data_Point>* points = REF_Data_Point();
    if (!points)
        return;
    for (int i = 0; i < points->size(); ++i) {
        if (Data_Point* point = points->at(i).value())
            point->setDataCalc(calc);
    }
}

Data_Calc* Data_Line::dataCalc() const
{
    return m_calc.data();
}

bool Data_Line::getLineData(InvParam param, QVector<QVector<double>>* curves, QVector<double>* times,
                            QVector<double>* stations, QVector<double>* offTimes,
                            QVector<GPSCoordinate>* coordinates, bool transpose, int scheme, int first, int last,
                            QVector<double>* currents)
{
    if (!curves || !times || !stations)
        return true;
    if (scheme < 0 || scheme > 2)
        return true;

    HORM_Collection<Data_Point>* points = REF_Data_Point();
    if (!points)
        return true;
    const int n = points->size();
    if (n <= 0 || first >= n)
        return true;
    const int lo = std::max(first, 0);
    if (last < lo)
        return true;
    const int hi = std::min(last, n - 1);

    const double tmin = param.timeWindowStart;
    const double tmax = param.timeWindowEnd;
    const double startNo = param.startStation;
    const double endNo = param.endStation;
    const bool rangeMode = startNo != -1.0 && endNo != -1.0 && endNo > startNo;

    QVector<CollectedStation> collected;
    QVector<double> names;
    QVector<double> offs;
    QVector<GPSCoordinate> coords;
    QVector<double> sendCurrents;

    LibHORM* db = lib();
    const bool began = db && db->transaction();
    bool read = true;
    for (int i = lo; i <= hi; ++i) {
        Data_Point* point = points->at(i).value();
        if (!point || point->USE() == 0 || point->TYPE() == 1)
            continue;
        const double name = point->NAME();
        if (rangeMode && (name < startNo || name > endNo))
            continue;
        if (names.contains(name))
            continue;

        double off = 0.0;
        double current = 0.0;
        // A station read in part would be taken at a current it was not
        // measured at; under a lock the next would only wait as long.
        read = point->sampleMeans(off, current);
        if (!read) {
            point->releaseSampleBlobs();
            break;
        }
        if (off > 1.1 && off < 30.0)
            off = 64.5;
        offs.append(off);
        // The raw records are only needed for the turn-off time and the
        // current; a whole line of them must not stay in memory.
        point->releaseSampleBlobs();

        CollectedStation station;
        QVector<double> raw;
        point->unpackWindow(scheme, station.response, station.times, raw, tmin, tmax);
        if (station.response.isEmpty() || station.times.isEmpty())
            continue;

        const int own = station.times.size();
        for (int g = own - 1; g >= 0; --g)
            station.gateIndex.insert(station.times.at(g), g);

        coords.append(coordinateOf(NAME(), point));
        sendCurrents.append(current);
        names.append(name);
        collected.append(station);
    }
    if (began)
        db->commit();

    if (!read)
        return false;
    if (collected.isEmpty())
        return true;

    // A station may lack a gate that others have (a gate without samples is
    // dropped when curves are gated); values are matched by time, so only
    // the gate times every station has are kept.
    const CollectedStation& reference = collected.first();
    QVector<double> shared;
    QVector<QVector<int>> positions;   // per shared gate, its index in each station
    for (int g = 0; g < reference.times.size(); ++g) {
        const double t = reference.times.at(g);
        if (std::isnan(t) || reference.gateIndex.value(t, -1) != g)
            continue;   // NaN never matches; a repeated time is taken once
        QVector<int> at;
        at.reserve(collected.size());
        for (const CollectedStation& station : collected) {
            const int k = station.gateIndex.value(t, -1);
            if (k < 0)
                break;
            at.append(k);
        }
        if (at.size() != collected.size())
            continue;
        shared.append(t);
        positions.append(at);
    }
    if (shared.isEmpty())
        return true;

    const int gates = shared.size();
    const int count = collected.size();
    QVector<QVector<double>> matrix;
    if (transpose) {
        matrix.resize(gates);
        for (int g = 0; g < gates; ++g) {
            QVector<double>& row = matrix[g];
            row.resize(count);
            for (int s = 0; s < count; ++s)
                row[s] = std::fabs(collected.at(s).response.at(positions.at(g).at(s)));
        }
    } else {
        matrix.resize(count);
        for (int s = 0; s < count; ++s) {
            QVector<double>& row = matrix[s];
            row.resize(gates);
            for (int g = 0; g < gates; ++g)
                row[g] = collected.at(s).response.at(positions.at(g).at(s));
        }
    }

    *curves = matrix;
    *times = shared;
    *stations = names;
    if (offTimes)
        *offTimes = offs;
    if (coordinates)
        *coordinates = coords;
    if (currents)
        *currents = sendCurrents;
    return true;
}
