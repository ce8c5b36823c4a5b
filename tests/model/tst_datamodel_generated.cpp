#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

#include "model/DataModel.h"
#include "model/SharedTypes.h"
#include "store/CurveBlob.h"
#include "store/LibHORM.h"
#include "tools/projectgen/ProjectGenerator.h"

// Loading projects made by the synthetic generator: the tree, the gating of
// every station exactly once, and the stored curves against the earth model.
class TestDataModelGenerated : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void loadsAndGatesOnce_data();
    void loadsAndGatesOnce();
    void storedCurveFollowsEarthModel();

private:
    struct StationRow {
        int id;
        double line;
        double name;
        int isSampled;
    };
    QList<StationRow> stations() const;
    QByteArray blob(int id, const QString& column) const;
    void load(const QString& file, const QString& suffix);

    std::unique_ptr<QTemporaryDir> m_dir;
    DataModel* m_model = nullptr;
    LibHORM* m_lib = nullptr;
    QString m_file;
    QString m_reader;
};

void TestDataModelGenerated::init()
{
    registerSharedTypes();
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
    m_model = new DataModel(nullptr);
}

void TestDataModelGenerated::cleanup()
{
    m_model->closeProject();
    delete m_lib;
    m_lib = nullptr;
    delete m_model;
    m_model = nullptr;
    if (!m_reader.isEmpty()) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_reader, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_reader);
        m_reader.clear();
    }
}

void TestDataModelGenerated::load(const QString& file, const QString& suffix)
{
    m_file = file;
    m_lib = new LibHORM;
    QVERIFY(m_lib->open(file));
    m_model->setFileSuffix(suffix);
    m_model->loadProject(m_lib);
    if (m_reader.isEmpty()) {
        m_reader = "generated-reader-" + file;
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", m_reader);
        db.setDatabaseName(file);
        QVERIFY(db.open());
    }
}

QList<TestDataModelGenerated::StationRow> TestDataModelGenerated::stations() const
{
    QList<StationRow> rows;
    QSqlQuery q(QSqlDatabase::database(m_reader));
    q.exec("SELECT Data_Point.ID, Data_Line.NAME, Data_Point.NAME, Data_Point.IsSampled "
           "FROM Data_Point JOIN Data_Line ON Data_Point.Data_LineID = Data_Line.ID "
           "ORDER BY Data_Line.NAME, Data_Point.NAME");
    while (q.next())
        rows << StationRow{q.value(0).toInt(), q.value(1).toDouble(), q.value(2).toDouble(), q.value(3).toInt()};
    return rows;
}

QByteArray TestDataModelGenerated::blob(int id, const QString& column) const
{
    QSqlQuery q(QSqlDatabase::database(m_reader));
    q.exec(QString("SELECT %1 FROM Data_Point WHERE ID = %2").arg(column).arg(id));
    return q.next() ? q.value(0).toByteArray() : QByteArray();
}

void TestDataModelGenerated::loadsAndGatesOnce_data()
{
    QTest::addColumn<QString>("family");
    QTest::newRow("QELVA") << "QELVA";
    QTest::newRow("MORSA") << "MORSA";
}

void TestDataModelGenerated::loadsAndGatesOnce()
{
    QFETCH(QString, family);
    ProjectGenerator::Options o;
    o.lines = 3;
    o.stationsPerLine = 5;
    o.samplesPerStation = 2;
    o.sampleLength = 2000;
    o.family = family;
    const ProjectGenerator generator(o);
    const QString file = m_dir->filePath("gen." + family);
    QString error;
    QVERIFY2(generator.write(file, &error), qPrintable(error));

    QSignalSpy changed(m_model, SIGNAL(modelChange()));
    load(file, family);
    QCOMPARE(changed.count(), 1);

    const QVector<double> lineNumbers = generator.lineNumbers();
    const QVector<double> stationNumbers = generator.stationNumbers();
    QCOMPARE(m_model->rowCount(), lineNumbers.size());
    for (int l = 0; l < lineNumbers.size(); ++l) {
        const QModelIndex line = m_model->index(l, 0);
        QCOMPARE(line.data().toDouble(), lineNumbers[l]);
        QCOMPARE(m_model->rowCount(line), stationNumbers.size());
        for (int s = 0; s < stationNumbers.size(); ++s)
            QCOMPARE(m_model->index(s, 0, line).data().toString(), QString::number(stationNumbers[s], 'f', 1));
    }

    const QList<StationRow> rows = stations();
    QCOMPARE(rows.size(), lineNumbers.size() * stationNumbers.size());
    const QStringList responses{"DATA_RECV_QV18", "DATA_RECV_LOG10", "DATA_RECV_LOG20"};
    const QStringList raws{"DATA_RECV_QV18RAW", "DATA_RECV_LOG10RAW", "DATA_RECV_LOG20RAW"};
    const QStringList times{"DATA_TIMERECV_QV18", "DATA_TIMERECV_LOG10", "DATA_TIMERECV_LOG20"};
    for (const StationRow& row : rows) {
        QCOMPARE(row.isSampled, 1);
        for (int k = 0; k < 3; ++k) {
            const QByteArray response = blob(row.id, responses[k]);
            QVERIFY(!response.isEmpty());
            QCOMPARE(blob(row.id, raws[k]), response);
            const QVector<double> values = CurveBlob::fromBlob(response);
            const QVector<double> gates = CurveBlob::fromBlob(blob(row.id, times[k]));
            QCOMPARE(values.size(), gates.size());
            QVERIFY(gates.first() >= 10.0);
            for (double v : values)
                QVERIFY(std::isfinite(v) && v > 0.0);
        }
    }

    // The second load has nothing left to gate and reads no sample array.
    m_model->closeProject();
    delete m_lib;
    m_lib = new LibHORM;
    QVERIFY(m_lib->open(file));
    QStringList statements;
    m_lib->setStatementTrace(&statements);
    m_model->setFileSuffix(family);
    m_model->loadProject(m_lib);
    m_lib->setStatementTrace(nullptr);
    QCOMPARE(changed.count(), 2);
    QCOMPARE(m_model->rowCount(), lineNumbers.size());
    QVERIFY(!statements.isEmpty());
    for (const QString& s : statements) {
        QVERIFY2(!s.startsWith("UPDATE Data_Point"), qPrintable(s));
        QVERIFY2(!s.startsWith("SELECT DATA_RECV"), qPrintable(s));
    }
}

void TestDataModelGenerated::storedCurveFollowsEarthModel()
{
    ProjectGenerator::Options o;
    o.lines = 1;
    o.stationsPerLine = 9;
    o.samplesPerStation = 2;
    o.sampleLength = 4000;
    const ProjectGenerator generator(o);
    const QString file = m_dir->filePath("model.QELVA");
    QString error;
    QVERIFY2(generator.write(file, &error), qPrintable(error));
    load(file, "QELVA");

    // After 1 ms the 1.6 us time grid and the smoothing are negligible; what
    // remains is the gate averaging, whose linear-midpoint boundaries are
    // lopsided where the table changes its spacing (10 ms: about 2%). So
    // every gate after 1 ms lies within 3% and their RMS within 1%.
    const double gateTolerance = 0.03;
    const double rmsTolerance = 0.01;
    double sumSquares = 0.0;
    int compared = 0;
    for (const StationRow& row : stations()) {
        const double rho = generator.resistivity(row.line, row.name);
        const QVector<double> values = CurveBlob::fromBlob(blob(row.id, "DATA_RECV_QV18"));
        const QVector<double> gates = CurveBlob::fromBlob(blob(row.id, "DATA_TIMERECV_QV18"));
        QCOMPARE(values.size(), gates.size());
        for (int i = 0; i < gates.size(); ++i) {
            // The last gate also takes every later sample.
            if (gates[i] < 1000.0 || i == gates.size() - 1)
                continue;
            const double expected = generator.modelResponse(gates[i], rho);
            const double rel = (values[i] - expected) / expected;
            QVERIFY2(std::fabs(rel) < gateTolerance,
                     qPrintable(QString("station %1 gate %2 us: %3 vs %4")
                                    .arg(row.name).arg(gates[i]).arg(values[i]).arg(expected)));
            sumSquares += rel * rel;
            ++compared;
        }
    }
    QVERIFY(compared > 9 * 5);
    QVERIFY(std::sqrt(sumSquares / compared) < rmsTolerance);
}

QTEST_MAIN(TestDataModelGenerated)
#include "tst_datamodel_generated.moc"
