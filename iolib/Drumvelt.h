#ifndef DRUMVELT_H
#define DRUMVELT_H

#include "iolib/DrumveltExport.h"
#include "iolib/GPSCoordinate.h"

#include <QList>
#include <QString>
#include <QVector>

// The instrument's time-scale tables (gate centre times in microseconds),
// the gate averaging of sampled decays on three of them, and the GPS file
// reader. The program holds objects of this class by value, so the member
// list (five QVector<double>, nothing virtual) is binary interface: do not
// add data members or virtual functions.
class DRUMVELT_EXPORT Drumvelt
{
public:
    Drumvelt();
    Drumvelt(const Drumvelt &other);
    Drumvelt &operator=(const Drumvelt &other);
    // A moved-from object keeps five empty tables.
    Drumvelt(Drumvelt &&other) noexcept;
    Drumvelt &operator=(Drumvelt &&other) noexcept;
    ~Drumvelt();

    // Each replaces *times by the centres of the gates that received samples
    // and *values by their means. Only samples at or after 10 us count.
    void QVLOG10TimeWindow(QVector<double> *times, QVector<double> *values); // 30 per decade
    void QVLOG20TimeWindow(QVector<double> *times, QVector<double> *values); // 20 per decade
    void QELVA18TimeWindow(QVector<double> *times, QVector<double> *values); // 18-channel

    // Header line skipped; empty list when the file is missing or unreadable.
    QList<GPSCoordinate> ReadGPSCoordinateFile(QString path);

private:
    friend class TestDrumvelt;   // the unit test checks the tables directly

    QVector<double> getCurrentTimeScale(double min, double max, QVector<double> table);

    QVector<double> timeScaleMixed;
    QVector<double> timeScaleQELVA18;
    QVector<double> timeScale10;
    QVector<double> timeScale20;
    QVector<double> timeScale30;
};

#endif
