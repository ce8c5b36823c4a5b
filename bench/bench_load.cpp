// Project loading against the plain cost of reading its sample blobs.
//
// Generates a large synthetic project in a temporary folder (by default 20
// lines x 100 stations x 3 samples of 4000 values) and prints:
//   - the generator's write time;
//   - the first load (every station stacked, gated and stored);
//   - a second load of the same file (nothing left to gate);
//   - the floor: reading every sample blob of the file with a plain
//     QSqlQuery, as the first load has to;
//   - first and second load / floor, and the peak resident memory (VmHWM)
//     of each phase.
// Each phase runs several times (the first load on fresh copies of the
// generated file) and the median is printed: the machine may be shared.
// Usage: bench_load [lines stations samples length]

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThreadPool>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "model/DataModel.h"
#include "store/LibHORM.h"
#include "bench/BenchProject.h"
#include "tools/projectgen/ProjectGenerator.h"

namespace {

// Peak resident set size in MiB, or -1.
double peakMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1.0;
    const QList<QByteArray> lines = status.readAll().split('\n');
    for (const QByteArray& line : lines) {
        if (line.startsWith("VmHWM:")) {
            const QList<QByteArray> parts = line.simplified().split(' ');
            if (parts.size() >= 2)
                return parts.at(1).toDouble() / 1024.0;
        }
    }
    return -1.0;
}

// Starts a new peak measurement; false where the kernel does not allow it
// (the peak then counts from the program's start).
bool resetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (!refs.open(QIODevice::WriteOnly))
        return false;
    return refs.write("5") == 1;
}

double loadOnce(const QString& path, double* peak, bool* peakReset)
{
    *peakReset = resetPeak();
    QElapsedTimer timer;
    LibHORM* lib = new LibHORM;
    if (!lib->open(path)) {
        delete lib;
        return -1.0;
    }
    DataModel model;
    model.setFileSuffix(QFileInfo(path).suffix());
    timer.start();
    model.loadProject(lib);
    const double seconds = timer.nsecsElapsed() * 1e-9;
    *peak = peakMiB();
    model.closeProject();
    delete lib;
    return seconds;
}

// Reads every sample's blobs as the first load does, and nothing else.
double readFloor(const QString& path, qint64* bytes, double* peak, bool* peakReset)
{
    *peakReset = resetPeak();
    *bytes = 0;
    QElapsedTimer timer;
    timer.start();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench_floor"));
        db.setDatabaseName(path);
        if (!db.open())
            return -1.0;
        QSqlQuery query(db);
        query.setForwardOnly(true);
        if (!query.exec(QStringLiteral("SELECT DATA_RECV, DATA_RECV_POS, DATA_RECV_LEN, DATA_SEND, DATA_SOFF "
                                       "FROM Data_Sample ORDER BY Data_PointID")))
            return -1.0;
        while (query.next()) {
            for (int c = 0; c < 5; ++c)
                *bytes += query.value(c).toByteArray().size();
        }
        query.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench_floor"));
    const double seconds = timer.nsecsElapsed() * 1e-9;
    *peak = peakMiB();
    return seconds;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The store's and controller's developer trace would drown the figures.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));

    ProjectGenerator::Options o;
    if (!benchProjectOptions(app.arguments(), o))
        return 2;

    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "bench_load: no temporary folder\n");
        return 1;
    }
    const QString path = dir.filePath(QStringLiteral("bench.QELVA"));
    const ProjectGenerator generator(o);

    std::printf("project: %d lines x %d stations x %d samples of %d values\n", o.lines, o.stationsPerLine,
                o.samplesPerStation, o.sampleLength);
    QElapsedTimer timer;
    timer.start();
    QString error;
    if (!generator.write(path, &error)) {
        std::fprintf(stderr, "bench_load: %s\n", qPrintable(error));
        return 1;
    }
    const double writeSeconds = timer.nsecsElapsed() * 1e-9;
    const double writePeak = peakMiB();
    std::printf("generator write:           %8.3f s   file %.1f MiB   peak %.1f MiB (since start)\n",
                writeSeconds, QFileInfo(path).size() / 1048576.0, writePeak);

    const int runs = 3;
    std::vector<double> firsts, seconds, floors;
    double firstPeak = 0.0, secondPeak = 0.0, floorPeak = 0.0;
    bool firstReset = true, secondReset = true, floorReset = true;
    qint64 bytes = 0;
    for (int run = 0; run < runs; ++run) {
        const QString copy = dir.filePath(QStringLiteral("copy.QELVA"));
        QFile::remove(copy);
        if (!QFile::copy(path, copy)) {
            std::fprintf(stderr, "bench_load: cannot copy the project\n");
            return 1;
        }
        double peak = 0.0;
        bool reset = false;
        const double first = loadOnce(copy, &peak, &reset);
        firstPeak = std::max(firstPeak, peak);
        firstReset = firstReset && reset;
        const double second = loadOnce(copy, &peak, &reset);
        secondPeak = std::max(secondPeak, peak);
        secondReset = secondReset && reset;
        const double floor = readFloor(copy, &bytes, &peak, &reset);
        floorPeak = std::max(floorPeak, peak);
        floorReset = floorReset && reset;
        QFile::remove(copy);
        if (first < 0.0 || second < 0.0 || floor < 0.0) {
            std::fprintf(stderr, "bench_load: the project could not be opened\n");
            return 1;
        }
        firsts.push_back(first);
        seconds.push_back(second);
        floors.push_back(floor);
    }
    const double first = median(firsts);
    const double second = median(seconds);
    const double floor = median(floors);

    const char* since = firstReset && secondReset && floorReset ? "" : " (since start)";
    std::printf("median of %d runs each, on %d threads\n", runs, QThreadPool::globalInstance()->maxThreadCount());
    std::printf("first load (all gated):    %8.3f s   peak %.1f MiB%s\n", first, firstPeak, since);
    std::printf("second load (none gated):  %8.3f s   peak %.1f MiB%s\n", second, secondPeak, since);
    std::printf("plain SQLite blob read:    %8.3f s   %.1f MiB of sample blobs   peak %.1f MiB%s\n", floor,
                bytes / 1048576.0, floorPeak, since);
    std::printf("first load / floor:        %8.2f\n", floor > 0.0 ? first / floor : 0.0);
    std::printf("second load / floor:       %8.2f\n", floor > 0.0 ? second / floor : 0.0);
    const double whole = std::max(std::max(writePeak, firstPeak), std::max(secondPeak, floorPeak));
    std::printf("peak memory (VmHWM) of the whole run: %.1f MiB\n", whole);
    return 0;
}
