#ifndef HW_TOOLS_PROJECTGENERATOR_H
#define HW_TOOLS_PROJECTGENERATOR_H

// Writes synthetic survey projects (.QELVA / .MORSA) through the store, made
// from a known earth model, for fixtures, benchmarks and a first-time demo.
//
// Earth model: under every station a column of horizontal layers: the
// layered background (by default a half-space of the background
// resistivity), and a conductive zone under a range of stations of a range
// of lines, between two depths (by default the whole column), with a taper
// in log resistivity at its edges. A custom function of line and station
// number may instead give a half-space under each station.
//
// What one sample holds, and why:
//   DATA_SOFF  the transmitter current (A) around its turn-off, sampled at
//              kTurnOffRate (1 MHz): flat at the current, a linear ramp of
//              kRampLength to zero, then zero. The ramp is placed so that the
//              turn-off detection of the loading (Data_Calc::findSettledIndex)
//              finds a time on the receiver's 10 us clock (turnOffTime()).
//   DATA_SEND  one period of the bipolar transmitter current (A) at
//              kSendRecordLength samples: +I, off, -I, off, each a quarter
//              period, the on-times rising with the loop's time constant.
//              The station's send-current formula (half the swing between
//              samples half a record apart over the record's second eighth)
//              gives the current exactly. SendFs is the base frequency: the
//              highest of 25, 12.5, 6.25, ... Hz whose off-time holds the
//              whole receive record.
//   DATA_RECV  the receiver record, one value every kSampleInterval (10 us)
//              from 10 us on (DeviceType 2: the loading assigns the times
//              10, 20, 30, ...):
//                value(t) = kReceiverGain * V(t - timeZero())
//              V = -kReceiverArea * current * dBz/dt: the central-loop
//              step-off voltage in volts of the station's earth column
//              under a loop of radius kLoopRadius (CentralLoopResponse, the
//              generator's own layered-earth forward model), at the
//              transmitter current of the options (default 10 A, the
//              current the line view assumes). Before timeZero() + 10 us
//              the record holds the 10 us value (the receiver's input is
//              clipped while the primary field collapses).
//              A column's response is computed once, on a logarithmic time
//              grid, and every sample of every station standing on the same
//              column is interpolated from it.
// Loading then stacks the identical samples, drops the samples up to the
// turn-off time, moves the times onto the 1.6 us grid (each time becomes up
// to 1.6 us earlier, or under 1 us later), smooths (3-point means from the
// 12th sample on, 5-point means from the 102nd), takes |x / 11| and averages
// into gates. The gain 11 is thus removed by the loading, and as the
// controller does not normalise by the current by default, the stored curve
// is in volts at the generated current (with normalising it would be volts
// per ampere):
//                stored(gate) ~= V(gate centre)
// to within the gate averaging, the 1.6 us grid and the smoothing (the
// round-trip test states the bounds). For a MORSA project the loading
// subtracts kMorsaDelay (220 us) from the times, so a MORSA record's decay
// starts kMorsaDelay after the turn-off (timeZero() = turnOffTime() + 220);
// the MORSA blend of the 18-window curve is the loading's own and is not
// undone here.
//
// Written rows: one Data_Project (coil set-up, number ranges, turn-off time),
// one Data_WorkSet that every sample refers to, the lines (TYPE 0, USE 1),
// their stations (TYPE 0, USE 1, IsSampled -1: to be gated at the first
// load; coordinates from the options) and the samples (USE 1, TYPE 0).

#include <QString>
#include <QVector>

#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

class CentralLoopResponse;
class LibHORM;

class ProjectGenerator
{
public:
    struct Options {
        int lines = 3;
        int stationsPerLine = 21;
        int samplesPerStation = 3;
        // Values per receive record (10 us each).
        int sampleLength = 2000;
        double firstLine = 100.0;
        double lineStep = 10.0;
        double firstStation = 0.0;
        // Station number step, taken as metres along the line.
        double stationSpacing = 20.0;
        // Distance between lines (m) for the coordinates.
        double lineSpacing = 100.0;

        // The background: a half-space of backgroundResistivity, or, when
        // backgroundLayers is not empty, those resistivities (ohm-m, top
        // first) with backgroundThicknesses (m) for every layer but the
        // last.
        double backgroundResistivity = 100.0;
        QVector<double> backgroundLayers;
        QVector<double> backgroundThicknesses;
        double zoneResistivity = 10.0;
        // Depths (m below the ground) between which the zone replaces the
        // background; by default the whole column.
        double zoneTop = 0.0;
        double zoneBottom = std::numeric_limits<double>::infinity();
        // The zone: station numbers [zoneFrom, zoneTo] of the lines
        // [zoneFirstLine, zoneLastLine]; NaN bounds take the middle third
        // of each line and every line. zoneTaper (m) is the width over
        // which log resistivity changes at the zone's edges.
        double zoneFrom = std::numeric_limits<double>::quiet_NaN();
        double zoneTo = std::numeric_limits<double>::quiet_NaN();
        double zoneFirstLine = std::numeric_limits<double>::quiet_NaN();
        double zoneLastLine = std::numeric_limits<double>::quiet_NaN();
        double zoneTaper = 40.0;
        // When set, replaces the background/zone model: resistivity (ohm-m)
        // of the half-space under (line number, station number).
        std::function<double(double, double)> resistivity;

        // "QELVA" or "MORSA"; must match the file's suffix.
        QString family = QStringLiteral("QELVA");
        // Transmitter current (A); the default is the nominal current the
        // line view hands to the inversion.
        double current = 10.0;

        // Coordinates: x = originX + station number, y = originY + line
        // index x lineSpacing, z a gentle topography around elevation.
        bool coordinates = true;
        double originX = 500000.0;
        double originY = 3000000.0;
        double elevation = 1200.0;

        // First acquisition (ms since the epoch, UTC).
        qint64 startTime = 1780300800000LL;
    };

    static constexpr double kSampleInterval = 10.0;        // us
    static constexpr double kReceiverGain = 11.0;
    static constexpr double kMorsaDelay = 220.0;           // us
    static constexpr double kTurnOffRate = 1.0e6;          // samples per second
    static constexpr int kTurnOffRecordLength = 256;
    static constexpr double kRampLength = 20.0;            // us
    static constexpr int kSendRecordLength = 2048;
    static constexpr double kLoopTimeConstant = 0.1e-3;    // s
    static constexpr double kReceiverRate = 100000.0;      // samples per second
    static constexpr double kLoopRadius = 20.0;            // m
    static constexpr double kReceiverArea = 100.0;         // m^2, turns x area
    // Time grid of a column's response: points per decade.
    static constexpr int kResponsePointsPerDecade = 20;

    // Layers under a station, top first; the last is the basement.
    struct EarthColumn {
        QVector<double> resistivities;   // ohm-m
        QVector<double> thicknesses;     // m, one fewer than resistivities
    };

    ProjectGenerator();
    explicit ProjectGenerator(const Options& options);
    ~ProjectGenerator();

    const Options& options() const { return m_options; }
    void setOptions(const Options& options);

    // Checks the options; false with a message when they cannot make a
    // project.
    bool validate(QString* error = nullptr) const;

    // Writes a new project file. Refuses an existing file, a suffix other
    // than the family, and invalid options; false with a message then.
    bool write(const QString& path, QString* error = nullptr) const;

    QVector<double> lineNumbers() const;
    QVector<double> stationNumbers() const;
    // The earth column under a station.
    EarthColumn column(double lineNo, double stationNo) const;
    // Resistivity (ohm-m) at the top of the column under a station (the
    // half-space's, with the default background).
    double resistivity(double lineNo, double stationNo) const;

    // The turn-off time (us) the loading detects in turnOffRecord().
    double turnOffTime() const { return m_turnOff; }
    // Start of the decay in receiver time (us).
    double timeZero() const;
    // Base frequency (Hz) of the send record.
    double sendFrequency() const;

    QVector<double> turnOffRecord() const { return m_turnOffRecord; }
    QVector<double> sendRecord() const;
    // DATA_RECV of a sample over an earth column, or over a half-space of
    // resistivity rho.
    QVector<double> receiveRecord(const EarthColumn& column) const;
    QVector<double> receiveRecord(double rho) const;

    // What loading should store at a gate of time t (us): the received
    // voltage in volts at the generated current, over an earth column or a
    // half-space of resistivity rho. NaN for an unusable column.
    double modelResponse(double timeUs, const EarthColumn& column) const;
    double modelResponse(double timeUs, double rho) const;

private:
    // A column's received voltage per ampere on the time grid.
    struct ResponseTable;

    void prepareTurnOff();
    bool writeRows(LibHORM& lib, const QString& path, QString* error) const;
    double zoneWeight(double lineNo, double stationNo) const;
    std::shared_ptr<const ResponseTable> responseTable(const EarthColumn& column) const;

    Options m_options;
    QVector<double> m_turnOffRecord;
    double m_turnOff = 0.0;

    // Responses of the columns met so far, by their layers.
    mutable std::mutex m_cacheMutex;
    mutable std::map<std::vector<double>, std::shared_ptr<const ResponseTable> > m_cache;
};

#endif // HW_TOOLS_PROJECTGENERATOR_H
