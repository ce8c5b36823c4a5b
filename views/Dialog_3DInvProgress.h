#ifndef HW_DIALOG_3DINVPROGRESS_H
#define HW_DIALOG_3DINVPROGRESS_H

#include "gridding/GridPoint.h"
#include "gridding/GriddingSetup.h"

#include <QDialog>
#include <QList>
#include <QPair>
#include <QString>

#include <memory>

class QLineEdit;
class QGridLayout;
class QProgressBar;
class QThread;
class RectInterpolation2;

// Grids one numbered set of samples by inverse distance in a worker thread
// and writes the grid as "<n>_out.grd" in the working directory; holds two
// columns of value fields that OK collects into pairs.
class Dialog_3DInvProgress : public QDialog
{
    Q_OBJECT

public:
    explicit Dialog_3DInvProgress(QWidget *parent = nullptr);
    // Waits for a running grid to end.
    ~Dialog_3DInvProgress() override;

    void setNumber(int n) { m_number = n; }
    int number() const { return m_number; }
    QString outputFileName() const;

    // The samples of the next run and its grid size; the x and y ranges are
    // the samples' own. Samples that are not finite are left out.
    void setSamples(const QList<GridPoint> &samples, int nx, int ny);
    // Starts the run and returns at once; ignored while one is running.
    void startGridding();
    bool isRunning() const { return m_running; }
    const GridGeometry &geometry() const { return m_job.geometry; }
    const QList<GridPoint> &resultPoints() const { return m_resultPoints; }

    // One row of the two value columns.
    void addValueRow(const QString &first, const QString &second);
    const QList<QLineEdit *> &firstEdits() const { return m_firstEdits; }
    const QList<QLineEdit *> &secondEdits() const { return m_secondEdits; }
    const QList<QPair<double, double>> &valuePairs() const { return m_valuePairs; }

public slots:
    void handleResults();
    void on_pushButton_OK_clicked();
    void on_pushButton_Cancle_clicked();

private:
    GriddingSetup m_setup;
    std::unique_ptr<SampleTree> m_tree;
    GriddingJob m_job;
    QList<GridPoint> m_samples;
    QList<GridPoint> m_resultPoints;
    QList<QLineEdit *> m_firstEdits;
    QList<QLineEdit *> m_secondEdits;
    QList<QPair<double, double>> m_valuePairs;
    QGridLayout *m_valueLayout;
    QProgressBar *m_progressBar;
    QThread *m_thread;
    RectInterpolation2 *m_worker;
    int m_number = 0;
    int m_nx = 0;
    int m_ny = 0;
    bool m_running = false;
};

#endif
