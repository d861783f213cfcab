// A few worker threads that run tasks side by side and hand their results back in the order
// the tasks were queued. One owner thread queues tasks and takes results; the workers only
// run tasks, and a task touches nothing but what it carries.
//
// Thread boundary: FMutex guards the waiting tasks, the finished results, the counters and
// FStopping. FWork wakes the workers, FRoom wakes an owner waiting for room in the queue,
// FReady wakes an owner waiting for the next result. A result is handed over under FMutex,
// so everything a task built is complete and visible when the owner takes it. A task's
// exception is caught on the worker and travels to the owner as the result's Error.
// Stop (and the destructor) drops the tasks not begun and joins every worker, so nothing a
// task uses is freed while it runs.
#pragma once

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace convert {

// The number of threads the machine runs at once (at least 1).
inline int HardwareThreads() {
  return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

template <class TResult>
class TOrderedPipeline {
 public:
  using TTask = std::function<TResult()>;
  struct TDone {
    TResult Value{};
    std::exception_ptr Error;  // set when the task threw; Value is then default
  };

  // threads workers (at least 1); at most maxWaiting tasks wait for a worker (at least 1).
  // idlePriority runs the workers under SCHED_IDLE, so that every other thread of the
  // machine comes first. Throws std::system_error when a thread cannot be started (the
  // ones already started are joined).
  TOrderedPipeline(int threads, std::size_t maxWaiting, bool idlePriority)
      : FMaxWaiting(std::max<std::size_t>(maxWaiting, 1)) {
    try {
      for (int i = 0; i < std::max(threads, 1); ++i)
        FThreads.emplace_back([this, idlePriority] { Work(idlePriority); });
    } catch (...) {
      Stop();
      throw;
    }
  }
  ~TOrderedPipeline() { Stop(); }
  TOrderedPipeline(const TOrderedPipeline&) = delete;
  TOrderedPipeline& operator=(const TOrderedPipeline&) = delete;

  int Threads() const { return static_cast<int>(FThreads.size()); }

  // Owner. Queues a task, first waiting while maxWaiting tasks wait for a worker: a producer
  // faster than the workers is held back instead of piling up memory. Does nothing after
  // Stop or DropWaiting.
  void Push(TTask task) {
    std::unique_lock lock(FMutex);
    FRoom.wait(lock, [&] { return FStopping || FDropped || FWaiting.size() < FMaxWaiting; });
    if (FStopping || FDropped) return;
    FWaiting.emplace_back(FPushed++, std::move(task));
    FDone.emplace_back();
    lock.unlock();
    FWork.notify_one();
  }

  // Owner. The result of the oldest task not yet taken, once it is done.
  std::optional<TDone> TakeNext() {
    std::lock_guard lock(FMutex);
    if (FDone.empty() || !FDone.front()) return std::nullopt;
    std::optional<TDone> next = std::move(FDone.front());
    FDone.pop_front();
    ++FTaken;
    return next;
  }

  // Owner. Waits at most `timeout` for the oldest result not yet taken; true when it is done.
  bool WaitForNext(std::chrono::milliseconds timeout) {
    std::unique_lock lock(FMutex);
    return FReady.wait_for(lock, timeout, [&] { return FStopping || (!FDone.empty() && FDone.front()); }) &&
           !FDone.empty() && FDone.front().has_value();
  }

  // Tasks queued and results taken so far.
  std::int64_t Pushed() const {
    std::lock_guard lock(FMutex);
    return FPushed;
  }
  std::int64_t Taken() const {
    std::lock_guard lock(FMutex);
    return FTaken;
  }

  // Owner. Drops the tasks that have not begun and refuses new ones; running tasks finish.
  // The dropped tasks' results never come.
  void DropWaiting() {
    std::deque<std::pair<std::int64_t, TTask>> dropped;
    {
      std::lock_guard lock(FMutex);
      FDropped = true;
      dropped.swap(FWaiting);
    }
    FRoom.notify_all();
  }

  // Owner. DropWaiting, then joins every worker. Results already done can still be taken.
  void Stop() {
    DropWaiting();
    {
      std::lock_guard lock(FMutex);
      FStopping = true;
    }
    FWork.notify_all();
    FReady.notify_all();
    for (std::thread& thread : FThreads)
      if (thread.joinable()) thread.join();
  }

 private:
  void Work(bool idlePriority) {
    if (idlePriority) {
      // Best effort: without SCHED_IDLE the workers run at normal priority.
      sched_param param{};
      pthread_setschedparam(pthread_self(), SCHED_IDLE, &param);
    }
    for (;;) {
      std::pair<std::int64_t, TTask> job;
      {
        std::unique_lock lock(FMutex);
        FWork.wait(lock, [&] { return FStopping || !FWaiting.empty(); });
        if (FWaiting.empty()) return;  // stopping
        job = std::move(FWaiting.front());
        FWaiting.pop_front();
      }
      FRoom.notify_one();
      TDone done;
      try {
        done.Value = job.second();
      } catch (...) {
        done.Error = std::current_exception();
      }
      job.second = nullptr;  // what the task carried goes here, on the worker
      bool isNext = false;
      {
        std::lock_guard lock(FMutex);
        const auto slot = static_cast<std::size_t>(job.first - FTaken);
        FDone[slot] = std::move(done);
        isNext = slot == 0;
      }
      if (isNext) FReady.notify_all();
    }
  }

  const std::size_t FMaxWaiting;
  mutable std::mutex FMutex;
  std::condition_variable FWork, FRoom, FReady;
  std::deque<std::pair<std::int64_t, TTask>> FWaiting;  // index and task, oldest first
  std::deque<std::optional<TDone>> FDone;                // from index FTaken on
  std::int64_t FPushed = 0;
  std::int64_t FTaken = 0;
  bool FDropped = false;
  bool FStopping = false;
  std::vector<std::thread> FThreads;
};

}  // namespace convert
