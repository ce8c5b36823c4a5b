// The synthetic project generator's write time against the plain cost of
// writing the same sample blobs.
//
// Writes the benchmark project (by default 20 lines x 100 stations x 3
// samples of 4000 values, as bench_load uses) and, as the floor, inserts the
// same number of rows with blobs of the same sizes into a bare SQLite table
// in one transaction. Prints both and their ratio.
// Usage: bench_projectgen [lines stations samples length]

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>

#include <cstdio>

#include "store/CurveBlob.h"
#include "bench/BenchProject.h"
#include "tools/projectgen/ProjectGenerator.h"

namespace {

double writeFloor(const QString& path, const ProjectGenerator& generator, qint64 rows)
{
    QElapsedTimer timer;
    timer.start();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench_floor"));
        db.setDatabaseName(path);
        if (!db.open())
            return -1.0;
        QSqlQuery query(db);
        query.exec(QStringLiteral("CREATE TABLE Samples (ID INTEGER PRIMARY KEY AUTOINCREMENT, "
                                  "RECV BLOB, SEND BLOB, SOFF BLOB)"));
        const QByteArray recv = CurveBlob::toBlob(generator.receiveRecord(100.0));
        const QByteArray send = CurveBlob::toBlob(generator.sendRecord());
        const QByteArray off = CurveBlob::toBlob(generator.turnOffRecord());
        db.transaction();
        query.prepare(QStringLiteral("INSERT INTO Samples (RECV, SEND, SOFF) VALUES (?, ?, ?)"));
        for (qint64 i = 0; i < rows; ++i) {
            query.bindValue(0, recv);
            query.bindValue(1, send);
            query.bindValue(2, off);
            query.exec();
        }
        db.commit();
        query.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench_floor"));
    return timer.nsecsElapsed() * 1e-9;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));

    ProjectGenerator::Options o;
    if (!benchProjectOptions(app.arguments(), o))
        return 2;
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "bench_projectgen: no temporary folder\n");
        return 1;
    }

    std::printf("project: %d lines x %d stations x %d samples of %d values\n", o.lines, o.stationsPerLine,
                o.samplesPerStation, o.sampleLength);
    const QString path = dir.filePath(QStringLiteral("bench.QELVA"));
    QElapsedTimer timer;
    timer.start();
    const ProjectGenerator generator(o);
    QString error;
    if (!generator.write(path, &error)) {
        std::fprintf(stderr, "bench_projectgen: %s\n", qPrintable(error));
        return 1;
    }
    const double write = timer.nsecsElapsed() * 1e-9;
    const double floor = writeFloor(dir.filePath(QStringLiteral("floor.db")), generator,
                                    qint64(o.lines) * o.stationsPerLine * o.samplesPerStation);
    if (floor < 0.0) {
        std::fprintf(stderr, "bench_projectgen: cannot write the floor file\n");
        return 1;
    }
    std::printf("generator write:         %8.3f s   file %.1f MiB\n", write, QFileInfo(path).size() / 1048576.0);
    std::printf("plain SQLite blob write: %8.3f s\n", floor);
    std::printf("generator / floor:       %8.2f\n", floor > 0.0 ? write / floor : 0.0);
    return 0;
}
