#include "gridding/GridData.h"

#include <QFile>
#include <QTextStream>

#include <algorithm>
#include <cmath>

namespace {

// Surfer reads values at or above this as blanked nodes.
const float kSurferBlank = 1.70141e38f;

QString fixed3(float value)
{
    if (!std::isfinite(value))
        value = kSurferBlank;
    return QString::number(static_cast<double>(value), 'f', 3);
}

} // namespace

bool GridData::setFromPoints(const QList<GridPoint> &points, int nx, int ny)
{
    clear();
    if (nx < 1 || ny < 1 || static_cast<qint64>(nx) * ny > points.size())
        return false;

    m_x.resize(nx);
    m_y.resize(ny);
    m_z.resize(nx * ny);
    for (int c = 0; c < nx; ++c)
        m_x[c] = points.at(c).x;
    for (int r = 0; r < ny; ++r)
        m_y[r] = points.at(r * nx).y;

    bool anyFinite = false;
    float zmin = 0.0f;
    float zmax = 0.0f;
    for (int r = 0; r < ny; ++r) {
        for (int c = 0; c < nx; ++c) {
            const float v = points.at(r * nx + c).value;
            m_z[r + c * ny] = v;
            if (!std::isfinite(v))
                continue;
            if (!anyFinite) {
                zmin = zmax = v;
                anyFinite = true;
            } else {
                zmin = std::min(zmin, v);
                zmax = std::max(zmax, v);
            }
        }
    }

    m_nx = nx;
    m_ny = ny;
    const auto [xlo, xhi] = std::minmax_element(m_x.cbegin(), m_x.cend());
    const auto [ylo, yhi] = std::minmax_element(m_y.cbegin(), m_y.cend());
    m_xmin = static_cast<float>(*xlo);
    m_xmax = static_cast<float>(*xhi);
    m_ymin = static_cast<float>(*ylo);
    m_ymax = static_cast<float>(*yhi);
    m_zmin = zmin;
    m_zmax = zmax;
    m_points = points.mid(0, nx * ny);
    return true;
}

void GridData::clear()
{
    m_nx = m_ny = 0;
    m_xmin = m_xmax = m_ymin = m_ymax = m_zmin = m_zmax = 0.0f;
    m_x.clear();
    m_y.clear();
    m_z.clear();
    m_points.clear();
}

bool GridData::writeSurferAsciiGrid(const QString &fileName, const QList<GridPoint> &points,
                                    int ny, int nx, float xmin, float xmax, float ymin,
                                    float ymax, float zmin, float zmax)
{
    if (nx < 0 || ny < 0 || static_cast<qint64>(nx) * ny > points.size())
        return false;

    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return false;

    QTextStream out(&file);
    out << "DSAA\n";
    out << nx << ' ' << ny << '\n';
    out << fixed3(xmin) << ' ' << fixed3(xmax) << '\n';
    out << fixed3(ymin) << ' ' << fixed3(ymax) << '\n';
    out << fixed3(zmin) << ' ' << fixed3(zmax) << '\n';
    for (int r = 0; r < ny; ++r) {
        QString line;
        line.reserve(nx * 12);
        for (int c = 0; c < nx; ++c) {
            line += fixed3(points.at(r * nx + c).value);
            line += QLatin1Char(' ');
        }
        out << line << '\n';
    }
    out.flush();
    file.close();
    return true;
}
