#pragma once

#include <chrono>
#include <string>

#include "host/json_spirit/value.h"

// Told of each JSON-RPC request the host answers (each entry of a batch on
// its own), from the thread that handles it.  `method` is the request's
// method when the host serves it, else empty, so that names a client makes
// up never reach the observer.  Implementations must be thread-safe.
class Request_Observer {
 public:
  virtual ~Request_Observer() = default;
  virtual void request_started(const std::string& method) = 0;
  // `answer` is the answer sent: a response, an error, or null (a
  // notification).
  virtual void request_finished(const std::string& method, const json_spirit::Value& answer,
                                std::chrono::steady_clock::duration took) = 0;
};
