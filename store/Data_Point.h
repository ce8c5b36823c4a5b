#ifndef HW_STORE_DATA_POINT_H
#define HW_STORE_DATA_POINT_H

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>
#include <QVector>

#include "store/HORM_BaseObject.h"
#include "store/HORM_Collection.h"
#include "store/SampleCurve.h"
#include "store/SampleRecord.h"

class Data_Calc;
class Data_Sample;

// One station on a line: its gated curves on the three time-window schemes
// (response, first-computed response, gate times) and its samples
// (child collection REF_Data_Sample).
class Data_Point : public HORM_BaseObject
{
    Q_OBJECT
    Q_PROPERTY(double NAME READ NAME WRITE setNAME)
    Q_PROPERTY(int USE READ USE WRITE setUSE)
    Q_PROPERTY(QString NOTE READ NOTE WRITE setNOTE)
    Q_PROPERTY(int TYPE READ TYPE WRITE setTYPE)
    Q_PROPERTY(int IsSampled READ IsSampled WRITE setIsSampled)
    Q_PROPERTY(qint64 Data_LineID READ Data_LineID WRITE setData_LineID)
    Q_PROPERTY(QByteArray DATA_RECV_QV18 READ DATA_RECV_QV18 WRITE setDATA_RECV_QV18)
    Q_PROPERTY(QByteArray DATA_RECV_QV18RAW READ DATA_RECV_QV18RAW WRITE setDATA_RECV_QV18RAW)
    Q_PROPERTY(QByteArray DATA_TIMERECV_QV18 READ DATA_TIMERECV_QV18 WRITE setDATA_TIMERECV_QV18)
    Q_PROPERTY(QByteArray DATA_RECV_LOG10 READ DATA_RECV_LOG10 WRITE setDATA_RECV_LOG10)
    Q_PROPERTY(QByteArray DATA_RECV_LOG10RAW READ DATA_RECV_LOG10RAW WRITE setDATA_RECV_LOG10RAW)
    Q_PROPERTY(QByteArray DATA_TIMERECV_LOG10 READ DATA_TIMERECV_LOG10 WRITE setDATA_TIMERECV_LOG10)
    Q_PROPERTY(QByteArray DATA_RECV_LOG20 READ DATA_RECV_LOG20 WRITE setDATA_RECV_LOG20)
    Q_PROPERTY(QByteArray DATA_RECV_LOG20RAW READ DATA_RECV_LOG20RAW WRITE setDATA_RECV_LOG20RAW)
    Q_PROPERTY(QByteArray DATA_TIMERECV_LOG20 READ DATA_TIMERECV_LOG20 WRITE setDATA_TIMERECV_LOG20)
    Q_PROPERTY(double XCoord READ XCoord WRITE setXCoord)
    Q_PROPERTY(double YCoord READ YCoord WRITE setYCoord)
    Q_PROPERTY(double ZCoord READ ZCoord WRITE setZCoord)
    Q_PROPERTY(int HasZCoord READ HasZCoord WRITE setHasZCoord)
    Q_PROPERTY(HORM_Collection<Data_Sample>* REF_Data_Sample READ REF_Data_Sample RESET resetREF_Data_Sample)
    Q_CLASSINFO("NAME", "DB")
    Q_CLASSINFO("USE", "DB")
    Q_CLASSINFO("NOTE", "DB")
    Q_CLASSINFO("TYPE", "DB")
    Q_CLASSINFO("IsSampled", "DB")
    Q_CLASSINFO("DATA_RECV_QV18", "DB")
    Q_CLASSINFO("DATA_RECV_QV18RAW", "DB")
    Q_CLASSINFO("DATA_TIMERECV_QV18", "DB")
    Q_CLASSINFO("DATA_RECV_LOG10", "DB")
    Q_CLASSINFO("DATA_RECV_LOG10RAW", "DB")
    Q_CLASSINFO("DATA_TIMERECV_LOG10", "DB")
    Q_CLASSINFO("DATA_RECV_LOG20", "DB")
    Q_CLASSINFO("DATA_RECV_LOG20RAW", "DB")
    Q_CLASSINFO("DATA_TIMERECV_LOG20", "DB")
    Q_CLASSINFO("XCoord", "DB")
    Q_CLASSINFO("YCoord", "DB")
    Q_CLASSINFO("ZCoord", "DB")
    Q_CLASSINFO("HasZCoord", "DB")
    Q_CLASSINFO("Data_LineID", "DB")
    Q_CLASSINFO("Data_LineID", "DB_INDEX")
    Q_CLASSINFO("Data_Sample", "DB_REFFENCE")

public:
    explicit Data_Point(LibHORM* lib, QObject* parent = nullptr);
    ~Data_Point() override;

    double NAME() const { return m_NAME; }
    void setNAME(double value);
    int USE() const { return m_USE; }
    void setUSE(int value);
    QString NOTE() const { return m_NOTE; }
    void setNOTE(const QString& value);
    int TYPE() const { return m_TYPE; }
    void setTYPE(int value);
    int IsSampled() const { return m_IsSampled; }
    void setIsSampled(int value);
    qint64 Data_LineID() const { return m_Data_LineID; }
    void setData_LineID(qint64 value);
    QByteArray DATA_RECV_QV18() const { return m_DATA_RECV_QV18; }
    void setDATA_RECV_QV18(const QByteArray& value);
    QByteArray DATA_RECV_QV18RAW() const { return m_DATA_RECV_QV18RAW; }
    void setDATA_RECV_QV18RAW(const QByteArray& value);
    QByteArray DATA_TIMERECV_QV18() const { return m_DATA_TIMERECV_QV18; }
    void setDATA_TIMERECV_QV18(const QByteArray& value);
    QByteArray DATA_RECV_LOG10() const { return m_DATA_RECV_LOG10; }
    void setDATA_RECV_LOG10(const QByteArray& value);
    QByteArray DATA_RECV_LOG10RAW() const { return m_DATA_RECV_LOG10RAW; }
    void setDATA_RECV_LOG10RAW(const QByteArray& value);
    QByteArray DATA_TIMERECV_LOG10() const { return m_DATA_TIMERECV_LOG10; }
    void setDATA_TIMERECV_LOG10(const QByteArray& value);
    QByteArray DATA_RECV_LOG20() const { return m_DATA_RECV_LOG20; }
    void setDATA_RECV_LOG20(const QByteArray& value);
    QByteArray DATA_RECV_LOG20RAW() const { return m_DATA_RECV_LOG20RAW; }
    void setDATA_RECV_LOG20RAW(const QByteArray& value);
    QByteArray DATA_TIMERECV_LOG20() const { return m_DATA_TIMERECV_LOG20; }
    void setDATA_TIMERECV_LOG20(const QByteArray& value);
    double XCoord() const { return m_XCoord; }
    void setXCoord(double value);
    double YCoord() const { return m_YCoord; }
    void setYCoord(double value);
    double ZCoord() const { return m_ZCoord; }
    void setZCoord(double value);
    int HasZCoord() const { return m_HasZCoord; }
    void setHasZCoord(int value);

    // The station's samples (built on first use, owned by the station).
    HORM_Collection<Data_Sample>* REF_Data_Sample();
    void resetREF_Data_Sample();

    // A scheme's response, gate times and first-computed response, kept
    // where tmin <= time <= tmax. A response of another length than its
    // times is returned whole.
    void unpackQV18(QVector<double>& response, QVector<double>& times, QVector<double>& raw, double tmin, double tmax);
    void unpackLOG10(QVector<double>& response, QVector<double>& times, QVector<double>& raw, double tmin, double tmax);
    void unpackLOG20(QVector<double>& response, QVector<double>& times, QVector<double>& raw, double tmin, double tmax);
    // The response alone, windowed on the scheme's gate times.
    void unpackQV18Response(QVector<double>& response, double tmin, double tmax);
    void unpackLOG10Response(QVector<double>& response, double tmin, double tmax);
    void unpackLOG20Response(QVector<double>& response, double tmin, double tmax);

    // A scheme's (0 QV18, 1 LOG10, 2 LOG20) response lined up on its gate
    // times, with the times and the first-computed response. A response
    // shorter than its times belongs to the last gates (an earlier version
    // stored only the gates from its window start on); the gates before it
    // take their first-computed values.
    // unpackWhole: every gate. False for an unknown scheme, no gate times,
    // or a response that cannot be placed on every gate (longer than the
    // times, or shorter without a whole first-computed curve).
    bool unpackWhole(int scheme, QVector<double>& response, QVector<double>& times, QVector<double>& raw);
    // unpackWindow: the gates within [tmin, tmax] (a NaN time stays). Gates
    // that have no value are left out, a longer response is read as far as
    // the times go. False only for an unknown scheme.
    bool unpackWindow(int scheme, QVector<double>& response, QVector<double>& times, QVector<double>& raw,
                      double tmin, double tmax);

    // Means over the samples in use (0.0 when there are none). The send
    // current mean counts only samples with a finite, non-zero current.
    double meanOffTime();
    double meanSendCurrent();
    // Both means from one reading of each sample. False when the list of
    // samples or a sample's blobs could not be read whole (another
    // program's lock, a row gone): the means then miss what was not read.
    bool sampleMeans(double& offTime, double& sendCurrent);
    // One curve per sample in use, in collection order. whole, when given,
    // is set false when a sample or its blobs could not be read.
    QList<SampleCurve> collectSampleCurves(bool normalise, bool* whole = nullptr);

    // The records of each station's samples in use, one list per station in
    // the order of the station's sample collection, with every sample's
    // blobs read once. The samples of stations whose samples were not
    // loaded yet are read in one statement and make no entities; the others
    // load each sample in use once and drop what they did not hold before.
    // A station without a stored row, or a null one, has no samples.
    static QVector<QList<SampleRecord>> readSampleRecords(const QList<Data_Point*>& stations);

    // Hands calc down to every sample of the station (to samples not
    // listed yet once they are).
    void setDataCalc(Data_Calc* calc);
    Data_Calc* dataCalc() const;

    // Drops the loaded on-demand blobs of the station's samples (keeps those
    // set and not yet committed); nothing is marked changed.
    void releaseSampleBlobs();

private:
    // The station's sample list, read again when an earlier read of it
    // stopped short.
    HORM_Collection<Data_Sample>* readSampleList();
    void handDataCalcToSamples();
    // readSampleRecords of one station through its sample entities.
    QList<SampleRecord> readLoadedSampleRecords();
    // Reads the samples of the stations in unread (key -> positions in
    // records) in one statement; false when it failed, records untouched.
    static bool readUnloadedSampleRecords(LibHORM* lib, const QHash<qint64, QVector<int>>& unread,
                                          QVector<QList<SampleRecord>>& records);
    static void unpackScheme(const QByteArray& responseBlob, const QByteArray& timeBlob, const QByteArray& rawBlob,
                             QVector<double>& response, QVector<double>& times, QVector<double>& raw,
                             double tmin, double tmax);
    // The scheme's three columns as they are stored; false for an unknown
    // scheme.
    bool unpackStored(int scheme, QVector<double>& response, QVector<double>& times, QVector<double>& raw);
    // Lines response up as above; with whole, false where that leaves a
    // gate without a value, else such gates are dropped from times and raw.
    static bool alignToGates(QVector<double>& response, QVector<double>& times, QVector<double>& raw,
                             bool whole);
    static void unpackSchemeResponse(const QByteArray& responseBlob, const QByteArray& timeBlob,
                                     QVector<double>& response, double tmin, double tmax);

    double m_NAME = 0.0;
    int m_USE = 1;
    QString m_NOTE;
    int m_TYPE = 0;
    int m_IsSampled = -1;
    qint64 m_Data_LineID = 0;
    QByteArray m_DATA_RECV_QV18;
    QByteArray m_DATA_RECV_QV18RAW;
    QByteArray m_DATA_TIMERECV_QV18;
    QByteArray m_DATA_RECV_LOG10;
    QByteArray m_DATA_RECV_LOG10RAW;
    QByteArray m_DATA_TIMERECV_LOG10;
    QByteArray m_DATA_RECV_LOG20;
    QByteArray m_DATA_RECV_LOG20RAW;
    QByteArray m_DATA_TIMERECV_LOG20;
    double m_XCoord = 0.0;
    double m_YCoord = 0.0;
    double m_ZCoord = 0.0;
    int m_HasZCoord = -1;
    HORM_Collection<Data_Sample>* m_samples = nullptr;
    QPointer<Data_Calc> m_calc;
    bool m_calcGiven = false;
};

#endif // HW_STORE_DATA_POINT_H
