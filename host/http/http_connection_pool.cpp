#include "host/http/http_connection_pool.h"

#include <algorithm>
#include <csignal>
#include <new>
#include <pthread.h>

HTTP_Connection_Pool& HTTP_Connection_Pool::process() {
  static HTTP_Connection_Pool* const pool = new HTTP_Connection_Pool(&Clock::now, true);
  return *pool;
}

HTTP_Connection_Pool::HTTP_Connection_Pool(std::function<Clock::time_point()> now)
    : HTTP_Connection_Pool(std::move(now), false) {}

HTTP_Connection_Pool::HTTP_Connection_Pool(std::function<Clock::time_point()> now, bool reaper)
    : now_(std::move(now)), with_reaper_(reaper) {}

HTTP_Connection_Pool::~HTTP_Connection_Pool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (reaper_.joinable()) reaper_.join();
  clear();
}

Curl_Easy HTTP_Connection_Pool::take(const std::string& key) noexcept {
  std::vector<Idle> stale;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = idle_.find(key);
    if (it == idle_.end() || it->second.empty()) return Curl_Easy();
    std::vector<Idle>& kept = it->second;
    if (now_() - kept.back().since < IDLE_TIME) {
      Curl_Easy handle = std::move(kept.back().handle);
      kept.pop_back();
      --total_;
      if (kept.empty()) idle_.erase(it);
      return handle;
    }
    // The newest has expired, so all of them have: closed below, unlocked.
    total_ -= kept.size();
    stale = std::move(kept);
    idle_.erase(it);
  }
  return Curl_Easy();
}

void HTTP_Connection_Pool::give_back(const std::string& key, Curl_Easy handle,
                                     std::size_t per_key) noexcept {
  if (!handle) return;
  Curl_Easy evicted;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_ || per_key == 0) return;  // `handle` closes on return
    try {
      std::vector<Idle>& kept = idle_[key];
      if (kept.size() >= per_key) return;
      if (total_ >= MAX_IDLE_TOTAL) {
        // Room is made by the handle idle longest, wherever it waits.
        auto oldest =
            std::min_element(idle_.begin(), idle_.end(), [](const auto& a, const auto& b) {
              if (a.second.empty() || b.second.empty()) return !a.second.empty();
              return a.second.front().since < b.second.front().since;
            });
        if (oldest != idle_.end() && !oldest->second.empty()) {
          evicted = std::move(oldest->second.front().handle);
          oldest->second.erase(oldest->second.begin());
          --total_;
          // A key is kept only while handles wait under it.
          if (oldest->second.empty() && oldest->first != key) idle_.erase(oldest);
        }
      }
      kept.reserve(per_key);
      kept.push_back(Idle{std::move(handle), now_()});
      ++total_;
      if (with_reaper_ && !reaper_.joinable()) {
        // The thread takes no signals: they belong to the program's own threads.
        sigset_t all, previous;
        sigfillset(&all);
        pthread_sigmask(SIG_SETMASK, &all, &previous);
        reaper_ = std::thread(&HTTP_Connection_Pool::reap, this);
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
      }
    } catch (...) {
      // No room to keep it: it is closed like any other surplus handle.
    }
  }
  // The reaper is not woken: a handle given back now expires no sooner
  // than IDLE_TIME from now, and the reaper looks again by then.  Waking
  // it at every give-back cost each request two switches of thread.
}

std::size_t HTTP_Connection_Pool::idle(const std::string& key) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = idle_.find(key);
  return it == idle_.end() ? 0 : it->second.size();
}

std::size_t HTTP_Connection_Pool::idle_total() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return total_;
}

std::vector<Curl_Easy> HTTP_Connection_Pool::take_expired(Clock::time_point now) {
  std::vector<Curl_Easy> expired;
  for (auto it = idle_.begin(); it != idle_.end();) {
    std::vector<Idle>& kept = it->second;
    auto fresh = std::find_if(kept.begin(), kept.end(),
                              [&](const Idle& i) { return now - i.since < IDLE_TIME; });
    for (auto e = kept.begin(); e != fresh; ++e)
      expired.push_back(std::move(e->handle));
    total_ -= static_cast<std::size_t>(fresh - kept.begin());
    kept.erase(kept.begin(), fresh);
    it = kept.empty() ? idle_.erase(it) : std::next(it);
  }
  return expired;
}

void HTTP_Connection_Pool::close_expired() {
  std::vector<Curl_Easy> expired;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    expired = take_expired(now_());
  }
}

void HTTP_Connection_Pool::clear() {
  std::map<std::string, std::vector<Idle>> all;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    all.swap(idle_);
    total_ = 0;
  }
}

void HTTP_Connection_Pool::reap() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    // With nothing waiting it looks again in IDLE_TIME, before anything
    // given back meanwhile has expired.
    Clock::time_point oldest = now_();
    for (const auto& [key, kept] : idle_)
      if (!kept.empty()) oldest = std::min(oldest, kept.front().since);
    changed_.wait_until(lock, oldest + IDLE_TIME);
    std::vector<Curl_Easy> expired;
    try {
      expired = take_expired(now_());
    } catch (const std::bad_alloc&) {
      continue;  // tried again at the next change or deadline
    }
    if (expired.empty()) continue;
    lock.unlock();
    expired.clear();  // closes the connections
    lock.lock();
  }
}
