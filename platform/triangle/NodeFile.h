#ifndef NODEFILE_H
#define NODEFILE_H

#include <QString>
#include <QVector>

class QIODevice;

// A vertex list in the .node text format:
//   <#vertices> <dimension 2> <#attributes> <#boundary markers 0|1>
//   <index> <x> <y> [attributes...] [marker]
// with '#' comments. Vertex numbers start at 0 or 1 and count up by one.
// Every count and field is checked: a vertex line with more or fewer fields
// than the header announces, a number out of sequence, a coordinate or
// attribute that is no finite number, or data after the announced vertices
// make the file malformed.
class NodeFile
{
public:
    struct Vertex {
        double x = 0.0;
        double y = 0.0;
        QVector<double> attributes;
        int marker = 0;
    };

    // Reads path; on failure returns false and sets error to a one-line reason.
    bool read(const QString& path, QString* error);
    // Reads an open device; name stands for it in the reason.
    bool read(QIODevice* device, const QString& name, QString* error);

    // Writes the vertices with the given boundary markers (one per vertex).
    bool write(const QString& path, const QVector<int>& markers, QString* error) const;

    QVector<Vertex> vertices;
    int firstIndex = 1;      // 0 or 1, the numbering base of the file
    int attributeCount = 0;
    bool hasMarkers = false;
};

#endif // NODEFILE_H
