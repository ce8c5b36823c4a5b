#ifndef HW_GRIDDATA_H
#define HW_GRIDDATA_H

#include "gridding/GridPoint.h"

#include <QList>
#include <QString>
#include <QVector>

// The grid record: sizes, coordinate and value ranges, the grid arrays and
// the contour levels that the contour-map widget reads. Created empty.
class GridData
{
public:
    GridData() = default;

    // Fills the record from a gridded list in row order (row 0 at the
    // smallest y, x rising within a row): x per column from row 0, y per row
    // from column 0, the values column-major (value of row r, column c at
    // r + c * ny). The value range covers the finite values only (0 .. 0 when
    // there are none); values that are not finite are kept, and the contouring
    // leaves their cells out. Returns false and leaves the record empty when
    // nx or ny is below 1 or there are fewer than nx * ny points.
    bool setFromPoints(const QList<GridPoint> &points, int nx, int ny);
    void clear();
    bool isEmpty() const { return m_nx < 1 || m_ny < 1; }

    // Contour levels, rising.
    void setContourLevels(const QVector<float> &levels) { m_levels = levels; }
    const QVector<float> &contourLevels() const { return m_levels; }

    float columnCount() const { return static_cast<float>(m_nx); }
    float rowCount() const { return static_cast<float>(m_ny); }
    float xMin() const { return m_xmin; }
    float xMax() const { return m_xmax; }
    float yMin() const { return m_ymin; }
    float yMax() const { return m_ymax; }
    float zMin() const { return m_zmin; }
    float zMax() const { return m_zmax; }
    float xSpan() const { return m_xmax - m_xmin; }
    float ySpan() const { return m_ymax - m_ymin; }
    float zSpan() const { return m_zmax - m_zmin; }
    const QVector<double> &xCoordinates() const { return m_x; }
    const QVector<double> &yCoordinates() const { return m_y; }
    const QVector<double> &values() const { return m_z; }
    // The gridded points the record was filled from.
    const QList<GridPoint> &points() const { return m_points; }

    // Writes a Surfer ASCII ("DSAA") grid: the header with the sizes and the
    // ranges, then ny data lines of nx values, the row at ymin first; every
    // real number in fixed notation with 3 decimals. A value that is not
    // finite is written as Surfer's blank value 1.70141e38. Returns false,
    // writing nothing, when the file cannot be opened, a size is negative or
    // there are fewer than nx * ny points; an existing file is replaced.
    static bool writeSurferAsciiGrid(const QString &fileName, const QList<GridPoint> &points,
                                     int ny, int nx, float xmin, float xmax, float ymin,
                                     float ymax, float zmin, float zmax);

private:
    int m_nx = 0;
    int m_ny = 0;
    float m_xmin = 0.0f;
    float m_xmax = 0.0f;
    float m_ymin = 0.0f;
    float m_ymax = 0.0f;
    float m_zmin = 0.0f;
    float m_zmax = 0.0f;
    QVector<double> m_x;   // one per column
    QVector<double> m_y;   // one per row
    QVector<double> m_z;   // column-major
    QVector<float> m_levels;
    QList<GridPoint> m_points;
};

#endif
