#include "printing/devices/job_progress.h"

#ifndef _WIN32

#include <QCoreApplication>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <atomic>
#include <new>
#include <thread>

namespace Plover::PrintSystem {

bool runJobStep(QWidget* owner, const QString& label, const std::function<bool(const ProgressReport&)>& step,
                bool* cancelled, QString* problem)
{
    QProgressDialog progress(label, QCoreApplication::translate("Plover::PrintSystem", "Cancel"), 0, 0, owner);
    progress.setWindowTitle(QCoreApplication::translate("Plover::PrintSystem", "Print"));
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(0);
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    progress.setValue(0);

    std::atomic<bool> done{false}, stop{false};
    std::atomic<int> doneUnits{0}, totalUnits{0};
    bool succeeded = false;
    QEventLoop loop;
    bool outOfMemory = false;
    std::thread worker([&] {
        try {
            succeeded = step([&](int now, int total) {
                doneUnits = now;
                totalUnits = total;
                return !stop.load();
            });
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
        }
        done = true;
    });
    QObject::connect(&progress, &QProgressDialog::canceled, &loop, [&] { stop = true; });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (totalUnits > 0 && !stop) {
            progress.setMaximum(totalUnits);
            progress.setValue(doneUnits);
        }
        if (done)
            loop.quit();
    });
    poll.start(20);
    loop.exec();
    worker.join();
    if (cancelled)
        *cancelled = stop;
    if (problem && outOfMemory)
        *problem = QCoreApplication::translate("Plover::PrintSystem", "There is not enough memory to print this page.");
    return succeeded && !stop;
}

} // namespace Plover::PrintSystem

#endif
