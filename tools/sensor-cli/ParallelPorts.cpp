#include "tools/sensor-cli/ParallelPorts.h"

#include "tools/sensor-cli/Console.h"
#include "tools/sensor-cli/SensorHost.h"

#include <QThread>

#include <memory>
#include <mutex>
#include <vector>

QList<TPortOutcome> RunOnPorts(const QStringList &ports, TConsole &console,
                               const std::function<TPortOutcome(TSensorHost &host)> &job)
{
    QList<TPortOutcome> outcomes(ports.size());
    // The hand-over of each outcome is explicit, not left to QThread::wait alone.
    std::mutex lock;
    std::vector<std::unique_ptr<QThread>> threads;
    for (qsizetype i = 0; i < ports.size(); ++i) {
        threads.emplace_back(QThread::create([&, i] {
            // The host's port, timer and waiter belong to this thread and its event loop.
            TSensorHost host(ports[i], console);
            TPortOutcome outcome = job(host);
            const std::lock_guard guard(lock);
            outcomes[i] = std::move(outcome);
        }));
        threads.back()->start();
    }
    for (const auto &thread : threads)
        while (!thread->wait(QDeadlineTimer(100)))
            console.Tick();
    const std::lock_guard guard(lock);
    return outcomes;
}
