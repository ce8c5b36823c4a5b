#include "views/Dialog_3DInvProgress.h"

#include "gridding/Dialog_InvProgressBar.h"
#include "gridding/RectInterpolation2.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

Dialog_3DInvProgress::Dialog_3DInvProgress(QWidget *parent)
    : QDialog(parent)
    , m_valueLayout(new QGridLayout)
    , m_progressBar(new QProgressBar(this))
    , m_thread(new QThread)
    , m_worker(new RectInterpolation2)
{
    setWindowTitle(QStringLiteral("网格化进度"));
    m_progressBar->setObjectName(QStringLiteral("progressBar"));
    m_progressBar->setValue(0);

    auto *ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("pushButton_OK"));
    auto *cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("pushButton_Cancle"));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_progressBar);
    layout->addLayout(m_valueLayout);
    layout->addLayout(buttons);
    QMetaObject::connectSlotsByName(this);

    // In its thread before the thread ever starts, so that started() runs
    // the grid there.
    m_worker->moveToThread(m_thread);
    connect(m_thread, SIGNAL(started()), m_worker, SLOT(startInterp()));
    connect(m_thread, SIGNAL(finished()), this, SLOT(handleResults()));
    connect(m_worker, SIGNAL(interpProcess(int)), m_progressBar, SLOT(setValue(int)));
    connect(m_worker, SIGNAL(interpfinished()), m_thread, SLOT(quit()));
}

Dialog_3DInvProgress::~Dialog_3DInvProgress()
{
    m_thread->requestInterruption();
    m_thread->quit();
    m_thread->wait();
    delete m_worker;
    delete m_thread;
}

QString Dialog_3DInvProgress::outputFileName() const
{
    return QString::number(m_number) + QStringLiteral("_out.grd");
}

void Dialog_3DInvProgress::setSamples(const QList<GridPoint> &samples, int nx, int ny)
{
    if (m_running)
        return;
    m_samples.clear();
    for (const GridPoint &s : samples) {
        if (std::isfinite(s.x) && std::isfinite(s.y) && std::isfinite(s.value))
            m_samples.append(s);
    }
    m_nx = std::max(nx, 0);
    m_ny = std::max(ny, 0);
}

void Dialog_3DInvProgress::startGridding()
{
    // The worker reads the job and the tree until it ends.
    if (m_running)
        return;

    float xmax = -1e8f;
    float xmin = 1e8f;
    float ymax = -1e8f;
    float ymin = 1e8f;
    for (const GridPoint &s : qAsConst(m_samples)) {
        xmin = std::min(xmin, s.x);
        xmax = std::max(xmax, s.x);
        ymin = std::min(ymin, s.y);
        ymax = std::max(ymax, s.y);
    }
    int nx = m_nx;
    int ny = m_ny;
    if (m_samples.isEmpty())
        nx = ny = 0;

    Dialog_InvProgressBar::prepareIdwRun(m_setup, m_samples, xmin, xmax, ymin, ymax, nx, ny,
                                         m_tree, m_job, m_worker);

    m_running = true;
    m_progressBar->setValue(0);
    m_thread->start(QThread::HighestPriority);
}

void Dialog_3DInvProgress::handleResults()
{
    m_resultPoints = m_worker->outputPoints();
    Dialog_InvProgressBar::writeResultGrid(outputFileName(), m_resultPoints, m_job.geometry);
    m_thread->wait();
    m_running = false;
}

void Dialog_3DInvProgress::addValueRow(const QString &first, const QString &second)
{
    auto *a = new QLineEdit(first, this);
    auto *b = new QLineEdit(second, this);
    const int row = m_firstEdits.size();
    m_valueLayout->addWidget(a, row, 0);
    m_valueLayout->addWidget(b, row, 1);
    m_firstEdits.append(a);
    m_secondEdits.append(b);
}

void Dialog_3DInvProgress::on_pushButton_OK_clicked()
{
    m_valuePairs.clear();
    const int n = std::min(m_firstEdits.size(), m_secondEdits.size());
    for (int i = 0; i < n; ++i)
        m_valuePairs.append(
            qMakePair(m_firstEdits[i]->text().toDouble(), m_secondEdits[i]->text().toDouble()));
    accept();
    close();
}

void Dialog_3DInvProgress::on_pushButton_Cancle_clicked()
{
    reject();
    close();
}
