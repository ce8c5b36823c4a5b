#include "model/DataModel.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QSaveFile>
#include <QTextCodec>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <limits>
#include <functional>

#include "model/Data_Calc.h"
#include "model/Data_Mathematical_Calc.h"
#include "model/ExportFiles.h"
#include "model/UserPrompt.h"
#include "store/Data_Line.h"
#include "store/Data_Point.h"

namespace {

// Station numbers of the coordinates are single precision; a result column
// is matched at that precision, or 300.3 (300.29998779...) would miss by
// more than the tolerance.
constexpr double kMatch1D = 1e-5;
constexpr double kMatch2D = 0.01;
// Surfer's value for a node without data.
constexpr double kSurferBlank = 1.70141e38;
// More rows or columns than this: the section is not one to grid.
constexpr int kMaxGridLines = 100000;

// The Surfer grid's nodes: a step and the node it starts from.
struct EvenStep {
    double step = 0.0;
    double anchor = 0.0;
};

// The most common of the gaps between neighbours of an ordered list (the
// smallest on a tie; gaps of nothing or against the order do not count),
// from the first entry that starts such a gap. Step 0 when there is none.
EvenStep mostCommonStep(const QVector<double>& ordered, bool descending)
{
    EvenStep even;
    if (ordered.isEmpty())
        return even;
    even.anchor = ordered.first();
    QVector<double> gaps;
    for (int k = 0; k + 1 < ordered.size(); ++k)
        gaps.append(descending ? ordered[k] - ordered[k + 1] : ordered[k + 1] - ordered[k]);
    auto same = [](double a, double b) { return std::fabs(a - b) <= 1e-6 * b; };
    int best = 0;
    for (double s : gaps) {
        if (!(s > 0.0))
            continue;
        const int count = int(std::count_if(gaps.cbegin(), gaps.cend(), [&](double t) { return same(t, s); }));
        if (count > best || (count == best && s < even.step)) {
            best = count;
            even.step = s;
        }
    }
    for (int k = 0; k < gaps.size(); ++k) {
        if (even.step > 0.0 && same(gaps[k], even.step)) {
            even.anchor = ordered[k];
            break;
        }
    }
    return even;
}

// Nodes anchor + j * step in rising order: those within [from, to], or
// (cover) as few as reach over both ends. False when there would be more
// than a grid can sensibly hold.
bool evenNodes(const EvenStep& even, double from, double to, bool cover, QVector<double>& nodes)
{
    const double tolerance = 1e-6 * even.step;
    const double below = cover ? std::ceil((even.anchor - from - tolerance) / even.step)
                               : std::floor((even.anchor - from + tolerance) / even.step);
    const double above = cover ? std::ceil((to - even.anchor - tolerance) / even.step)
                               : std::floor((to - even.anchor + tolerance) / even.step);
    if (!(below + above + 1.0 <= double(kMaxGridLines)))
        return false;
    nodes.clear();
    for (double j = -below; j <= above; j += 1.0)
        nodes.append(even.anchor + j * even.step);
    return !nodes.isEmpty();
}

// A section cell without a resistivity: above the ground, or not finite.
bool noSectionValue(double v)
{
    return !std::isfinite(v) || std::fabs(v) <= ModelFiles::kNoValueLimit;
}

// Value at a position of the first n samples of a profile at ordered
// positions (rising or falling): a sample's own within the tolerance,
// linear between two neighbours that both hold one, else none (NaN), as
// outside the samples.
double profileValue(const QVector<double>& positions, const QVector<double>& values, int n, double at,
                    double tolerance)
{
    for (int k = 0; k < n; ++k) {
        if (std::fabs(positions[k] - at) <= tolerance)
            return values[k];
    }
    for (int k = 0; k + 1 < n; ++k) {
        const double a = positions[k];
        const double b = positions[k + 1];
        if ((a < at && at < b) || (b < at && at < a)) {
            if (noSectionValue(values[k]) || noSectionValue(values[k + 1]))
                return qQNaN();
            const double w = (a - at) / (a - b);
            return values[k] + w * (values[k + 1] - values[k]);
        }
    }
    return qQNaN();
}

QString g6(double value)
{
    return QString::number(value, 'g', 6);
}

// Positions along the line and levels: six significant digits where they
// hold the number to the millimetre, else every digit to the millimetre
// (100012.5, not 100013). Finer digits would show only the single-precision
// noise of surveyed elevations.
QString positionText(double value)
{
    const QString brief = g6(value);
    if (!std::isfinite(value) || std::fabs(brief.toDouble() - value) <= 5e-4)
        return brief;
    QString fixed = QString::number(value, 'f', 3);
    while (fixed.endsWith(QLatin1Char('0')))
        fixed.chop(1);
    if (fixed.endsWith(QLatin1Char('.')))
        fixed.chop(1);
    return fixed;
}

QString f6(double value)
{
    return QString::number(value, 'f', 6);
}

// Coordinates are single precision. f6 keeps every digit of a projected
// coordinate; where it would round one off (small magnitudes), nine
// significant digits, which always read back to the same float.
QString coordinateText(float value)
{
    const QString fixed = f6(value);
    if (fixed.toFloat() == value)
        return fixed;
    return QString::number(double(value), 'g', 9);
}

// Tells the user which file could not be written.
void tellNotWritten(const QString& path)
{
    UserPrompt::critical(QStringLiteral("提示"), ExportFiles::failedText(path));
}

bool sameStation(double resultX, float coordinateStation, double tolerance)
{
    return std::fabs(double(float(resultX)) - double(coordinateStation)) < tolerance;
}

// The system's encoding, unless it cannot carry the texts of the headers.
QTextCodec* exportCodec()
{
    QTextCodec* codec = QTextCodec::codecForLocale();
    if (!codec || !codec->canEncode(QStringLiteral("里程坐标深度电阻率时间点号感应电压（）")))
        codec = QTextCodec::codecForName("UTF-8");
    return codec;
}

// Writes the file whole through a temporary: a failed or interrupted export
// leaves what was at path before. False when nothing was written.
bool writeWholeFile(const QString& path, bool textMode, const std::function<void(QTextStream&)>& body)
{
    if (path.isEmpty())
        return false;
    QSaveFile file(path);
    QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Truncate;
    if (textMode)
        mode |= QIODevice::Text;
    if (!file.open(mode))
        return false;
    QTextStream out(&file);
    out.setCodec(exportCodec());
    body(out);
    out.flush();
    if (out.status() != QTextStream::Ok) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

const QString kResultHeader = QStringLiteral("里程,坐标X,坐标Y,深度,电阻率");

// Rows of one result column: five fields for every matching coordinate when
// the coordinates pair one to one with the columns, else three fields.
void writeResultRows(QTextStream& out, double station, const QVector<double>& depth,
                     const QVector<double>& value, bool paired, const QVector<GPSCoordinate>& coordinates,
                     double tolerance)
{
    // Blank cells (air, below the inversion depth) have no row: read as
    // XYZ, the marker would stand as a resistivity of 1e-18.
    const int n = std::min(depth.size(), value.size());
    if (!paired) {
        for (int j = 0; j < n; ++j) {
            if (!noSectionValue(value[j]))
                out << positionText(station) << ',' << positionText(depth[j]) << ',' << g6(value[j]) << '\n';
        }
        return;
    }
    for (const GPSCoordinate& c : coordinates) {
        if (!sameStation(station, c.pointNo, tolerance))
            continue;
        const QString x = coordinateText(c.x);
        const QString y = coordinateText(c.y);
        for (int j = 0; j < n; ++j) {
            if (!noSectionValue(value[j]))
                out << positionText(station) << ',' << x << ',' << y << ',' << positionText(depth[j]) << ','
                    << g6(value[j]) << '\n';
        }
    }
}

// A Surfer blanking polygon along the ground (top) or along the ground less
// the inversion depth (bottom), closed along a base line at a multiple of
// ten beyond it. Sorts topography by position.
bool writeBlankingFile(const QString& path, QVector<TopoData>& topography, double depth, bool top)
{
    if (topography.isEmpty())
        return false;
    std::stable_sort(topography.begin(), topography.end(),
                     [](const TopoData& a, const TopoData& b) { return DataModel::lessByPosition(a, b); });
    QVector<TopoData> points;
    points.reserve(topography.size());
    for (const TopoData& t : topography) {
        if (std::isfinite(t.position) && std::isfinite(t.elevation))
            points.append(t);
    }
    if (points.isEmpty() || (!top && !std::isfinite(depth)))
        return false;

    // The closing vertices use the points' own extremes, so the polygon
    // closes on the data whatever its range.
    double smallest = points.first().position;
    double largest = points.first().position;
    double extreme = points.first().elevation;
    for (const TopoData& t : points) {
        smallest = std::min(smallest, t.position);
        largest = std::max(largest, t.position);
        extreme = top ? std::max(extreme, t.elevation) : std::min(extreme, t.elevation);
    }
    const double base = top ? std::ceil(extreme / 10.0) * 10.0 : std::floor((extreme - depth) / 10.0) * 10.0;
    const double firstHeight = top ? points.first().elevation : points.first().elevation - depth;

    return writeWholeFile(path, true, [&](QTextStream& out) {
        out << (points.size() + 3) << ",0\n";
        for (const TopoData& t : points)
            out << positionText(t.position) << ',' << positionText(top ? t.elevation : t.elevation - depth) << '\n';
        out << positionText(largest) << ',' << positionText(base) << '\n';
        out << positionText(smallest) << ',' << positionText(base) << '\n';
        out << positionText(smallest) << ',' << positionText(firstHeight);
    });
}

// The Surfer grid of a 2D export, beside its table and named after it: the
// typed name with ".2d.dat" (any other name: its last suffix) replaced by
// ".grd", so that each export keeps its own grid.
QString gridPathFor(const QString& path)
{
    const QFileInfo info(path);
    QString name = info.fileName();
    const QLatin1String tableSuffix(".2d.dat");
    if (name.endsWith(tableSuffix))
        name.chop(tableSuffix.size());
    else if (name.contains(QLatin1Char('.')))
        name = info.completeBaseName();
    QString grid = info.absolutePath() + QLatin1Char('/') + name + QStringLiteral(".grd");
    if (QFileInfo(grid) == info)
        grid += QStringLiteral(".grd");
    return grid;
}

void writeSectionRows(QTextStream& out, const QList<DataType_ResultData>& section)
{
    for (const DataType_ResultData& r : section) {
        const int n = std::min(r.depth.size(), r.value.size());
        for (int j = 0; j < n; ++j) {
            if (!noSectionValue(r.value[j]))
                out << positionText(r.x) << ',' << positionText(r.depth[j]) << ',' << g6(r.value[j]) << '\n';
        }
    }
}

// The results written are those of the last line view, whatever station is
// shown since: the message says which line they belong to.
QString exportedLineText(double line)
{
    return QStringLiteral("（测线 %1）").arg(ExportFiles::number(line));
}

} // namespace

bool DataModel::exportAllowed(bool needLine)
{
    if (!isProjectOpen()) {
        UserPrompt::information(QStringLiteral("没有打开的工程，无法导出！"));
        return false;
    }
    if (needLine && !std::isfinite(currentLineNumber)) {
        UserPrompt::information(QStringLiteral("请先显示一条测线，再导出结果！"));
        return false;
    }
    return true;
}

void DataModel::export1DResults(QString path)
{
    if (!exportAllowed(true))
        return;
    const int method = transRelaxMethod;
    const bool written = writeWholeFile(path, true, [&](QTextStream& out) {
        out << kResultHeader << '\n';
        if (method == 1) {
            const bool paired = lineCoordinates.size() == stationResults.size();
            for (const DataType_ResultData& r : stationResults)
                writeResultRows(out, r.x, r.depth, r.value, paired, lineCoordinates, kMatch1D);
        } else if (method == 2) {
            const bool paired = lineCoordinates.size() == profileResults.size();
            for (const DataType_ThreeResultData& r : profileResults)
                writeResultRows(out, r.station, r.z, r.value, paired, lineCoordinates, kMatch1D);
        }
    });
    if (!written) {
        tellNotWritten(path);
        return;
    }

    const QFileInfo info(path);
    const QString stem = info.absolutePath() + QLatin1Char('/') + info.baseName();
    const bool blanking = writeTopBlanking(stem + QStringLiteral("_top.bln"))
                          && writeBottomBlanking(stem + QStringLiteral("_bottom.bln"));
    UserPrompt::information(QStringLiteral("一维反演结果"),
                            QStringLiteral("保存一维反演数据成功") + exportedLineText(currentLineNumber)
                                + (blanking ? QString() : QStringLiteral(",未保存Bln文件")));
}

void DataModel::export2DResults(QString path)
{
    if (!exportAllowed(true))
        return;
    const bool written = writeWholeFile(path, true, [&](QTextStream& out) {
        out << kResultHeader << '\n';
        const bool paired = lineCoordinates.size() == sectionResults.size();
        for (const DataType_ResultData& r : sectionResults)
            writeResultRows(out, r.x, r.depth, r.value, paired, lineCoordinates, kMatch2D);
    });
    if (!written) {
        tellNotWritten(path);
        return;
    }

    const QFileInfo info(path);
    QString gridText;
    if (transRelaxMethod == 1) {
        const QFileInfo grid(gridPathFor(path));
        const QString shown = QDir::toNativeSeparators(grid.filePath());
        gridText = writeSurferGrid(grid.absolutePath(), grid.fileName())
                       ? QStringLiteral(",网格文件 %1").arg(shown)
                       : QStringLiteral(",未保存网格文件 %1").arg(shown);
    } else {
        gridText = QStringLiteral(",当前反演方法不生成网格文件");
    }
    const QString stem = info.absolutePath() + QLatin1Char('/') + info.baseName();
    const bool blanking = writeTopBlanking(stem + QStringLiteral("_top.bln"))
                          && writeBottomBlanking(stem + QStringLiteral("_bottom.bln"));
    UserPrompt::information(QStringLiteral("二维反演结果"),
                            QStringLiteral("保存二维反演数据成功") + exportedLineText(currentLineNumber)
                                + (blanking ? QString() : QStringLiteral(",未保存Bln文件")) + gridText);
}

void DataModel::exportLayerResults(QString path)
{
    if (!exportAllowed(true))
        return;
    if (!writeWholeFile(path, true, [&](QTextStream& out) { writeSectionRows(out, layerResults); })) {
        tellNotWritten(path);
        return;
    }
    UserPrompt::information(QStringLiteral("分层反演结果"),
                            QStringLiteral("保存分层反演数据成功") + exportedLineText(currentLineNumber));
}

void DataModel::exportSectionData(QString path)
{
    if (!exportAllowed(true))
        return;
    const bool written = writeWholeFile(path, true, [&](QTextStream& out) {
        QString header = QStringLiteral("时间(us)\\点号(m)");
        for (double station : reportDistances)
            header += QLatin1Char(',') + positionText(station);
        out << header << '\n';
        for (int i = 0; i < reportTimes.size(); ++i) {
            QString row = g6(reportTimes[i]);
            const QVector<double> curve = i < reportCurves.size() ? reportCurves[i] : QVector<double>();
            // A value the curves lack is left as an empty field.
            for (int j = 0; j < reportDistances.size(); ++j)
                row += QLatin1Char(',') + (j < curve.size() ? g6(curve[j]) : QString());
            out << row << '\n';
        }
    });
    if (!written) {
        tellNotWritten(path);
        return;
    }
    UserPrompt::information(QStringLiteral("剖面数据保存成功") + exportedLineText(currentLineNumber));
}

bool DataModel::writeTopBlanking(QString path)
{
    return writeBlankingFile(path, resultTopography, invParam.inversionDepth, true);
}

bool DataModel::writeBottomBlanking(QString path)
{
    return writeBlankingFile(path, resultTopography, invParam.inversionDepth, false);
}

bool DataModel::writeSurferGrid(QString folder, QString fileName)
{
    if (sectionResults.isEmpty())
        return false;
    const int ny = sectionResults.first().depth.size();
    if (ny == 0)
        return false;
    for (const DataType_ResultData& r : sectionResults) {
        if (r.value.size() < ny)
            return false;
    }
    std::stable_sort(sectionResults.begin(), sectionResults.end(),
                     [](const DataType_ResultData& a, const DataType_ResultData& b) {
                         return DataModel::lessByPosition(a, b);
                     });
    const int nx = sectionResults.size();

    // A Surfer grid places its nodes evenly, but the section's are not: the
    // levels (the cut level last, columns whose top moved onto their
    // ground, the widening steps of the progressive pattern) and the
    // stations (gaps, renumbered stretches). Rows and columns follow the
    // section's most common step, on its own levels and stations, and the
    // section is read off at them; cells above a column's ground are blank.
    const QVector<double>& levels = sectionResults.first().depth;
    const EvenStep rowStep = mostCommonStep(levels, true);
    double highest = -std::numeric_limits<double>::infinity();
    double lowest = std::numeric_limits<double>::infinity();
    for (const DataType_ResultData& r : sectionResults) {
        if (r.depth.isEmpty())
            continue;
        highest = std::max(highest, r.depth.first());
        lowest = std::min(lowest, r.depth[std::min(ny, int(r.depth.size())) - 1]);
    }
    QVector<double> rowLevels;   // top first
    if (rowStep.step > 0.0 && std::isfinite(highest) && std::isfinite(lowest)) {
        // The section's uneven levels at its top and bottom are not rows.
        if (!evenNodes(rowStep, lowest, highest, false, rowLevels))
            return false;
        std::reverse(rowLevels.begin(), rowLevels.end());
    } else {
        rowLevels.append(levels[0]);
    }
    const int rows = rowLevels.size();

    QVector<double> stations;
    for (const DataType_ResultData& r : sectionResults)
        stations.append(r.x);
    const EvenStep columnStep = mostCommonStep(stations, false);
    QVector<double> columnPositions;
    // Every station lies within the columns; those past the end are blank.
    if (columnStep.step > 0.0 && std::isfinite(stations.first()) && std::isfinite(stations.last())) {
        if (!evenNodes(columnStep, stations.first(), stations.last(), true, columnPositions))
            return false;
    } else {
        columnPositions = stations;
    }
    const int columns = columnPositions.size();

    // Each row across the stations, then read off at the columns; cells
    // above the ground (the marker) and non-finite values go out as blanks,
    // outside the header's range.
    QVector<QVector<double>> grid(rows);
    double zmin = std::numeric_limits<double>::infinity();
    double zmax = -std::numeric_limits<double>::infinity();
    QVector<double> across(nx);
    for (int index = 0; index < rows; ++index) {
        for (int i = 0; i < nx; ++i) {
            const DataType_ResultData& r = sectionResults[i];
            across[i] = profileValue(r.depth, r.value, std::min(ny, int(r.depth.size())), rowLevels[index],
                                     1e-6 * rowStep.step);
        }
        for (int c = 0; c < columns; ++c) {
            double v = columnStep.step > 0.0
                           ? profileValue(stations, across, nx, columnPositions[c], 1e-6 * columnStep.step)
                           : across[c];
            if (noSectionValue(v)) {
                v = kSurferBlank;
            } else {
                zmin = std::min(zmin, v);
                zmax = std::max(zmax, v);
            }
            grid[index].append(v);
        }
    }
    if (!std::isfinite(zmin))
        zmin = zmax = 0.0;

    return writeWholeFile(folder + QLatin1Char('/') + fileName, true, [&](QTextStream& out) {
        out << "DSAA\n";
        out << columns << ' ' << rows << '\n';
        out << positionText(columnPositions.first()) << ' ' << positionText(columnPositions.last()) << '\n';
        out << positionText(rowLevels[rows - 1]) << ' ' << positionText(rowLevels[0]) << '\n';
        out << g6(zmin) << ' ' << g6(zmax) << '\n';
        for (int index = rows - 1; index >= 0; --index) {
            QString row;
            for (double v : grid[index])
                row += QLatin1Char(' ') + g6(v);
            out << row << '\n';
        }
    });
}

void DataModel::exportResultsByLine(QString folder)
{
    // A cancelled folder dialog gives an empty folder: nothing may land in
    // the root folder.
    if (folder.trimmed().isEmpty())
        return;
    if (!exportAllowed(false))
        return;

    const QString tail = QStringLiteral("_r%1_c%2_s%3.dat")
                             .arg(ExportFiles::number(invParam.referenceResistivity),
                                  ExportFiles::number(invParam.constraintCoefficient),
                                  ExportFiles::number(invParam.inversionCoefficient));
    // Lines are named by number; lines that share one would write over each
    // other's files, so theirs get the line's place among them, in the
    // order of the project tree: Line_100(1), Line_100(2).
    QMap<QString, int> sharing;
    for (int i = 0; i < lines->size(); ++i) {
        Data_Line* line = lineAt(i);
        if (line && line->USE() != 0)
            ++sharing[ExportFiles::number(line->NAME())];
    }
    QMap<QString, int> seen;
    QStringList renamed;
    // Lines by number, as the tree shows them.
    QStringList written;
    QStringList skipped;
    for (int i = 0; i < lines->size(); ++i) {
        Data_Line* line = lineAt(i);
        if (!line || line->USE() == 0)
            continue;
        const QString number = ExportFiles::number(line->NAME());
        QString name = QStringLiteral("Line_") + number;
        if (sharing.value(number) > 1) {
            name += QStringLiteral("(%1)").arg(++seen[number]);
            renamed << name;
        }
        const QString label = name.mid(QStringLiteral("Line_").size());
        HORM_Collection<Data_Point>* stations = line->REF_Data_Point();
        if (!stations) {
            skipped << label;
            continue;
        }
        const QString stem = folder + QLatin1Char('/') + name;

        QVector<QVector<double> > curves;
        QVector<double> times;
        QVector<double> numbers;
        QVector<double> offTimes;
        QVector<GPSCoordinate> coordinates;
        QVector<double> currents;
        // A line read in part would be inverted at currents it was not
        // measured at; the lines after it would only wait for the same lock.
        const int refusedBefore = database->busyFailures();
        if (!line->getLineData(invParam, &curves, &times, &numbers, &offTimes, &coordinates, true, scheme, 0,
                               stations->size() - 1, &currents)) {
            QString notDone = QStringLiteral("导出已停止");
            if (!written.isEmpty())
                notDone += QStringLiteral("，此前已导出测线 %1，其余测线未导出").arg(written.join(QStringLiteral("、")));
            else
                notDone += QStringLiteral("，未导出任何测线");
            tellSamplesUnread(refusedBefore, QStringLiteral("测线 %1").arg(label), notDone);
            return;
        }
        // A line without usable stations has nothing to export; the lines
        // after it still do.
        if (curves.isEmpty() || times.isEmpty() || numbers.isEmpty()) {
            skipped << label;
            continue;
        }

        // The line's own ground, kept apart from the shown line's results.
        QVector<TopoData> topography = coordinates.isEmpty() ? QVector<TopoData>() : buildTopography(coordinates);
        InvParam param = invParam;
        param.topography = topography;

        QList<DataType_ResultData> section;
        prepareLineInversion(currents, times, curves, numbers, coordinates);
        if (transRelaxMethod == 1) {
            QList<DataType_ResultData> results;
            mathCalc->pointInversion(curves, times, numbers, Data_Mathematical_Calc::kLineCurrent, results, param);
            section = ModelFiles::buildSectionGrid(results, invParam.inversionDepth, invParam.referenceResistivity,
                                                   invParam.inversionCoefficient, gridPattern, gridValue);
        } else if (transRelaxMethod == 2) {
            const QList<DataType_ThreeResultData> columns =
                mathCalc->profileInversion(curves, times, coordinates, param, 100.0);
            section = ModelFiles::buildSectionGrid2(columns, invParam.inversionCoefficient, topography,
                                                    invParam.inversionDepth);
        }

        const bool fileWritten = writeWholeFile(stem + tail, false, [&](QTextStream& out) {
            out << "station,depth,resistivity \n";
            writeSectionRows(out, section);
        });
        if (!fileWritten) {
            tellNotWritten(stem + tail);
            return;
        }
        written << label;

        const bool blanking = writeBlankingFile(stem + QStringLiteral("_top.bln"), topography,
                                                invParam.inversionDepth, true)
                              && writeBlankingFile(stem + QStringLiteral("_bottom.bln"), topography,
                                                   invParam.inversionDepth, false);
        if (!blanking)
            UserPrompt::information(QStringLiteral("Bln文件保存结果"), QStringLiteral("未保存Bln文件"));
    }

    const QString title = QStringLiteral("整个工程反演数据");
    const QString why = QStringLiteral("没有可用的测点");
    if (written.isEmpty()) {
        UserPrompt::critical(title, skipped.isEmpty()
                                        ? QStringLiteral("没有使用中的测线，未导出任何反演数据。")
                                        : QStringLiteral("测线 %1 %2，未导出任何反演数据。")
                                              .arg(skipped.join(QStringLiteral("、")), why));
        return;
    }
    QString done = skipped.isEmpty()
                       ? QStringLiteral("导出整个工程反演数据成功")
                       : QStringLiteral("已导出测线 %1 的反演数据；测线 %2 %3，未导出")
                             .arg(written.join(QStringLiteral("、")), skipped.join(QStringLiteral("、")), why);
    if (!renamed.isEmpty())
        done += QStringLiteral(",测线号相同的测线按工程索引中的顺序加序号区分: %1")
                    .arg(renamed.join(QStringLiteral("、")));
    UserPrompt::information(title, done);
}

void DataModel::exportSampledData(int lineRow, int stationRow)
{
    if (!exportAllowed(false))
        return;
    Data_Line* line = lineAt(lineRow);
    if (!line)
        return;
    line->setSampleMode(scheme);
    line->commit();
    Data_Point* station = stationAt(line, stationRow);
    if (!station)
        return;

    // A read that another program's lock refused reads as no sample: a
    // table of only some samples, or none, is no export of the station.
    const int refusedBefore = database->busyFailures();
    bool whole = true;
    const QList<SampleCurve> curves = station->collectSampleCurves(normaliseByCurrent, &whole);
    if (!whole || database->busyFailures() != refusedBefore) {
        tellSamplesUnread(refusedBefore, QStringLiteral("该测点"), QStringLiteral("未导出采样数据"),
                          QStringLiteral("采样数据"));
        return;
    }
    double offTime = station->meanOffTime();
    if (offTime > 1.1 && offTime < 30.0)
        offTime = 64.5;
    const QString path = QStringLiteral("%1Line %2Station").arg(ExportFiles::number(line->NAME()),
                                                                 ExportFiles::number(station->NAME()))
                         + QStringLiteral(".txt");
    station->commit();

    // Each record's gates, keyed by gate time: records gated onto different
    // gates still line up by time in the table.
    QVector<QMap<double, double> > columns;
    QMap<double, bool> gateTimes;
    for (const SampleCurve& curve : curves) {
        QVector<double> values = curve.values;
        QVector<double> times = curve.times;
        calc->regroupRecords(&values, &times, offTime);
        io.QELVA18TimeWindow(&times, &values);
        QMap<double, double> column;
        const int n = std::min(times.size(), values.size());
        for (int g = 0; g < n; ++g) {
            if (std::isnan(times[g]) || column.contains(times[g]))
                continue;
            column.insert(times[g], values[g]);
            gateTimes.insert(times[g], true);
        }
        columns.append(column);
    }

    const bool written = writeWholeFile(path, true, [&](QTextStream& out) {
        out << QStringLiteral("时间（us）") << ',' << QStringLiteral("感应电压（V）") << '\n';
        for (auto gate = gateTimes.constBegin(); gate != gateTimes.constEnd(); ++gate) {
            QString row = g6(gate.key()) + QLatin1Char(',');
            for (const QMap<double, double>& column : columns) {
                const auto found = column.constFind(gate.key());
                if (found != column.constEnd())
                    row += g6(found.value());
                row += QLatin1Char(',');
            }
            out << row << '\n';
        }
    });
    if (!written) {
        tellNotWritten(path);
        return;
    }
    // Written into the working folder, which the user does not see: the
    // message says where.
    UserPrompt::information(QStringLiteral("采样数据"),
                            QStringLiteral("导出采样数据成功：%1")
                                .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath())));
}
