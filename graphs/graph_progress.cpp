#include "graphs/graph_progress.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>

#include <atomic>
#include <memory>
#include <thread>

namespace marvek::graphs {

namespace {
constexpr int kShowAfterMs = 500;
constexpr int kPollMs = 40;
}  // namespace

GraphResult RunWithProgress(QWidget* owner,
                            const std::function<GraphResult(const GraphOptions&)>& work) {
    std::atomic<std::size_t> done{0}, total{0};
    std::atomic<bool> cancel{false}, finished{false};
    GraphOptions options;
    options.cancel = &cancel;
    options.progress = [&](std::size_t d, std::size_t t) {
        done = d;
        total = t;
    };
    GraphResult result;
    std::thread worker([&] {
        result = work(options);
        finished = true;
    });

    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<QProgressDialog> dialog;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (finished) {
            loop.quit();
            return;
        }
        if (!dialog && clock.elapsed() >= kShowAfterMs) {
            dialog = std::make_unique<QProgressDialog>("Analysing the curves ...", "Cancel", 0, 0,
                                                       owner);
            dialog->setWindowTitle("Marvek");
            dialog->setWindowModality(Qt::WindowModal);
            dialog->setMinimumDuration(0);
            dialog->setAutoReset(false);
            dialog->setAutoClose(false);
            dialog->show();
        }
        if (dialog) {
            const int t = static_cast<int>(total.load());
            if (dialog->maximum() != t) dialog->setMaximum(t);
            dialog->setValue(static_cast<int>(done.load()));
            if (dialog->wasCanceled()) {
                cancel = true;
                dialog->setLabelText("Cancelling ...");
            }
        }
    });
    timer.start(kPollMs);
    if (!finished) loop.exec();
    timer.stop();
    worker.join();
    if (dialog) dialog->close();
    return result;
}

}  // namespace marvek::graphs
