#include "shell/Dialog_MergeData.h"
#include "ui_Dialog_MergeData.h"

#include <QDir>
#include <QSqlDatabase>

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
const char* const kFilter = "QELVA文件(*.QELVA)";

bool registerEntities(LibHORM* lib)
{
    return lib->registerSchema({&Data_Project::staticMetaObject, &Data_Line::staticMetaObject,
                                &Data_Point::staticMetaObject, &Data_Sample::staticMetaObject,
                                &Data_WorkSet::staticMetaObject},
                                {&Data_WorkSet::staticMetaObject});
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
    LibHORM* lib = new LibHORM(this);
    if (!lib->open(path)) {
        delete lib;
        return false;
    }
    closeFileA();
    m_a = lib;
    registerEntities(m_a);
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
    if (!m_a->transaction())
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
        UserPrompt::critical(QStringLiteral("合并数据库"),
                             QStringLiteral("合并数据库失败：文件A %1 已损坏，已以只读方式打开，未合并任何数据。")
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
