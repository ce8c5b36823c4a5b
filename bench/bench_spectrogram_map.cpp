// Section map render time: one strip against one strip per processor thread;
// then the cost of a repaint that changes nothing, against writing the
// picture as contour.png once.
#include "views/KXSpectrogramMap.h"
#include "views/QLinearColorMap.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <cmath>
#include <cstdio>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QList<DataType_ResultData> columns;
    QVector<TopoData> ground;
    for (int i = 0; i <= 100; ++i) {
        DataType_ResultData c;
        c.x = 10.0 * i;
        const double top = 30.0 * std::sin(c.x / 200.0);
        for (int k = 0; k <= 60; ++k) {
            const double level = top - 5.0 * k;
            const double d = (level + 120.0 + 40.0 * std::sin(c.x / 300.0)) / 40.0;
            c.depth.append(level);
            c.value.append(300.0 - 250.0 * std::exp(-d * d));
        }
        columns.append(c);
        ground.append(TopoData{c.x, top});
    }
    QLinearColorMap colours;
    colours.setColorStops({{0.0f, Qt::blue}, {0.3f, Qt::cyan}, {0.5f, Qt::green},
                           {0.7f, Qt::yellow}, {1.0f, Qt::red}});

    const int runs = 5;
    for (int strips : {1, 0}) {
        KXSpectrogramMap map;
        map.resize(1600, 900);
        map.setStripCount(strips);
        map.setData(columns, ground, &colours, 300.0);   // warm-up
        QElapsedTimer t;
        t.start();
        for (int r = 0; r < runs; ++r)
            map.setData(columns, ground, &colours, 300.0);
        const double ms = double(t.elapsed()) / runs;
        std::printf("strips=%s map=%dx%d render=%.1f ms\n",
                    strips ? "1" : qPrintable(QString::number(QThread::idealThreadCount())),
                    map.mapWidth(), map.mapHeight(), ms);
    }

    // contour.png goes to the current directory.
    QTemporaryDir dir;
    const QString oldCwd = QDir::currentPath();
    QDir::setCurrent(dir.path());
    KXSpectrogramMap map;
    map.resize(1600, 900);
    map.setData(columns, ground, &colours, 300.0);
    map.show();
    for (int i = 0; i < 10; ++i)
        QApplication::processEvents();
    map.repaint();   // the first paint writes the picture
    if (!QFile::exists(QStringLiteral("contour.png")))
        std::printf("note: the map was not painted\n");
    const int repaints = 20;
    QElapsedTimer t;
    t.start();
    for (int r = 0; r < repaints; ++r)
        map.repaint();
    const double repaintMs = double(t.nsecsElapsed()) / 1e6 / repaints;
    const int writes = map.contourWrites();

    const QImage visible = map.image().copy(map.leftMargin(), map.topMargin(),
                                            map.width() - map.rightMargin() - map.leftMargin(),
                                            map.height() - map.bottomMargin() - map.topMargin());
    t.restart();
    for (int r = 0; r < 3; ++r)
        visible.save(QDir::current().filePath(QStringLiteral("reference.png")), "PNG", 100);
    const double writeMs = double(t.nsecsElapsed()) / 1e6 / 3;
    std::printf("repaint without change: %.2f ms; one contour.png write (%dx%d): %.1f ms; "
                "ratio %.3f; contour.png written %d times in %d paints\n",
                repaintMs, visible.width(), visible.height(), writeMs, repaintMs / writeMs,
                writes, repaints + 1);
    QDir::setCurrent(oldCwd);
    return 0;
}
