#include "gridding/InterpEllipseSmooth.h"

#include "gridding/KdTree.h"

#include <QDebug>
#include <QLoggingCategory>

#include <algorithm>
#include <cmath>
#include <utility>

// Off by default: it writes one line per sample.
Q_LOGGING_CATEGORY(lcEllipseSmooth, "harnwick.gridding.ellipse", QtInfoMsg)

namespace {

// Only samples of both a depth and a value take part.
int sampleCount(const DataType_ResultData &column)
{
    return std::min(column.depth.size(), column.value.size());
}

} // namespace

InterpEllipseSmooth::InterpEllipseSmooth(QList<DataType_ResultData> columns, int radius1,
                                         int radius2, float angle, QObject *parent)
    : QObject(parent)
    , m_columns(std::move(columns))
    // The dialog never offers less than 1, and 0 would divide by zero.
    , m_radiusA(std::max(radius1, 1))
    , m_radiusB(std::max(radius2, 1))
    , m_angle(angle)
    , m_searchRadius(std::max(m_radiusA, m_radiusB))
{
    if (!buildTree()) {
        qWarning() << "InterpEllipseSmooth: could not build the sample tree; values left unsmoothed";
        return;
    }

    KdQueryResult hits;
    int slot = 0;
    for (DataType_ResultData &column : m_columns) {
        const int n = sampleCount(column);
        for (int i = 0; i < n; ++i, ++slot)
            column.value[i] = smoothAt(column.x, column.depth[i], m_values[slot], &hits);
    }
}

InterpEllipseSmooth::~InterpEllipseSmooth()
{
    delete m_tree;
}

bool InterpEllipseSmooth::buildTree()
{
    int total = 0;
    for (const DataType_ResultData &column : qAsConst(m_columns))
        total += sampleCount(column);

    // Filled completely before any insertion: the payloads point into it.
    m_values.reserve(total);
    for (const DataType_ResultData &column : qAsConst(m_columns)) {
        const int n = sampleCount(column);
        for (int i = 0; i < n; ++i)
            m_values.append(column.value[i]);
    }

    m_tree = KdTree::create(2);
    if (!m_tree)
        return false;
    double *values = m_values.data();
    int slot = 0;
    for (const DataType_ResultData &column : qAsConst(m_columns)) {
        const int n = sampleCount(column);
        for (int i = 0; i < n; ++i, ++slot) {
            const double position[2] = {column.x, column.depth[i]};
            // A position that is not finite cannot be found; that sample
            // keeps its value (see smoothAt).
            if (!std::isfinite(position[0]) || !std::isfinite(position[1]))
                continue;
            if (m_tree->insert(position, values + slot) != 0)
                return false;
        }
    }
    return true;
}

double InterpEllipseSmooth::smoothAt(double x, double y, double own, KdQueryResult *hits) const
{
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(own))
        return own;

    // The hits come in the samples' order.
    const double query[2] = {x, y};
    if (!m_tree->pointsWithin(query, static_cast<double>(m_searchRadius), hits))
        return own;

    const double c = std::cos(m_angle);
    const double s = std::sin(m_angle);
    const double a2 = static_cast<double>(static_cast<qint64>(m_radiusA) * m_radiusA);
    const double b2 = static_cast<double>(static_cast<qint64>(m_radiusB) * m_radiusB);

    double sumW = 0.0;
    double sumWV = 0.0;
    double position[2];
    for (; !hits->atEnd(); hits->next()) {
        const double v = *static_cast<const double *>(hits->item(position));
        // A non-finite neighbour would spoil every mean it joins.
        if (!std::isfinite(v))
            continue;
        const double px = position[0];
        const double py = position[1];
        const double dx = px - x;
        const double dy = py - y;
        const double u = c * dx + s * dy;
        const double w = s * dx - c * dy;
        if (u * u / a2 + w * w / b2 > 1.0)
            continue;

        const double d = std::sqrt((y - py) * (y - py) + (x - px) * (x - px));
        double weight;
        if (v < 0.001) {
            // Non-positive resistivities are kept where they are and
            // ignored by their neighbours.
            if (d < 1e-5)
                return v;
            weight = 0.0;
        } else if (d < 1.0) {
            weight = 1.0;
            qCDebug(lcEllipseSmooth) << x << y << px << py << weight << v;
        } else {
            const double inverse = 1.0 / d;
            weight = inverse * inverse;
        }
        sumW += weight;
        sumWV += weight * v;
    }

    // Only reachable when the sample's own slot is missing from the tree.
    if (sumW == 0.0)
        return own;
    return sumWV / sumW;
}
