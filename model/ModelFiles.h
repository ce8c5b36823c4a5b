#ifndef HW_MODELFILES_H
#define HW_MODELFILES_H

#include <QList>
#include <QObject>
#include <QString>
#include <QVector>

#include "model/SharedTypes.h"

// Reads layered-model files and turns inversion results into regular,
// smoothed resistivity sections. Holds no state: every operation works on
// its arguments only, so all of them are class-level functions; callers may
// still keep an instance and call them through it.
//
// Sections are lists of DataType_ResultData whose "depth" vectors hold
// elevations (larger is higher, the first level is the top). The value
// ModelFiles::kNoValue marks a cell above the ground surface.
//
// Inputs outside the domain never crash and never loop: pairs with a
// non-finite level or value are ignored, records without a usable pair are
// left out of a section, and an unusable depth, grid pattern or grid value
// gives an empty result.
class ModelFiles : public QObject
{
    Q_OBJECT

public:
    // Marks a section cell without a value; the colour ramp shows it blank.
    static constexpr double kNoValue = 1e-18;
    // A cell whose value is no larger than this is read as the marker: no
    // resistivity is that small.
    static constexpr double kNoValueLimit = 1e-17;
    // Upper bound on the levels of one column; beyond it the inputs are
    // treated as unusable rather than exhausting memory.
    static constexpr int kMaxLevels = 100000;

    explicit ModelFiles(QObject *parent = nullptr);

    // Reads a layered-model text file into model. Returns false and leaves
    // model untouched when the file is missing, cannot be opened, ends
    // before everything it announces has been read, or a line lacks a token
    // the format reads. Non-numeric tokens read as 0.
    static bool readModelFile(const QString &path, LayerModeler &model);

    // Largest value of all value vectors, never below -10000.
    static float maxValue(const QList<DataType_ResultData> &results);
    // Smallest value of all value vectors, never above 10000.
    static float minValue(const QList<DataType_ResultData> &results);

    // Per-station results on one common level list, blanked above each
    // station's surface and below its surface less depth (the level below
    // that floor moved onto it), then smoothed row by row over the cells
    // left. referenceResistivity is carried
    // for the callers' sake and not used. gridPattern: GRID_FIXED (gridValue
    // is the spacing, > 0) or GRID_PROGRESSIVE (gridValue is the growth
    // factor, >= 1); anything else gives an empty result.
    static QList<DataType_ResultData> buildSectionGrid(const QList<DataType_ResultData> &results,
                                                       double depth,
                                                       double referenceResistivity,
                                                       double smoothingFactor, int gridPattern,
                                                       double gridValue);

    // Profile inversion columns resampled onto the common level ladder; the
    // cells above each column's ground (the topography at its position) and
    // below that ground less depth are blanked as in buildSectionGrid, and
    // the rest smoothed row by row.
    static QList<DataType_ResultData> buildSectionGrid2(
        const QList<DataType_ThreeResultData> &columns, double smoothingFactor,
        const QVector<TopoData> &topography, double depth);

    // Per-station results interpolated onto one common level list, from the
    // highest station top down to a cut below the lowest one; unsmoothed.
    static QList<DataType_ResultData> buildStationColumns(const QList<DataType_ResultData> &results,
                                                          double depth,
                                                          double referenceResistivity,
                                                          int gridPattern, double gridValue);

    // One profile column resampled onto the whole-metre level ladder between
    // the topography's top and its bottom less depth. z and value of the
    // result are both empty when the column has no usable point or depth is
    // negative or not finite.
    static DataType_ThreeResultData resampleProfileColumn(const DataType_ThreeResultData &column,
                                                          const QVector<TopoData> &topography,
                                                          double depth);

    // Smooths every row but the first in place with a cosine window that
    // widens with the row's distance below the top level. Blank cells (at
    // or below kNoValueLimit) stay blank and take no part.
    static void smoothSectionRows(QVector<QVector<double>> &grid, double smoothingFactor,
                                  const QVector<double> &rowLevels,
                                  const QVector<double> &columnPositions);

    // Lifts every profile column onto the ground: z += the topography's
    // elevation at the column's station position (its mean outside the
    // topography's range, 0 without topography).
    static void applyTopography(QList<DataType_ThreeResultData> &columns,
                                const QVector<TopoData> &topography);
};

#endif
