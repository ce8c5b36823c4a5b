// Mesh program used by the layered-model view.
//
//   triangle [-switches] <file>[.node]
//
// Reads <base>.node and writes <base>.1.node and <base>.1.ele (a base that
// already ends in ".<k>" gives ".<k+1>"). Switches, one letter each, may be
// combined ("-ne"):
//   n  also write the neighbour file <base>.1.neigh
//   e  also write the edge file <base>.1.edge
//   p  the vertices, in file order, are a closed outline: mesh its interior
//      only (otherwise the convex hull of all vertices is meshed)
//   z  number output items from zero whatever the input's base
//   Q  quiet: no summary on standard output
// Output numbering follows the input file's base (0 or 1) unless -z.
// Exit status: 0 success, 1 usage, 2 unreadable or malformed input,
// 3 outline that cannot be meshed, 4 output that cannot be written.

#include "platform/triangle/NodeFile.h"
#include "platform/triangle/PlanarTriangulator.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>

#include <cstdio>

namespace {

int complain(const QString& message, int status)
{
    std::fprintf(stderr, "triangle: %s\n", qPrintable(message));
    return status;
}

bool writeText(const QString& path, const QString& text, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)
        || file.write(text.toUtf8()) < 0) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

// Input base name and output base name for a command-line file argument.
void baseNames(const QString& arg, QString* inputBase, QString* outputBase)
{
    QString base = arg;
    if (base.endsWith(QLatin1String(".node")))
        base.chop(5);
    *inputBase = base;
    static const QRegularExpression iteration(QStringLiteral("^(.*)\\.(\\d+)$"));
    const QRegularExpressionMatch m = iteration.match(base);
    if (m.hasMatch())
        *outputBase = m.captured(1) + QLatin1Char('.') + QString::number(m.captured(2).toInt() + 1);
    else
        *outputBase = base + QStringLiteral(".1");
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);

    bool neighbours = false, edges = false, outline = false, zeroBased = false, quiet = false;
    QString fileArg;
    for (const QString& a : args) {
        if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            for (const QChar c : a.mid(1)) {
                switch (c.toLatin1()) {
                case 'n': neighbours = true; break;
                case 'e': edges = true; break;
                case 'p': outline = true; break;
                case 'z': zeroBased = true; break;
                case 'Q': quiet = true; break;
                default:
                    std::fprintf(stderr, "triangle: ignoring unsupported switch -%c\n", c.toLatin1());
                }
            }
        } else if (fileArg.isEmpty()) {
            fileArg = a;
        } else {
            return complain(QStringLiteral("more than one input file given"), 1);
        }
    }
    if (fileArg.isEmpty())
        return complain(QStringLiteral("usage: triangle [-nepzQ] <file>[.node]"), 1);

    QString inputBase, outputBase;
    baseNames(fileArg, &inputBase, &outputBase);

    NodeFile nodes;
    QString error;
    if (!nodes.read(inputBase + QStringLiteral(".node"), &error))
        return complain(error, 2);

    std::vector<PlanarTriangulator::Point> points;
    points.reserve(nodes.vertices.size());
    for (const NodeFile::Vertex& v : nodes.vertices)
        points.push_back({v.x, v.y});

    PlanarTriangulator::Mesh mesh;
    if (outline) {
        if (!PlanarTriangulator::outline(points, &mesh, &error))
            return complain(QStringLiteral("%1.node: %2").arg(inputBase, error), 3);
    } else {
        mesh = PlanarTriangulator::delaunay(points);
        if (mesh.triangles.empty())
            std::fprintf(stderr, "triangle: %s.node: fewer than three vertices off one line, no triangles\n",
                         qPrintable(inputBase));
    }

    const int base = zeroBased ? 0 : nodes.firstIndex;
    const int vertexCount = nodes.vertices.size();

    // Boundary edges, and the markers of the vertices on them.
    QVector<int> markers(vertexCount, 0);
    for (int i = 0; i < vertexCount; ++i)
        markers[i] = nodes.vertices.at(i).marker;
    for (size_t t = 0; t < mesh.triangles.size(); ++t)
        for (int k = 0; k < 3; ++k)
            if (mesh.neighbours[t][k] < 0)
                for (int j = 1; j <= 2; ++j) {
                    const int v = mesh.triangles[t][(k + j) % 3];
                    if (markers[v] == 0)
                        markers[v] = 1;
                }

    nodes.firstIndex = base;
    if (!nodes.write(outputBase + QStringLiteral(".node"), markers, &error))
        return complain(error, 4);

    QString ele;
    QTextStream eleOut(&ele);
    eleOut << mesh.triangles.size() << "  3  0\n";
    for (size_t t = 0; t < mesh.triangles.size(); ++t) {
        const auto& v = mesh.triangles[t];
        eleOut << (t + base) << "  " << (v[0] + base) << "  " << (v[1] + base) << "  " << (v[2] + base) << '\n';
    }
    eleOut.flush();
    if (!writeText(outputBase + QStringLiteral(".ele"), ele, &error))
        return complain(error, 4);

    if (neighbours) {
        QString text;
        QTextStream out(&text);
        out << mesh.triangles.size() << "  3\n";
        for (size_t t = 0; t < mesh.triangles.size(); ++t) {
            out << (t + base);
            for (int k = 0; k < 3; ++k) {
                const int nb = mesh.neighbours[t][k];
                out << "  " << (nb < 0 ? -1 : nb + base);
            }
            out << '\n';
        }
        out.flush();
        if (!writeText(outputBase + QStringLiteral(".neigh"), text, &error))
            return complain(error, 4);
    }

    int edgeCount = 0;
    if (edges) {
        QString body;
        QTextStream out(&body);
        for (size_t t = 0; t < mesh.triangles.size(); ++t) {
            for (int k = 0; k < 3; ++k) {
                const int nb = mesh.neighbours[t][k];
                if (nb >= 0 && static_cast<size_t>(nb) < t)
                    continue; // written with the lower-numbered triangle
                const int a = mesh.triangles[t][(k + 1) % 3];
                const int b = mesh.triangles[t][(k + 2) % 3];
                out << (edgeCount + base) << "  " << (a + base) << "  " << (b + base) << "  "
                    << (nb < 0 ? 1 : 0) << '\n';
                ++edgeCount;
            }
        }
        out.flush();
        const QString text = QStringLiteral("%1  1\n").arg(edgeCount) + body;
        if (!writeText(outputBase + QStringLiteral(".edge"), text, &error))
            return complain(error, 4);
    }

    if (!quiet) {
        QTextStream out(stdout);
        out << "triangle: " << vertexCount << " vertices, " << mesh.triangles.size() << " triangles";
        if (edges)
            out << ", " << edgeCount << " edges";
        out << " -> " << QFileInfo(outputBase).fileName() << ".ele\n";
    }
    return 0;
}
