#pragma once

#include <map>
#include <memory>
#include <string>

#include "host/json_spirit/value.h"

// The host's record of one instance of an instance type.
struct Instance {
  std::string type;
  std::string name;
  std::string uuid;
  json_spirit::Object options;
  std::map<std::string, json_spirit::Object> logon_options;  // by user name
};

// The instances of a type, by name; the map shares each record.
using instances_type = std::map<std::string, std::shared_ptr<Instance>>;

// Base of the per-type instance handlers that plug-ins contribute.
class Instance_Handler {
 public:
  explicit Instance_Handler(std::string type_name);
  virtual ~Instance_Handler();

  const std::string& type_name() const noexcept { return type_name_; }

  virtual int init(const json_spirit::Object& options);
  virtual int fini();
  // Adds or refreshes the instances of this type in `instances`; 0 on success.
  virtual int probe_instances(instances_type& instances);
  // Sets `state` to the state of instance `name` and returns it.
  virtual std::string& get_state(const char* name, std::string& state);
  // The state of every instance in `instances`, by name; 0 on success.
  virtual int get_states(const instances_type& instances,
                         std::map<std::string, std::string>& states);
  // Opens a session on instance `name` as `user`; 0 on success.
  virtual int logon(const char* name, const char* user, const char* password,
                    const json_spirit::Object* options);
  virtual int logoff(const char* name, const char* user);
  virtual int update_options(const char* name, const json_spirit::Object& options);

 private:
  std::string type_name_;
};

// Deletes a handler made by a plug-in factory; ignores null.
typedef void (*Instance_Handler_Exterminator)(void*);
