#include "gridding/Dialog_InvProgressBar.h"
#include "ui_Dialog_InvProgressBar.h"

#include "gridding/GridData.h"
#include "gridding/RectInterpolation2.h"

#include <QMessageBox>
#include <QThread>

#include <algorithm>
#include <cmath>

namespace {

// The controller's section grids mark cells above the ground with this
// value; such a cell holds no resistivity.
const double kNoValue = 1e-18;

} // namespace

Dialog_InvProgressBar::Dialog_InvProgressBar(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::Dialog_InvProgressBar)
    , m_thread(new QThread)
    , m_worker(new RectInterpolation2)
{
    ui->setupUi(this);

    // The worker lives in its thread before the thread ever starts, so
    // started() reaches startInterp() there and never in the GUI thread.
    m_worker->moveToThread(m_thread);

    connect(m_thread, SIGNAL(started()), m_worker, SLOT(startInterp()));
    connect(m_thread, SIGNAL(finished()), this, SLOT(handleResults()));
    connect(m_worker, SIGNAL(interpProcess(int)), ui->progressBar, SLOT(setValue(int)));
    connect(m_worker, SIGNAL(interpfinished()), m_thread, SLOT(quit()));
}

Dialog_InvProgressBar::~Dialog_InvProgressBar()
{
    m_thread->requestInterruption();
    m_thread->quit();
    m_thread->wait();
    delete m_worker;
    delete m_thread;
    delete ui;
}

void Dialog_InvProgressBar::setInversionResults(const QList<DataType_ResultData> &results)
{
    m_samples.clear();
    m_columnCount = results.size();
    m_xmax = -1e8f;
    m_xmin = 1e8f;
    m_ymin = 1e8f;
    m_ymax = -1e8f;
    m_valueMax = -1e8f;
    m_valueMin = 1e8f;

    for (const DataType_ResultData &column : results) {
        const int n = std::min(column.depth.size(), column.value.size());
        for (int i = 0; i < n; ++i) {
            // A blank cell gridded as a value would drag the nodes around it
            // towards zero.
            if (column.value[i] == kNoValue)
                continue;
            GridPoint s;
            s.x = static_cast<float>(column.x);
            s.y = static_cast<float>(column.depth[i]);
            s.value = static_cast<float>(column.value[i]);
            // One bad value would spread into every node around it.
            if (!std::isfinite(s.x) || !std::isfinite(s.y) || !std::isfinite(s.value))
                continue;
            m_samples.append(s);
            m_xmin = std::min(m_xmin, s.x);
            m_xmax = std::max(m_xmax, s.x);
            m_ymin = std::min(m_ymin, s.y);
            m_ymax = std::max(m_ymax, s.y);
            m_valueMin = std::min(m_valueMin, s.value);
            m_valueMax = std::max(m_valueMax, s.value);
        }
    }
}

int Dialog_InvProgressBar::rowCountForRange(float depthRange)
{
    if (!(depthRange >= 0.0f))
        return 0;
    if (depthRange < 20.0f)
        return static_cast<int>(depthRange + 1.0f);
    // Keeps the conversion defined for absurd ranges.
    const float rows = std::min(1.0f + depthRange / 5.0f, 1e7f);
    return static_cast<int>(rows);
}

double Dialog_InvProgressBar::searchRadiusFor(float xmin, float xmax, float ymin, float ymax,
                                              int sampleCount)
{
    if (sampleCount <= 0)
        return 0.0;
    const double area = (static_cast<double>(ymax) - ymin) * (static_cast<double>(xmax) - xmin);
    if (!(area > 0.0))
        return 0.0;
    return std::sqrt(area) / std::pow(sampleCount / 50.0, 1.0 / 3.0);
}

void Dialog_InvProgressBar::prepareIdwRun(const GriddingSetup &setup,
                                          const QList<GridPoint> &samples, float xmin,
                                          float xmax, float ymin, float ymax, int nx, int ny,
                                          std::unique_ptr<SampleTree> &tree, GriddingJob &job,
                                          RectInterpolation2 *worker)
{
    tree = setup.createKdTree(samples);
    const double radius = searchRadiusFor(xmin, xmax, ymin, ymax, samples.size());
    const GridGeometry geometry =
        setup.createGridGeometry(xmax, xmin, ymax, ymin, nx, ny, 0.0, 0.0, 0);
    const IdwParams params = setup.createIdwParams(2.0, 50, 1, radius, radius);
    job = setup.createGriddingJob(1, params, geometry);

    worker->setJob(&job);
    worker->setTree(tree ? tree->tree.get() : nullptr);
    worker->setMethod(RectInterpolation2::InverseDistanceToPower);
}

bool Dialog_InvProgressBar::writeResultGrid(const QString &fileName,
                                            const QList<GridPoint> &points,
                                            const GridGeometry &g)
{
    float valueMax = -1e8f;
    float valueMin = 1e8f;
    for (const GridPoint &p : points) {
        if (!std::isfinite(p.value))
            continue;
        valueMax = std::max(valueMax, p.value);
        valueMin = std::min(valueMin, p.value);
    }

    return GridData::writeSurferAsciiGrid(fileName, points, g.ny, g.nx,
                                          static_cast<float>(g.xmin), static_cast<float>(g.xmax),
                                          static_cast<float>(g.ymin), static_cast<float>(g.ymax),
                                          valueMin, valueMax);
}

void Dialog_InvProgressBar::on_pushButton_Start_clicked()
{
    // The worker reads the job and the tree until it ends.
    if (m_running)
        return;

    int nx = m_columnCount;
    int ny = rowCountForRange(m_ymax - m_ymin);
    if (m_samples.isEmpty())
        nx = ny = 0;

    prepareIdwRun(m_setup, m_samples, m_xmin, m_xmax, m_ymin, m_ymax, nx, ny, m_tree, m_job,
                  m_worker);

    m_running = true;
    ui->pushButton_Start->setEnabled(false);
    ui->progressBar->setValue(0);
    m_thread->start(QThread::HighestPriority);
}

void Dialog_InvProgressBar::handleResults()
{
    QMessageBox::information(nullptr, QStringLiteral("反演进度"), QStringLiteral("反演完成"),
                             QMessageBox::Ok);

    m_resultPoints = m_worker->outputPoints();
    writeResultGrid(QStringLiteral("out.grd"), m_resultPoints, m_job.geometry);

    m_thread->requestInterruption();
    m_thread->quit();
    m_thread->wait();
    m_running = false;
    ui->pushButton_Start->setEnabled(true);
    close();
}
