#include "tools/qingcloud_sim/records.h"

#include <cstring>

#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>

namespace qingcloud_sim {
namespace {

// The members that filters and actions read; "a.b" is member b of object a.
const char* const INDEXED[] = {
    "status",
    "transition_status",
    "controller",
    "host_machine",
    "owner",
    "instance_type",
    "instance_name",
    "vxnet_name",
    "vxnet_type",
    "volume_name",
    "volume_type",
    "image_name",
    "snapshot_name",
    "snapshot_type",
    "user_name",
    "provider",
    "os_family",
    "processor_type",
    "visibility",
    "platform",
    "job_action",
    "secret_access_key",
    "create_time",
    "size",
    "image.image_id",
    "instance.instance_id",
    "resource.resource_id",
};

const boost::json::value* lookup(const boost::json::object& json, const char* key) {
  const char* dot = std::strchr(key, '.');
  if (dot == nullptr) return json.if_contains(key);
  const boost::json::value* outer = json.if_contains(std::string_view(key, dot - key));
  if (outer == nullptr || !outer->is_object()) return nullptr;
  return outer->get_object().if_contains(dot + 1);
}

}  // namespace

Record::Record(std::string id, std::string owner, const boost::json::object& json)
    : id_(std::move(id)), owner_(std::move(owner)) {
  store(json);
}

bool Record::indexed(std::string_view key) {
  for (const char* k : INDEXED)
    if (key == k) return true;
  return false;
}

const Record::Field* Record::field(std::string_view key) const {
  for (const Field& f : fields_)
    if (key == f.key) return &f;
  return nullptr;
}

std::string_view Record::text(std::string_view key) const {
  const Field* f = field(key);
  return f != nullptr && !f->is_integer ? std::string_view(f->text) : std::string_view();
}

std::int64_t Record::integer(std::string_view key, std::int64_t fallback) const {
  const Field* f = field(key);
  return f != nullptr && f->is_integer ? f->number : fallback;
}

bool Record::has_integer(std::string_view key) const {
  const Field* f = field(key);
  return f != nullptr && f->is_integer;
}

boost::json::object Record::json() const {
  boost::json::value parsed = boost::json::parse(text_);
  return std::move(parsed.as_object());
}

void Record::set(std::string_view key, boost::json::value value) {
  update([&](boost::json::object& json) { json[key] = std::move(value); });
}

void Record::store(const boost::json::object& json) {
  text_ = boost::json::serialize(json);
  fields_.clear();
  for (const char* key : INDEXED) {
    const boost::json::value* v = lookup(json, key);
    if (v == nullptr) continue;
    if (v->is_string()) {
      fields_.push_back(Field{key, false, std::string(v->get_string()), 0});
    } else if (v->is_int64()) {
      fields_.push_back(Field{key, true, std::string(), v->get_int64()});
    } else if (v->is_uint64()) {
      fields_.push_back(
          Field{key, true, std::string(), static_cast<std::int64_t>(v->get_uint64())});
    }
  }
  fields_.shrink_to_fit();
}

bool Record_Table::add(Record record) {
  if (!index_.emplace(record.id(), rows_.size()).second) return false;
  rows_.push_back(std::move(record));
  return true;
}

Record* Record_Table::find(std::string_view id) {
  auto it = index_.find(std::string(id));
  return it == index_.end() ? nullptr : &rows_[it->second];
}

const Record* Record_Table::find(std::string_view id) const {
  auto it = index_.find(std::string(id));
  return it == index_.end() ? nullptr : &rows_[it->second];
}

}  // namespace qingcloud_sim
