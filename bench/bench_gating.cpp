// Prints how long gate averaging of one station's decay takes on each scheme.
// The controller gates every unprocessed station on all three schemes when a
// project is loaded, each on a fresh copy of the raw curve, as done here.

#include "iolib/Drumvelt.h"

#include <QElapsedTimer>
#include <QTextStream>
#include <QVector>

#include <cmath>

int main()
{
    // 4000 samples evenly spaced from 10 us to 4 s, so that every table is
    // used up to its last gate.
    const int samples = 4000;
    const double step = (4e6 - 10.0) / (samples - 1);
    QVector<double> times, values;
    for (int k = 0; k < samples; ++k) {
        const double t = 10.0 + step * k;
        times.append(t);
        values.append(1e6 * std::pow(t, -2.5));
    }

    Drumvelt drumvelt;
    struct Scheme {
        const char *name;
        void (Drumvelt::*window)(QVector<double> *, QVector<double> *);
    };
    const Scheme schemes[] = {{"QELVA18TimeWindow", &Drumvelt::QELVA18TimeWindow},
                              {"QVLOG10TimeWindow", &Drumvelt::QVLOG10TimeWindow},
                              {"QVLOG20TimeWindow", &Drumvelt::QVLOG20TimeWindow}};

    QTextStream out(stdout);
    out << "gating a " << samples << "-sample decay (10 us .. 4 s), per station:\n";
    const int repeats = 2000;
    double checksum = 0.0;
    for (const Scheme &s : schemes) {
        int gates = 0;
        QElapsedTimer timer;
        timer.start();
        for (int r = 0; r < repeats; ++r) {
            QVector<double> t = times, v = values;
            t.detach();
            v.detach();
            (drumvelt.*s.window)(&t, &v);
            gates = t.size();
            checksum += v.isEmpty() ? 0.0 : v.last();
        }
        const double microseconds = timer.nsecsElapsed() / 1e3 / repeats;
        out << "  " << s.name << ": " << gates << " gates, "
            << QString::number(microseconds, 'f', 1) << " us\n";
    }
    out << "(checksum " << checksum << ")\n";
    return 0;
}
