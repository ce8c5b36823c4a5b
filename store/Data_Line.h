#ifndef HW_STORE_DATA_LINE_H
#define HW_STORE_DATA_LINE_H

#include <QPointer>
#include <QString>
#include <QVector>

#include "iolib/GPSCoordinate.h"
#include "model/SharedTypes.h"
#include "store/HORM_BaseObject.h"
#include "store/HORM_Collection.h"

class Data_Calc;
class Data_Point;

// One survey line; its stations are the child collection REF_Data_Point.
class Data_Line : public HORM_BaseObject
{
    Q_OBJECT
    Q_PROPERTY(double NAME READ NAME WRITE setNAME)
    Q_PROPERTY(int TYPE READ TYPE WRITE setTYPE)
    Q_PROPERTY(int USE READ USE WRITE setUSE)
    Q_PROPERTY(QString NOTE READ NOTE WRITE setNOTE)
    Q_PROPERTY(int SampleMode READ SampleMode WRITE setSampleMode RESET resetSampleMode)
    Q_PROPERTY(HORM_Collection<Data_Point>* REF_Data_Point READ REF_Data_Point RESET resetREF_Data_Point)
    Q_CLASSINFO("NAME", "DB")
    Q_CLASSINFO("TYPE", "DB")
    Q_CLASSINFO("USE", "DB")
    Q_CLASSINFO("NOTE", "DB")
    Q_CLASSINFO("SampleMode", "DB")
    Q_CLASSINFO("Data_Point", "DB_REFFENCE")

public:
    explicit Data_Line(LibHORM* lib, QObject* parent = nullptr);
    ~Data_Line() override;

    double NAME() const { return m_NAME; }
    void setNAME(double value);
    int TYPE() const { return m_TYPE; }
    void setTYPE(int value);
    int USE() const { return m_USE; }
    void setUSE(int value);
    QString NOTE() const { return m_NOTE; }
    void setNOTE(const QString& value);
    int SampleMode() const { return m_SampleMode; }
    void setSampleMode(int value);
    // SampleMode := 0 without marking it changed.
    void resetSampleMode();

    // The line's stations (built on first use, owned by the line).
    HORM_Collection<Data_Point>* REF_Data_Point();
    void resetREF_Data_Point();
    // The ORDER BY of the stations. Given before they are first loaded,
    // they are selected once, in that order.
    void setPointOrder(const QString& order);

    // Hands calc down to every station and sample of the line.
    void setDataCalc(Data_Calc* calc);
    Data_Calc* dataCalc() const;

    // The curves of the usable stations at collection indices first..last
    // (clamped), on scheme 0 (QV18), 1 (LOG10) or 2 (LOG20), inside the time
    // window and station-number range of param. Stations with USE 0 or
    // TYPE 1, outside the range, or repeating a collected NAME are left out.
    // Gates are matched by time: the line keeps the gate times that every
    // collected station has, in the first station's order. With transpose,
    // curves is one row per gate of absolute values, else one signed row per
    // station. stations, coordinates and currents (each station's mean send
    // current, read with its turn-off time) follow the collected stations;
    // offTimes gets one entry per station that passed the filters, also for
    // one dropped afterwards for an empty curve. Nothing is written when no
    // station (or no shared gate) is left, or curves, times or stations is
    // null; a null offTimes, coordinates or currents is simply not filled.
    // False, with nothing written, when a station's samples could not be
    // read whole (another program's lock, a row gone); reading stops there.
    bool getLineData(InvParam param, QVector<QVector<double>>* curves, QVector<double>* times,
                     QVector<double>* stations, QVector<double>* offTimes,
                     QVector<GPSCoordinate>* coordinates, bool transpose, int scheme, int first, int last,
                     QVector<double>* currents = nullptr);

private:
    double m_NAME = 0.0;
    int m_TYPE = 0;
    // A row whose USE is NULL is in use, as for stations and samples.
    int m_USE = 1;
    QString m_NOTE;
    int m_SampleMode = 0;
    HORM_Collection<Data_Point>* m_points = nullptr;
    QString m_pointOrder;
    QPointer<Data_Calc> m_calc;
};

#endif // HW_STORE_DATA_LINE_H
