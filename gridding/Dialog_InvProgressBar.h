#ifndef HW_DIALOG_INVPROGRESSBAR_H
#define HW_DIALOG_INVPROGRESSBAR_H

#include "gridding/GridPoint.h"
#include "gridding/GriddingSetup.h"
#include "model/SharedTypes.h"

#include <QDialog>
#include <QList>

#include <memory>

class QThread;
class RectInterpolation2;

namespace Ui {
class Dialog_InvProgressBar;
}

// Grids a line's result columns by inverse distance in a worker thread,
// shows the progress, tells the user when it is done, writes the grid as
// "out.grd" in the working directory and closes itself.
class Dialog_InvProgressBar : public QDialog
{
    Q_OBJECT

public:
    explicit Dialog_InvProgressBar(QWidget *parent = nullptr);
    // Waits for a running grid to end.
    ~Dialog_InvProgressBar() override;

    // Flattens the columns into samples (station position, depth, value);
    // samples with a value or coordinate that is not finite, and cells
    // without a value (the section grid's blank marker 1e-18), are left out.
    void setInversionResults(const QList<DataType_ResultData> &results);

    const QList<GridPoint> &samples() const { return m_samples; }
    int columnCount() const { return m_columnCount; }
    // The job of the latest run, and the grid copied at its end.
    const GriddingJob &job() const { return m_job; }
    const QList<GridPoint> &resultPoints() const { return m_resultPoints; }
    bool isRunning() const { return m_running; }
    const RectInterpolation2 *worker() const { return m_worker; }

    // Grid rows for a depth range: one per unit up to 20, else one per 5.
    // No rows for a negative or NaN range.
    static int rowCountForRange(float depthRange);
    // Search radius for N samples over the given extent; 0 without samples.
    static double searchRadiusFor(float xmin, float xmax, float ymin, float ymax, int sampleCount);
    // Builds the tree and the inverse-distance job over the extent and hands
    // both to the worker; job and tree must outlive the worker's run.
    static void prepareIdwRun(const GriddingSetup &setup, const QList<GridPoint> &samples,
                              float xmin, float xmax, float ymin, float ymax, int nx, int ny,
                              std::unique_ptr<SampleTree> &tree, GriddingJob &job,
                              RectInterpolation2 *worker);
    // Writes a finished grid as a Surfer text grid, its z range taken from the
    // finite values.
    static bool writeResultGrid(const QString &fileName, const QList<GridPoint> &points,
                                const GridGeometry &geometry);

public slots:
    void on_pushButton_Start_clicked();
    void handleResults();

private:
    Ui::Dialog_InvProgressBar *ui;
    GriddingSetup m_setup;
    std::unique_ptr<SampleTree> m_tree;
    GriddingJob m_job;
    QList<GridPoint> m_samples;
    QList<GridPoint> m_resultPoints;
    QThread *m_thread;
    RectInterpolation2 *m_worker;
    float m_xmax = -1e8f;
    float m_xmin = 1e8f;
    float m_ymin = 1e8f;
    float m_ymax = -1e8f;
    float m_valueMax = -1e8f;
    float m_valueMin = 1e8f;
    int m_columnCount = 0;
    bool m_running = false;
};

#endif
