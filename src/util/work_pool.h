// A fixed set of worker threads running jobs in the order they were submitted.
//
// Each job comes with a flag the pool sets, under its lock, when the job has ended;
// waitFor() blocks until it is set. The destructor drops the jobs not started and waits
// for the running ones, so declare the pool after whatever its jobs write.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace util {

class WorkPool {
 public:
  // `threads` 0: one per core.
  explicit WorkPool(unsigned threads);
  ~WorkPool();
  WorkPool(const WorkPool&) = delete;
  WorkPool& operator=(const WorkPool&) = delete;

  // Runs `job` on a worker and then sets `done`. `done` must stay alive until then and is
  // only read through waitFor() meanwhile.
  void submit(bool& done, std::function<void()> job);
  void waitFor(const bool& done);
  // Blocks until `ready` (called under the pool's lock, after each job ends) is true.
  void waitUntil(const std::function<bool()>& ready);

 private:
  void run();

  std::mutex m_mutex;
  std::condition_variable m_wake, m_jobDone;
  std::deque<std::pair<bool*, std::function<void()>>> m_jobs;
  bool m_stop = false;
  std::vector<std::thread> m_threads;
};

}  // namespace util
