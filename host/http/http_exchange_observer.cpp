#include "host/http/http_exchange_observer.h"

#include <memory>
#include <mutex>

#include "host/support/log.h"

namespace {

std::mutex observer_mutex;
// Copied out under the lock, so that an exchange never calls the observer
// while holding it, and a replaced observer lives on until its calls end.
std::shared_ptr<const HTTP_Exchange_Observer> current_observer;

}  // namespace

void set_http_exchange_observer(HTTP_Exchange_Observer observer) {
  std::shared_ptr<const HTTP_Exchange_Observer> next;
  if (observer) next = std::make_shared<const HTTP_Exchange_Observer>(std::move(observer));
  std::lock_guard<std::mutex> lock(observer_mutex);
  current_observer.swap(next);
}

void notify_http_exchange(const HTTP_Exchange_Outcome& outcome) noexcept {
  std::shared_ptr<const HTTP_Exchange_Observer> observer;
  {
    std::lock_guard<std::mutex> lock(observer_mutex);
    observer = current_observer;
  }
  if (!observer) return;
  try {
    (*observer)(outcome);
  } catch (const std::exception& e) {
    QC_LOG_ERROR("The HTTP exchange observer failed, exception: %s.\n", e.what());
  }
}
