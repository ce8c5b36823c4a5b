#include "shell/Dialog_MergeData.h"
#include "ui_Dialog_MergeData.h"

#include <QDir>
#include <QMetaProperty>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <cmath>
#include <memory>

#include "model/UserPrompt.h"
#include "store/CurveBlob.h"
#include "store/Data_Line.h"
#include "store/Data_Point.h"
#include "store/Data_Project.h"
#include "store/Data_Sample.h"
#include "store/Data_WorkSet.h"
#include "store/LibHORM.h"

namespace {

const char* const kCaption = "打开QELVA文件";
const char* const kFilter = "QELVA文件(*.QELVA *.MORSA)";

bool registerEntities(LibHORM* lib)
{
    return lib->registerSchema({&Data_Project::staticMetaObject, &Data_Line::staticMetaObject,
                                &Data_Point::staticMetaObject, &Data_Sample::staticMetaObject,
                                &Data_WorkSet::staticMetaObject},
                                {&Data_WorkSet::staticMetaObject});
}

// A column of B that the merge reads: whether it is unpacked as doubles,
// and the column and test of its row under which it is read (none: always).
struct ReadColumn {
    const char* name;
    bool curve;
    const char* whenColumn;
    const char* whenTest;
};

// Rows of one table that the merge reads, the columns it reads of them,
// and what names a row to the user.
struct ReadTable {
    const QMetaObject* meta;
    const char* alias;
    const char* rows;
    const char* place;
    QList<ReadColumn> columns;
};

QList<ReadTable> readTables()
{
    auto plain = [](const char* name) { return ReadColumn{name, false, nullptr, nullptr}; };
    auto sampledCurve = [](const char* name) { return ReadColumn{name, true, "IsSampled", "> 0"}; };
    return {
        {&Data_Line::staticMetaObject, "l", "Data_Line l", "l.NAME", {plain("NAME"), plain("USE"), plain("NOTE")}},
        {&Data_Point::staticMetaObject, "p", "Data_Point p JOIN Data_Line l ON p.Data_LineID = l.ID", "l.NAME, p.NAME",
         {plain("NAME"), plain("USE"), plain("XCoord"), plain("YCoord"), plain("ZCoord"), plain("HasZCoord"),
          plain("IsSampled"), plain("TYPE"), plain("NOTE"), sampledCurve("DATA_RECV_QV18"),
          sampledCurve("DATA_TIMERECV_QV18"), sampledCurve("DATA_RECV_QV18RAW"), sampledCurve("DATA_RECV_LOG10"),
          sampledCurve("DATA_TIMERECV_LOG10"), sampledCurve("DATA_RECV_LOG10RAW"), sampledCurve("DATA_RECV_LOG20"),
          sampledCurve("DATA_TIMERECV_LOG20"), sampledCurve("DATA_RECV_LOG20RAW")}},
        {&Data_Sample::staticMetaObject, "s",
         "Data_Sample s JOIN Data_Point p ON s.Data_PointID = p.ID JOIN Data_Line l ON p.Data_LineID = l.ID",
         "l.NAME, p.NAME, (SELECT COUNT(*) FROM Data_Sample t WHERE t.Data_PointID = s.Data_PointID"
         " AND t.rowid <= s.rowid)",
         {ReadColumn{"DATA_RECV", true, nullptr, nullptr}, ReadColumn{"DATA_RECV_POS", true, "DeviceType", "= 1"},
          plain("USE"), plain("StartTime"), plain("TYPE"), plain("PERIOD"), plain("SendFs"), plain("RecvFs"),
          plain("NOTE"), plain("SampleSendFs"), plain("SampleOffFs"), plain("DeviceType"), plain("DATA_SEND"),
          plain("DATA_SOFF")}},
    };
}

// SQL that holds when the column's value reads as its field's type as it
// stands. NULL reads as the field's default, as everywhere (old rows of an
// added column hold it); any other value of another kind would read as 0,
// be cut, or come out as other bytes.
QString readableSql(const ReadTable& table, const ReadColumn& column)
{
    const QString value = QStringLiteral("%1.%2").arg(QLatin1String(table.alias), QLatin1String(column.name));
    const int p = table.meta->indexOfProperty(column.name);
    QString test;
    switch (p >= 0 ? table.meta->property(p).userType() : int(QMetaType::UnknownType)) {
    case QMetaType::Int:
        test = QStringLiteral("typeof(%1) IN ('integer', 'real') AND %1 = CAST(%1 AS INTEGER)"
                              " AND %1 BETWEEN -2147483648 AND 2147483647");
        break;
    case QMetaType::LongLong:
        test = QStringLiteral("typeof(%1) = 'integer' OR (typeof(%1) = 'real' AND %1 = CAST(%1 AS INTEGER)"
                              " AND abs(%1) < 9.2e18)");
        break;
    case QMetaType::Double:
        test = QStringLiteral("typeof(%1) IN ('integer', 'real')");
        break;
    case QMetaType::QString:
        test = QStringLiteral("typeof(%1) IN ('text', 'integer', 'real')");
        break;
    case QMetaType::QByteArray:
        // Curves are read as whole 8-byte values: a cut-off one would be dropped.
        test = column.curve ? QStringLiteral("typeof(%1) = 'blob' AND length(%1) % 8 = 0")
                            : QStringLiteral("typeof(%1) = 'blob'");
        break;
    default:
        test = QStringLiteral("1");
        break;
    }
    const QString readable = QStringLiteral("(typeof(%1) = 'null' OR (%2))").arg(value, test.arg(value));
    if (!column.whenColumn)
        return readable;
    return QStringLiteral("(CASE WHEN %1.%2 %3 THEN %4 ELSE 1 END)")
        .arg(QLatin1String(table.alias), QLatin1String(column.whenColumn), QLatin1String(column.whenTest), readable);
}

QString placeText(const QVariant& v)
{
    if (v.type() == QVariant::ByteArray)
        return QStringLiteral("X'%1'").arg(QString::fromLatin1(v.toByteArray().left(8).toHex().toUpper()));
    return v.toString();
}

// The first value of B that the merge reads and could not read as it
// stands, named for the user ("测线 1 测点 11 的 XCoord 值 'abc'"); empty
// when there is none. complete is false when B could not be searched whole.
QString unreadableValue(LibHORM& lib, bool& complete)
{
    complete = true;
    for (const ReadTable& table : readTables()) {
        const QString cls = QString::fromLatin1(table.meta->className());
        for (const ReadColumn& column : table.columns) {
            // A column the file lacks reads as its default, and so does the
            // one that decides whether this one is read.
            if (lib.isAbsent(cls, QLatin1String(column.name))
                || (column.whenColumn && lib.isAbsent(cls, QLatin1String(column.whenColumn))))
                continue;
            QSqlQuery query(*lib.database());
            query.setForwardOnly(true);
            const QString sql = QStringLiteral("SELECT %1, substr(quote(%2.%3), 1, 41) FROM %4 WHERE NOT %5 LIMIT 1")
                                    .arg(QLatin1String(table.place), QLatin1String(table.alias),
                                         QLatin1String(column.name), QLatin1String(table.rows),
                                         readableSql(table, column));
            if (!lib.execute(query, sql)) {
                complete = false;
                return QString();
            }
            if (!query.next()) {
                complete = query.lastError().type() == QSqlError::NoError;
                if (!complete)
                    return QString();
                continue;
            }
            const int places = query.record().count() - 1;
            const QString line = placeText(query.value(0));
            QString place = QStringLiteral("测线 %1 的 ").arg(line);
            if (places == 2)
                place = QStringLiteral("测线 %1 测点 %2 的 ").arg(line, placeText(query.value(1)));
            if (places > 2)
                place = QStringLiteral("测线 %1 测点 %2 的第 %3 个采样的 ")
                            .arg(line, placeText(query.value(1)))
                            .arg(query.value(2).toLongLong());
            QString shown = query.value(places).toString();
            if (shown.size() > 40)
                shown = shown.left(36) + QStringLiteral("…");
            return QStringLiteral("%1%2 值 %3").arg(place, QLatin1String(column.name), shown);
        }
    }
    return QString();
}

} // namespace

Dialog_MergeData::Dialog_MergeData(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::Dialog_MergeData)
{
    ui->setupUi(this);
    ui->pushButton_OK->setEnabled(false);
}

Dialog_MergeData::~Dialog_MergeData()
{
    closeFileA();
    delete ui;
}

void Dialog_MergeData::closeFileA()
{
    // The collections hold entities of A's connection: gone before it.
    delete m_aLines;
    m_aLines = nullptr;
    delete m_aProjects;
    m_aProjects = nullptr;
    delete m_a;
    m_a = nullptr;
}

bool Dialog_MergeData::openFileA(const QString& path)
{
    // A file that cannot be opened leaves the A shown in the path field open.
    const QString inUse = QStringLiteral("文件A %1 正被其他程序使用，未能打开，不能用于合并。")
                              .arg(QDir::toNativeSeparators(path));
    LibHORM* lib = new LibHORM(this);
    if (!lib->open(path)) {
        const bool busy = lib->busyFailures() > 0;
        delete lib;
        if (busy)
            UserPrompt::critical(QStringLiteral("合并数据库"), inUse);
        return false;
    }
    // A table that could not be brought up to date would lack columns the
    // merge writes.
    const int refusedBefore = lib->busyFailures();
    registerEntities(lib);
    if (lib->busyFailures() != refusedBefore) {
        delete lib;
        UserPrompt::critical(QStringLiteral("合并数据库"), inUse);
        return false;
    }
    closeFileA();
    m_a = lib;
    m_aProjects = new HORM_Collection<Data_Project>(m_a);
    m_aLines = new HORM_Collection<Data_Line>(m_a);
    ui->lineEdit->setText(path);
    return true;
}

bool Dialog_MergeData::readFileB(const QString& path)
{
    // Whatever happens to this choice, an earlier B is no longer the one
    // chosen: only a B read whole may be merged.
    forgetFileB();
    const QString title = QStringLiteral("合并数据库");
    const QString file = QDir::toNativeSeparators(path);
    const QString inUse = QStringLiteral("文件B %1 正被其他程序使用，未读取其中的数据，不能用于合并。").arg(file);
    // B is only read: its file stays as it was, byte for byte.
    std::unique_ptr<LibHORM> lib(new LibHORM);
    if (!lib->openReadOnly(path)) {
        UserPrompt::critical(title, lib->busyFailures() > 0
                                        ? inUse
                                        : QStringLiteral("文件B %1 无法打开，未读取其中的数据，不能用于合并。").arg(file));
        return false;
    }
    // Only the rows that survived the damage could be read: merging them
    // would pass a part of B off as all of it.
    const int refusedBefore = lib->busyFailures();
    bool whole = !lib->isDamaged() && registerEntities(lib.get());
    if (lib->isDamaged()) {
        UserPrompt::critical(title, QStringLiteral("文件B %1 已损坏，未读取其中的数据，不能用于合并。").arg(file));
        return false;
    }
    // A value read as 0 (or as other bytes) would reach A as if B held it.
    bool searched = false;
    const QString unreadable = whole ? unreadableValue(*lib, searched) : QString();
    whole = whole && searched;
    if (!unreadable.isEmpty()) {
        UserPrompt::critical(title, QStringLiteral("文件B %1 中%2 不是该列应有的类型，无法读取，不能用于合并，"
                                                   "未合并任何数据。")
                                        .arg(file, unreadable));
        return false;
    }
    QList<DataType_MergeLine> linesOfB;
    QList<QList<DataType_MergePoint> > pointsOfB;
    QList<QList<QList<DataType_MergeSample> > > samplesOfB;
    {
        HORM_Collection<Data_Line> lines(lib.get());
        whole = whole && lines.isComplete();
        for (int l = 0; whole && l < lines.size(); ++l) {
            Data_Line* line = lines.at(l).value();
            if (!line) {
                whole = false;
                break;
            }
            DataType_MergeLine mergeLine;
            mergeLine.NAME = line->NAME();
            mergeLine.NOTE = line->NOTE();
            mergeLine.USE = line->USE();
            linesOfB.append(mergeLine);

            QList<DataType_MergePoint> points;
            QList<QList<DataType_MergeSample> > pointSamples;
            line->loadReferences();
            HORM_Collection<Data_Point>* stations = line->REF_Data_Point();
            whole = stations && stations->isComplete();
            for (int s = 0; whole && s < stations->size(); ++s) {
                if (readTestHook)
                    readTestHook();
                Data_Point* station = stations->at(s).value();
                if (!station) {
                    whole = false;
                    break;
                }
                DataType_MergePoint point;
                point.NAME = station->NAME();
                point.USE = station->USE();
                point.XCoord = station->XCoord();
                point.YCoord = station->YCoord();
                point.ZCoord = station->ZCoord();
                point.HasZCoord = station->HasZCoord();
                point.IsSampled = station->IsSampled();
                point.TYPE = station->TYPE();
                point.NOTE = station->NOTE();
                if (point.IsSampled > 0) {
                    station->unpackQV18(point.RECV_QV18, point.TIMERECV_QV18, point.RECV_QV18RAW, 0.0, 4e6);
                    station->unpackLOG10(point.RECV_LOG10, point.TIMERECV_LOG10, point.RECV_LOG10RAW, 0.0, 4e6);
                    station->unpackLOG20(point.RECV_LOG20, point.TIMERECV_LOG20, point.RECV_LOG20RAW, 0.0, 4e6);
                }
                points.append(point);

                QList<DataType_MergeSample> samples;
                station->loadReferences();
                HORM_Collection<Data_Sample>* records = station->REF_Data_Sample();
                whole = records && records->isComplete();
                for (int k = 0; whole && k < records->size(); ++k) {
                    Data_Sample* record = records->at(k).value();
                    // A sample whose blobs did not load would arrive empty.
                    if (!record || !record->update()) {
                        whole = false;
                        break;
                    }
                    SendRecord send;
                    RecvRecord recv;
                    record->splitSendRecv(send, recv);
                    DataType_MergeSample sample;
                    record->unpackRecv(sample.RecvValues, sample.RecvPositions, false);
                    sample.USE = record->USE();
                    sample.StartTime = record->StartTime();
                    sample.TYPE = record->TYPE();
                    sample.PERIOD = record->PERIOD();
                    sample.SendFs = send.SendFs;
                    sample.RecvFs = recv.RecvFs;
                    sample.NOTE = record->NOTE();
                    sample.SampleSendFs = send.SampleSendFs;
                    sample.SampleOffFs = send.SampleOffFs;
                    sample.DeviceType = record->DeviceType();
                    sample.DATA_SEND = send.DATA_SEND;
                    sample.DATA_SOFF = send.DATA_SOFF;
                    samples.append(sample);
                }
                // The copies above are all the merge needs of the blobs.
                station->releaseSampleBlobs();
                pointSamples.append(samples);
            }
            pointsOfB.append(points);
            samplesOfB.append(pointSamples);
        }
        // Another program's lock refuses a read without it being seen above
        // (a count read as none).
        whole = whole && lib->busyFailures() == refusedBefore;
    }
    if (!whole) {
        const QString why = lib->busyFailures() != refusedBefore ? QStringLiteral("正被其他程序使用，") : QString();
        UserPrompt::critical(title,
                             QStringLiteral("文件B %1 %2未能完整读取，不能用于合并，未合并任何数据。").arg(file, why));
        return false;
    }

    m_lines = linesOfB;
    m_points = pointsOfB;
    m_samples = samplesOfB;
    m_haveB = true;
    ui->lineEdit_2->setText(path);
    return true;
}

void Dialog_MergeData::forgetFileB()
{
    m_lines.clear();
    m_points.clear();
    m_samples.clear();
    m_haveB = false;
    ui->lineEdit_2->clear();
}

bool Dialog_MergeData::addStation(HORM_Collection<Data_Point>* stations, const DataType_MergePoint& point,
                                  const QList<DataType_MergeSample>& samples)
{
    Data_Point* station = stations->addNew().value();
    if (!station || !station->hasStoredKey())
        return false;
    station->setNAME(point.NAME);
    station->setUSE(point.USE);
    station->setTYPE(point.TYPE);
    station->setXCoord(point.XCoord);
    station->setYCoord(point.YCoord);
    station->setZCoord(point.ZCoord);
    station->setIsSampled(point.IsSampled);
    station->setHasZCoord(point.HasZCoord);
    station->setNOTE(point.NOTE);
    if (point.IsSampled > 0) {
        station->setDATA_RECV_QV18(CurveBlob::toBlob(point.RECV_QV18));
        station->setDATA_RECV_QV18RAW(CurveBlob::toBlob(point.RECV_QV18RAW));
        station->setDATA_TIMERECV_QV18(CurveBlob::toBlob(point.TIMERECV_QV18));
        station->setDATA_RECV_LOG10(CurveBlob::toBlob(point.RECV_LOG10));
        station->setDATA_RECV_LOG10RAW(CurveBlob::toBlob(point.RECV_LOG10RAW));
        station->setDATA_TIMERECV_LOG10(CurveBlob::toBlob(point.TIMERECV_LOG10));
        station->setDATA_RECV_LOG20(CurveBlob::toBlob(point.RECV_LOG20));
        station->setDATA_RECV_LOG20RAW(CurveBlob::toBlob(point.RECV_LOG20RAW));
        station->setDATA_TIMERECV_LOG20(CurveBlob::toBlob(point.TIMERECV_LOG20));
    }

    station->loadReferences();
    HORM_Collection<Data_Sample>* records = station->REF_Data_Sample();
    if (!records && !samples.isEmpty())
        return false;
    for (const DataType_MergeSample& sample : samples) {
        Data_Sample* record = records->addNew().value();
        if (!record || !record->hasStoredKey())
            return false;
        record->setStartTime(sample.StartTime);
        record->setDeviceType(sample.DeviceType);
        record->setTYPE(sample.TYPE);
        record->setPERIOD(sample.PERIOD);
        record->setSendFs(sample.SendFs);
        record->setRecvFs(sample.RecvFs);
        record->setSampleSendFs(sample.SampleSendFs);
        record->setSampleOffFs(sample.SampleOffFs);
        record->setUSE(sample.USE);
        record->setNOTE(sample.NOTE);
        record->setDATA_SEND(sample.DATA_SEND);
        record->setDATA_SOFF(sample.DATA_SOFF);
        record->setDATA_RECV(CurveBlob::toBlob(sample.RecvValues));
        record->setDATA_RECV_POS(CurveBlob::toBlob(sample.RecvPositions));
        if (!record->commit())
            return false;
        // Written; the copy in memory is not needed any more.
        record->releaseLazyColumns();
    }
    return station->commit();
}

bool Dialog_MergeData::mergeIntoA()
{
    if (!isFileAOpen() || !m_a->database() || m_a->refusesWrites() || !m_haveB)
        return false;
    // A whole at once, so that a program reading A is waited for once
    // rather than at every page the merge writes out.
    if (!m_a->exclusiveTransaction())
        return false;

    // One write that fails makes the merge fail as a whole: a part of B in A
    // could not be told from the rest of A afterwards.
    bool written = true;
    for (int i = 0; written && i < m_lines.size(); ++i) {
        const DataType_MergeLine& bLine = m_lines.at(i);
        // The last A line whose whole number equals B's number takes B's stations.
        Data_Line* match = nullptr;
        for (int l = 0; l < m_aLines->size(); ++l) {
            Data_Line* aLine = m_aLines->at(l).value();
            if (aLine && std::trunc(aLine->NAME()) == bLine.NAME)
                match = aLine;
        }
        Data_Line* target = match;
        if (!target) {
            target = m_aLines->addNew().value();
            if (!target || !target->hasStoredKey()) {
                written = false;
                break;
            }
            target->setNAME(bLine.NAME);
            target->setUSE(bLine.USE);
            target->setNOTE(bLine.NOTE);
        }
        target->loadReferences();
        HORM_Collection<Data_Point>* stations = target->REF_Data_Point();
        written = stations || m_points.at(i).isEmpty();
        for (int j = 0; written && j < m_points.at(i).size(); ++j)
            written = addStation(stations, m_points.at(i).at(j), m_samples.at(i).at(j));
        written = written && target->commit();
    }

    if (written && m_a->commit())
        return true;
    // A failed commit has rolled back already.
    if (!written)
        m_a->rollback();
    // The collections now hold rows that were rolled back: read A afresh.
    delete m_aLines;
    m_aLines = new HORM_Collection<Data_Line>(m_a);
    return false;
}

void Dialog_MergeData::on_pushButton_OpenA_clicked()
{
    const QString path = UserPrompt::getOpenFileName(this, QString::fromUtf8(kCaption), QStringLiteral(" "),
                                                     QString::fromUtf8(kFilter));
    if (path.isEmpty())
        return;
    openFileA(path);
}

void Dialog_MergeData::on_pushButton_OpenB_clicked()
{
    const QString path = UserPrompt::getOpenFileName(this, QString::fromUtf8(kCaption), QStringLiteral(" "),
                                                     QString::fromUtf8(kFilter));
    if (path.isEmpty())
        return;
    readFileB(path);
}

void Dialog_MergeData::on_pushButton_clicked()
{
    if (!isFileAOpen()) {
        UserPrompt::informationOk(QStringLiteral("合并数据库"), QStringLiteral("请先选择合并文件A"));
        return;
    }
    const QString fileA = QDir::toNativeSeparators(m_a->path());
    if (m_a->isDamaged()) {
        // Rolling back the cut-off write is a write of the open itself.
        UserPrompt::critical(QStringLiteral("合并数据库"),
                             m_a->rolledBackAtOpen()
                                 ? QStringLiteral("合并数据库失败：文件A %1 已损坏。打开时已按其日志文件撤销了上次中断的"
                                                  "写入，该文件因此已被改写；此后以只读方式打开，未合并任何数据。")
                                       .arg(fileA)
                                 : QStringLiteral("合并数据库失败：文件A %1 已损坏，已以只读方式打开，未合并任何数据。")
                                       .arg(fileA));
        return;
    }
    // B's triggers never run: B is only read.
    if (m_a->hasTriggers()) {
        const QStringList names = m_a->triggers();
        UserPrompt::critical(QStringLiteral("合并数据库"),
                             QStringLiteral("合并数据库失败：文件A %1 的数据表带有触发器 %2（不是本程序创建的），"
                                            "写入时触发器可能改动或删除其中的数据，已以只读方式打开，未合并任何数据。")
                                 .arg(fileA, names.mid(0, 3).join(QStringLiteral("、"))
                                                 + (names.size() > 3 ? QStringLiteral("等") : QString())));
        return;
    }
    if (!m_haveB) {
        UserPrompt::informationOk(QStringLiteral("合并数据库"),
                                  QStringLiteral("没有可合并的数据：未读取合并文件B，文件A保持原样。"));
        return;
    }
    if (!mergeIntoA()) {
        UserPrompt::critical(QStringLiteral("合并数据库"),
                             QStringLiteral("合并数据库失败：无法写入文件A %1，本次合并已撤销，文件A保持原样。")
                                 .arg(fileA));
        return;
    }
    UserPrompt::informationOk(QStringLiteral("合并数据库"), QStringLiteral("合并数据库成功"));
    ui->pushButton_OK->setEnabled(true);
    ui->pushButton->setEnabled(false);
}

void Dialog_MergeData::on_pushButton_OK_clicked()
{
    closeFileA();
    close();
}

void Dialog_MergeData::on_pushButton_No_clicked()
{
    close();
}
