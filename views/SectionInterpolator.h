#ifndef HW_VIEWS_SECTIONINTERPOLATOR_H
#define HW_VIEWS_SECTIONINTERPOLATOR_H

#include "model/SafeInterpolator.h"
#include "model/SharedTypes.h"

#include <QList>
#include <QVector>

// Value of a resistivity section at any (x, vertical) point, from the station
// columns: a cubic spline down each column, linear blending between the two
// columns that bracket x, a sloped edge where only one of them reaches the
// level, a floor at the no-value level + 1, and a clip by the topography.
//
// The vertical coordinate grows upwards (a column's first entry is its top).
// Once prepared the object is read-only; valueAt() keeps no look-up cache and
// may be called from several threads at once.
class SectionInterpolator
{
public:
    SectionInterpolator();

    // Columns in ascending x; their blank cells are left out. Columns that
    // cannot carry a spline (empty, lengths differing, non-finite entries,
    // levels not strictly falling) should be filtered out with
    // usableColumns() first; any that remain are still skipped here so that
    // evaluation never meets them.
    void setColumns(const QList<DataType_ResultData> &columns);
    // Elevation over position. Empty: no topography clip at all.
    void setTopography(const QVector<TopoData> &topography);
    void setNoValueLevel(double level) { m_noValue = level; }

    double noValueLevel() const { return m_noValue; }
    const QList<DataType_ResultData> &columns() const { return m_columns; }
    bool hasTopography() const { return m_topo.isValid(); }
    double topographyMinX() const { return m_topoMin; }
    double topographyMaxX() const { return m_topoMax; }
    // Elevation of the topography at x (NaN without topography).
    double topographyAt(double x) const;

    // Bracketing, blending and edge rule, without the topography clip.
    double interpolate(double x, double depth) const;
    // interpolate() followed by the topography clip (1e-18 outside it).
    double valueAt(double x, double depth) const;

    // The columns that a section can be drawn from: drops columns that are
    // empty, of unequal lengths, hold non-finite numbers, or whose levels do
    // not strictly fall; and every column sharing its x with such a column.
    static QList<DataType_ResultData> usableColumns(const QList<DataType_ResultData> &columns);

    // True when interpolate() found a value, false for the no-value level.
    bool hasValue(double v) const { return v >= m_noValue + 1.0; }

    static constexpr double kAboveGround = 1e-18;
    // Cells at or below this are blank (above the ground): left out of the
    // columns.
    static constexpr double kAboveGroundLimit = 1e-17;

private:
    QList<DataType_ResultData> m_columns;
    QVector<SafeInterpolator> m_splines;
    double m_noValue = 0.0;
    SafeInterpolator m_topo;
    double m_topoMin = 0.0;
    double m_topoMax = 0.0;
};

#endif
