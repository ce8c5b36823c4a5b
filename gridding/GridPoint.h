#ifndef HW_GRIDPOINT_H
#define HW_GRIDPOINT_H

#include <QList>
#include <QMetaType>

// One point of a two-dimensional gridding run. In a section y is the depth
// axis. A gridded list is in row order: row 0 (the smallest y) first, x
// rising within a row.
struct GridPoint {
    float x = 0.0f;
    float y = 0.0f;
    float value = 0.0f;
};

Q_DECLARE_METATYPE(GridPoint)

#endif
