#ifndef HW_GRIDNODERUNNER_H
#define HW_GRIDNODERUNNER_H

#include <QtGlobal>

#include <functional>

// Computes the nodes of a grid on several threads: runs of consecutive
// nodes are handed out to the threads of a private pool as they come free,
// and the calling thread reports progress while it waits. Each node must be
// computed on its own, so that the result does not depend on the number of
// threads or on which thread took which run.
class GridNodeRunner
{
public:
    // Computes nodes [begin, end); called concurrently for disjoint runs.
    using Work = std::function<void(qint64 begin, qint64 end)>;
    // Told on the calling thread how many nodes are done, rising to the total.
    using Progress = std::function<void(qint64 done)>;

    // threads < 1: one per processor thread. With one thread, or a grid too
    // small to share, everything runs on the calling thread.
    static void run(qint64 nodes, int threads, const Work &work, const Progress &progress);

    // For a count moving from `from` to `to` (from < c <= to), calls
    // step(p), rising, for every percentage p = 100 * c / total (truncated)
    // that some c reaches and that is above `last`; returns the last p
    // passed, or `last`. A bar set at every count shows these values.
    static int percentSteps(qint64 from, qint64 to, qint64 total, int last,
                            const std::function<void(int)> &step);
};

#endif
