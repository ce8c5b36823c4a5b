#ifndef HW_SHAREDTYPES_H
#define HW_SHAREDTYPES_H

// Plain value types that travel between the controller, the calculation
// classes, the inversion library, the views and the reports.

#include <QColor>
#include <QList>
#include <QMap>
#include <QMetaType>
#include <QPolygonF>
#include <QString>
#include <QVector>

// Which time-window scheme is current.
enum TEMSampleMODES {
    SAMPLE_QV18 = 0,   // the 18-window scheme
    SAMPLE_LOG10 = 1,  // 30 windows per decade (the LOG10 columns)
    SAMPLE_LOG20 = 2   // 20 windows per decade (the LOG20 columns)
};

// Which reference curve is shown beside the current station.
enum QSHOWLINE {
    SHOWLINE_RAW = 0,
    SHOWLINE_PREVIOUS = 1,
    SHOWLINE_NEXT = 2
};

// How section levels are spaced; the accompanying double is the spacing
// (fixed) or the growth factor (progressive).
enum GridPattern {
    GRID_FIXED = 0,
    GRID_PROGRESSIVE = 1
};

// One topography point.
struct TopoData {
    double position = 0.0;   // along the line
    double elevation = 0.0;
};

// The inversion parameter record.
struct InvParam {
    double constraintCoefficient = 1.0;
    double inversionCoefficient = 0.3;
    double inversionDepth = 100.0;
    char flag = 0;
    QVector<TopoData> topography;
    int intField = 1;
    double referenceResistivity = 100.0;
    double timeWindowStart = 79.0;
    double timeWindowEnd = 4e6;
    double startStation = -1.0;   // -1 means all stations
    double endStation = -1.0;
    int instrumentKind = 3;       // 1 MORSA, 2 PLIX, 3 QELVA
};

// One inversion result column: a station position, its depths (or levels)
// and the values at them, of equal length.
struct DataType_ResultData {
    double x = 0.0;
    QVector<double> depth;
    QVector<double> value;
};

// A result column of the profile and three-dimensional inversions.
struct DataType_ThreeResultData {
    double x = 0.0;            // horizontal position of the column
    double y = 0.0;
    QVector<double> z;         // cell depths or elevations
    QVector<double> value;     // one value per cell
    double reserved = 0.0;     // carried unchanged
    double station = 0.0;      // the column's station number along the line
};

// A line's workload summary for the report.
struct LineInfo {
    double firstStation = 0.0;
    double lastStation = 0.0;
    int stationCount = 0;
    int stationSpacing = 0;
};

// One station's edit statistics for the report.
struct EditInfo {
    double pointNumber = 0.0;
    double editedPercent = 0.0;   // percent of gates edited
    double meanChangePercent = 0.0;    // mean relative change in percent
};

// One polygonal region of a layered model.
struct ModelRegion {
    int number = 0;
    QColor colour;
    int pointCount = 0;
    QVector<double> x;
    QVector<double> z;
};

// A layered model read from a model text file.
struct LayerModeler {
    QString name;
    double x0 = 0.0;
    double x1 = 0.0;
    double z0 = 0.0;
    double z1 = 0.0;
    int regionCount = 0;
    QVector<ModelRegion> regions;
};

// One area of a model-calculation file: section values inside the outline
// (position along the line, elevation) are mapped onto [low, high].
struct ModelArea {
    QPolygonF outline;
    double low = 0.0;
    double high = 0.0;
};

Q_DECLARE_METATYPE(TEMSampleMODES)
Q_DECLARE_METATYPE(QSHOWLINE)
Q_DECLARE_METATYPE(GridPattern)
Q_DECLARE_METATYPE(TopoData)
Q_DECLARE_METATYPE(InvParam)
Q_DECLARE_METATYPE(DataType_ResultData)
Q_DECLARE_METATYPE(DataType_ThreeResultData)
Q_DECLARE_METATYPE(LineInfo)
Q_DECLARE_METATYPE(EditInfo)
Q_DECLARE_METATYPE(LayerModeler)

// Registers the types above with the meta-type system; safe to call repeatedly.
void registerSharedTypes();

#endif
