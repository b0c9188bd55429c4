#pragma once

#include <chrono>
#include <functional>

// How one HTTP exchange ended, as the process-wide observer is told.
struct HTTP_Exchange_Outcome {
  int status = 0;  // the reply's HTTP status, or 0 when no reply came (a network error)
  std::chrono::steady_clock::duration duration{};
};

// One observer for the whole process (a program's metrics, say); the HTTP
// library tells it of every exchange once, when it ends, from the thread
// that ran it.  The observer must be thread-safe and quick.  Setting an
// empty one removes it; whatever the old one uses must outlive the
// exchanges already in flight.
using HTTP_Exchange_Observer = std::function<void(const HTTP_Exchange_Outcome&)>;
void set_http_exchange_observer(HTTP_Exchange_Observer observer);

// Called by the HTTP library; does nothing without an observer.
void notify_http_exchange(const HTTP_Exchange_Outcome& outcome) noexcept;
