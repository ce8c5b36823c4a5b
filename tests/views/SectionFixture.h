#ifndef HW_TEST_SECTIONFIXTURE_H
#define HW_TEST_SECTIONFIXTURE_H

#include "model/ModelFiles.h"
#include "model/SharedTypes.h"

#include <QList>
#include <QVector>

#include <cmath>

// A synthetic line: 21 stations 20 m apart on rolling ground, a conductive
// layer that dips along the line in a resistive host.
namespace sectionfixture {

inline double ground(double x) { return 20.0 * std::sin(x / 80.0); }

inline QList<DataType_ResultData> stations()
{
    QList<DataType_ResultData> out;
    for (int i = 0; i <= 20; ++i) {
        DataType_ResultData r;
        r.x = 20.0 * i;
        const double top = ground(r.x);
        const double layer = -60.0 + 25.0 * std::sin(r.x / 110.0);
        for (int k = 0; k <= 30; ++k) {
            const double level = top - 5.0 * k;
            const double d = (level - layer) / 18.0;
            r.depth.append(level);
            r.value.append(220.0 - 170.0 * std::exp(-d * d) + 0.15 * r.x);
        }
        out.append(r);
    }
    return out;
}

inline QVector<TopoData> topography()
{
    QVector<TopoData> t;
    for (int i = 0; i <= 20; ++i)
        t.append(TopoData{20.0 * i, ground(20.0 * i)});
    return t;
}

inline QList<DataType_ResultData> section()
{
    return ModelFiles::buildSectionGrid(stations(), 150.0, 100.0, 0.3, 0, 5.0);
}

inline QMap<float, QColor> ramp()
{
    return {{1e-18f, QColor(255, 255, 255)}, {0.05f, QColor(0, 0, 255)},
            {0.2f, QColor(0, 255, 255)},     {0.4f, QColor(0, 255, 0)},
            {0.6f, QColor(255, 255, 0)},     {0.8f, QColor(255, 128, 0)},
            {1.0f, QColor(255, 0, 0)}};
}

} // namespace sectionfixture

#endif
