#include "views/Graph_IsoLineData.h"

#include <algorithm>
#include <limits>

Graph_IsoLineData::Graph_IsoLineData()
    : QObject(nullptr)
{
}

Graph_IsoLineData::~Graph_IsoLineData() = default;

void Graph_IsoLineData::prepareColumns(QList<DataType_ResultData> &columns,
                                       QVector<TopoData> topography, double depth)
{
    m_depth = depth;
    m_interp.setColumns(columns);
    const QList<DataType_ResultData> &kept = m_interp.columns();

    double xLo = std::numeric_limits<double>::max(), xHi = -xLo;
    double yLo = xLo, yHi = -xLo, vLo = xLo, vHi = -xLo;
    for (const DataType_ResultData &c : kept) {
        xLo = std::min(xLo, c.x);
        xHi = std::max(xHi, c.x);
        for (double y : c.depth) {
            yLo = std::min(yLo, y);
            yHi = std::max(yHi, y);
        }
        for (double v : c.value) {
            vLo = std::min(vLo, v);
            vHi = std::max(vHi, v);
        }
    }

    m_hasData = !kept.isEmpty();
    if (!m_hasData) {
        setInterval(Qt::XAxis, QwtInterval());
        setInterval(Qt::YAxis, QwtInterval());
        setInterval(Qt::ZAxis, QwtInterval());
        m_lowest = m_highest = 0.0;
        m_interp.setTopography(QVector<TopoData>());
        return;
    }

    m_lowest = yLo;
    m_highest = yHi;
    setInterval(Qt::XAxis, QwtInterval(xLo, xHi));
    // Kept upside down (top first); Qwt then treats the vertical extent as
    // open, and value() blanks everything outside the ground.
    setInterval(Qt::YAxis, QwtInterval(yHi, yLo));
    // The colours span the real values (blank cells are not in the
    // columns); the floor (no-value level + 1) is the smallest of them.
    setInterval(Qt::ZAxis, QwtInterval(vLo, vHi));
    m_interp.setNoValueLevel(vLo - 1.0);

    if (topography.isEmpty()) {
        for (const DataType_ResultData &c : kept)
            topography.append(TopoData{c.x, 0.0});
    }
    m_interp.setTopography(topography);
}

double Graph_IsoLineData::value(double x, double y) const
{
    if (!m_hasData)
        return SectionInterpolator::kAboveGround;
    const double v = m_interp.interpolate(x, y);
    // Where no column reaches nothing is known: blank, as above the ground.
    if (!m_interp.hasValue(v))
        return SectionInterpolator::kAboveGround;
    if (m_interp.hasTopography()) {
        if (x > m_interp.topographyMaxX() || x < m_interp.topographyMinX())
            return SectionInterpolator::kAboveGround;
        const double ground = m_interp.topographyAt(x);
        if (y > ground || y < ground - m_depth)
            return SectionInterpolator::kAboveGround;
    }
    return v;
}
