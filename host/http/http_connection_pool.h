#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/http/curl_handles.h"

// Idle connections kept for reuse across sessions: each is a libcurl easy
// handle that holds its one connection, filed under the key of everything
// that makes a connection reusable (scheme, host, port, TLS trust, proxy).
// A session is made for every request of the plug-in, so keeping them here,
// for the whole process, is what lets one request reuse the connection (and
// TLS session) of the one before.
//
// At most the session's own idle count is kept per key and MAX_IDLE_TOTAL in
// all; a handle idle for IDLE_TIME is closed (by a thread of the pool, so
// that no socket stays open long after the server has given up on it).
// Thread-safe: handles move in and out under the pool's lock, and are closed
// outside it.
class HTTP_Connection_Pool {
 public:
  using Clock = std::chrono::steady_clock;

  // Shorter than the keep-alive of common servers, so that a kept connection
  // is given up before the server closes it.
  static constexpr std::chrono::seconds IDLE_TIME{30};
  static constexpr std::size_t MAX_IDLE_TOTAL = 64;

  // The pool of the process, with its closing thread.  It lives until the
  // process ends, so that no handler thread still at work then finds it gone.
  static HTTP_Connection_Pool& process();

  // A pool without a closing thread whose time is `now`: for tests, which
  // call close_expired themselves.
  explicit HTTP_Connection_Pool(std::function<Clock::time_point()> now);
  ~HTTP_Connection_Pool();
  HTTP_Connection_Pool(const HTTP_Connection_Pool&) = delete;
  HTTP_Connection_Pool& operator=(const HTTP_Connection_Pool&) = delete;

  // The most recently kept handle of `key`, or null.
  Curl_Easy take(const std::string& key) noexcept;
  // Keeps `handle` under `key` when fewer than `per_key` wait there and the
  // pool has room; closes it otherwise.  The oldest handle of the pool makes
  // room when the total is reached.
  void give_back(const std::string& key, Curl_Easy handle, std::size_t per_key) noexcept;

  std::size_t idle(const std::string& key) const;
  std::size_t idle_total() const;

  // Closes the handles idle for IDLE_TIME or longer.
  void close_expired();
  // Closes every idle handle.
  void clear();

 private:
  struct Idle {
    Curl_Easy handle;
    Clock::time_point since;
  };
  HTTP_Connection_Pool(std::function<Clock::time_point()> now, bool reaper);
  // Removes the expired handles, returning them for closing outside the lock.
  std::vector<Curl_Easy> take_expired(Clock::time_point now);
  void reap();

  const std::function<Clock::time_point()> now_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::map<std::string, std::vector<Idle>> idle_;  // newest last
  std::size_t total_ = 0;
  bool stopping_ = false;
  std::thread reaper_;
  const bool with_reaper_;
};
