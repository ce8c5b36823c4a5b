// Runs the mesh program on small node files and checks what it writes.

#include "common/TestHelpers.h"

#include <QDir>
#include <QFile>
#include <QPointF>
#include <QPolygonF>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

#include <algorithm>
#include <array>
#include <cmath>

using Points = QVector<QPointF>;
using Tri = std::array<int, 3>;
Q_DECLARE_METATYPE(Points)

namespace {

struct Run {
    int exitCode = -1;
    QString err;
};

QStringList fieldsOf(const QString& line)
{
    static const QRegularExpression sep(QStringLiteral("[,*;:\\t|\\s]"));
    return line.split(sep, Qt::SkipEmptyParts);
}

double cross(const QPointF& a, const QPointF& b, const QPointF& c)
{
    return (b.x() - a.x()) * (c.y() - a.y()) - (b.y() - a.y()) * (c.x() - a.x());
}

double polygonArea(const Points& p)
{
    double a = 0;
    for (int i = 0; i < p.size(); ++i) {
        const QPointF& u = p[i];
        const QPointF& v = p[(i + 1) % p.size()];
        a += u.x() * v.y() - v.x() * u.y();
    }
    return std::fabs(a) / 2;
}

Points convexHull(Points p)
{
    std::sort(p.begin(), p.end(), [](const QPointF& a, const QPointF& b) {
        return a.x() < b.x() || (a.x() == b.x() && a.y() < b.y());
    });
    Points h(2 * p.size());
    int k = 0;
    for (int i = 0; i < p.size(); ++i) {
        while (k >= 2 && cross(h[k - 2], h[k - 1], p[i]) <= 0)
            --k;
        h[k++] = p[i];
    }
    for (int i = p.size() - 2, t = k + 1; i >= 0; --i) {
        while (k >= t && cross(h[k - 2], h[k - 1], p[i]) <= 0)
            --k;
        h[k++] = p[i];
    }
    h.resize(std::max(0, k - 1));
    return h;
}

} // namespace

class TestTriangle : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }

    // Coordinates are written multiplied by 2^scaleExp, which is exact, so
    // a mesh of huge coordinates can be checked on the small ones.
    void writeNode(const QString& name, const Points& pts, int base = 1, int scaleExp = 0)
    {
        QFile f(path(name));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text));
        QTextStream out(&f);
        out << pts.size() << " 2 1 1\n";
        for (int i = 0; i < pts.size(); ++i)
            out << i + base << ' ' << QString::number(std::ldexp(pts[i].x(), scaleExp), 'g', 17) << ' '
                << QString::number(std::ldexp(pts[i].y(), scaleExp), 'g', 17) << ' ' << i * 0.5 << " 1\n";
    }

    void writeText(const QString& name, const QByteArray& text)
    {
        QFile f(path(name));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }

    Run run(const QStringList& args)
    {
        QProcess p;
        p.setWorkingDirectory(m_dir.path());
        p.start(QStringLiteral(HW_TRIANGLE_EXE), args);
        Run r;
        // A hang guard only: every input here ends in well under a second.
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
            return r;
        }
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
        r.err = QString::fromLocal8Bit(p.readAllStandardError());
        return r;
    }

    // Reads an element file; returns false on any inconsistency.
    bool readEle(const QString& name, int base, int vertexCount, QVector<Tri>* tris, QString* why)
    {
        QFile f(path(name));
        if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) {
            *why = name + " missing";
            return false;
        }
        QTextStream in(&f);
        const QStringList head = fieldsOf(in.readLine());
        if (head.size() != 3 || head[1] != "3" || head[2] != "0") {
            *why = "bad header " + head.join(' ');
            return false;
        }
        const int count = head[0].toInt();
        for (int i = 0; i < count; ++i) {
            const QStringList f4 = fieldsOf(in.readLine());
            if (f4.size() != 4 || f4[0].toInt() != i + base) {
                *why = QStringLiteral("bad element line %1").arg(i);
                return false;
            }
            Tri t;
            for (int k = 0; k < 3; ++k) {
                t[k] = f4[k + 1].toInt() - base;
                if (t[k] < 0 || t[k] >= vertexCount) {
                    *why = QStringLiteral("vertex out of range in element %1").arg(i);
                    return false;
                }
            }
            tris->append(t);
        }
        return true;
    }

    // Every triangle counter-clockwise with positive area; returns the sum.
    static double checkedArea(const Points& pts, const QVector<Tri>& tris, QString* why)
    {
        double sum = 0;
        for (const Tri& t : tris) {
            const double a = cross(pts[t[0]], pts[t[1]], pts[t[2]]) / 2;
            if (!(a > 0))
                *why = QStringLiteral("triangle %1 %2 %3 is not counter-clockwise").arg(t[0]).arg(t[1]).arg(t[2]);
            sum += a;
        }
        return sum;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void hullMesh_data()
    {
        QTest::addColumn<Points>("pts");
        QTest::addColumn<int>("base");
        QTest::addColumn<int>("triangles");
        QTest::addColumn<QVector<int>>("unused"); // vertices no triangle may use
        QTest::addColumn<int>("scaleExp");

        QTest::newRow("square") << Points{{0, 0}, {2, 0}, {2, 2}, {0, 2}} << 1 << 2 << QVector<int>{} << 0;
        QTest::newRow("zero-based") << Points{{0, 0}, {2, 0}, {2, 2}, {0, 2}} << 0 << 2 << QVector<int>{} << 0;
        QTest::newRow("collinear run") << Points{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {2, 3}} << 1 << 4
                                      << QVector<int>{} << 0;
        QTest::newRow("collinear vertical") << Points{{5, 0}, {5, 1}, {5, 2}, {5, 3}, {2, 1.5}, {8, 1.5}} << 1 << 6
                                           << QVector<int>{} << 0;
        QTest::newRow("duplicates") << Points{{0, 0}, {1, 0}, {0, 0}, {1, 1}, {1, 0}, {0, 1}, {0.5, 0.5}} << 1 << 4
                                    << QVector<int>{2, 4} << 0;
        QTest::newRow("cocircular grid") << [] {
            Points p;
            for (int x = 0; x < 6; ++x)
                for (int z = 0; z < 5; ++z)
                    p << QPointF(100 + 10 * x, 5.0 * z);
            return p;
        }() << 1 << 40 << QVector<int>{} << 0;
        const Points random = [] {
            QRandomGenerator g(7);
            Points p;
            for (int i = 0; i < 300; ++i)
                p << QPointF(1000 + 500 * g.generateDouble(), -200 * g.generateDouble());
            return p;
        }();
        QTest::newRow("random") << random << 1 << -1 << QVector<int>{} << 0;
        // Near 1e155 every orientation product overflows a double.
        QTest::newRow("random near 1e155") << random << 1 << -1 << QVector<int>{} << 505;
        QTest::newRow("unit square scattered to 1e155") << [] {
            QRandomGenerator g(11);
            Points p;
            for (int i = 0; i < 300; ++i)
                p << QPointF(g.generateDouble(), g.generateDouble());
            return p;
        }() << 1 << -1 << QVector<int>{} << 515;
        QTest::newRow("square near 1e-300") << Points{{0, 0}, {2, 0}, {2, 2}, {0, 2}} << 1 << 2
                                           << QVector<int>{} << -1000;
    }

    // Without -p the convex hull is meshed: Delaunay, areas add up to the hull.
    void hullMesh()
    {
        QFETCH(Points, pts);
        QFETCH(int, base);
        QFETCH(int, triangles);
        QFETCH(QVector<int>, unused);
        QFETCH(int, scaleExp);

        writeNode("hull.node", pts, base, scaleExp);
        const Run r = run({"-ne", "hull.node"});
        QCOMPARE(r.exitCode, 0);

        QVector<Tri> tris;
        QString why;
        QVERIFY2(readEle("hull.1.ele", base, pts.size(), &tris, &why), qPrintable(why));
        if (triangles >= 0)
            QCOMPARE(tris.size(), triangles);
        const double area = checkedArea(pts, tris, &why);
        QVERIFY2(why.isEmpty(), qPrintable(why));
        const double hullArea = polygonArea(convexHull(pts));
        QVERIFY2(hwtest::nearlyEqual(area, hullArea, 1e-9), qPrintable(QString("%1 vs %2").arg(area).arg(hullArea)));

        for (const Tri& t : tris) {
            for (int v : t)
                QVERIFY2(!unused.contains(v), "a repeated vertex was meshed twice");
            // Empty circumcircle: no vertex clearly inside.
            const QPointF a = pts[t[0]], b = pts[t[1]], c = pts[t[2]];
            for (int i = 0; i < pts.size(); ++i) {
                const QPointF d = pts[i];
                const double adx = a.x() - d.x(), ady = a.y() - d.y();
                const double bdx = b.x() - d.x(), bdy = b.y() - d.y();
                const double cdx = c.x() - d.x(), cdy = c.y() - d.y();
                const double det = (adx * adx + ady * ady) * (bdx * cdy - cdx * bdy)
                                 + (bdx * bdx + bdy * bdy) * (cdx * ady - adx * cdy)
                                 + (cdx * cdx + cdy * cdy) * (adx * bdy - bdx * ady);
                const double scale = std::pow(std::max({std::fabs(adx), std::fabs(ady), std::fabs(bdx),
                                                        std::fabs(bdy), std::fabs(cdx), std::fabs(cdy)}), 4);
                if (det > 1e-9 * scale)
                    QFAIL(qPrintable(QString("vertex %1 inside the circle of %2 %3 %4")
                                         .arg(i).arg(t[0]).arg(t[1]).arg(t[2])));
            }
        }
    }

    void outlineMesh_data()
    {
        QTest::addColumn<Points>("outline");
        QTest::addColumn<int>("triangles");

        QTest::newRow("square") << Points{{0, 0}, {1, 0}, {1, 1}, {0, 1}} << 2;
        QTest::newRow("L concave") << Points{{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}} << 4;
        QTest::newRow("L clockwise") << Points{{0, 2}, {1, 2}, {1, 1}, {2, 1}, {2, 0}, {0, 0}} << 4;
        QTest::newRow("U with collinear side") << Points{{0, 0}, {3, 0}, {3, 3}, {2, 3}, {2, 1}, {1, 1}, {1, 3},
                                                         {0, 3}, {0, 1.5}} << 7;
        QTest::newRow("closing vertex repeated") << Points{{0, 0}, {4, 0}, {4, 4}, {2, 1}, {0, 4}, {0, 0}} << 3;
        QTest::newRow("comb") << Points{{0, 0}, {10, 0}, {10, 5}, {9, 5}, {8, 1}, {7, 5}, {6, 5}, {5, 1},
                                        {4, 5}, {3, 5}, {2, 1}, {1, 5}, {0, 5}} << 11;
    }

    // With -p the vertices are the outline: nothing may fall outside it.
    void outlineMesh()
    {
        QFETCH(Points, outline);
        QFETCH(int, triangles);

        writeNode("region.node", outline);
        const Run r = run({"-pne", "region.node"});
        QCOMPARE(r.exitCode, 0);

        QVector<Tri> tris;
        QString why;
        QVERIFY2(readEle("region.1.ele", 1, outline.size(), &tris, &why), qPrintable(why));
        QCOMPARE(tris.size(), triangles);
        const double area = checkedArea(outline, tris, &why);
        QVERIFY2(why.isEmpty(), qPrintable(why));
        QVERIFY(hwtest::nearlyEqual(area, polygonArea(outline), 1e-12));

        const QPolygonF poly(outline);
        for (const Tri& t : tris) {
            const QPointF centroid = (outline[t[0]] + outline[t[1]] + outline[t[2]]) / 3.0;
            QVERIFY2(poly.containsPoint(centroid, Qt::OddEvenFill), "triangle outside the outline");
        }
    }

    void collinearOnly()
    {
        writeNode("line.node", Points{{0, 0}, {1, 1}, {2, 2}, {3, 3}});
        const Run r = run({"-ne", "line.node"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.err.contains("no triangles"));
        QVector<Tri> tris;
        QString why;
        QVERIFY2(readEle("line.1.ele", 1, 4, &tris, &why), qPrintable(why));
        QVERIFY(tris.isEmpty());
    }

    void badInput_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("switches");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");

        QTest::newRow("missing file") << QByteArray() << "-ne" << 2 << "cannot find";
        QTest::newRow("empty") << QByteArray("# nothing\n\n") << "-ne" << 2 << "no header";
        QTest::newRow("bad count") << QByteArray("three 2 0 0\n") << "-ne" << 2 << "bad vertex count";
        QTest::newRow("lying count") << QByteArray("2000000000 2 0 0\n1 0 0\n") << "-ne" << 2
                                     << "ends after 1 of 2000000000";
        QTest::newRow("3d") << QByteArray("3 3 0 0\n1 0 0 0\n2 1 0 0\n3 0 1 0\n") << "-ne" << 2 << "dimension";
        QTest::newRow("short") << QByteArray("4 2 0 0\n1 0 0\n2 1 0\n3 0 1\n") << "-ne" << 2 << "ends after 3 of 4";
        QTest::newRow("text coordinate") << QByteArray("3 2 0 0\n1 0 0\n2 x 0\n3 0 1\n") << "-ne" << 2
                                         << "bad coordinates";
        QTest::newRow("nan coordinate") << QByteArray("3 2 0 0\n1 0 0\n2 nan 0\n3 0 1\n") << "-ne" << 2
                                        << "bad coordinates";
        QTest::newRow("missing marker") << QByteArray("3 2 1 1\n1 0 0 5 1\n2 1 0 6\n3 0 1 7 1\n") << "-ne" << 2
                                        << "expected 5 fields";
        QTest::newRow("huge attribute count") << QByteArray("1 2 2147483647 1\n1 0 0 5 1\n") << "-ne" << 2
                                              << "expected 2147483651 fields, found 5";
        QTest::newRow("base 5") << QByteArray("3 2 0 0\n5 0 0\n6 1 0\n7 0 1\n") << "-ne" << 2 << "start at 0 or 1";
        QTest::newRow("crossing outline") << QByteArray("4 2 0 0\n1 0 0\n2 3 2\n3 3 0\n4 0 1\n") << "-pne" << 3
                                          << "crosses";
        // Fields needed per line would overflow an int.
        QTest::newRow("attribute count near the int limit")
            << QByteArray("3 2 2147483647 1\n1 0 0 5 1\n2 1 0 6 1\n3 0 1 7 1\n") << "-ne" << 2
            << "expected 2147483651 fields, found 5";
        QTest::newRow("negative attribute count") << QByteArray("3 2 -1 0\n1 0 0\n2 1 0\n3 0 1\n") << "-ne"
                                                  << 2 << "bad attribute count";
        QTest::newRow("long header") << QByteArray("3 2 0 0 7\n1 0 0\n2 1 0\n3 0 1\n") << "-ne" << 2
                                     << "header has 5 fields";
        QTest::newRow("extra field") << QByteArray("3 2 0 0\n1 0 0 9\n2 1 0\n3 0 1\n") << "-ne" << 2
                                     << "expected 3 fields, found 4";
        QTest::newRow("numbers out of sequence") << QByteArray("3 2 0 0\n1 0 0\n3 1 0\n2 0 1\n") << "-ne" << 2
                                                 << "vertex number 3 where 2 was expected";
        QTest::newRow("more vertices than counted") << QByteArray("3 2 0 0\n1 0 0\n2 1 0\n3 0 1\n4 1 1\n")
                                                    << "-ne" << 2 << "more data after the 3 vertices";
        QTest::newRow("infinite attribute") << QByteArray("3 2 1 0\n1 0 0 inf\n2 1 0 1\n3 0 1 1\n") << "-ne"
                                            << 2 << "bad attribute 'inf'";
        QTest::newRow("text marker") << QByteArray("3 2 0 1\n1 0 0 a\n2 1 0 1\n3 0 1 1\n") << "-ne" << 2
                                     << "bad boundary marker";
        QTest::newRow("flat outline") << QByteArray("3 2 0 0\n1 0 0\n2 1 1\n3 2 2\n") << "-pne" << 3
                                      << "no area";
        QTest::newRow("no file argument") << QByteArray("3 2 0 0\n1 0 0\n2 1 0\n3 0 1\n") << "-ne" << 1 << "usage";
    }

    // Failures exit non-zero with a message and leave no element file.
    void badInput()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, switches);
        QFETCH(int, exitCode);
        QFETCH(QString, message);

        QFile::remove(path("bad.node"));
        QFile::remove(path("bad.1.ele"));
        if (!text.isEmpty())
            writeText("bad.node", text);
        QStringList args{switches};
        if (exitCode != 1)
            args << "bad.node";
        const Run r = run(args);
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QVERIFY(!QFile::exists(path("bad.1.ele")));
    }

    // Points in convex position once made the hull walk quadratic: 20000
    // points on an arc give a fan of n - 2 triangles.
    void convexPosition()
    {
        const int n = 20000;
        Points pts;
        for (int i = 0; i < n; ++i) {
            const double a = M_PI * i / (n - 1);
            pts << QPointF(1000 * std::cos(a), 1000 * std::sin(a));
        }
        writeNode("arc.node", pts);
        const Run r = run({"-ne", "arc.node"});
        QCOMPARE(r.exitCode, 0);
        QVector<Tri> tris;
        QString why;
        QVERIFY2(readEle("arc.1.ele", 1, n, &tris, &why), qPrintable(why));
        QCOMPARE(tris.size(), n - 2);
        checkedArea(pts, tris, &why);
        QVERIFY2(why.isEmpty(), qPrintable(why));
    }

    // Neighbour and edge files agree with the elements; hull vertices get
    // boundary markers in the output node file.
    void neighbourAndEdgeFiles()
    {
        Points pts;
        for (int x = 0; x < 4; ++x)
            for (int z = 0; z < 3; ++z)
                pts << QPointF(x + 0.1 * z * z, z + 0.05 * x * x);
        pts << QPointF(1.5, 1.1); // interior
        writeNode("net.node", pts, 0);
        QCOMPARE(run({"-n", "-e", "-Q", "net"}).exitCode, 0);

        QVector<Tri> tris;
        QString why;
        QVERIFY2(readEle("net.1.ele", 0, pts.size(), &tris, &why), qPrintable(why));

        QFile nf(path("net.1.neigh"));
        QVERIFY(nf.open(QIODevice::ReadOnly | QIODevice::Text));
        QTextStream nin(&nf);
        QCOMPARE(fieldsOf(nin.readLine()), (QStringList{QString::number(tris.size()), "3"}));
        QVector<Tri> nb;
        for (int i = 0; i < tris.size(); ++i) {
            const QStringList f = fieldsOf(nin.readLine());
            QCOMPARE(f.size(), 4);
            nb.append({f[1].toInt(), f[2].toInt(), f[3].toInt()});
        }
        int boundary = 0;
        for (int t = 0; t < tris.size(); ++t) {
            for (int k = 0; k < 3; ++k) {
                const int u = nb[t][k];
                const int a = tris[t][(k + 1) % 3], b = tris[t][(k + 2) % 3];
                if (u < 0) {
                    ++boundary;
                    continue;
                }
                QVERIFY(std::count(nb[u].begin(), nb[u].end(), t) == 1);
                QVERIFY(std::count(tris[u].begin(), tris[u].end(), a) == 1);
                QVERIFY(std::count(tris[u].begin(), tris[u].end(), b) == 1);
                QVERIFY(std::count(tris[u].begin(), tris[u].end(), tris[t][k]) == 0);
            }
        }
        QCOMPARE(boundary, convexHull(pts).size());

        QFile ef(path("net.1.edge"));
        QVERIFY(ef.open(QIODevice::ReadOnly | QIODevice::Text));
        QTextStream ein(&ef);
        const QStringList eh = fieldsOf(ein.readLine());
        const int edgeCount = eh.value(0).toInt();
        QCOMPARE(edgeCount, (3 * tris.size() + boundary) / 2);
        QCOMPARE(pts.size() - edgeCount + tris.size(), 1); // Euler, one face outside
        int marked = 0;
        for (int i = 0; i < edgeCount; ++i) {
            const QStringList f = fieldsOf(ein.readLine());
            QCOMPARE(f.size(), 4);
            QCOMPARE(f[0].toInt(), i);
            marked += f[3].toInt();
        }
        QCOMPARE(marked, boundary);

        QFile on(path("net.1.node"));
        QVERIFY(on.open(QIODevice::ReadOnly | QIODevice::Text));
        QTextStream oin(&on);
        QCOMPARE(fieldsOf(oin.readLine()), (QStringList{QString::number(pts.size()), "2", "1", "1"}));
        for (int i = 0; i < pts.size(); ++i) {
            const QStringList f = fieldsOf(oin.readLine());
            QCOMPARE(f.size(), 5);
            QCOMPARE(f[1].toDouble(), pts[i].x());
            QCOMPARE(f[3].toDouble(), i * 0.5); // attribute carried over
        }
    }

    // The file the layered-model view writes, named and started the way it
    // does it; a name that already carries an iteration number is advanced.
    void viewNodeFile()
    {
        writeText("polygon_2.node", "3 2 1 1\n1 0 10 5 1\n2 10 10 7 1\n3 5 20 9 1\n");
        QCOMPARE(run({"-ne", "polygon_2.node"}).exitCode, 0);
        QVector<Tri> tris;
        QString why;
        QVERIFY2(readEle("polygon_2.1.ele", 1, 3, &tris, &why), qPrintable(why));
        QCOMPARE(tris.size(), 1);
        QVERIFY(QFile::exists(path("polygon_2.1.edge")));
        QVERIFY(QFile::exists(path("polygon_2.1.node")));

        QCOMPARE(run({"-Q", "polygon_2.1.node"}).exitCode, 0);
        QVERIFY(QFile::exists(path("polygon_2.2.ele")));
    }
};

QTEST_GUILESS_MAIN(TestTriangle)
#include "tst_triangle.moc"
