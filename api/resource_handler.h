#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "host/json_spirit/value.h"

namespace qingcloud {

// Called with one reply member (or a whole reply); false fails the call.
using Handler = std::function<bool(const json_spirit::Value&)>;

// What a paged describe call does with each page: the name of the reply
// member that holds the page's records, and the callable that takes it.
class Describe_Resource_Handler {
 public:
  // Told the call's "total_count" once, before the first page.
  using Total_Handler = std::function<void(std::int64_t)>;

  // `key` has static lifetime; null or "" hands the handler the whole reply.
  Describe_Resource_Handler(const char* key, Handler handler,
                            Total_Handler on_total = Total_Handler()) noexcept
      : key_(key), handler_(std::move(handler)), on_total_(std::move(on_total)) {}

  const char* key() const noexcept { return key_; }

  // False when no callable was given.
  bool operator()(const json_spirit::Value& value) const {
    return handler_ ? handler_(value) : false;
  }

  void expect_total(std::int64_t total) const {
    if (on_total_) on_total_(total);
  }

 protected:
  const char* key_;
  Handler handler_;
  Total_Handler on_total_;
};

// What a create call does with its reply: the reply member naming the new
// resources, where to leave the job id (null: wait for the job), and the
// callable that takes the member.
class Create_Resource_Handler {
 public:
  // `key` has static lifetime; `job_id`, when not null, is the caller's.
  Create_Resource_Handler(const char* key, std::string* job_id, Handler handler) noexcept
      : key_(key), job_id_(job_id), handler_(std::move(handler)) {}

  const char* key() const noexcept { return key_; }
  std::string* job_id() const noexcept { return job_id_; }

  bool operator()(const json_spirit::Value& value) const {
    return handler_ ? handler_(value) : false;
  }

 protected:
  const char* key_;
  std::string* job_id_;
  Handler handler_;
};

}  // namespace qingcloud
