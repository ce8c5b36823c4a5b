#ifndef HW_DIALOG_MERGEDATA_H
#define HW_DIALOG_MERGEDATA_H

#include <QByteArray>
#include <QDialog>
#include <QList>
#include <QString>
#include <QVector>

#include <functional>

#include "store/HORM_Collection.h"

class Data_Line;
class Data_Point;
class Data_Project;
class LibHORM;

namespace Ui {
class Dialog_MergeData;
}

// One line of file B as read for the merge.
struct DataType_MergeLine {
    double NAME = 0.0;
    int USE = 0;
    QString NOTE;
};

// One station of file B: its fields and its nine curves.
struct DataType_MergePoint {
    double NAME = 0.0;
    int TYPE = 0;
    int USE = 0;
    QString NOTE;
    int IsSampled = 0;
    QVector<double> RECV_QV18;
    QVector<double> RECV_QV18RAW;
    QVector<double> TIMERECV_QV18;
    QVector<double> RECV_LOG10;
    QVector<double> RECV_LOG10RAW;
    QVector<double> TIMERECV_LOG10;
    QVector<double> RECV_LOG20;
    QVector<double> RECV_LOG20RAW;
    QVector<double> TIMERECV_LOG20;
    double XCoord = 0.0;
    double YCoord = 0.0;
    double ZCoord = 0.0;
    int HasZCoord = 0;
};

// One sample of file B; the send and turn-off records travel as stored.
struct DataType_MergeSample {
    qlonglong StartTime = 0;
    int DeviceType = 0;
    int TYPE = 0;
    int PERIOD = 0;
    double SendFs = 0.0;
    double RecvFs = 0.0;
    QVector<double> RecvValues;
    QVector<double> RecvPositions;
    double SampleSendFs = 0.0;
    double SampleOffFs = 0.0;
    int USE = 0;
    QString NOTE;
    QByteArray DATA_SEND;
    QByteArray DATA_SOFF;
};

// Copies the lines, stations and samples of project file B into project
// file A: a line number A lacks becomes a new line, stations of a line
// number A has are appended to it. Nothing in A is changed or removed. The
// dialog opens both files itself; the project tree is not refreshed.
class Dialog_MergeData : public QDialog
{
    Q_OBJECT

public:
    explicit Dialog_MergeData(QWidget* parent = nullptr);
    ~Dialog_MergeData() override;

    // Opens A (true when it is open) and reads B into memory, without
    // writing to B (true when read whole; otherwise the user is told why,
    // and no B is chosen any more); the buttons' slots call these with the
    // chosen path.
    bool openFileA(const QString& path);
    bool readFileB(const QString& path);
    // Adds B's lines to A in one transaction; false, with nothing written,
    // when A is not open, is damaged, no B was read, or any write or the
    // commit fails.
    bool mergeIntoA();

    bool isFileAOpen() const { return m_a != nullptr && m_aLines != nullptr; }
    bool isFileBRead() const { return m_haveB; }

    // Tests only: called before each station of B is read.
    std::function<void()> readTestHook;
    const QList<DataType_MergeLine>& linesOfB() const { return m_lines; }
    const QList<QList<DataType_MergePoint> >& stationsOfB() const { return m_points; }
    const QList<QList<QList<DataType_MergeSample> > >& samplesOfB() const { return m_samples; }

private slots:
    void on_pushButton_OpenA_clicked();
    void on_pushButton_OpenB_clicked();
    void on_pushButton_clicked();
    void on_pushButton_OK_clicked();
    void on_pushButton_No_clicked();

private:
    void closeFileA();
    void forgetFileB();
    // False when a row of the station could not be written.
    bool addStation(HORM_Collection<Data_Point>* stations, const DataType_MergePoint& point,
                    const QList<DataType_MergeSample>& samples);

    Ui::Dialog_MergeData* ui;
    LibHORM* m_a = nullptr;
    HORM_Collection<Data_Project>* m_aProjects = nullptr;
    HORM_Collection<Data_Line>* m_aLines = nullptr;
    QList<DataType_MergeLine> m_lines;
    QList<QList<DataType_MergePoint> > m_points;
    QList<QList<QList<DataType_MergeSample> > > m_samples;
    bool m_haveB = false;
};

#endif
