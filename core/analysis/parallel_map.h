#pragma once
// The one parallel loop over curves: each index runs once on some worker, results go to the
// caller's slot for that index (so the order is the input's), and a run on N threads equals the
// run on one as long as work(i) depends only on i and not on what the worker did before.

#include <tbb/blocked_range.h>
#include <tbb/enumerable_thread_specific.h>
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>

namespace marvek {

struct ParallelOptions {
    int threads = 0;  // 1: the calling thread only; 0: every core
    // Called after each finished index with (done, total); never from two threads at once.
    std::function<void(std::size_t done, std::size_t total)> progress;
    const std::atomic<bool>* cancel = nullptr;  // checked before each index
    std::size_t grain = 1;                      // indices a worker takes at once
};

// The threads a request means: 0 or less is every core of the current arena.
inline int ResolveThreads(int requested) {
    return requested > 0 ? requested : tbb::this_task_arena::max_concurrency();
}

// Per-thread worker state (an analyzer and its scratch), made once per thread on first use and
// kept by the caller across calls, so that batches reuse their workers.
template <class Worker>
class WorkerPool {
public:
    explicit WorkerPool(std::function<std::unique_ptr<Worker>()> make)
        : workers_([make] { return make(); }) {}
    Worker& Local() { return *workers_.local(); }

private:
    tbb::enumerable_thread_specific<std::unique_ptr<Worker>> workers_;
};

// Runs work(worker, i) for i in [0, count) and done(i) after each (serialised, with progress).
// False when cancelled: indices not yet started are skipped, their slots left as they were.
template <class Worker, class Work>
bool ParallelForEach(std::size_t count, const ParallelOptions& options, WorkerPool<Worker>& pool,
                     Work&& work, const std::function<void(std::size_t)>& done = {}) {
    std::mutex mutex;
    std::size_t finished = 0;
    auto cancelled = [&] { return options.cancel && options.cancel->load(); };
    auto finish = [&](std::size_t i) {
        if (!options.progress && !done) return;
        std::lock_guard<std::mutex> lock(mutex);
        ++finished;
        if (done) done(i);
        if (options.progress) options.progress(finished, count);
    };
    const int threads = ResolveThreads(options.threads);
    if (threads <= 1) {
        Worker& w = pool.Local();
        for (std::size_t i = 0; i < count; ++i) {
            if (cancelled()) return false;
            work(w, i);
            finish(i);
        }
        return true;
    }
    std::atomic<bool> stopped{false};
    tbb::task_arena arena(threads);
    arena.execute([&] {
        tbb::parallel_for(tbb::blocked_range<std::size_t>(0, count, options.grain),
                          [&](const tbb::blocked_range<std::size_t>& range) {
                              Worker& w = pool.Local();
                              for (std::size_t i = range.begin(); i != range.end(); ++i) {
                                  if (stopped.load() || cancelled()) {
                                      stopped = true;
                                      return;
                                  }
                                  work(w, i);
                                  finish(i);
                              }
                          });
    });
    return !stopped.load() && !cancelled();
}

}  // namespace marvek
