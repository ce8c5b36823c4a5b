#ifndef HW_VIEWS_VOLUMEVALUEFILE_H
#define HW_VIEWS_VOLUMEVALUEFILE_H

#include <QList>
#include <QString>

// Grid values imported into the volume view from a text file.
class VolumeValueFile
{
public:
    // Reads the first field of every line as one grid value (the first line
    // is data too; empty lines are skipped). *largest gets the largest
    // truncated value of the lines after the first (-1000 when there are
    // none). False when the file cannot be opened (*error empty) or a line
    // does not start with a number (*error says which).
    static bool read(const QString &path, QList<double> *values, int *largest, QString *error);

    // v truncated to an int within +-1e9; 0 when v is not finite.
    static int truncated(double v);
};

#endif // HW_VIEWS_VOLUMEVALUEFILE_H
