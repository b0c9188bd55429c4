#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <boost/json/object.hpp>

namespace qingcloud_sim {

// The platform's own owner id: resources that belong to no user.
const char* const SYSTEM_OWNER = "system";

// One resource as the platform describes it.  The record is kept as its
// compact JSON text, served as is (a page of records is a concatenation of
// texts), beside an index of the few members that filters and actions read.
// Changes go through `update`, which parses, edits and stores again.
class Record {
 public:
  Record() = default;
  Record(std::string id, std::string owner, const boost::json::object& json);

  const std::string& id() const { return id_; }
  const std::string& owner() const { return owner_; }

  // An indexed string member ("status", or "image.image_id" inside an object
  // member), or "" when absent or not a string.
  std::string_view text(std::string_view key) const;
  // An indexed integer member, or `fallback`.
  std::int64_t integer(std::string_view key, std::int64_t fallback = 0) const;
  bool has_integer(std::string_view key) const;
  // Whether `key` is one of the indexed members.
  static bool indexed(std::string_view key);

  // The whole record, parsed anew.
  boost::json::object json() const;
  const std::string& serialized() const { return text_; }

  // Edits the record through `change(boost::json::object&)`.
  template <typename Change>
  void update(Change change) {
    boost::json::object json = this->json();
    change(json);
    store(json);
  }
  void set(std::string_view key, boost::json::value value);

 private:
  struct Field {
    const char* key;
    bool is_integer;
    std::string text;
    std::int64_t number;
  };

  void store(const boost::json::object& json);
  const Field* field(std::string_view key) const;

  std::string id_;
  std::string owner_;
  std::string text_;
  std::vector<Field> fields_;
};

// Records of one kind in insertion order, found by id.  References stay valid
// as records are added.
class Record_Table {
 public:
  // Adds a record; false (and nothing added) when its id is taken.
  bool add(Record record);
  Record* find(std::string_view id);
  const Record* find(std::string_view id) const;

  std::size_t size() const { return rows_.size(); }
  std::deque<Record>::iterator begin() { return rows_.begin(); }
  std::deque<Record>::iterator end() { return rows_.end(); }
  std::deque<Record>::const_iterator begin() const { return rows_.begin(); }
  std::deque<Record>::const_iterator end() const { return rows_.end(); }

 private:
  std::deque<Record> rows_;
  std::unordered_map<std::string, std::size_t> index_;
};

}  // namespace qingcloud_sim
