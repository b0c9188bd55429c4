#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "host/json_spirit/value.h"
#include "support/secure_string.h"

// The demo host's home folder: its RSA key pair (host_key.pem, generated on
// first use) and the environments it knows (environments.json: uuid to the
// JSON form of the connection settings, the secret encrypted for the host
// key, exactly as the host hands them to the plug-in).  After `open`, safe to
// use from several threads.
class Agent_Home {
 public:
  using Getenv = std::function<const char*(const char*)>;

  // The folder to use: `option` when given, else $QINGCLOUD_AGENT_HOME, else
  // ~/.qingcloud-agent.
  static std::string choose(const std::string& option, const Getenv& getenv);

  // Creates the folder (mode 0700) and loads or generates the key pair (mode
  // 0600); puts the private key into the host's key store.
  bool open(const std::string& dir, std::string& error);

  const std::string& dir() const { return dir_; }

  // The settings kept under each uuid.
  std::map<std::string, json_spirit::Object> environments() const;
  // The settings of `uuid`; false when there are none.
  bool environment(const std::string& uuid, json_spirit::Object& settings) const;

  // Encrypts `plain` for the host key (base64 text).
  bool encrypt(const secure_string& plain, std::string& cipher, std::string& error) const;

  // Changes the store and writes it at once (atomically).
  bool put(const std::string& uuid, json_spirit::Object settings, std::string& error);
  bool remove(const std::string& uuid, std::string& error);

 private:
  bool load_key(std::string& error);
  bool load_environments(std::string& error);
  bool save(std::string& error) const;

  mutable std::mutex mutex_;  // guards envs_ and the file
  std::string dir_;
  secure_string key_;
  std::map<std::string, json_spirit::Object> envs_;
};

// A fresh random uuid (version 4) for a new environment.
std::string new_uuid();
