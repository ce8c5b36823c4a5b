#include "views/ModelerWidget.h"
#include "ui_ModelerWidget.h"

#include "model/ModelFiles.h"

#include <QAction>
#include <QCoreApplication>
#include <QDebug>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTextStream>
#include <QThread>

#include <algorithm>
#include <cmath>

namespace {

// The mesh program normally needs milliseconds; anything near these limits
// has hung or failed.
constexpr int kStartTimeoutMs = 10000;
constexpr int kRunLimitMs = 120000;
constexpr int kElementWaitRounds = 2;

// Truncation toward zero that stays defined for huge and NaN coordinates.
int truncToInt(double v)
{
    if (std::isnan(v))
        return 0;
    return static_cast<int>(std::max(-1e9, std::min(1e9, v)));
}

bool finite3(double a, double b, double c)
{
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c);
}

QStringList splitFields(const QString &line)
{
    static const QRegularExpression separators(QStringLiteral("[,*;:\\t|\\s]"));
    return line.split(separators, Qt::SkipEmptyParts);
}

// Next line that carries data; the mesh program may add comment lines.
bool readDataLine(QTextStream &in, QStringList *fields)
{
    while (!in.atEnd()) {
        const QString line = in.readLine();
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')))
            continue;
        *fields = splitFields(line);
        return true;
    }
    return false;
}

// Pen, background and font of the widget, as a painter on the widget starts with.
void takeWidgetStyle(QPainter *painter, const QWidget *widget)
{
    painter->setPen(widget->palette().color(widget->foregroundRole()));
    painter->setBackground(widget->palette().brush(widget->backgroundRole()));
    painter->setFont(widget->font());
}

} // namespace

ModelerWidget::ModelerWidget(LayerModeler model, QList<DataType_ResultData> results,
                             QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::ModelerWidget)
{
    ui->setupUi(this);
    createActions();

    m_results = results;
    m_name = model.name;
    m_x0 = model.x0;
    m_x1 = model.x1;
    m_z0 = model.z0;
    m_z1 = model.z1;
    m_regionCount = model.regionCount;
    m_regions = model.regions;
    m_dx = m_x1 - m_x0;
    m_dz = m_z1 - m_z0;
    m_margin = 6;

    QRect screen(0, 0, 1024, 768);
    if (QScreen *s = QGuiApplication::primaryScreen())
        screen = s->geometry();
    m_width = screen.width();
    m_height = screen.height() - 280;
    // A degenerate extent has no aspect to keep.
    if (std::isfinite(m_dx) && std::isfinite(m_dz) && m_dx != 0.0 && m_dz != 0.0
        && m_height > 0) {
        const double aspect = std::fabs(m_dx / m_dz);
        if (static_cast<double>(m_width) / m_height > aspect)
            m_width = truncToInt(m_height * aspect);
        else
            m_height = truncToInt(m_width / aspect);
    }
    m_width = std::max(m_width, 2 * m_margin + 1);
    m_height = std::max(m_height, 2 * m_margin + 1);

    m_image = QImage(m_width, m_height, QImage::Format_RGB32);
    QPainter painter(&m_image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(m_image.rect(), QColor(255, 255, 255, 255));
    takeWidgetStyle(&painter, this);
    drawRegions(&painter);
    painter.end();
    updateShownPicture();
}

ModelerWidget::~ModelerWidget()
{
    delete ui;
}

void ModelerWidget::createActions()
{
    m_actionTriangle = new QAction(this);
    m_actionTriangle->setObjectName(QStringLiteral("ActionTriangle"));
    m_actionTriangle->setText(QStringLiteral("开始计算"));
    addAction(m_actionTriangle);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(m_actionTriangle, SIGNAL(triggered(bool)), this, SLOT(on_ActionTriangletriggle(bool)));
}

void ModelerWidget::updatePlotRect()
{
    m_plotRect = QRect(m_margin, m_margin, m_width - 2 * m_margin, m_height - 2 * m_margin);
}

QPoint ModelerWidget::toPixel(double x, double z) const
{
    // A zero span maps everything onto the near edge rather than dividing by zero.
    const double dx = m_dx != 0.0 ? m_dx : 1.0;
    const double dz = m_dz != 0.0 ? m_dz : 1.0;
    const QRect &r = m_plotRect;
    return QPoint(truncToInt(r.left() + (r.width() - 1) * (x - m_x0) / dx),
                  truncToInt(r.bottom() - (r.height() - 1) * (z - m_z0) / dz));
}

void ModelerWidget::drawRegions(QPainter *painter)
{
    updatePlotRect();
    painter->setRenderHint(QPainter::Antialiasing, true);
    const int count = std::min(m_regionCount, m_regions.size());
    for (int i = 0; i < count; ++i) {
        const ModelRegion &region = m_regions.at(i);
        painter->setBrush(QBrush(region.colour, Qt::SolidPattern));
        const int n = std::min({region.pointCount, region.x.size(), region.z.size()});
        QPolygon polygon;
        for (int j = 0; j < n; ++j) {
            if (!std::isfinite(region.x.at(j)) || !std::isfinite(region.z.at(j)))
                continue;
            const QPoint p = toPixel(region.x.at(j), region.z.at(j));
            if (!polygon.contains(p))
                polygon.append(p);
        }
        m_regionOutlines.append(polygon);
        QPainterPath path;
        path.addPolygon(QPolygonF(polygon));
        path.closeSubpath();
        painter->drawPath(path);
    }
}

void ModelerWidget::drawTriangles(QPainter *painter)
{
    updatePlotRect();
    painter->setRenderHint(QPainter::Antialiasing, true);
    for (const QList<FilledTriangle> &region : qAsConst(m_filledTriangles)) {
        for (const FilledTriangle &t : region) {
            painter->setPen(QPen(t.colour, 1.0, Qt::SolidLine));
            painter->setBrush(QBrush(t.colour, Qt::SolidPattern));
            QPainterPath path;
            path.addPolygon(QPolygonF(t.triangle));
            path.closeSubpath();
            painter->drawPath(path);
        }
    }
}

void ModelerWidget::on_ActionTriangletriggle(bool checked)
{
    Q_UNUSED(checked)
    const QList<QPolygon> outlines = m_regionOutlines;
    for (int i = 0; i < outlines.size(); ++i)
        fillRegion(m_results, outlines.at(i), QString::number(i + 1), m_regions.at(i).colour);

    QImage image(m_width, m_height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(image.rect(), QColor(255, 255, 255, 255));
    takeWidgetStyle(&painter, this);
    drawTriangles(&painter);
    painter.end();
    m_image = image;
    updateShownPicture();
    update();
}

void ModelerWidget::fillRegion(QList<DataType_ResultData> results, QPolygon polygon,
                               QString name, QColor colour)
{
    updatePlotRect();
    QList<RegionPoint> points;
    double smallest = 0.0;
    double largest = 0.0;
    for (const DataType_ResultData &c : qAsConst(results)) {
        const int n = std::min(c.depth.size(), c.value.size());
        for (int j = 0; j < n; ++j) {
            if (!finite3(c.x, c.depth.at(j), c.value.at(j)))
                continue;
            // A section cell above the ground holds no value: it would
            // stretch the shading range and pale the triangles it touches.
            if (c.value.at(j) == ModelFiles::kNoValue)
                continue;
            if (!polygon.containsPoint(toPixel(c.x, c.depth.at(j)), Qt::WindingFill))
                continue;
            const double v = c.value.at(j);
            if (points.isEmpty()) {
                smallest = largest = v;
            } else {
                smallest = std::min(smallest, v);
                largest = std::max(largest, v);
            }
            points.append(RegionPoint{c.x, c.depth.at(j), v});
        }
    }
    if (points.size() < 3)
        return;

    if (!runTriangle(name, points))
        return;
    const QList<TriangleElement> elements = readElementFile(name);

    // The mesh covers the convex hull of the samples; in a concave region
    // part of it lies outside the outline.
    const QPolygonF outline(polygon);
    QList<FilledTriangle> triangles;
    for (const TriangleElement &e : elements) {
        const int idx[3] = {static_cast<int>(e.v1) - 1, static_cast<int>(e.v2) - 1,
                            static_cast<int>(e.v3) - 1};
        bool valid = true;
        for (int k : idx)
            valid = valid && k >= 0 && k < points.size();
        if (!valid)
            continue;
        QPolygon triangle;
        QPointF centroid;
        double sum = 0.0;
        for (int k : idx) {
            const RegionPoint &p = points.at(k);
            const QPoint pixel = toPixel(p.x, p.depth);
            triangle.append(pixel);
            centroid += QPointF(pixel) / 3.0;
            sum += p.value;
        }
        if (!outline.containsPoint(centroid, Qt::WindingFill))
            continue;
        const double mean = sum / 3.0;
        // Equal values have no range to shade by: full colour.
        float t = largest > smallest ? static_cast<float>((mean - smallest) / (largest - smallest))
                                     : 1.0f;
        if (t > 0.85f)
            t = 1.0f;
        if (t < 0.1f)
            t = 0.1f;
        const auto channel = [t](int regionChannel) {
            return static_cast<int>(static_cast<float>(regionChannel - 255) * t + 0.5 + 255);
        };
        const QColor shade(channel(colour.red()), channel(colour.green()), channel(colour.blue()),
                           255);
        triangles.append(FilledTriangle{shade, triangle});
    }
    m_filledTriangles.append(triangles);
}

QString ModelerWidget::triangleProgram() const
{
#ifdef Q_OS_WIN
    return QCoreApplication::applicationDirPath() + QStringLiteral("/triangle.exe");
#else
    return QCoreApplication::applicationDirPath() + QStringLiteral("/triangle");
#endif
}

bool ModelerWidget::runTriangle(QString name, QList<RegionPoint> points)
{
    const QString nodeName = QStringLiteral("polygon_") + name + QStringLiteral(".node");
    QFile file(nodeName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        qWarning() << "cannot write" << nodeName;
        return false;
    }
    QTextStream out(&file);
    out << points.size() << ' ' << "2" << ' ' << "1 1" << "\n";
    int k = 1;
    for (const RegionPoint &p : qAsConst(points)) {
        out << k << ' ' << p.x << ' ' << p.depth << ' ' << p.value << ' ' << "1" << "\n";
        ++k;
    }
    out.flush();
    file.close();

    // An element file left by an earlier run must not pass for this one's.
    QFile::remove(QStringLiteral("polygon_") + name + QStringLiteral(".1.ele"));

    QProcess process(this);
    process.start(triangleProgram(), QStringList{QStringLiteral("-ne"), nodeName},
                  QIODevice::ReadWrite);
    if (!process.waitForStarted(kStartTimeoutMs)) {
        qWarning() << "cannot start" << triangleProgram() << process.errorString();
        return false;
    }
    QElapsedTimer timer;
    timer.start();
    while (!process.waitForFinished(100)) {
        if (process.state() == QProcess::NotRunning)
            break;
        qDebug("wait for triangle");
        process.readAll(); // keeps a chatty program from blocking on a full pipe
        if (timer.elapsed() > kRunLimitMs) {
            qWarning() << "triangle did not finish for" << nodeName;
            process.kill();
            process.waitForFinished(1000);
            return false;
        }
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning() << "triangle failed for" << nodeName << "exit code" << process.exitCode();
        return false;
    }
    return true;
}

QList<ModelerWidget::TriangleElement> ModelerWidget::readElementFile(QString name)
{
    QList<TriangleElement> elements;
    const QString path = QStringLiteral("polygon_") + name + QStringLiteral(".1.ele");
    for (int round = 0; !QFile::exists(path); ++round) {
        if (round == kElementWaitRounds) {
            qWarning() << "no element file" << path;
            return elements;
        }
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 1000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            QThread::msleep(10);
        }
    }

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return elements;
    QTextStream in(&file);
    QStringList fields;
    if (!readDataLine(in, &fields) || fields.isEmpty())
        return elements;
    const int count = fields.at(0).toInt();
    for (int i = 0; i < count && readDataLine(in, &fields); ++i) {
        if (fields.size() < 4)
            continue;
        TriangleElement e;
        e.number = fields.at(0).toInt();
        e.v1 = fields.at(1).toInt();
        e.v2 = fields.at(2).toInt();
        e.v3 = fields.at(3).toInt();
        elements.append(e);
    }
    file.close();
    return elements;
}

QRect ModelerWidget::pictureRect() const
{
    if (m_image.isNull() || width() <= 0 || height() <= 0)
        return QRect();
    const QSize size = m_image.size().scaled(this->size(), Qt::KeepAspectRatio);
    return QRect(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
}

void ModelerWidget::updateShownPicture()
{
    const QRect target = pictureRect();
    if (target.isEmpty())
        m_shown = QImage();
    else if (target.size() == m_image.size())
        m_shown = m_image;
    else
        m_shown = m_image.scaled(target.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void ModelerWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    updateShownPicture();
    update();
}

void ModelerWidget::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    // The image is made for the screen, not for the tab: it is shown whole,
    // scaled to the widget.
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (!m_shown.isNull())
        painter.drawImage(pictureRect().topLeft(), m_shown);
}
