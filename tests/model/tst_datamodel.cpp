#include <QComboBox>
#include <QDateTime>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QThread>
#include <QThreadPool>
#include <QtTest>

#include <cmath>
#include <functional>
#include <limits>
#include <new>

#include "common/TestHelpers.h"
#include "iolib/Drumvelt.h"
#include "model/DataModel.h"
#include "model/Data_Calc.h"
#include "model/Data_Mathematical_Calc.h"
#include "model/UserPrompt.h"
#include "model/DataModelFixture.h"
#include "store/StoreFixture.h"

using namespace dmtest;
using storetest::fileBytes;
using storetest::registerAll;
using storetest::scribbleOverPage;
using storetest::shortenPageCount;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// Reads back what the controller stored, on a connection of its own.
class Reader
{
public:
    explicit Reader(const QString& path)
        : m_name(QString("reader-%1").arg(++s_count))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", m_name);
        db.setDatabaseName(path);
        db.open();
    }
    ~Reader()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    QVariantList column(const QString& sql) const
    {
        QVariantList out;
        QSqlQuery q(QSqlDatabase::database(m_name));
        if (q.exec(sql)) {
            while (q.next())
                out << q.value(0);
        }
        return out;
    }
    QVariant scalar(const QString& sql) const
    {
        const QVariantList v = column(sql);
        return v.isEmpty() ? QVariant() : v.first();
    }
    QList<QVariantList> rows(const QString& sql) const
    {
        QList<QVariantList> out;
        QSqlQuery q(QSqlDatabase::database(m_name));
        if (q.exec(sql)) {
            while (q.next()) {
                QVariantList row;
                for (int c = 0; c < q.record().count(); ++c)
                    row << q.value(c);
                out << row;
            }
        }
        return out;
    }
    bool exec(const QString& sql) const { return QSqlQuery(QSqlDatabase::database(m_name)).exec(sql); }
    QByteArray blob(int stationId, const QString& col) const
    {
        return scalar(QString("SELECT %1 FROM Data_Point WHERE ID = %2").arg(col).arg(stationId)).toByteArray();
    }
    QVector<double> curve(int stationId, const QString& col) const { return CurveBlob::fromBlob(blob(stationId, col)); }
    int stationId(double name) const
    {
        return scalar(QString("SELECT ID FROM Data_Point WHERE NAME = %1").arg(name, 0, 'g', 17)).toInt();
    }
    QVector<double> names(const QString& table, const QString& where = QString()) const
    {
        QVector<double> out;
        const QString sql = QString("SELECT NAME FROM %1 %2 ORDER BY ID").arg(table, where);
        for (const QVariant& v : column(sql))
            out << v.toDouble();
        return out;
    }

private:
    QString m_name;
    static inline int s_count = 0;
};

// The curves loading must store for a station, computed here from the
// same building blocks.
struct Gated {
    QVector<double> t18, v18, t10, v10, t20, v20;
};

Gated expectedCurves(const QList<QVector<double> >& recvs, double off, bool morsa)
{
    Data_Calc calc(nullptr);
    Drumvelt io;
    QList<SampleCurve> records;
    for (const QVector<double>& r : recvs) {
        SampleCurve c;
        c.values = r;
        c.times.resize(r.size());
        for (int i = 0; i < r.size(); ++i)
            c.times[i] = 10.0 * (i + 1);
        records << c;
    }
    QVector<double> values, times;
    calc.stackCurves(records, &values, &times);
    calc.regroupRecords(&values, &times, off);
    if (morsa) {
        for (double& t : times)
            t -= 220.0;
    }
    Gated g;
    g.t18 = times; g.v18 = values;
    io.QELVA18TimeWindow(&g.t18, &g.v18);
    g.t10 = times; g.v10 = values;
    io.QVLOG10TimeWindow(&g.t10, &g.v10);
    g.t20 = times; g.v20 = values;
    io.QVLOG20TimeWindow(&g.t20, &g.v20);
    return g;
}

bool allFinite(const QVector<double>& v)
{
    for (double d : v) {
        if (!std::isfinite(d))
            return false;
    }
    return true;
}

// A sound project of raw samples (blobs over several pages each) that the
// first load would gate and write, then damaged as field files were (page
// damage 0 or 1, none for -1), after the statements were run on it.
bool writeDamagedProject(const QString& path, int damage, const QStringList& statements = {})
{
    QList<StationDef> stations;
    for (int s = 0; s < 4; ++s) {
        QList<SampleDef> samples;
        for (int k = 0; k < 4; ++k)
            samples << sample(decay(1200, 1.0e5 * (k + 1)), quietRecord());
        stations << rawStation(100 + 10 * s, samples);
    }
    const QVector<double> times{100, 200};
    if (!writeProject(path, {line(1, stations), line(2, {gatedStation(5, times, {2, 1}, {2, 1})})}))
        return false;
    {
        Reader w(path);
        for (const QString& sql : statements) {
            if (!w.exec(sql))
                return false;
        }
    }
    // The header's page count two pages short, or a page in the middle
    // scribbled over.
    if (damage < 0)
        return true;
    if (damage == 0)
        return shortenPageCount(path, 2);
    const int pages = Reader(path).scalar("PRAGMA page_count").toInt();
    return scribbleOverPage(path, pages / 2 + 1);
}

const QStringList kResponseColumns = {"DATA_RECV_QV18", "DATA_RECV_LOG10", "DATA_RECV_LOG20"};
const QStringList kRawColumns = {"DATA_RECV_QV18RAW", "DATA_RECV_LOG10RAW", "DATA_RECV_LOG20RAW"};
const QStringList kTimeColumns = {"DATA_TIMERECV_QV18", "DATA_TIMERECV_LOG10", "DATA_TIMERECV_LOG20"};

const QStringList kStoredColumns = {"DATA_RECV_QV18", "DATA_RECV_QV18RAW", "DATA_TIMERECV_QV18",
                                    "DATA_RECV_LOG10", "DATA_RECV_LOG10RAW", "DATA_TIMERECV_LOG10",
                                    "DATA_RECV_LOG20", "DATA_RECV_LOG20RAW", "DATA_TIMERECV_LOG20"};

// Stations of every kind a first load meets, on three lines written in
// falling order, their stations too: two to four samples of ragged lengths
// whose turn-off records settle at different times or never, an unused
// sample, a receiver with its own gate positions, NaN samples, a station
// without samples, one whose samples are all unused, a TYPE 1 station and
// one gated already.
bool writeVariedProject(const QString& path)
{
    QList<LineDef> lines;
    for (int l = 0; l < 3; ++l) {
        QList<StationDef> stations;
        for (int s = 9; s >= 0; --s) {
            const double name = 100 + 10 * s;
            const double scale = 1.0e5 * (1.0 + 0.3 * l + 0.07 * s);
            if (s == 0) {
                stations << rawStation(name, {});
            } else if (s == 1) {
                stations << rawStation(name, {sample(decay(900, scale), quietRecord(), 1e6, 0)});
            } else if (s == 2) {
                stations << rawStation(name, {sample(decay(900, scale), quietRecord())}, 1, 1);
            } else if (s == 3) {
                stations << gatedStation(name, {100, 200}, {2, 1}, {2, 1});
            } else if (s == 4) {
                QVector<double> withNaN = decay(1500, scale);
                for (int i = 700; i < 760; ++i)
                    withNaN[i] = kNaN;
                stations << rawStation(name, {sample(withNaN, quietRecord()), sample(decay(1500, 2 * scale), quietRecord())});
            } else {
                QList<SampleDef> samples;
                for (int k = 0; k <= s % 3 + 1; ++k) {
                    const QVector<double> rec = decay(1200 + 97 * k, scale * (k + 1), 1.5 + 0.05 * k);
                    // Quiet records settle 2e6 / rate us in.
                    samples << (k == 1 ? sample(rec, busyRecord()) : sample(rec, quietRecord(), 2e6 / (40.0 + 15 * k + 3 * s)));
                }
                if (s == 6)
                    samples[0].use = 0;
                stations << rawStation(name, samples);
            }
        }
        lines << line(30 - 10 * l, stations);
    }
    if (!writeProject(path, lines))
        return false;
    QVector<double> positions(1200);
    for (int i = 0; i < positions.size(); ++i)
        positions[i] = 12.0 * (i + 1);
    Reader r(path);
    return r.exec(QString("UPDATE Data_Sample SET DeviceType = 1, DATA_RECV_POS = x'%1' WHERE ID IN "
                          "(SELECT MIN(s.ID) FROM Data_Sample s JOIN Data_Point p ON s.Data_PointID = p.ID "
                          "WHERE p.NAME = 170 GROUP BY p.ID)")
                      .arg(QString::fromLatin1(CurveBlob::toBlob(positions).toHex())));
}

QVector<double> keepFinite(const QVector<double>& times, QVector<double>& values)
{
    QVector<double> t, v;
    for (int i = 0; i < std::min(times.size(), values.size()); ++i) {
        if (std::isfinite(times[i]) && std::isfinite(values[i])) {
            t << times[i];
            v << values[i];
        }
    }
    values = v;
    return t;
}

// What loading stored when it took one station at a time, reading the
// turn-off mean and the sample curves through the sample entities: the
// nine blobs of each station it gates, by line and station number.
// morsaCorrection is the controller's, for a MORSA file.
QMap<QPair<double, double>, QList<QByteArray> > serialReference(
    const QString& path, const std::function<void(const QVector<double>&, QVector<double>&)>& morsaCorrection,
    bool normalise)
{
    QMap<QPair<double, double>, QList<QByteArray> > out;
    LibHORM lib;
    if (!lib.open(path))
        return out;
    registerAll(lib);
    Data_Calc calc(nullptr);
    Drumvelt io;
    HORM_Collection<Data_Line> lines(&lib);
    for (int l = 0; l < lines.size(); ++l) {
        Data_Line* line = lines.at(l).value();
        HORM_Collection<Data_Point>* stations = line->REF_Data_Point();
        for (int s = 0; s < stations->size(); ++s) {
            Data_Point* station = stations->at(s).value();
            if (station->IsSampled() == 1 || station->TYPE() == 1)
                continue;
            double off = station->meanOffTime();
            if (off > 1.1 && off < 30.0)
                off = 64.5;
            const QList<SampleCurve> records = station->collectSampleCurves(normalise);
            if (records.isEmpty())
                continue;
            QVector<double> values, times;
            calc.stackCurves(records, &values, &times);
            const int n = std::min(values.size(), times.size());
            values.resize(n);
            times.resize(n);
            if (n == 0)
                continue;
            calc.regroupRecords(&values, &times, off);
            if (morsaCorrection) {
                for (double& t : times)
                    t -= 220.0;
            }
            QVector<double> t18 = times, v18 = values, t10 = times, v10 = values, t20 = times, v20 = values;
            io.QELVA18TimeWindow(&t18, &v18);
            io.QVLOG10TimeWindow(&t10, &v10);
            io.QVLOG20TimeWindow(&t20, &v20);
            t18 = keepFinite(t18, v18);
            t10 = keepFinite(t10, v10);
            t20 = keepFinite(t20, v20);
            if (morsaCorrection)
                morsaCorrection(t18, v18);
            const QByteArray r18 = CurveBlob::toBlob(v18), r10 = CurveBlob::toBlob(v10), r20 = CurveBlob::toBlob(v20);
            out.insert({line->NAME(), station->NAME()}, {r18, r18, CurveBlob::toBlob(t18), r10, r10, CurveBlob::toBlob(t10),
                                                         r20, r20, CurveBlob::toBlob(t20)});
        }
    }
    return out;
}

// Every row of every table, blobs in hexadecimal, in key order.
QStringList tableDump(const QString& path)
{
    QStringList out;
    Reader r(path);
    for (const char* table : {"Data_Project", "Data_Line", "Data_Point", "Data_Sample", "Data_WorkSet"}) {
        for (const QVariantList& row : r.rows(QString("SELECT * FROM %1 ORDER BY ID").arg(table))) {
            QStringList fields;
            for (const QVariant& v : row)
                fields << (v.userType() == QMetaType::QByteArray ? QString::fromLatin1(v.toByteArray().toHex()) : v.toString());
            out << QString(table) + ": " + fields.join('|');
        }
    }
    return out;
}

// Sets the global thread pool's size while alive (0 keeps it).
class PoolSize
{
public:
    explicit PoolSize(int threads)
        : m_before(QThreadPool::globalInstance()->maxThreadCount())
    {
        if (threads > 0)
            QThreadPool::globalInstance()->setMaxThreadCount(threads);
    }
    ~PoolSize() { QThreadPool::globalInstance()->setMaxThreadCount(m_before); }

private:
    int m_before;
};

} // namespace

class TestDataModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // State, construction and settings slots.
    void defaults();
    void settingSlotsStoreWithoutProject();
    void gridSettingsEmitOnce();
    void showLineChanged_data();
    void showLineChanged();

    // Loading.
    void loadBuildsOrderedTree();
    void loadGatesEveryStationOnce();
    void loadRunsTreeAndGatingInOneTransactionEach();
    void loadedCurvesFollowTurnOff_data();
    void loadedCurvesFollowTurnOff();
    void morsaCorrectionOnlyOnEighteenWindows();
    void morsaFallsBackToPlainCurve_data();
    void morsaFallsBackToPlainCurve();
    void morsaBlendsEveryCurve_data();
    void morsaBlendsEveryCurve();
    void projectWithoutProjectRowLoads();
    void projectWithoutWorkSetTableLoads();
    void nullDatabaseChangesNothing();
    void loadReleasesSampleBlobs();
    void loadOverOpenProjectReplacesIt();
    void damagedProjectIsNeverWritten_data();
    void damagedProjectIsNeverWritten();
    void damagedOlderProjectShowsItsStations();
    void loadWithLockedFileKeepsCurvesPending_data();
    void loadWithLockedFileKeepsCurvesPending();
    void loadOfFileInUseKeepsNothing_data();
    void loadOfFileInUseKeepsNothing();
    void exceptionWhileGatingRollsBack_data();
    void exceptionWhileGatingRollsBack();
    void gatingMatchesSerialReference_data();
    void gatingMatchesSerialReference();
    void writeOrderLeavesTheSameProject();
    void loadReadsEachSampleOnceInBoundedBatches_data();
    void loadReadsEachSampleOnceInBoundedBatches();

    // Closing and the tree hooks.
    void closeProjectEmptiesTreeAndStopsOperations();
    void renameRow_data();
    void renameRow();
    void renameToStoredNumberWritesNothing();
    void refusedRenameShowsStoredName_data();
    void refusedRenameShowsStoredName();
    void checkingLineWritesEveryStation();
    void useCheckBoxWritesCurrentStation();

    // Saving an edited curve.
    void saveEditedCurve_data();
    void saveEditedCurve();
    void saveGoesToShownSchemeAndStation();
    void saveNeedsAShownStation();
    void saveThatFailsSaysSo_data();
    void saveThatFailsSaysSo();
    void saveOnShortResponseWritesWholeColumn();
    void saveLandsOnTheEditedGate_data();
    void saveLandsOnTheEditedGate();
    void saveTellsWhenTheFileIsLocked();
    void editsTellWhenTheFileIsLocked_data();
    void editsTellWhenTheFileIsLocked();
    void saveUnderWideKeys();
    void shortResponseKeepsEdits_data();
    void shortResponseKeepsEdits();
    void stationViewAlignsShortResponse_data();
    void stationViewAlignsShortResponse();

    // Editing operations.
    void renumber_data();
    void renumber();
    void renumberNeedsATarget();
    void renumberLeavesTimeLinesAlone();
    void restoreStation_data();
    void restoreStation();
    void resetLineSkipsUnusedStations();
    void fitLine_data();
    void fitLine();
    void fitNeverStoresNonFinite();
    void editsLeaveUnplaceableCurvesAlone_data();
    void editsLeaveUnplaceableCurvesAlone();

private:
    QString path(const QString& name = "p.QELVA") const { return m_dir->filePath(name); }
    // Opens path in a fresh controller; the project stays open until cleanup.
    void open(const QString& file, const QString& suffix = "QELVA");
    void reopen(const QString& suffix = "QELVA");
    // Closes the open project and opens file in the same controller.
    void reopenAs(const QString& file, const QString& suffix = "QELVA");
    // One line of gated stations with gates at 100, 200, 300, 4e6 and 5e6.
    void openGatedLine(int use2 = 1, int use3 = 1);

    std::unique_ptr<QTemporaryDir> m_dir;
    DataModel* m_model = nullptr;
    LibHORM* m_lib = nullptr;
    QString m_file;
    QStringList m_messages;
};

void TestDataModel::initTestCase()
{
    registerSharedTypes();
    UserPrompt::setMessageAnswerer([this](const QString& text) { m_messages << text; });
    UserPrompt::setDialogAnswerer([](QDialog*) { return 0; });
}

void TestDataModel::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
    m_messages.clear();
    m_model = new DataModel(nullptr);
}

void TestDataModel::cleanup()
{
    m_model->closeProject();
    delete m_lib;
    m_lib = nullptr;
    delete m_model;
    m_model = nullptr;
    UserPrompt::setDialogAnswerer([](QDialog*) { return 0; });
}

void TestDataModel::open(const QString& file, const QString& suffix)
{
    m_file = file;
    m_lib = new LibHORM;
    QVERIFY(m_lib->open(file));
    m_model->setFileSuffix(suffix);
    m_model->loadProject(m_lib);
    QVERIFY(m_model->isProjectOpen());
}

void TestDataModel::reopen(const QString& suffix)
{
    m_model->closeProject();
    delete m_lib;
    m_lib = nullptr;
    open(m_file, suffix);
}

void TestDataModel::reopenAs(const QString& file, const QString& suffix)
{
    m_model->closeProject();
    delete m_lib;
    m_lib = nullptr;
    open(file, suffix);
}

void TestDataModel::openGatedLine(int use2, int use3)
{
    const QVector<double> times{100, 200, 300, 4000000, 5000000};
    QVERIFY(writeProject(path(), {line(1, {gatedStation(1, times, {1, 2, 3, 4, 5}, {11, 12, 13, 14, 15}),
                                         gatedStation(2, times, {1, 2, 3, 4, 5}, {21, 22, 23, 24, 25}, use2),
                                         gatedStation(3, times, {1, 2, 3, 4, 5}, {31, 32, 33, 34, 35}, use3)})}));
    open(path());
}

// --- State, construction and settings slots ---

void TestDataModel::defaults()
{
    const DataModel& m = *m_model;
    QCOMPARE(m.invParam.constraintCoefficient, 1.0);
    QCOMPARE(m.invParam.inversionCoefficient, 0.3);
    QCOMPARE(m.invParam.inversionDepth, 100.0);
    QCOMPARE(int(m.invParam.flag), 0);
    QVERIFY(m.invParam.topography.isEmpty());
    QCOMPARE(m.invParam.intField, 1);
    QCOMPARE(m.invParam.referenceResistivity, 100.0);
    QCOMPARE(m.invParam.timeWindowStart, 150.0);
    QCOMPARE(m.invParam.timeWindowEnd, 4000000.0);
    QCOMPARE(m.invParam.startStation, -1.0);
    QCOMPARE(m.invParam.endStation, -1.0);
    QCOMPARE(m.invParam.instrumentKind, 3);
    QCOMPARE(int(m.scheme), 0);
    QCOMPARE(int(m.gridPattern), 0);
    QCOMPARE(m.gridValue, 5.0);
    QCOMPARE(int(m.showLine), 0);
    QCOMPARE(m.transRelaxMethod, 1);
    QCOMPARE(m.currentLineRow, -1);
    QCOMPARE(m.currentStationRow, -1);
    QCOMPARE(m.currentSampleRow, -1);
    QCOMPARE(m.renameLineRow, -1);
    QVERIFY(m.renameMultiply);
    QCOMPARE(m.renameValue, 10.0);
    QVERIFY(m.sortStationsByName);
    QVERIFY(!m.normaliseByCurrent);
    QVERIFY(m.renameDialog);
    QVERIFY(!m.isProjectOpen());
    QCOMPARE(m.rowCount(), 0);
    QCOMPARE(m.columnCount(), 1);
    QCOMPARE(m.headerData(0, Qt::Horizontal).toString(), QString("工程"));
}

void TestDataModel::settingSlotsStoreWithoutProject()
{
    InvParam p;
    p.timeWindowStart = 33.0;
    p.timeWindowEnd = 44.0;
    p.topography = {TopoData{1.0, 2.0}};
    p.instrumentKind = 1;
    m_model->on_signal_curInvsionParamChanged(p);
    QCOMPARE(m_model->invParam.timeWindowStart, 33.0);
    QCOMPARE(m_model->invParam.timeWindowEnd, 44.0);
    QCOMPARE(m_model->invParam.topography.size(), 1);
    QCOMPARE(m_model->invParam.instrumentKind, 1);

    m_model->on_signal_SampleModeChanged(SAMPLE_LOG20);
    QCOMPARE(int(m_model->scheme), 2);
    m_model->on_signal_TransRelaxInversionMethodChanged(2);
    QCOMPARE(m_model->transRelaxMethod, 2);

    QSignalSpy edit(m_model, SIGNAL(signal_EditStateChanged(bool,bool)));
    m_model->on_signalEditCheckBoxStateChanged(true, false);
    QCOMPARE(edit.count(), 1);
    QCOMPARE(edit.at(0).at(0).toBool(), true);
    QCOMPARE(edit.at(0).at(1).toBool(), false);
    QVERIFY(m_model->pointMove);
    QVERIFY(!m_model->lineMove);
}

void TestDataModel::gridSettingsEmitOnce()
{
    QSignalSpy spy(m_model, SIGNAL(signal_GridSettingsChanged(GridPattern,double)));
    m_model->on_signal_currentGridSettingsChanged(GRID_PROGRESSIVE, 1.2);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<GridPattern>(), GRID_PROGRESSIVE);
    QCOMPARE(spy.at(0).at(1).toDouble(), 1.2);
    QCOMPARE(int(m_model->gridPattern), 1);
    QCOMPARE(m_model->gridValue, 1.2);
}

void TestDataModel::showLineChanged_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QVector<double> >("expected");
    QTest::addColumn<bool>("projectOpen");
    QTest::newRow("raw") << 0 << QVector<double>{1, 1} << true;
    QTest::newRow("previous") << 1 << QVector<double>{2, 2} << true;
    QTest::newRow("next") << 2 << QVector<double>{3, 3} << true;
    QTest::newRow("other value") << 3 << QVector<double>() << true;
    QTest::newRow("no project") << 0 << QVector<double>() << false;
}

void TestDataModel::showLineChanged()
{
    QFETCH(int, mode);
    QFETCH(QVector<double>, expected);
    QFETCH(bool, projectOpen);
    if (projectOpen) {
        QVERIFY(writeProject(path(), {}));
        open(path());
    }
    m_model->stationRaw = {1, 1};
    m_model->previousResponse = {2, 2};
    m_model->nextResponse = {3, 3};
    m_model->stationTimes = {10, 20};
    QSignalSpy spy(m_model, SIGNAL(signal_DataModelShowLineChanged(QVector<double>,QVector<double>)));
    m_model->on_signalShowLineChanged(static_cast<QSHOWLINE>(mode));
    QCOMPARE(int(m_model->showLine), mode);
    if (expected.isEmpty()) {
        QCOMPARE(spy.count(), 0);
        return;
    }
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<QVector<double> >(), expected);
    QCOMPARE(spy.at(0).at(1).value<QVector<double> >(), (QVector<double>{10, 20}));
}

// --- Loading ---

void TestDataModel::loadBuildsOrderedTree()
{
    const QVector<double> rec = decay(400);
    const SampleDef s = sample(rec, quietRecord());
    const double instant = 1.6e12;
    QVERIFY(writeProject(path(), {line(3, {rawStation(30, {s}), rawStation(10, {s}, 0), rawStation(20, {s})}),
                                  line(1, {rawStation(105, {s})}, 0, 0),
                                  line(2, {rawStation(instant, {s})}, 1)}));
    QSignalSpy changed(m_model, SIGNAL(modelChange()));
    open(path());
    QCOMPARE(changed.count(), 1);

    QCOMPARE(m_model->rowCount(), 3);
    QCOMPARE(m_model->index(0, 0).data().toDouble(), 1.0);
    QCOMPARE(m_model->index(1, 0).data().toDouble(), 2.0);
    QCOMPARE(m_model->index(2, 0).data().toDouble(), 3.0);
    QCOMPARE(m_model->index(0, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QCOMPARE(m_model->index(2, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));

    const QModelIndex line1 = m_model->index(0, 0);
    QCOMPARE(m_model->index(0, 0, line1).data().toString(), QString("105.0"));

    const QModelIndex line3 = m_model->index(2, 0);
    QCOMPARE(m_model->rowCount(line3), 3);
    QCOMPARE(m_model->index(0, 0, line3).data().toString(), QString("10.0"));
    QCOMPARE(m_model->index(1, 0, line3).data().toString(), QString("20.0"));
    QCOMPARE(m_model->index(2, 0, line3).data().toString(), QString("30.0"));
    QCOMPARE(m_model->index(0, 0, line3).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QCOMPARE(m_model->index(1, 0, line3).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));

    // A time line labels its stations with the local instant.
    const QString label = m_model->index(0, 0, m_model->index(1, 0)).data().toString();
    const QDateTime parsed = QDateTime::fromString(label, "yyyy.MM.dd hh:mm:ss.zzz");
    QVERIFY2(parsed.isValid(), qPrintable(label));
    QCOMPARE(parsed.toUTC().toString("yyyy.MM.dd hh:mm:ss.zzz"), QString("2020.09.13 12:26:40.000"));
}

void TestDataModel::loadGatesEveryStationOnce()
{
    const QVector<double> rec = decay(2000);
    QVERIFY(writeProject(path(), {line(1, {rawStation(1, {sample(rec, quietRecord()), sample(decay(2000, 2e5), quietRecord())}),
                                         rawStation(2, {sample(rec, quietRecord())}),
                                         rawStation(3, {sample(rec, quietRecord(), 1e6, 0)}),
                                         rawStation(4, {sample(rec, quietRecord())}, 1, 1),
                                         rawStation(5, {})})}));
    open(path());

    Reader r(path());
    for (double name : {1.0, 2.0}) {
        const int id = r.stationId(name);
        QCOMPARE(r.scalar(QString("SELECT IsSampled FROM Data_Point WHERE ID = %1").arg(id)).toInt(), 1);
        for (int k = 0; k < 3; ++k) {
            const QByteArray response = r.blob(id, kResponseColumns[k]);
            QVERIFY(!response.isEmpty());
            QCOMPARE(r.blob(id, kRawColumns[k]), response);
            const QVector<double> values = CurveBlob::fromBlob(response);
            QCOMPARE(values.size(), r.curve(id, kTimeColumns[k]).size());
            QVERIFY(allFinite(values));
        }
    }
    // Samples all unused, a TYPE 1 station, a station without samples.
    for (double name : {3.0, 4.0, 5.0}) {
        const int id = r.stationId(name);
        QCOMPARE(r.scalar(QString("SELECT IsSampled FROM Data_Point WHERE ID = %1").arg(id)).toInt(), -1);
        for (const QStringList& cols : {kResponseColumns, kRawColumns, kTimeColumns}) {
            for (const QString& c : cols)
                QVERIFY(r.blob(id, c).isEmpty());
        }
    }

    // A second load finds nothing to gate and reads no sample array.
    m_model->closeProject();
    delete m_lib;
    m_lib = new LibHORM;
    QVERIFY(m_lib->open(path()));
    QStringList statements;
    m_lib->setStatementTrace(&statements);
    QSignalSpy changed(m_model, SIGNAL(modelChange()));
    m_model->loadProject(m_lib);
    m_lib->setStatementTrace(nullptr);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(m_model->rowCount(m_model->index(0, 0)), 5);
    QVERIFY(!statements.isEmpty());
    for (const QString& s : statements) {
        QVERIFY2(!s.startsWith("UPDATE Data_Point"), qPrintable(s));
        QVERIFY2(!s.startsWith("SELECT DATA_RECV"), qPrintable(s));
    }
}

void TestDataModel::loadRunsTreeAndGatingInOneTransactionEach()
{
    const QVector<double> rec = decay(1000);
    QVERIFY(writeProject(path(), {line(2, {rawStation(1, {sample(rec, quietRecord())}), rawStation(2, {sample(rec, quietRecord())})}),
                                  line(1, {rawStation(1, {sample(rec, quietRecord())})})}));
    m_file = path();
    m_lib = new LibHORM;
    QVERIFY(m_lib->open(path()));
    QStringList trace;
    m_lib->setStatementTrace(&trace);
    m_model->setFileSuffix("QELVA");
    m_model->loadProject(m_lib);
    m_lib->setStatementTrace(nullptr);

    QCOMPARE(trace.count("BEGIN"), 2);
    QCOMPARE(trace.count("COMMIT"), 2);
    QVERIFY(!trace.contains("ROLLBACK"));
    const int begin1 = trace.indexOf("BEGIN");
    const int commit1 = trace.indexOf("COMMIT");
    const int begin2 = trace.indexOf("BEGIN", commit1);
    const int commit2 = trace.indexOf("COMMIT", begin2);
    QVERIFY(begin1 < commit1 && commit1 < begin2 && begin2 < commit2);
    // The tree pass reads the stations inside the first transaction (their
    // keys are checked before, as the tables are registered).
    for (int i = 0; i < trace.size(); ++i) {
        const QString& s = trace.at(i);
        if (s.contains("FROM Data_Point") && !s.contains("typeof(ID)"))
            QVERIFY2(i > begin1 && i < commit1, qPrintable(s));
    }
    // Every gated curve is written inside the second one, nothing after it.
    int updates = 0;
    for (int i = 0; i < trace.size(); ++i) {
        const QString& s = trace.at(i);
        if (s.startsWith("UPDATE Data_Point")) {
            QVERIFY2(i > begin2 && i < commit2, qPrintable(s));
            QVERIFY(s.contains("IsSampled = 1"));
            ++updates;
        }
        if (s.startsWith("SELECT DATA_RECV"))
            QVERIFY2(i > begin2 && i < commit2, qPrintable(s));
    }
    QCOMPARE(updates, 3);
    QCOMPARE(commit2, trace.size() - 1);
}

void TestDataModel::loadedCurvesFollowTurnOff_data()
{
    QTest::addColumn<QList<double> >("rates");   // 0 marks a turn-off record that never settles
    QTest::addColumn<double>("expectedOff");
    // Zeros settle two samples in: 2e6 / rate microseconds.
    QTest::newRow("settled within (1.1, 30) -> 64.5") << QList<double>{1e6} << 64.5;
    QTest::newRow("mean 20 -> 64.5") << QList<double>{0, 50000} << 64.5;
    QTest::newRow("mean 30 stays") << QList<double>{0, 50000, 40000} << 30.0;
    QTest::newRow("mean 0 unshifted") << QList<double>{0} << 0.0;
    QTest::newRow("mean 100") << QList<double>{20000} << 100.0;
}

void TestDataModel::loadedCurvesFollowTurnOff()
{
    QFETCH(QList<double>, rates);
    QFETCH(double, expectedOff);
    QList<SampleDef> samples;
    QList<QVector<double> > recvs;
    for (int i = 0; i < rates.size(); ++i) {
        const QVector<double> rec = decay(3000, 1e5 * (i + 1));
        recvs << rec;
        samples << (rates[i] == 0 ? sample(rec, busyRecord()) : sample(rec, quietRecord(), rates[i]));
    }
    QVERIFY(writeProject(path(), {line(1, {rawStation(1, samples)})}));
    open(path());

    const Gated g = expectedCurves(recvs, expectedOff, false);
    Reader r(path());
    const int id = r.stationId(1);
    HW_COMPARE_VECTORS(r.curve(id, "DATA_TIMERECV_QV18"), g.t18, 1e-12, 1e-12);
    HW_COMPARE_VECTORS(r.curve(id, "DATA_RECV_QV18"), g.v18, 1e-12, 1e-300);
    HW_COMPARE_VECTORS(r.curve(id, "DATA_TIMERECV_LOG10"), g.t10, 1e-12, 1e-12);
    HW_COMPARE_VECTORS(r.curve(id, "DATA_RECV_LOG10"), g.v10, 1e-12, 1e-300);
    HW_COMPARE_VECTORS(r.curve(id, "DATA_TIMERECV_LOG20"), g.t20, 1e-12, 1e-12);
    HW_COMPARE_VECTORS(r.curve(id, "DATA_RECV_LOG20"), g.v20, 1e-12, 1e-300);
    if (expectedOff != 0.0) {
        // The shift itself is visible: the unshifted curve gates differently.
        const Gated unshifted = expectedCurves(recvs, 0.0, false);
        QVERIFY(r.curve(id, "DATA_RECV_QV18") != unshifted.v18);
    }
}

void TestDataModel::morsaCorrectionOnlyOnEighteenWindows()
{
    // A decay with a late rise, so the tail rule has something to do.
    QVector<double> rec = decay(40000, 1e6, 1.2);
    for (int i = 30000; i < rec.size(); ++i)
        rec[i] *= 1.0 + (i - 30000) * 1e-4;
    QVERIFY(writeProject(path("p.MORSA"), {line(1, {rawStation(1, {sample(rec, quietRecord())})})}));
    open(path("p.MORSA"), "MORSA");

    const Gated plain = expectedCurves({rec}, 64.5, true);
    Reader r(path("p.MORSA"));
    const int id = r.stationId(1);
    HW_COMPARE_VECTORS(r.curve(id, "DATA_TIMERECV_QV18"), plain.t18, 1e-12, 1e-12);
    HW_COMPARE_VECTORS(r.curve(id, "DATA_RECV_LOG10"), plain.v10, 1e-12, 1e-300);
    HW_COMPARE_VECTORS(r.curve(id, "DATA_RECV_LOG20"), plain.v20, 1e-12, 1e-300);
    QVERIFY(!plain.t18.isEmpty() && plain.t18.first() >= 10.0);

    // The 18-window response is the 0.85/0.15 blend with the tail rule.
    const int n = plain.v18.size();
    QVERIFY(n >= 11);
    QVector<double> fitTimes = plain.t18, fit = plain.v18;
    Data_Mathematical_Calc::bsplineFit(fitTimes, fit);
    for (int i = 0; i < n; ++i)
        fit[i] = 0.85 * fit[i] + 0.15 * plain.v18[i];
    QVector<double> expected = fit;
    bool rises = false;
    for (int i = n - 11; i <= n - 2; ++i) {
        if (fit[i + 1] > fit[i]) {
            rises = true;
            expected[i + 1] = std::pow(10.0, std::log10(expected[i]) - (std::log10(fit[i + 1]) - std::log10(fit[i])));
        }
    }
    QVERIFY(rises);
    const QVector<double> stored = r.curve(id, "DATA_RECV_QV18");
    HW_COMPARE_VECTORS(stored, expected, 1e-9, 1e-300);
    QCOMPARE(r.blob(id, "DATA_RECV_QV18RAW"), r.blob(id, "DATA_RECV_QV18"));
}

void TestDataModel::morsaFallsBackToPlainCurve_data()
{
    QTest::addColumn<QVector<double> >("recv");
    QTest::addColumn<bool>("hasNaN");
    // 34 samples end at 340 us; after both shifts eight 18-window gates remain.
    QTest::newRow("too few gates") << decay(34) << false;
    QTest::newRow("all zero") << QVector<double>(3000, 0.0) << false;
    QVector<double> withNaN = decay(3000);
    for (int i = 1000; i < 1100; ++i)
        withNaN[i] = kNaN;
    QTest::newRow("NaN samples") << withNaN << true;
}

void TestDataModel::morsaFallsBackToPlainCurve()
{
    QFETCH(QVector<double>, recv);
    QFETCH(bool, hasNaN);
    QVERIFY(writeProject(path("p.MORSA"), {line(1, {rawStation(1, {sample(recv, quietRecord())})})}));
    open(path("p.MORSA"), "MORSA");

    Reader r(path("p.MORSA"));
    const int id = r.stationId(1);
    QCOMPARE(r.scalar("SELECT IsSampled FROM Data_Point").toInt(), 1);
    for (int k = 0; k < 3; ++k) {
        const QVector<double> v = r.curve(id, kResponseColumns[k]);
        QVERIFY2(allFinite(v), qPrintable(kResponseColumns[k]));
        QVERIFY(allFinite(r.curve(id, kRawColumns[k])));
        QCOMPARE(v.size(), r.curve(id, kTimeColumns[k]).size());
    }
    if (!hasNaN) {
        const Gated plain = expectedCurves({recv}, 64.5, true);
        QVERIFY(plain.v18.size() < 11 || plain.v18 == QVector<double>(plain.v18.size(), 0.0));
        HW_COMPARE_VECTORS(r.curve(id, "DATA_RECV_QV18"), plain.v18, 1e-12, 1e-300);
    }
}

void TestDataModel::morsaBlendsEveryCurve_data()
{
    QTest::addColumn<QVector<double> >("values");
    QTest::addColumn<bool>("fits");                  // enough gates for the B-spline
    QTest::addColumn<QVector<double> >("expected");  // when it does not fit
    // Eight gates are too few for the fit: the blend keeps them, and the
    // tail rule runs from the first gate.
    QTest::newRow("eight gates rising twice") << QVector<double>{100, 50, 25, 40, 10, 5, 6, 2} << false
                                              << QVector<double>{100, 50, 25, 15.625, 10, 5, 25.0 / 6.0, 2};
    QTest::newRow("a negative gate before a rise") << QVector<double>{100, 50, -1, 40, 10, 5, 6, 2} << false
                                                   << QVector<double>{100, 50, -1, 40, 10, 5, 25.0 / 6.0, 2};
    // A rise right after the first gate, and one after the gate just
    // corrected, which goes on from the corrected value.
    QTest::newRow("eight gates rising from the first, twice in a row")
        << QVector<double>{100, 200, 400, 50, 40, 10, 5, 2} << false
        << QVector<double>{100, 50, 25, 50, 40, 10, 5, 2};
    // Eleven gates: the last eleven are the whole curve.
    QTest::newRow("eleven gates rising from the first")
        << QVector<double>{100, 200, 50, 40, 30, 35, 20, 10, 8, 6, 5} << false
        << QVector<double>{100, 50, 50, 40, 30, 900.0 / 35.0, 20, 10, 8, 6, 5};
    QVector<double> withZero = decay(20, 1e3);
    withZero[4] = 0.0;
    QTest::newRow("twenty gates, one of them zero") << withZero << true << QVector<double>();
    QVector<double> withNegativeTail = decay(20, 1e3);
    withNegativeTail[17] = -10.0;
    QTest::newRow("twenty gates, a negative one in the tail") << withNegativeTail << true << QVector<double>();
}

void TestDataModel::morsaBlendsEveryCurve()
{
    QFETCH(QVector<double>, values);
    QFETCH(bool, fits);
    QFETCH(QVector<double>, expected);
    QVector<double> times;
    for (int i = 0; i < values.size(); ++i)
        times << 20.0 * std::pow(1.5, i);

    if (fits) {
        // The blend everywhere; the tail rule only where its logarithms exist.
        QVector<double> fitTimes = times, fit = values;
        Data_Mathematical_Calc::bsplineFit(fitTimes, fit);
        QVERIFY(fit != values);
        const int n = values.size();
        for (int i = 0; i < n; ++i)
            fit[i] = 0.85 * fit[i] + 0.15 * values[i];
        expected = fit;
        for (int i = n - 11; i <= n - 2; ++i) {
            if (fit[i + 1] > fit[i] && fit[i] > 0.0 && expected[i] > 0.0)
                expected[i + 1] = expected[i] * fit[i] / fit[i + 1];
        }
    }
    QVector<double> corrected = values;
    m_model->applyMorsaCorrection(times, corrected);
    HW_COMPARE_VECTORS(corrected, expected, 1e-12, 1e-300);
}

void TestDataModel::projectWithoutProjectRowLoads()
{
    QVERIFY(writeProject(path(), {line(1, {rawStation(1, {sample(decay(500), quietRecord())})})}, false));
    QSignalSpy changed(m_model, SIGNAL(modelChange()));
    open(path());
    QCOMPARE(changed.count(), 1);
    QCOMPARE(m_model->rowCount(), 1);
    QCOMPARE(m_model->rowCount(m_model->index(0, 0)), 1);
    Reader r(path());
    QCOMPARE(r.scalar("SELECT COUNT(*) FROM Data_Project").toInt(), 1);
    QCOMPARE(r.scalar("SELECT IsSampled FROM Data_Point").toInt(), 1);
}

// Older projects lack the work set table, which nothing here reads: such a
// project is no damaged one, and is written as any other.
void TestDataModel::projectWithoutWorkSetTableLoads()
{
    QVERIFY(writeProject(path(), {line(1, {rawStation(1, {sample(decay(500), quietRecord())})})}));
    {
        Reader w(path());
        QVERIFY(w.exec("DROP TABLE Data_WorkSet"));
    }
    open(path());
    QVERIFY(!m_lib->isDamaged());
    QVERIFY(m_messages.isEmpty());
    QCOMPARE(m_model->rowCount(m_model->index(0, 0)), 1);
    Reader r(path());
    QCOMPARE(r.scalar("SELECT IsSampled FROM Data_Point").toInt(), 1);
    QCOMPARE(r.scalar("SELECT COUNT(*) FROM Data_WorkSet").toInt(), 0);
    QCOMPARE(r.column("SELECT name FROM pragma_table_info('Data_WorkSet')").value(0).toString(), QString("ID"));
}

void TestDataModel::nullDatabaseChangesNothing()
{
    QSignalSpy changed(m_model, SIGNAL(modelChange()));
    m_model->loadProject(nullptr);
    LibHORM closed;
    m_model->loadProject(&closed);
    QCOMPARE(changed.count(), 0);
    QVERIFY(!m_model->isProjectOpen());
    QCOMPARE(m_model->rowCount(), 0);
}

void TestDataModel::loadReleasesSampleBlobs()
{
    QVERIFY(writeProject(path(), {line(1, {rawStation(1, {sample(decay(1000), quietRecord()), sample(decay(1000), quietRecord())}),
                                         rawStation(2, {sample(decay(1000), quietRecord())})})}));
    open(path());
    Data_Line* l = m_model->lineAt(0);
    QVERIFY(l);
    int checked = 0;
    for (int s = 0; s < 2; ++s) {
        Data_Point* p = m_model->stationAt(l, s);
        QVERIFY(p);
        QCOMPARE(p->IsSampled(), 1);
        HORM_Collection<Data_Sample>* samples = p->REF_Data_Sample();
        for (int i = 0; i < samples->size(); ++i) {
            Data_Sample* sm = samples->at(i).value();
            QVERIFY(sm->DATA_RECV().isEmpty());
            QVERIFY(sm->DATA_SEND().isEmpty());
            QVERIFY(sm->DATA_SOFF().isEmpty());
            QVERIFY(!sm->lazyColumnsLive());
            ++checked;
        }
    }
    QCOMPARE(checked, 3);
    // Releasing touched no stored array.
    Reader r(path());
    QCOMPARE(r.column("SELECT length(DATA_RECV) FROM Data_Sample").size(), 3);
    for (const QVariant& v : r.column("SELECT length(DATA_RECV) FROM Data_Sample"))
        QCOMPARE(v.toInt(), 8000);
}

void TestDataModel::loadOverOpenProjectReplacesIt()
{
    QVERIFY(writeProject(path("a.QELVA"), {line(1, {rawStation(1, {})}), line(2, {})}));
    QVERIFY(writeProject(path("b.QELVA"), {line(7, {rawStation(1, {}), rawStation(2, {})})}));
    open(path("a.QELVA"));
    QCOMPARE(m_model->rowCount(), 2);
    LibHORM* second = new LibHORM;
    QVERIFY(second->open(path("b.QELVA")));
    m_model->loadProject(second);
    delete m_lib;
    m_lib = second;
    QCOMPARE(m_model->rowCount(), 1);
    QCOMPARE(m_model->index(0, 0).data().toDouble(), 7.0);
    QCOMPARE(m_model->rowCount(m_model->index(0, 0)), 2);
}

// --- Closing and the tree hooks ---

void TestDataModel::damagedProjectIsNeverWritten_data()
{
    QTest::addColumn<int>("damage");
    QTest::addColumn<QStringList>("statements");
    QTest::addColumn<QString>("told");
    const QString damaged = QStringLiteral("已损坏");
    QTest::newRow("header page count too small") << 0 << QStringList() << damaged;
    QTest::newRow("scribbled page") << 1 << QStringList() << damaged;
    // Files that SQLite finds sound. A table copied without its primary
    // key, two of its rows sharing a key: the first load would write one
    // station's curves, a rename one line's number, over both rows.
    const auto copied = [](const QString& table) {
        return QStringList{QString("ALTER TABLE %1 RENAME TO old").arg(table),
                           QString("CREATE TABLE %1 AS SELECT * FROM old").arg(table), "DROP TABLE old"};
    };
    QTest::newRow("station keys repeat") << -1 << copied("Data_Point") + QStringList{"UPDATE Data_Point SET ID = 1 WHERE ID = 2"}
                                         << damaged;
    QTest::newRow("line keys repeat") << -1 << copied("Data_Line") + QStringList{"UPDATE Data_Line SET ID = 2 WHERE ID = 1"}
                                      << damaged;
    QTest::newRow("sample keys repeat")
        << -1 << copied("Data_Sample") + QStringList{"UPDATE Data_Sample SET ID = 1 WHERE ID = 2"} << damaged;
    QTest::newRow("station keys unique, no primary key") << -1 << copied("Data_Point") << damaged;
    // Triggers of another program's: the program's own writes would run them.
    QTest::newRow("trigger deletes an updated station")
        << -1 << QStringList{"CREATE TRIGGER gone AFTER UPDATE ON Data_Point BEGIN DELETE FROM Data_Point WHERE ID = NEW.ID; END"}
        << QStringLiteral("触发器");
    QTest::newRow("trigger rewrites the lines")
        << -1 << QStringList{"CREATE TRIGGER renumber AFTER UPDATE ON Data_Line BEGIN UPDATE Data_Line SET NAME = 0; END"}
        << QStringLiteral("触发器");
}

// A file that SQLite reports as damaged, or whose tables the program cannot
// write safely, is read, never written: not by loading, the GPS import, a
// saved curve, a rename or a check box.
void TestDataModel::damagedProjectIsNeverWritten()
{
    QFETCH(int, damage);
    QFETCH(QStringList, statements);
    QFETCH(QString, told);
    QVERIFY(writeDamagedProject(path(), damage, statements));
    const QByteArray before = fileBytes(path());

    m_file = path();
    m_lib = new LibHORM;
    QVERIFY(m_lib->open(path()));
    QCOMPARE(m_lib->isDamaged(), damage >= 0);
    QStringList trace;
    m_lib->setStatementTrace(&trace);
    m_model->loadProject(m_lib);
    m_lib->setStatementTrace(nullptr);
    QVERIFY(m_model->isProjectOpen());
    QCOMPARE(m_model->rowCount(), 2);
    // Loading does not even try to write.
    for (const QString& s : trace)
        QVERIFY2(!s.startsWith("UPDATE") && !s.startsWith("INSERT"), qPrintable(s.left(80)));

    GPSCoordinate a{1.0f, 0.0f, 1.0f, 2.0f, 3.0f};
    GPSCoordinate b{1.0f, 1000.0f, 4.0f, 5.0f, 6.0f};
    m_model->on_signal_GPSFileImported({a, b});
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages.last().contains(told) && m_messages.last().contains(QDir::toNativeSeparators(path())),
             qPrintable(m_messages.last()));

    QVERIFY(m_model->rememberShownStation(1, 0, SAMPLE_QV18, 0, 1e7, {100, 200}));
    m_model->on_signal_FileSavedToDB({3, 4}, {100, 200});
    QCOMPARE(m_messages.size(), 2);
    QVERIFY(m_messages.last().startsWith(QStringLiteral("曲线未能写入工程文件")));
    const QModelIndex firstLine = m_model->index(0, 0);
    m_model->setData(firstLine, QVariant("7"), Qt::EditRole);
    m_model->setData(firstLine, Qt::Unchecked, Qt::CheckStateRole);

    m_model->closeProject();
    delete m_lib;
    m_lib = nullptr;
    QCOMPARE(fileBytes(path()), before);
}

// A damaged file of an older format cannot gain the columns it lacks: its
// lines and stations show all the same.
void TestDataModel::damagedOlderProjectShowsItsStations()
{
    const QVector<double> times{100, 200};
    auto st = [&](double name) { return gatedStation(name, times, {2, 1}, {2, 1}); };
    QVERIFY(writeProject(path(), {line(1, {st(10), st(20), st(30)}), line(2, {st(10), st(20)})}));
    {
        Reader w(path());
        w.column("ALTER TABLE Data_Line DROP COLUMN SampleMode");
        w.column("ALTER TABLE Data_Point DROP COLUMN HasZCoord");
        // Pages behind the project's rows to take the damage.
        w.column("CREATE TABLE filler (b BLOB)");
        for (int i = 0; i < 8; ++i)
            w.column("INSERT INTO filler VALUES (zeroblob(3000))");
        QCOMPARE(w.column("SELECT name FROM pragma_table_info('Data_Point') WHERE name = 'HasZCoord'").size(), 0);
    }
    QVERIFY(shortenPageCount(path(), 2));
    const QByteArray before = fileBytes(path());
    open(path());
    QVERIFY(m_lib->isDamaged());
    QCOMPARE(m_model->rowCount(), 2);
    QCOMPARE(m_model->rowCount(m_model->index(0, 0)), 3);
    QCOMPARE(m_model->rowCount(m_model->index(1, 0)), 2);
    QCOMPARE(m_model->index(2, 0, m_model->index(0, 0)).data().toDouble(), 30.0);
    const Data_Point* station = m_model->stationAt(m_model->lineAt(0), 2);
    QVERIFY(station);
    QCOMPARE(station->HasZCoord(), -1);
    QCOMPARE(m_model->lineAt(1)->SampleMode(), 0);
    m_model->closeProject();
    delete m_lib;
    m_lib = nullptr;
    QCOMPARE(fileBytes(path()), before);
}

void TestDataModel::loadWithLockedFileKeepsCurvesPending_data()
{
    // What keeps the gated curves from the file: "reader" (another program
    // reads, so the commit cannot finish), "read-only" (the file opened for
    // reading only) or "constraint" (the file refuses the station's update;
    // a trigger would make it read-only).
    QTest::addColumn<QString>("obstacle");
    QTest::addColumn<QString>("reason");
    QTest::newRow("another program reads the file") << "reader" << QStringLiteral("该文件正被其他程序使用");
    QTest::newRow("read-only file") << "read-only" << QStringLiteral("该文件是只读的");
    QTest::newRow("a constraint refuses the update") << "constraint" << QStringLiteral("该文件拒绝了写入");
}

// The project is shown, its curves stay pending in memory, and the user is
// told once, at load, that they could not be stored and why.
void TestDataModel::loadWithLockedFileKeepsCurvesPending()
{
    QFETCH(QString, obstacle);
    QFETCH(QString, reason);
    QVERIFY(writeProject(path(), {line(1, {rawStation(100, {sample(decay(400), quietRecord())})})}));
    if (obstacle == "constraint") {
        storetest::RawDb raw(path());
        QVERIFY(raw.exec("ALTER TABLE Data_Point ADD COLUMN guard INTEGER CHECK (IsSampled <> 1)"));
    }
    const QByteArray before = fileBytes(path());
    {
        m_lib = new LibHORM;
        QVERIFY(obstacle == "read-only" ? m_lib->openReadOnly(path()) : m_lib->open(path()));
        m_lib->setBusyTimeout(20);
        storetest::RawDb lock(path());
        if (obstacle == "reader")
            QVERIFY(lock.holdReadLock());
        QVERIFY(m_model->loadProject(m_lib));
        if (obstacle == "reader")
            lock.release();
    }
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages.first().contains(QStringLiteral("曲线未能写入工程文件"))
                 && m_messages.first().contains(QDir::toNativeSeparators(path()))
                 && m_messages.first().contains(reason),
             qPrintable(m_messages.first()));
    QCOMPARE(m_model->rowCount(), 1);
    QCOMPARE(fileBytes(path()), before);
    Data_Point* station = m_model->stationAt(m_model->lineAt(0), 0);
    QVERIFY(station && station->isDirty());
    QCOMPARE(station->IsSampled(), 1);
    if (obstacle != "reader")
        return;

    // Nothing was lost: the next save stores the curves too.
    m_messages.clear();
    m_lib->setBusyTimeout(LibHORM::kBusyTimeoutMs);
    QVERIFY(m_model->rememberShownStation(0, 0, SAMPLE_QV18, 0, 1e7, CurveBlob::fromBlob(station->DATA_TIMERECV_QV18())));
    const QVector<double> shown = CurveBlob::fromBlob(station->DATA_RECV_QV18());
    m_model->on_signal_FileSavedToDB(shown, CurveBlob::fromBlob(station->DATA_TIMERECV_QV18()));
    QVERIFY(m_messages.isEmpty());
    Reader r(path());
    QCOMPARE(r.scalar("SELECT IsSampled FROM Data_Point").toInt(), 1);
    QCOMPARE(r.curve(1, "DATA_RECV_QV18"), shown);
    QCOMPARE(r.curve(1, "DATA_RECV_LOG20RAW"), CurveBlob::fromBlob(station->DATA_RECV_LOG20RAW()));
}

void TestDataModel::loadOfFileInUseKeepsNothing_data()
{
    QTest::addColumn<bool>("fromTheStart");
    QTest::addColumn<bool>("releasedBeforeCommit");
    QTest::newRow("locked before loading") << true << false;
    QTest::newRow("written by another program while the curves are stored") << false << false;
    // Only the refused write tells: the commit itself would go through.
    QTest::newRow("the other program done before the commit") << false << true;
}

// Another program that holds the file refuses the reads or writes of a
// load: the user is told the file is in use, and no part of the project is
// shown or written.
void TestDataModel::loadOfFileInUseKeepsNothing()
{
    QFETCH(bool, fromTheStart);
    QFETCH(bool, releasedBeforeCommit);
    // Without a project row, which loading adds, when it can read the file.
    QVERIFY(writeProject(path(), {line(1, {rawStation(100, {sample(decay(400), quietRecord())}),
                                         rawStation(110, {sample(decay(400), quietRecord())})}),
                                  line(2, {rawStation(5, {sample(decay(400), quietRecord())})})}, !fromTheStart));
    const QByteArray before = fileBytes(path());
    m_file = path();
    m_lib = new LibHORM;
    QVERIFY(m_lib->open(path()));
    m_lib->setBusyTimeout(20);
    QSignalSpy changed(m_model, SIGNAL(modelChange()));
    QStringList trace;
    {
        storetest::RawDb other(path());
        if (fromTheStart) {
            QVERIFY(other.holdWriteLock());
        } else {
            m_model->gatingBatchSize = 1;
            m_model->gatingTestHook = [&](DataModel::GatingStep step) {
                if (step != DataModel::GatingStep::Store)
                    return;
                if (!trace.contains("other"))
                    trace << "other" << (other.exec("BEGIN IMMEDIATE") ? "writes" : "could not write");
                else if (releasedBeforeCommit && !trace.contains("done"))
                    trace << "done" << (other.exec("ROLLBACK") ? "released" : "could not release");
            };
        }
        m_lib->setStatementTrace(&trace);
        QVERIFY(!m_model->loadProject(m_lib));
        m_lib->setStatementTrace(nullptr);
        if (!releasedBeforeCommit)
            other.release();
    }
    QCOMPARE(m_messages, QStringList{DataModel::fileInUseText(path())});
    QVERIFY(m_messages.first().contains(QDir::toNativeSeparators(path())));
    QVERIFY(!m_model->isProjectOpen());
    QCOMPARE(m_model->rowCount(), 0);
    QCOMPARE(changed.count(), 0);
    if (fromTheStart) {
        // Not even the missing project row is added.
        for (const QString& s : trace)
            QVERIFY2(!s.startsWith("INSERT") && !s.startsWith("CREATE"), qPrintable(s));
    } else {
        QVERIFY(trace.contains("writes"));
        QVERIFY(trace.contains("released") == releasedBeforeCommit);
    }
    QCOMPARE(fileBytes(path()), before);

    // Once the other program is done, the same file loads whole.
    m_messages.clear();
    m_model->gatingTestHook = nullptr;
    QVERIFY(m_model->loadProject(m_lib));
    QVERIFY(m_messages.isEmpty());
    QCOMPARE(m_model->rowCount(), 2);
    QCOMPARE(m_model->rowCount(m_model->index(0, 0)), 2);
    QCOMPARE(m_model->rowCount(m_model->index(1, 0)), 1);
    Reader r(path());
    QCOMPARE(r.column("SELECT IsSampled FROM Data_Point"), QVariantList({1, 1, 1}));
    QCOMPARE(r.scalar("SELECT COUNT(*) FROM Data_Project").toInt(), 1);
}

void TestDataModel::exceptionWhileGatingRollsBack_data()
{
    QTest::addColumn<int>("step");
    QTest::newRow("a gating task runs out of memory") << int(DataModel::GatingStep::Gate);
    QTest::newRow("storing runs out of memory while the next station is gated")
        << int(DataModel::GatingStep::Store);
}

// An exception while stations are gated waits for every task, rolls back
// what the load wrote and leaves no part of the project open.
void TestDataModel::exceptionWhileGatingRollsBack()
{
    QFETCH(int, step);
    QList<StationDef> stations;
    for (int s = 0; s < 5; ++s)
        stations << rawStation(10 * (s + 1), {sample(decay(400, 1e5 * (s + 1)), quietRecord())});
    QVERIFY(writeProject(path(), {line(1, stations)}));
    const QByteArray before = fileBytes(path());

    PoolSize pool(2);
    m_model->gatingBatchSize = 1;
    QAtomicInt started, finished, stores;
    m_model->gatingTestHook = [&](DataModel::GatingStep at) {
        if (at == DataModel::GatingStep::Store) {
            // The second station is stored while the third is gated.
            if (step == int(at) && stores.fetchAndAddOrdered(1) == 1)
                throw std::bad_alloc();
            return;
        }
        const int task = started.fetchAndAddOrdered(1);
        if (step == int(at) && task == 2)
            throw std::bad_alloc();
        QThread::msleep(30);
        finished.fetchAndAddOrdered(1);
    };
    m_file = path();
    m_lib = new LibHORM;
    QVERIFY(m_lib->open(path()));
    QSignalSpy changed(m_model, SIGNAL(modelChange()));
    bool loaded = true;
    try {
        loaded = m_model->loadProject(m_lib);
    } catch (...) {
        QFAIL("the exception left the load");
    }
    QVERIFY(!loaded);
    const int thrown = step == int(DataModel::GatingStep::Gate) ? 1 : 0;
    QCOMPARE(finished.loadAcquire() + thrown, started.loadAcquire());
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages.first().contains(QDir::toNativeSeparators(path()))
                 && m_messages.first().contains(QStringLiteral("内存不足")),
             qPrintable(m_messages.first()));
    QVERIFY(!m_model->isProjectOpen());
    QCOMPARE(m_model->rowCount(), 0);
    QCOMPARE(changed.count(), 0);
    QCOMPARE(fileBytes(path()), before);

    m_model->gatingTestHook = nullptr;
    QVERIFY(m_model->loadProject(m_lib));
    Reader r(path());
    QCOMPARE(r.column("SELECT IsSampled FROM Data_Point"), QVariantList({1, 1, 1, 1, 1}));
}

// However the stations are split into batches and threads, every station
// gets exactly the curves the one-station-at-a-time reference computes.
void TestDataModel::gatingMatchesSerialReference_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<bool>("normalise");
    QTest::addColumn<int>("batch");
    QTest::addColumn<int>("threads");  // 0: all cores
    QTest::newRow("QELVA, batches of 3") << "QELVA" << false << 3 << 0;
    QTest::newRow("QELVA normalised, one thread, one station a batch") << "QELVA" << true << 1 << 1;
    QTest::newRow("MORSA, batches of 4 on two threads") << "MORSA" << false << 4 << 2;
    QTest::newRow("MORSA normalised, one batch") << "MORSA" << true << 1000 << 0;
}

void TestDataModel::gatingMatchesSerialReference()
{
    QFETCH(QString, suffix);
    QFETCH(bool, normalise);
    QFETCH(int, batch);
    QFETCH(int, threads);
    const QString file = path("p." + suffix);
    QVERIFY(writeVariedProject(file));
    std::function<void(const QVector<double>&, QVector<double>&)> morsa;
    if (suffix == "MORSA")
        morsa = [this](const QVector<double>& t, QVector<double>& v) { m_model->applyMorsaCorrection(t, v); };
    const auto expected = serialReference(file, morsa, normalise);
    // Two lines of four gated stations each, not counting the one gated before.
    QCOMPARE(expected.size(), 3 * 6);

    PoolSize pool(threads);
    m_model->gatingBatchSize = batch;
    m_model->normaliseByCurrent = normalise;
    open(file, suffix);

    Reader r(file);
    const QList<QVariantList> rows = r.rows("SELECT l.NAME, p.NAME, p.IsSampled, p." + kStoredColumns.join(", p.")
                                            + " FROM Data_Point p JOIN Data_Line l ON p.Data_LineID = l.ID");
    QCOMPARE(rows.size(), 30);
    int gated = 0;
    for (const QVariantList& row : rows) {
        const QPair<double, double> key(row[0].toDouble(), row[1].toDouble());
        const QString where = QString("line %1 station %2").arg(key.first).arg(key.second);
        if (!expected.contains(key)) {
            const bool before = key.second == 130;
            QCOMPARE(row[2].toInt(), before ? 1 : -1);
            if (!before) {
                for (int c = 0; c < kStoredColumns.size(); ++c)
                    QVERIFY2(row[3 + c].toByteArray().isEmpty(), qPrintable(where));
            }
            continue;
        }
        QVERIFY2(row[2].toInt() == 1, qPrintable(where));
        for (int c = 0; c < kStoredColumns.size(); ++c)
            QVERIFY2(row[3 + c].toByteArray() == expected.value(key)[c], qPrintable(where + ' ' + kStoredColumns[c]));
        ++gated;
    }
    QCOMPARE(gated, expected.size());
}

// The order in which stations are gated and written leaves no trace in the
// file: one station at a time on one thread, batches on all threads, and
// batches taken in the file's own (falling) station order store the same.
void TestDataModel::writeOrderLeavesTheSameProject()
{
    QVERIFY(writeVariedProject(path("a.QELVA")));
    QVERIFY(QFile::copy(path("a.QELVA"), path("b.QELVA")));
    QVERIFY(QFile::copy(path("a.QELVA"), path("c.QELVA")));
    const QStringList untouched = tableDump(path("a.QELVA"));
    {
        PoolSize pool(1);
        m_model->gatingBatchSize = 1;
        open(path("a.QELVA"));
    }
    m_model->gatingBatchSize = 4;
    reopenAs(path("b.QELVA"));
    m_model->gatingBatchSize = 3;
    m_model->sortStationsByName = false;
    reopenAs(path("c.QELVA"));
    m_model->closeProject();

    const QStringList a = tableDump(path("a.QELVA"));
    QVERIFY(a != untouched);
    QCOMPARE(tableDump(path("b.QELVA")), a);
    QCOMPARE(tableDump(path("c.QELVA")), a);
}

void TestDataModel::loadReadsEachSampleOnceInBoundedBatches_data()
{
    QTest::addColumn<int>("batch");       // 0: from the threads and the byte budget
    QTest::addColumn<qint64>("budget");   // bytes of a batch's sample blobs
    QTest::addColumn<int>("perBatch");    // stations a batch may read at most
    QTest::newRow("batches of two") << 2 << (qint64(16) << 20) << 2;
    // A station's blobs take some 10 to 13 kB here.
    QTest::newRow("byte budget of one station") << 0 << qint64(20000) << 1;
}

// Each sample in use of a station still to gate is read once, those of
// other stations and unused samples never; and no more than two batches of
// stations are read ahead of what is written.
void TestDataModel::loadReadsEachSampleOnceInBoundedBatches()
{
    QFETCH(int, batch);
    QFETCH(qint64, budget);
    QFETCH(int, perBatch);
    QList<StationDef> stations;
    for (int s = 0; s < 9; ++s) {
        QList<SampleDef> samples;
        for (int k = 0; k < 2 + s % 2; ++k)
            samples << sample(decay(600 + 50 * k, 1e5 * (s + 1)), quietRecord(), 1e6, s == 4 && k == 0 ? 0 : 1);
        stations << rawStation(10 * (s + 1), samples);
    }
    StationDef gated = gatedStation(200, {100, 200}, {2, 1}, {2, 1});
    gated.samples = {sample(decay(600), quietRecord()), sample(decay(600), quietRecord())};
    stations << gated;
    stations << rawStation(210, {sample(decay(600), quietRecord())}, 1, 1);
    QVERIFY(writeProject(path(), {line(1, stations)}));
    Reader r(path());

    m_model->gatingBatchSize = batch;
    m_model->gatingBatchBytes = budget;
    m_file = path();
    m_lib = new LibHORM;
    QVERIFY(m_lib->open(path()));
    QStringList trace;
    m_lib->setStatementTrace(&trace);
    m_model->loadProject(m_lib);
    m_lib->setStatementTrace(nullptr);

    QHash<qint64, int> reads;
    QSet<qint64> readStations, written;
    for (const QString& s : trace) {
        if (s.startsWith("SELECT") && s.contains("FROM Data_Sample") && s.contains("DATA_RECV")) {
            const QString where = s.mid(s.indexOf(" WHERE "));
            QSet<qint64> inStatement;
            for (const QVariantList& row : r.rows("SELECT ID, Data_PointID FROM Data_Sample" + where)) {
                ++reads[row[0].toLongLong()];
                inStatement.insert(row[1].toLongLong());
            }
            readStations += inStatement;
            QVERIFY2(inStatement.size() <= perBatch, qPrintable(s));
            QVERIFY2(readStations.size() - written.size() <= 2 * perBatch, qPrintable(s));
        } else if (s.startsWith("UPDATE Data_Point")) {
            written.insert(s.mid(s.lastIndexOf('=') + 1).trimmed().toLongLong());
        }
    }
    const QList<QVariantList> samples = r.rows("SELECT s.ID, s.USE, p.NAME FROM Data_Sample s "
                                               "JOIN Data_Point p ON s.Data_PointID = p.ID");
    QCOMPARE(samples.size(), 4 * 3 + 5 * 2 + 2 + 1);
    for (const QVariantList& row : samples) {
        const bool pending = row[2].toDouble() < 200;
        const int expected = pending && row[1].toInt() != 0 ? 1 : 0;
        QVERIFY2(reads.value(row[0].toLongLong()) == expected,
                 qPrintable(QString("sample %1 of station %2 read %3 times").arg(row[0].toLongLong()).arg(row[2].toDouble())
                                .arg(reads.value(row[0].toLongLong()))));
    }
    QCOMPARE(written.size(), 9);
    QCOMPARE(readStations.size(), 9);
}

void TestDataModel::closeProjectEmptiesTreeAndStopsOperations()
{
    openGatedLine();
    m_model->currentLineRow = 0;
    m_model->currentStationRow = 1;
    QVERIFY(m_model->rememberShownStation(0, 1, SAMPLE_QV18, 150, 4e6, {200, 300}));
    QVERIFY(m_model->showChangeNameDialog(0, m_model->index(0, 0)) == 0);

    QSignalSpy removed(m_model, SIGNAL(rowsRemoved(QModelIndex,int,int)));
    m_model->closeProject();
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed.at(0).at(1).toInt(), 0);
    QCOMPARE(removed.at(0).at(2).toInt(), 0);
    QCOMPARE(m_model->rowCount(), 0);
    QVERIFY(!m_model->isProjectOpen());
    QVERIFY(!m_model->shown.valid);
    QCOMPARE(m_model->currentLineRow, -1);
    QCOMPARE(m_model->currentStationRow, -1);
    QCOMPARE(m_model->renameLineRow, -1);
    QCOMPARE(m_model->invParam.timeWindowStart, 150.0);

    // Nothing reaches the file while no project is open; of the user only
    // a save is answered, as that edit is not stored.
    m_model->on_signal_FileSavedToDB({9, 9}, {200, 300});
    m_model->on_signal_UseableCheckBoxStateChanged(false);
    m_model->on_signalChangeNameRuleChanged(true, 10.0);
    m_model->clearPointInfo(0, 0);
    m_model->resetPointData(0);
    m_model->applyFittingMethod(0, 0);
    QVERIFY(!m_model->rememberShownStation(0, 0, SAMPLE_QV18, 150, 4e6, {200}));
    QCOMPARE(m_messages, QStringList{"当前没有显示可编辑的测点，曲线未保存！"});
    m_model->closeProject();

    Reader r(path());
    QCOMPARE(r.names("Data_Point"), (QVector<double>{1, 2, 3}));
    QCOMPARE(r.column("SELECT USE FROM Data_Point ORDER BY ID"), (QVariantList{1, 1, 1}));
    for (int id = 1; id <= 3; ++id)
        QCOMPARE(r.curve(id, "DATA_RECV_QV18"), (QVector<double>{1, 2, 3, 4, 5}));
}

void TestDataModel::renameRow_data()
{
    QTest::addColumn<int>("lineRow");      // -1: rename the line row itself
    QTest::addColumn<int>("stationRow");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<double>("storedName");
    QTest::newRow("station to 12.5") << 0 << 1 << QVariant("12.5") << true << 12.5;
    QTest::newRow("station to a double") << 0 << 0 << QVariant(-4.0) << true << -4.0;
    QTest::newRow("station to text") << 0 << 1 << QVariant("abc") << false << 2.0;
    QTest::newRow("station to empty text") << 0 << 1 << QVariant("") << false << 2.0;
    QTest::newRow("station to nan text") << 0 << 1 << QVariant("nan") << false << 2.0;
    QTest::newRow("time line station") << 1 << 0 << QVariant("5") << false << 1.6e12;
    QTest::newRow("line to 7") << -1 << 0 << QVariant("7") << true << 7.0;
    QTest::newRow("line to text") << -1 << 0 << QVariant("x") << false << 1.0;
}

void TestDataModel::renameRow()
{
    QFETCH(int, lineRow);
    QFETCH(int, stationRow);
    QFETCH(QVariant, value);
    QFETCH(bool, accepted);
    QFETCH(double, storedName);
    QVERIFY(writeProject(path(), {line(1, {rawStation(1, {}), rawStation(2, {})}),
                                  line(2, {rawStation(1.6e12, {})}, 1)}));
    open(path());
    const QModelIndex idx = lineRow < 0 ? m_model->index(0, 0)
                                        : m_model->index(stationRow, 0, m_model->index(lineRow, 0));
    const QVariant before = idx.data();
    QCOMPARE(m_model->setData(idx, value, Qt::EditRole), accepted);
    if (!accepted)
        QCOMPARE(idx.data(), before);

    Reader r(path());
    if (lineRow < 0) {
        QCOMPARE(r.names("Data_Line").first(), storedName);
    } else {
        const QVector<double> names = r.names("Data_Point", lineRow == 0 ? "WHERE Data_LineID = 1" : "WHERE Data_LineID = 2");
        QCOMPARE(names.at(stationRow), storedName);
    }
    // Station rows of a time line do not offer editing at all.
    QVERIFY(!(m_model->flags(m_model->index(0, 0, m_model->index(1, 0))) & Qt::ItemIsEditable));
    QVERIFY(m_model->flags(m_model->index(0, 0, m_model->index(0, 0))) & Qt::ItemIsEditable);
    QVERIFY(m_model->flags(m_model->index(1, 0)) & Qt::ItemIsEditable);
}

void TestDataModel::renameToStoredNumberWritesNothing()
{
    // Numbers finer than their labels: line 12.125 ("12.125" as a double),
    // station 20.25 (label "20.3").
    QVERIFY(writeProject(path(), {line(12.125, {rawStation(20.25, {})})}));
    open(path());
    const QModelIndex l = m_model->index(0, 0);
    const QModelIndex s = m_model->index(0, 0, l);
    QCOMPARE(s.data().toString(), QStringLiteral("20.3"));
    QCOMPARE(l.data(Qt::EditRole).toString(), QStringLiteral("12.125"));
    QCOMPARE(s.data(Qt::EditRole).toString(), QStringLiteral("20.25"));

    Reader r(path());
    const int version = r.scalar("PRAGMA data_version").toInt();
    QVERIFY(m_model->setData(s, QStringLiteral("20.25"), Qt::EditRole));
    QVERIFY(m_model->setData(l, 12.125, Qt::EditRole));
    QCOMPARE(r.scalar("PRAGMA data_version").toInt(), version);
    QCOMPARE(s.data().toString(), QStringLiteral("20.3"));
    QCOMPARE(r.names("Data_Point"), QVector<double>{20.25});
    QCOMPARE(r.names("Data_Line"), QVector<double>{12.125});

    // A number that differs is written, the label included.
    QVERIFY(m_model->setData(s, QStringLiteral("20.3"), Qt::EditRole));
    QCOMPARE(r.names("Data_Point"), QVector<double>{20.3});
    QVERIFY(r.scalar("PRAGMA data_version").toInt() != version);
}

void TestDataModel::refusedRenameShowsStoredName_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("stationRow");   // -1: the line row
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("locked");
    QTest::newRow("line to text") << "rename" << -1 << QVariant("x") << false;
    QTest::newRow("station to text") << "rename" << 1 << QVariant("abc") << false;
    QTest::newRow("line, file locked") << "rename" << -1 << QVariant("7") << true;
    QTest::newRow("station, file locked") << "rename" << 1 << QVariant("7") << true;
    QTest::newRow("renumber, file locked") << "renumber" << 1 << QVariant(1000.0) << true;
}

// A rename that is not stored shows the stored number at once and leaves
// nothing in memory that a later save of the row would write.
void TestDataModel::refusedRenameShowsStoredName()
{
    QFETCH(QString, operation);
    QFETCH(int, stationRow);
    QFETCH(QVariant, value);
    QFETCH(bool, locked);
    openGatedLine();
    const QModelIndex l = m_model->index(0, 0);
    const QModelIndex row = stationRow < 0 ? l : m_model->index(stationRow, 0, l);
    const QVariant label = row.data();
    const QVariant firstLabel = m_model->index(0, 0, l).data();
    QSignalSpy changed(m_model, &QAbstractItemModel::dataChanged);
    // The user reads the failure with the stored number already on screen.
    QVariant shownWhenTold;
    UserPrompt::setMessageAnswerer([&](const QString& text) {
        m_messages << text;
        shownWhenTold = row.data();
    });
    const auto answerer = qScopeGuard([this] {
        UserPrompt::setMessageAnswerer([this](const QString& text) { m_messages << text; });
    });
    m_lib->setBusyTimeout(20);
    {
        storetest::RawDb lock(path());
        if (locked)
            QVERIFY(lock.holdReadLock());
        if (operation == "rename") {
            QVERIFY(!m_model->setData(row, value, Qt::EditRole));
        } else {
            m_model->renameLineRow = 0;
            m_model->on_signalChangeNameRuleChanged(false, value.toDouble());
        }
        // At once, while the file is still held.
        QCOMPARE(row.data(), label);
        QCOMPARE(m_model->index(0, 0, l).data(), firstLabel);
    }
    if (locked) {
        QCOMPARE(m_messages, QStringList{QStringLiteral("修改未能写入工程文件 %1！").arg(path())});
        QCOMPARE(shownWhenTold, label);
        // The views were told the label is back.
        QVector<int> roles;
        for (const QList<QVariant>& signal : changed) {
            if (signal.at(0).toModelIndex() == row)
                roles = signal.at(2).value<QVector<int> >();
        }
        QVERIFY(roles.contains(Qt::DisplayRole));
    } else {
        QVERIFY(m_messages.isEmpty());
    }
    QCOMPARE(m_model->lineAt(0)->NAME(), 1.0);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(m_model->stationAt(m_model->lineAt(0), i)->NAME(), double(i + 1));

    // A later, unrelated save writes every row of the line again.
    m_messages.clear();
    m_lib->setBusyTimeout(LibHORM::kBusyTimeoutMs);
    QVERIFY(m_model->setData(l, Qt::Unchecked, Qt::CheckStateRole));
    QVERIFY(m_messages.isEmpty());
    Reader r(path());
    QCOMPARE(r.scalar("SELECT USE FROM Data_Line").toInt(), 0);
    QCOMPARE(r.names("Data_Line"), QVector<double>{1});
    QCOMPARE(r.names("Data_Point"), (QVector<double>{1, 2, 3}));
    QCOMPARE(row.data(), label);
}

void TestDataModel::checkingLineWritesEveryStation()
{
    openGatedLine();
    const QModelIndex l = m_model->index(0, 0);
    QVERIFY(m_model->setData(l, Qt::Unchecked, Qt::CheckStateRole));
    {
        Reader r(path());
        QCOMPARE(r.column("SELECT USE FROM Data_Point ORDER BY ID"), (QVariantList{0, 0, 0}));
        QCOMPARE(r.scalar("SELECT USE FROM Data_Line").toInt(), 0);
    }
    QVERIFY(m_model->setData(m_model->index(2, 0, l), Qt::Checked, Qt::CheckStateRole));
    {
        Reader r(path());
        QCOMPARE(r.column("SELECT USE FROM Data_Point ORDER BY ID"), (QVariantList{0, 0, 1}));
    }
    QVERIFY(m_model->setData(l, Qt::Checked, Qt::CheckStateRole));
    Reader r(path());
    QCOMPARE(r.column("SELECT USE FROM Data_Point ORDER BY ID"), (QVariantList{1, 1, 1}));
    QCOMPARE(r.scalar("SELECT USE FROM Data_Line").toInt(), 1);
}

void TestDataModel::useCheckBoxWritesCurrentStation()
{
    openGatedLine();
    const QModelIndex station = m_model->index(1, 0, m_model->index(0, 0));
    QSignalSpy changed(m_model, SIGNAL(dataChanged(QModelIndex,QModelIndex,QVector<int>)));
    m_model->currentLineRow = 0;
    m_model->currentStationRow = 1;
    m_model->on_signal_UseableCheckBoxStateChanged(false);
    {
        Reader r(path());
        QCOMPARE(r.column("SELECT USE FROM Data_Point ORDER BY ID"), (QVariantList{1, 0, 1}));
    }
    QCOMPARE(station.data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QCOMPARE(changed.count(), 1);

    // A current station beyond the line writes nothing.
    m_model->currentStationRow = 3;
    m_model->on_signal_UseableCheckBoxStateChanged(false);
    Reader r(path());
    QCOMPARE(r.column("SELECT USE FROM Data_Point ORDER BY ID"), (QVariantList{1, 0, 1}));
}

// --- Saving an edited curve ---

void TestDataModel::saveEditedCurve_data()
{
    QTest::addColumn<double>("tmin");
    QTest::addColumn<double>("tmax");
    QTest::addColumn<QVector<double> >("shownTimes");
    QTest::addColumn<QVector<double> >("sentTimes");
    QTest::addColumn<QVector<double> >("sentValues");
    QTest::addColumn<QVector<double> >("expected");
    const QVector<double> stored{1, 2, 3, 4, 5};
    // Stored gates: 100, 200, 300, 4e6, 5e6.
    QTest::newRow("window 150..4e6 keeps the gates outside")
        << 150.0 << 4e6 << QVector<double>{200, 300, 4e6} << QVector<double>{200, 300, 4e6}
        << QVector<double>{20, 30, 40} << QVector<double>{1, 20, 30, 40, 5};
    QTest::newRow("window end below a gate")
        << 0.0 << 250.0 << QVector<double>{100, 200} << QVector<double>{100, 200}
        << QVector<double>{10, 20} << QVector<double>{10, 20, 3, 4, 5};
    QTest::newRow("whole curve")
        << 0.0 << 1e7 << QVector<double>{100, 200, 300, 4e6, 5e6} << QVector<double>{100, 200, 300, 4e6, 5e6}
        << QVector<double>{6, 7, 8, 9, 10} << QVector<double>{6, 7, 8, 9, 10};
    QTest::newRow("times differ from the shown ones")
        << 150.0 << 4e6 << QVector<double>{200, 300} << QVector<double>{200, 301}
        << QVector<double>{20, 30} << stored;
    QTest::newRow("fewer times than shown")
        << 150.0 << 4e6 << QVector<double>{200, 300} << QVector<double>{200}
        << QVector<double>{20} << stored;
    QTest::newRow("fewer values than times")
        << 150.0 << 4e6 << QVector<double>{200, 300} << QVector<double>{200, 300}
        << QVector<double>{20} << stored;
    QTest::newRow("non-finite value")
        << 150.0 << 4e6 << QVector<double>{200, 300} << QVector<double>{200, 300}
        << QVector<double>{20, kNaN} << stored;
    QTest::newRow("shown gate outside its window")
        << 150.0 << 4e6 << QVector<double>{100, 200} << QVector<double>{100, 200}
        << QVector<double>{10, 20} << stored;
    QTest::newRow("shown gate not stored")
        << 150.0 << 4e6 << QVector<double>{200, 250} << QVector<double>{200, 250}
        << QVector<double>{20, 25} << stored;
    QTest::newRow("nothing shown")
        << 150.0 << 4e6 << QVector<double>() << QVector<double>()
        << QVector<double>() << stored;
}

void TestDataModel::saveEditedCurve()
{
    QFETCH(double, tmin);
    QFETCH(double, tmax);
    QFETCH(QVector<double>, shownTimes);
    QFETCH(QVector<double>, sentTimes);
    QFETCH(QVector<double>, sentValues);
    QFETCH(QVector<double>, expected);
    openGatedLine();
    QVERIFY(m_model->rememberShownStation(0, 1, SAMPLE_QV18, tmin, tmax, shownTimes));
    m_model->on_signal_FileSavedToDB(sentValues, sentTimes);

    Reader r(path());
    QCOMPARE(r.curve(2, "DATA_RECV_QV18"), expected);
    // A curve that is not stored is never passed over in silence.
    if (expected == QVector<double>{1, 2, 3, 4, 5})
        QCOMPARE(m_messages, QStringList{"编辑的曲线与当前显示的测点不符，曲线未保存！"});
    else
        QVERIFY(m_messages.isEmpty());
    QCOMPARE(r.curve(2, "DATA_TIMERECV_QV18"), (QVector<double>{100, 200, 300, 4e6, 5e6}));
    QCOMPARE(r.curve(2, "DATA_RECV_QV18RAW"), (QVector<double>{21, 22, 23, 24, 25}));
    QCOMPARE(r.curve(1, "DATA_RECV_QV18"), (QVector<double>{1, 2, 3, 4, 5}));
    QCOMPARE(r.curve(3, "DATA_RECV_QV18"), (QVector<double>{1, 2, 3, 4, 5}));
}

void TestDataModel::saveGoesToShownSchemeAndStation()
{
    openGatedLine();
    m_model->on_signal_SampleModeChanged(SAMPLE_LOG10);
    QVERIFY(m_model->rememberShownStation(0, 2, SAMPLE_LOG10, 150, 4e6, {200}));
    // The user switches scheme, station and window afterwards.
    m_model->on_signal_SampleModeChanged(SAMPLE_LOG20);
    m_model->currentStationRow = 0;
    InvParam p = m_model->invParam;
    p.timeWindowStart = 10;
    p.timeWindowEnd = 150;
    m_model->on_signal_curInvsionParamChanged(p);
    m_model->on_signal_FileSavedToDB({99}, {200});

    Reader r(path());
    QCOMPARE(r.curve(3, "DATA_RECV_LOG10"), (QVector<double>{1, 99, 3, 4, 5}));
    QCOMPARE(r.curve(3, "DATA_RECV_QV18"), (QVector<double>{1, 2, 3, 4, 5}));
    QCOMPARE(r.curve(3, "DATA_RECV_LOG20"), (QVector<double>{1, 2, 3, 4, 5}));
    QCOMPARE(r.curve(1, "DATA_RECV_LOG10"), (QVector<double>{1, 2, 3, 4, 5}));
    QCOMPARE(r.scalar("SELECT SampleMode FROM Data_Line").toInt(), 1);
}

void TestDataModel::saveNeedsAShownStation()
{
    openGatedLine();
    QVERIFY(!m_model->rememberShownStation(0, 3, SAMPLE_QV18, 150, 4e6, {200}));
    QVERIFY(!m_model->rememberShownStation(1, 0, SAMPLE_QV18, 150, 4e6, {200}));
    QVERIFY(!m_model->rememberShownStation(0, 0, static_cast<TEMSampleMODES>(5), 150, 4e6, {200}));
    m_model->on_signal_FileSavedToDB({99}, {200});

    // What was shown in a closed project does not carry over to the reopened one.
    QVERIFY(m_model->rememberShownStation(0, 0, SAMPLE_QV18, 150, 4e6, {200}));
    reopen();
    m_model->on_signal_FileSavedToDB({99}, {200});

    Reader r(path());
    for (int id = 1; id <= 3; ++id)
        QCOMPARE(r.curve(id, "DATA_RECV_QV18"), (QVector<double>{1, 2, 3, 4, 5}));
    QCOMPARE(r.scalar("SELECT SampleMode FROM Data_Line").toInt(), 0);
    QCOMPARE(m_messages, (QStringList{"当前没有显示可编辑的测点，曲线未保存！",
                                      "当前没有显示可编辑的测点，曲线未保存！"}));
}

void TestDataModel::saveThatFailsSaysSo_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::newRow("trigger refuses") << "CREATE TRIGGER refuse BEFORE UPDATE ON Data_Point WHEN OLD.ID = 2 BEGIN "
                                        "SELECT RAISE(ABORT, 'refused'); END";
    // The UPDATE succeeds, but changes no row.
    QTest::newRow("trigger skips the row") << "CREATE TRIGGER skip BEFORE UPDATE ON Data_Point WHEN OLD.ID = 2 BEGIN "
                                              "SELECT RAISE(IGNORE); END";
    QTest::newRow("row deleted") << "DELETE FROM Data_Point WHERE ID = 2";
}

void TestDataModel::saveThatFailsSaysSo()
{
    QFETCH(QString, obstacle);
    openGatedLine();
    {
        Reader w(path());
        w.column(obstacle);
    }
    QVERIFY(m_model->rememberShownStation(0, 1, SAMPLE_LOG10, 150, 4e6, {200, 300}));
    m_model->on_signal_FileSavedToDB({20, 30}, {200, 300});
    QCOMPARE(m_messages, QStringList{QString("曲线未能写入工程文件 %1！").arg(path())});
    {
        Reader r(path());
        if (!obstacle.startsWith("DELETE"))
            QCOMPARE(r.curve(2, "DATA_RECV_LOG10"), (QVector<double>{1, 2, 3, 4, 5}));
        // The line's scheme mark went back with the curve.
        QCOMPARE(r.scalar("SELECT SampleMode FROM Data_Line").toInt(), 0);
    }
    QVERIFY(m_model->stationAt(m_model->lineAt(0), 1)->isDirty());

    // The failed save left nothing open: the next station's save reaches
    // the file and is still there after the project is closed.
    m_messages.clear();
    QVERIFY(m_model->rememberShownStation(0, 2, SAMPLE_LOG10, 150, 4e6, {200, 300}));
    m_model->on_signal_FileSavedToDB({40, 50}, {200, 300});
    QVERIFY(m_messages.isEmpty());
    reopen();
    Reader r(path());
    QCOMPARE(r.curve(3, "DATA_RECV_LOG10"), (QVector<double>{1, 40, 50, 4, 5}));
    QCOMPARE(r.scalar("SELECT SampleMode FROM Data_Line").toInt(), 1);
}

void TestDataModel::saveOnShortResponseWritesWholeColumn()
{
    // An older file whose response holds only the gates of a past window.
    QVERIFY(writeProject(path(), {line(1, {gatedStation(1, {100, 200, 300, 400}, {3, 4}, {11, 12, 13, 14})})}));
    open(path());
    QVERIFY(m_model->rememberShownStation(0, 0, SAMPLE_QV18, 150, 4e6, {200, 300, 400}));
    m_model->on_signal_FileSavedToDB({7, 8, 9}, {200, 300, 400});
    Reader r(path());
    QCOMPARE(r.curve(1, "DATA_RECV_QV18"), (QVector<double>{11, 7, 8, 9}));
}

void TestDataModel::saveLandsOnTheEditedGate_data()
{
    QTest::addColumn<int>("edited");   // position in the shown curve
    QTest::addColumn<QVector<double> >("expected");
    // Gates 100, 200, 200, 300: the window from 150 shows the last three.
    QTest::newRow("first of two equal times") << 0 << QVector<double>{1, 90, 3, 4};
    QTest::newRow("second of two equal times") << 1 << QVector<double>{1, 2, 90, 4};
    QTest::newRow("gate after them") << 2 << QVector<double>{1, 2, 3, 90};
}

void TestDataModel::saveLandsOnTheEditedGate()
{
    QFETCH(int, edited);
    QFETCH(QVector<double>, expected);
    QVERIFY(writeProject(path(), {line(1, {gatedStation(1, {100, 200, 200, 300}, {1, 2, 3, 4}, {11, 12, 13, 14})})}));
    open(path());
    QSignalSpy station(m_model, SIGNAL(signal_StationChanged(QString,QVector<double>,QVector<double>,double,double,double)));
    m_model->showTreeNode(0, 0, -1);
    QCOMPARE(station.count(), 1);
    QVector<double> values = station.at(0).at(1).value<QVector<double> >();
    const QVector<double> times = station.at(0).at(2).value<QVector<double> >();
    QCOMPARE(times, (QVector<double>{200, 200, 300}));
    values[edited] = 90;
    m_model->on_signal_FileSavedToDB(values, times);
    QVERIFY(m_messages.isEmpty());
    Reader r(path());
    QCOMPARE(r.curve(1, "DATA_RECV_QV18"), expected);
}

void TestDataModel::shortResponseKeepsEdits_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QVector<double> >("expected");
    // Gates 100 ... 600 with raw 11 ... 16; an earlier version stored the
    // edits 93 ... 96 of the gates from 300 on. Every operation works on the
    // gates from 450 on and must keep the edits before them.
    QTest::newRow("save of the shown window") << "save" << QVector<double>{11, 12, 93, 94, 7, 8};
    QTest::newRow("restore") << "restore" << QVector<double>{11, 12, 93, 94, 15, 16};
    QTest::newRow("fit that fits nothing") << "fit" << QVector<double>{11, 12, 93, 94, 95, 96};
}

void TestDataModel::shortResponseKeepsEdits()
{
    QFETCH(QString, operation);
    QFETCH(QVector<double>, expected);
    QVERIFY(writeProject(path(), {line(1, {gatedStation(1, {100, 200, 300, 400, 500, 600}, {93, 94, 95, 96},
                                                        {11, 12, 13, 14, 15, 16})})}));
    open(path());
    InvParam p = m_model->invParam;
    p.timeWindowStart = 450;
    m_model->on_signal_curInvsionParamChanged(p);
    if (operation == "save") {
        QVERIFY(m_model->rememberShownStation(0, 0, SAMPLE_QV18, 450, 4e6, {500, 600}));
        m_model->on_signal_FileSavedToDB({7, 8}, {500, 600});
    } else if (operation == "restore") {
        m_model->clearPointInfo(0, 0);
    } else {
        m_model->applyFittingMethod(0, 3);
    }
    Reader r(path());
    QCOMPARE(r.curve(1, "DATA_RECV_QV18"), expected);
    QCOMPARE(r.curve(1, "DATA_RECV_QV18RAW"), (QVector<double>{11, 12, 13, 14, 15, 16}));
}

void TestDataModel::stationViewAlignsShortResponse_data()
{
    QTest::addColumn<double>("tmin");
    QTest::addColumn<QVector<double> >("times");
    QTest::addColumn<QVector<double> >("values");
    QTest::addColumn<QVector<double> >("raw");
    QTest::newRow("window on the stored gates") << 250.0 << QVector<double>{300, 400, 500, 600}
                                                << QVector<double>{93, 94, 95, 96} << QVector<double>{13, 14, 15, 16};
    QTest::newRow("window from before them") << 150.0 << QVector<double>{200, 300, 400, 500, 600}
                                             << QVector<double>{12, 93, 94, 95, 96}
                                             << QVector<double>{12, 13, 14, 15, 16};
    QTest::newRow("window inside them") << 450.0 << QVector<double>{500, 600} << QVector<double>{95, 96}
                                        << QVector<double>{15, 16};
}

void TestDataModel::stationViewAlignsShortResponse()
{
    QFETCH(double, tmin);
    QFETCH(QVector<double>, times);
    QFETCH(QVector<double>, values);
    QFETCH(QVector<double>, raw);
    // The neighbour holds the same short column: its curve lines up too.
    const QVector<double> gates{100, 200, 300, 400, 500, 600};
    const QVector<double> rawCurve{11, 12, 13, 14, 15, 16};
    QVERIFY(writeProject(path(), {line(1, {gatedStation(1, gates, {93, 94, 95, 96}, rawCurve),
                                         gatedStation(2, gates, {93, 94, 95, 96}, rawCurve)})}));
    open(path());
    InvParam p = m_model->invParam;
    p.timeWindowStart = tmin;
    m_model->on_signal_curInvsionParamChanged(p);
    QSignalSpy station(m_model, SIGNAL(signal_StationChanged(QString,QVector<double>,QVector<double>,double,double,double)));
    QSignalSpy reference(m_model, SIGNAL(signal_DataModelShowLineChanged(QVector<double>,QVector<double>)));
    m_model->showTreeNode(0, 0, -1);
    QCOMPARE(station.count(), 1);
    QCOMPARE(station.at(0).at(1).value<QVector<double> >(), values);
    QCOMPARE(station.at(0).at(2).value<QVector<double> >(), times);
    QCOMPARE(reference.count(), 1);
    QCOMPARE(reference.at(0).at(0).value<QVector<double> >(), raw);
    QCOMPARE(m_model->nextResponse, values);

    // Saving the curve as shown changes nothing.
    m_model->on_signal_FileSavedToDB(values, times);
    Reader r(path());
    QCOMPARE(r.curve(1, "DATA_RECV_QV18"), (QVector<double>{11, 12, 93, 94, 95, 96}));
}

// --- Editing operations ---

// A save that does not reach the file says so, and the edit stays pending:
// the next save stores it.
void TestDataModel::saveTellsWhenTheFileIsLocked()
{
    openGatedLine();
    const QByteArray before = fileBytes(path());
    QVERIFY(m_model->rememberShownStation(0, 1, SAMPLE_QV18, 150, 4e6, {200, 300}));
    m_lib->setBusyTimeout(20);
    {
        storetest::RawDb lock(path());
        QVERIFY(lock.holdReadLock());
        m_model->on_signal_FileSavedToDB({7, 8}, {200, 300});
    }
    QCOMPARE(m_messages.size(), 1);
    QCOMPARE(m_messages.first(), QStringLiteral("曲线未能写入工程文件 %1！").arg(QDir::toNativeSeparators(path())));
    QCOMPARE(fileBytes(path()), before);

    m_messages.clear();
    m_model->on_signal_FileSavedToDB({7, 9}, {200, 300});
    QVERIFY(m_messages.isEmpty());
    Reader r(path());
    QCOMPARE(r.curve(2, "DATA_RECV_QV18"), (QVector<double>{1, 7, 9, 4, 5}));
}

// Saving, restore, fit, renaming and the use flags: a write the file
// refuses is never reported as done, the file keeps what it held, and
// nothing of the refused change stays in memory for a later commit of the
// same rows to write.
void TestDataModel::editsTellWhenTheFileIsLocked_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("failure");
    const QString change = QStringLiteral("修改未能写入工程文件 %1！");
    QTest::newRow("save an edited curve") << "save" << QStringLiteral("曲线未能写入工程文件 %1！");
    QTest::newRow("restore a station") << "restore" << QStringLiteral("重置的数据未能写入工程文件 %1！");
    QTest::newRow("restore a line") << "reset" << QStringLiteral("重置的数据未能写入工程文件 %1！");
    QTest::newRow("fit a line") << "fit" << QStringLiteral("预处理结果未能写入工程文件 %1！");
    QTest::newRow("rename a line") << "rename" << change;
    QTest::newRow("renumber stations") << "renumber" << change;
    QTest::newRow("uncheck a line") << "check" << change;
    QTest::newRow("uncheck a station") << "check station" << change;
    QTest::newRow("station not in use") << "use" << change;
}

void TestDataModel::editsTellWhenTheFileIsLocked()
{
    QFETCH(QString, operation);
    QFETCH(QString, failure);
    openGatedLine();
    const QByteArray before = fileBytes(path());
    const QStringList stored = storetest::RawDb(path()).contents();
    m_lib->setBusyTimeout(20);
    {
        storetest::RawDb lock(path());
        QVERIFY(lock.holdReadLock());
        if (operation == "save") {
            QVERIFY(m_model->rememberShownStation(0, 1, SAMPLE_QV18, 150, 4e6, {200, 300}));
            m_model->on_signal_FileSavedToDB({7, 8}, {200, 300});
        } else if (operation == "restore") {
            m_model->clearPointInfo(0, 1);
        } else if (operation == "reset") {
            m_model->resetPointData(0);
        } else if (operation == "fit") {
            m_model->applyFittingMethod(0, 2);
        } else if (operation == "rename") {
            m_model->setData(m_model->index(0, 0), QVariant("7"), Qt::EditRole);
        } else if (operation == "renumber") {
            m_model->renameLineRow = 0;
            m_model->on_signalChangeNameRuleChanged(false, 1000.0);
        } else if (operation == "check") {
            QVERIFY(!m_model->setData(m_model->index(0, 0), Qt::Unchecked, Qt::CheckStateRole));
        } else if (operation == "check station") {
            QVERIFY(!m_model->setData(m_model->index(1, 0, m_model->index(0, 0)), Qt::Unchecked,
                                      Qt::CheckStateRole));
        } else if (operation == "use") {
            m_model->currentLineRow = 0;
            m_model->currentStationRow = 1;
            m_model->on_signal_UseableCheckBoxStateChanged(false);
        }
    }
    QCOMPARE(m_messages, QStringList{failure.arg(QDir::toNativeSeparators(path()))});
    QCOMPARE(fileBytes(path()), before);

    // The check boxes show the stored flags, and a later commit of every
    // row (as an export or a GPS import makes) stores what the file held.
    m_lib->setBusyTimeout(LibHORM::kBusyTimeoutMs);
    Data_Line* line = m_model->lineAt(0);
    const QModelIndex lineRow = m_model->index(0, 0);
    QCOMPARE(lineRow.data(Qt::CheckStateRole).toInt(), line->USE() != 0 ? int(Qt::Checked) : int(Qt::Unchecked));
    QVERIFY(line->commit());
    for (int i = 0; i < 3; ++i) {
        Data_Point* station = m_model->stationAt(line, i);
        QCOMPARE(m_model->index(i, 0, lineRow).data(Qt::CheckStateRole).toInt(),
                 station->USE() != 0 ? int(Qt::Checked) : int(Qt::Unchecked));
        QVERIFY(station->commit());
    }
    QCOMPARE(storetest::RawDb(path()).contents(), stored);
}

// Keys beyond 32 bits (files merged many times over) name their own rows.
void TestDataModel::saveUnderWideKeys()
{
    const QVector<double> times{100, 200, 300, 4000000, 5000000};
    QVERIFY(writeProject(path(), {line(1, {gatedStation(1, times, {1, 2, 3, 4, 5}, {1, 2, 3, 4, 5}),
                                           gatedStation(2, times, {1, 2, 3, 4, 5}, {1, 2, 3, 4, 5})})}));
    {
        Reader r(path());
        r.column("UPDATE Data_Line SET ID = ID + 4294967296");
        r.column("UPDATE Data_Point SET ID = ID + 4294967296, Data_LineID = Data_LineID + 4294967296 WHERE NAME = 2");
        r.column("UPDATE Data_Point SET Data_LineID = Data_LineID + 4294967296 WHERE NAME = 1");
    }
    open(path());
    QVERIFY(m_model->rememberShownStation(0, 1, SAMPLE_LOG10, 150, 4e6, {200}));
    m_model->on_signal_FileSavedToDB({9}, {200});
    QVERIFY(m_messages.isEmpty());
    Reader r(path());
    QCOMPARE(CurveBlob::fromBlob(r.scalar("SELECT DATA_RECV_LOG10 FROM Data_Point WHERE ID = 4294967298").toByteArray()),
             (QVector<double>{1, 9, 3, 4, 5}));
    QCOMPARE(r.curve(1, "DATA_RECV_LOG10"), (QVector<double>{1, 2, 3, 4, 5}));
    QCOMPARE(r.scalar("SELECT SampleMode FROM Data_Line WHERE ID = 4294967297").toInt(), int(SAMPLE_LOG10));
}

void TestDataModel::renumber_data()
{
    QTest::addColumn<bool>("viaDialog");
    QTest::addColumn<int>("choice");       // 0 multiply, 1 add
    QTest::addColumn<QString>("text");     // dialog text
    QTest::addColumn<double>("value");     // slot value when not via the dialog
    QTest::addColumn<QVector<double> >("expected");
    QTest::newRow("multiply by 10") << true << 0 << "10" << 0.0 << QVector<double>{10, 20, 30};
    QTest::newRow("add 10") << true << 1 << "10" << 0.0 << QVector<double>{11, 12, 13};
    QTest::newRow("add -5") << true << 1 << "-5" << 0.0 << QVector<double>{-4, -3, -2};
    QTest::newRow("text that is not a number") << true << 0 << "abc" << 0.0 << QVector<double>{1, 2, 3};
    QTest::newRow("multiply by 0") << false << 0 << "" << 0.0 << QVector<double>{1, 2, 3};
    QTest::newRow("multiply by NaN") << false << 0 << "" << kNaN << QVector<double>{1, 2, 3};
    QTest::newRow("add infinity") << false << 1 << "" << kInf << QVector<double>{1, 2, 3};
}

void TestDataModel::renumber()
{
    QFETCH(bool, viaDialog);
    QFETCH(int, choice);
    QFETCH(QString, text);
    QFETCH(double, value);
    QFETCH(QVector<double>, expected);
    QVERIFY(writeProject(path(), {line(1, {rawStation(3, {}), rawStation(1, {}), rawStation(2, {})}),
                                  line(2, {rawStation(1, {})})}));
    open(path());
    UserPrompt::setDialogAnswerer([&](QDialog* d) {
        if (viaDialog) {
            d->findChild<QComboBox*>("comboBox")->setCurrentIndex(choice);
            d->findChild<QLineEdit*>("lineEdit")->setText(text);
            d->findChild<QPushButton*>("pushButton_OK")->click();
        }
        return 0;
    });
    m_model->showChangeNameDialog(0, m_model->index(0, 0));
    if (!viaDialog)
        m_model->on_signalChangeNameRuleChanged(choice == 0, value);

    const QModelIndex l = m_model->index(0, 0);
    Reader r(path());
    // Rows follow the station order by NAME: 1, 2, 3 (IDs 2, 3, 1).
    QVector<double> byRow;
    for (int id : {2, 3, 1})
        byRow << r.scalar(QString("SELECT NAME FROM Data_Point WHERE ID = %1").arg(id)).toDouble();
    QCOMPARE(byRow, expected);
    QCOMPARE(r.scalar("SELECT NAME FROM Data_Point WHERE ID = 4").toDouble(), 1.0);
    const bool changed = expected != QVector<double>{1, 2, 3};
    for (int i = 0; i < 3; ++i) {
        if (changed)
            QCOMPARE(m_model->index(i, 0, l).data().toDouble(), expected[i]);
        else
            QCOMPARE(m_model->index(i, 0, l).data().toString(), QString::number(expected[i], 'f', 1));
    }
    if (changed) {
        QCOMPARE(m_model->renameMultiply, choice == 0);
    }
}

void TestDataModel::renumberNeedsATarget()
{
    openGatedLine();
    m_model->on_signalChangeNameRuleChanged(true, 10.0);
    Reader r(path());
    QCOMPARE(r.names("Data_Point"), (QVector<double>{1, 2, 3}));
}

void TestDataModel::renumberLeavesTimeLinesAlone()
{
    QVERIFY(writeProject(path(), {line(1, {rawStation(1.6e12, {}), rawStation(1.7e12, {})}, 1)}));
    open(path());
    const QString label = m_model->index(0, 0, m_model->index(0, 0)).data().toString();
    m_model->showChangeNameDialog(0, m_model->index(0, 0));
    m_model->on_signalChangeNameRuleChanged(false, 10.0);
    Reader r(path());
    QCOMPARE(r.names("Data_Point"), (QVector<double>{1.6e12, 1.7e12}));
    QCOMPARE(m_model->index(0, 0, m_model->index(0, 0)).data().toString(), label);
}

void TestDataModel::restoreStation_data()
{
    QTest::addColumn<int>("scheme");
    QTest::addColumn<int>("stationRow");
    QTest::addColumn<double>("windowEnd");   // of the inversion parameters; restoring ignores it
    QTest::addColumn<QString>("column");
    QTest::addColumn<QVector<double> >("expected");
    QTest::newRow("18 windows") << 0 << 1 << 4e6 << "DATA_RECV_QV18" << QVector<double>{1, 22, 23, 24, 5};
    QTest::newRow("window end below gates") << 0 << 1 << 250.0 << "DATA_RECV_QV18" << QVector<double>{1, 22, 23, 24, 5};
    QTest::newRow("LOG20") << 2 << 1 << 4e6 << "DATA_RECV_LOG20" << QVector<double>{1, 22, 23, 24, 5};
    QTest::newRow("station beyond the line") << 0 << 3 << 4e6 << "DATA_RECV_QV18" << QVector<double>{1, 2, 3, 4, 5};
}

void TestDataModel::restoreStation()
{
    QFETCH(int, scheme);
    QFETCH(int, stationRow);
    QFETCH(double, windowEnd);
    QFETCH(QString, column);
    QFETCH(QVector<double>, expected);
    openGatedLine();
    m_model->on_signal_SampleModeChanged(static_cast<TEMSampleMODES>(scheme));
    InvParam p = m_model->invParam;
    p.timeWindowEnd = windowEnd;
    m_model->on_signal_curInvsionParamChanged(p);
    m_model->clearPointInfo(0, stationRow);

    QCOMPARE(m_messages, QStringList{"重置数据完成"});
    Reader r(path());
    QCOMPARE(r.curve(2, column), expected);
    QCOMPARE(r.curve(1, column), (QVector<double>{1, 2, 3, 4, 5}));
    for (const QString& other : kResponseColumns) {
        if (other != column)
            QCOMPARE(r.curve(2, other), (QVector<double>{1, 2, 3, 4, 5}));
    }
    QCOMPARE(r.scalar("SELECT SampleMode FROM Data_Line").toInt(), scheme);
}

void TestDataModel::resetLineSkipsUnusedStations()
{
    openGatedLine(0, 1);
    m_model->on_signal_SampleModeChanged(SAMPLE_LOG10);
    m_model->resetPointData(0);
    QCOMPARE(m_messages, QStringList{"重置数据完成"});
    {
        Reader r(path());
        QCOMPARE(r.curve(1, "DATA_RECV_LOG10"), (QVector<double>{1, 12, 13, 14, 5}));
        QCOMPARE(r.curve(2, "DATA_RECV_LOG10"), (QVector<double>{1, 2, 3, 4, 5}));
        QCOMPARE(r.curve(3, "DATA_RECV_LOG10"), (QVector<double>{1, 32, 33, 34, 5}));
        QCOMPARE(r.scalar("SELECT SampleMode FROM Data_Line").toInt(), 1);
    }

    // All unused: only the line's scheme is written, and the user is told.
    QVERIFY(m_model->setData(m_model->index(0, 0), Qt::Unchecked, Qt::CheckStateRole));
    m_model->on_signal_SampleModeChanged(SAMPLE_LOG20);
    m_messages.clear();
    m_model->resetPointData(0);
    m_model->resetPointData(5);
    QCOMPARE(m_messages, (QStringList{"重置数据完成", "重置数据完成"}));
    Reader r(path());
    for (int id = 1; id <= 3; ++id)
        QCOMPARE(r.curve(id, "DATA_RECV_LOG20"), (QVector<double>{1, 2, 3, 4, 5}));
    QCOMPARE(r.scalar("SELECT SampleMode FROM Data_Line").toInt(), 2);
}

void TestDataModel::fitLine_data()
{
    QTest::addColumn<int>("method");
    QTest::newRow("B-spline") << 0;
    QTest::newRow("Gaussian") << 1;
    QTest::newRow("exponential") << 2;
    QTest::newRow("unknown method fits nothing") << 3;
}

void TestDataModel::fitLine()
{
    QFETCH(int, method);
    // 30 gates from 10 us to 1 s with a little scatter.
    QVector<double> times, values;
    for (int i = 0; i < 30; ++i) {
        const double t = 10.0 * std::pow(10.0, i * 5.0 / 29.0);
        times << t;
        values << 1e3 * std::pow(t, -1.5) * (1.0 + ((i % 3) - 1) * 0.05);
    }
    QVERIFY(writeProject(path(), {line(1, {gatedStation(1, times, values, values),
                                         gatedStation(2, times, values, values, 0)})}));
    open(path());
    m_model->applyFittingMethod(0, method);
    QCOMPARE(m_messages, QStringList{"预处理完成"});

    Reader r(path());
    const QVector<double> fitted = r.curve(1, "DATA_RECV_QV18");
    QCOMPARE(fitted.size(), values.size());
    QVERIFY(allFinite(fitted));
    int changedInside = 0;
    for (int i = 0; i < times.size(); ++i) {
        if (times[i] < 150.0)
            QCOMPARE(fitted[i], values[i]);
        else if (fitted[i] != values[i])
            ++changedInside;
    }
    if (method == 3)
        QCOMPARE(changedInside, 0);
    else
        QVERIFY(changedInside > 10);
    QCOMPARE(r.curve(2, "DATA_RECV_QV18"), values);
    QCOMPARE(r.curve(1, "DATA_RECV_QV18RAW"), values);
}

void TestDataModel::fitNeverStoresNonFinite()
{
    QVector<double> times, values;
    for (int i = 0; i < 20; ++i) {
        times << 200.0 * (i + 1);
        values << (i % 4 == 0 ? 0.0 : (i % 4 == 1 ? -1.0 : 1e-3 / (i + 1)));
    }
    QVERIFY(writeProject(path(), {line(1, {gatedStation(1, times, values, values)})}));
    open(path());
    for (int method = 0; method < 3; ++method) {
        m_model->applyFittingMethod(0, method);
        Reader r(path());
        const QVector<double> stored = r.curve(1, "DATA_RECV_QV18");
        QCOMPARE(stored.size(), values.size());
        QVERIFY2(allFinite(stored), qPrintable(hwtest::describe(stored)));
    }
}

void TestDataModel::editsLeaveUnplaceableCurvesAlone_data()
{
    QTest::addColumn<QString>("damage");   // SQL run on the station after it was written
    QTest::addColumn<QVector<double> >("response");
    QTest::newRow("gate times unreadable")
        << "UPDATE Data_Point SET DATA_TIMERECV_QV18 = x'414243', DATA_RECV_QV18RAW = x'01020304'"
        << QVector<double>{1, 2, 3};
    QTest::newRow("gate times empty, raw empty")
        << "UPDATE Data_Point SET DATA_TIMERECV_QV18 = x'', DATA_RECV_QV18RAW = x''"
        << QVector<double>{1, 2, 3};
    QTest::newRow("response longer than its times")
        << QString("UPDATE Data_Point SET DATA_RECV_QV18 = x'%1'")
               .arg(QString::fromLatin1(CurveBlob::toBlob({1, 2, 3, 4, 5, 6}).toHex()))
        << QVector<double>{1, 2, 3, 4, 5, 6};
}

void TestDataModel::editsLeaveUnplaceableCurvesAlone()
{
    // A response whose values cannot be matched to gate times must not be
    // replaced by a restore, a fit or a save.
    QFETCH(QString, damage);
    QFETCH(QVector<double>, response);
    QVERIFY(writeProject(path(), {line(1, {gatedStation(1, {100, 200, 300}, {1, 2, 3}, {11, 12, 13})})}));
    {
        Reader w(path());
        w.column(damage);
        QCOMPARE(w.curve(1, "DATA_RECV_QV18"), response);
    }
    open(path());
    m_model->clearPointInfo(0, 0);
    m_model->resetPointData(0);
    m_model->applyFittingMethod(0, 0);
    m_model->applyFittingMethod(0, 3);
    if (m_model->rememberShownStation(0, 0, SAMPLE_QV18, 150, 4e6, {200, 300}))
        m_model->on_signal_FileSavedToDB({7, 8}, {200, 300});

    Reader r(path());
    QCOMPARE(r.curve(1, "DATA_RECV_QV18"), response);
    // The other schemes were never touched.
    QCOMPARE(r.curve(1, "DATA_RECV_LOG10"), (QVector<double>{1, 2, 3}));
}

QTEST_MAIN(TestDataModel)
#include "tst_datamodel.moc"
