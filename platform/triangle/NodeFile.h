#ifndef NODEFILE_H
#define NODEFILE_H

#include <QString>
#include <QVector>

// A vertex list in the .node text format:
//   <#vertices> <dimension 2> <#attributes> <#boundary markers 0|1>
//   <index> <x> <y> [attributes...] [marker]
// with '#' comments. Vertex numbers start at 0 or 1; later numbers are not
// checked, vertices are identified by their position in the file.
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

    // Writes the vertices with the given boundary markers (one per vertex).
    bool write(const QString& path, const QVector<int>& markers, QString* error) const;

    QVector<Vertex> vertices;
    int firstIndex = 1;      // 0 or 1, the numbering base of the file
    int attributeCount = 0;
    bool hasMarkers = false;
};

#endif // NODEFILE_H
