#include "gridding/GridNodeRunner.h"

#include <QMutex>
#include <QMutexLocker>
#include <QThread>
#include <QThreadPool>
#include <QWaitCondition>

#include <algorithm>
#include <atomic>

void GridNodeRunner::run(qint64 nodes, int threads, const Work &work, const Progress &progress)
{
    if (nodes <= 0)
        return;
    if (threads < 1)
        threads = std::max(QThread::idealThreadCount(), 1);
    // Runs small enough for every thread to take several, which evens out
    // their ends, and for progress to move often.
    const qint64 chunk = std::max<qint64>(1, std::min<qint64>(4096, nodes / (16 * threads)));
    threads = static_cast<int>(std::min<qint64>(threads, (nodes + chunk - 1) / chunk));

    if (threads == 1) {
        for (qint64 begin = 0; begin < nodes; begin += chunk) {
            const qint64 end = std::min(nodes, begin + chunk);
            work(begin, end);
            progress(end);
        }
        return;
    }

    // A pool of its own: the global one serves the views, which must not
    // wait for a whole grid.
    QThreadPool pool;
    pool.setMaxThreadCount(threads);
    std::atomic<qint64> next{0};
    QMutex mutex;
    QWaitCondition advanced;
    qint64 done = 0;
    for (int t = 0; t < threads; ++t) {
        pool.start([&] {
            for (;;) {
                const qint64 begin = next.fetch_add(chunk);
                if (begin >= nodes)
                    return;
                const qint64 end = std::min(nodes, begin + chunk);
                work(begin, end);
                QMutexLocker lock(&mutex);
                done += end - begin;
                advanced.wakeAll();
            }
        });
    }

    qint64 reported = 0;
    QMutexLocker lock(&mutex);
    while (reported < nodes) {
        while (done == reported)
            advanced.wait(&mutex);
        const qint64 now = done;
        lock.unlock();
        progress(now);
        reported = now;
        lock.relock();
    }
    lock.unlock();
    pool.waitForDone();
}

int GridNodeRunner::percentSteps(qint64 from, qint64 to, qint64 total, int last,
                                 const std::function<void(int)> &step)
{
    if (total <= 0 || to <= from)
        return last;
    const int top = static_cast<int>(100 * to / total);
    for (int p = std::max(last + 1, 0); p <= top; ++p) {
        // The first count at or past p, and whether it lands on p itself.
        const qint64 c = std::max(from + 1, (p * total + 99) / 100);
        if (c <= to && 100 * c / total == p) {
            step(p);
            last = p;
        }
    }
    return last;
}
