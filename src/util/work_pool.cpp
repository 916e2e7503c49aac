#include "util/work_pool.h"

#include <algorithm>

namespace util {

WorkPool::WorkPool(unsigned threads) {
  if (threads == 0)
    threads = std::max(1u, std::thread::hardware_concurrency());
  for (unsigned i = 0; i < threads; ++i)
    m_threads.emplace_back([this] { run(); });
}

WorkPool::~WorkPool() {
  {
    std::lock_guard lock(m_mutex);
    m_stop = true;
    m_jobs.clear();
  }
  m_wake.notify_all();
  for (auto& t : m_threads)
    t.join();
}

void WorkPool::submit(bool& done, std::function<void()> job) {
  {
    std::lock_guard lock(m_mutex);
    m_jobs.emplace_back(&done, std::move(job));
  }
  m_wake.notify_one();
}

void WorkPool::waitFor(const bool& done) {
  waitUntil([&] { return done; });
}

void WorkPool::waitUntil(const std::function<bool()>& ready) {
  std::unique_lock lock(m_mutex);
  m_jobDone.wait(lock, ready);
}

void WorkPool::run() {
  for (;;) {
    std::pair<bool*, std::function<void()>> job;
    {
      std::unique_lock lock(m_mutex);
      m_wake.wait(lock, [&] { return m_stop || !m_jobs.empty(); });
      if (m_stop)
        return;
      job = std::move(m_jobs.front());
      m_jobs.pop_front();
    }
    job.second();
    {
      std::lock_guard lock(m_mutex);
      *job.first = true;
    }
    m_jobDone.notify_all();
  }
}

}  // namespace util
