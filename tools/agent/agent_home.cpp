#include "tools/agent/agent_home.h"

#include <cstdio>

#include <openssl/rand.h>

#include "host/agent/host_manager.h"
#include "host/crypto/rsa_encoder.h"
#include "host/crypto/rsa_key.h"
#include "host/json_spirit/reader.h"
#include "host/json_spirit/writer.h"
#include "host/support/log.h"
#include "tools/agent/files.h"

namespace {

const char* const KEY_FILE = "host_key.pem";
const char* const PUBLIC_KEY_FILE = "host_key.pub.pem";
const char* const STORE_FILE = "environments.json";
const char* const LOCK_FILE = "agent.lock";
const char* const CONFIG_FILE = "config.json";
constexpr std::size_t MAX_KEY_FILE = 64 * 1024;

}  // namespace

std::string Agent_Home::choose(const std::string& option, const Getenv& getenv) {
  if (!option.empty()) return option;
  if (const char* env = getenv("QINGCLOUD_AGENT_HOME"); env && *env) return env;
  const char* home = getenv("HOME");
  return std::string(home && *home ? home : ".") + "/.qingcloud-agent";
}

bool Agent_Home::open(const std::string& dir, std::string& error) {
  dir_ = dir;
  Environments ignored;
  return make_private_dir(dir_, error) && load_key(error) && read_store(ignored, error);
}

bool Agent_Home::load_key(std::string& error) {
  const std::string path = dir_ + "/" + KEY_FILE;
  bool missing = false;
  if (!read_file(path, key_, MAX_KEY_FILE, PRIVATE_FILE, error, &missing)) return false;
  if (missing) {
    // Two processes on a new folder must not make a key each: a secret
    // encrypted for the key that lost would be lost with it.
    File_Lock lock;
    if (!lock.lock(dir_ + "/" + LOCK_FILE, error) ||
        !read_file(path, key_, MAX_KEY_FILE, PRIVATE_FILE, error, &missing))
      return false;
    if (missing && !make_key(path, error)) return false;
  }
  Host_Manager::instance()->rsa_prvkey(key_);
  return true;
}

bool Agent_Home::make_key(const std::string& path, std::string& error) {
  if (!generate_rsa_private_key(HOST_RSA_KEY_BITS, key_)) {
    error = "cannot generate the host key";
    return false;
  }
  std::string public_pem;
  if (!write_file_atomically(path, key_.data(), key_.size(), 0600, error) ||
      !rsa_public_key_pem(key_.data(), key_.size(), public_pem) ||
      !write_file_atomically(dir_ + "/" + PUBLIC_KEY_FILE, public_pem.data(), public_pem.size(),
                             0644, error)) {
    if (error.empty()) error = "cannot write the host's public key";
    return false;
  }
  return true;
}

bool Agent_Home::read_json(const char* file, json_spirit::Object& out, std::string& error) const {
  const std::string path = dir_ + "/" + file;
  secure_string text;
  bool missing = false;
  if (!read_file(path, text, max_store_, PRIVATE_FILE, error, &missing)) return false;
  out.clear();
  if (missing) return true;
  json_spirit::Value json;
  std::string why;
  if (!json_spirit::read({text.data(), text.size()}, json, &why) ||
      json.type() != json_spirit::obj_type) {
    error = path + " is not a JSON object" + (why.empty() ? "" : " (" + why + ")");
    return false;
  }
  out = std::move(json.get_obj());
  return true;
}

bool Agent_Home::write_json(const char* file, const json_spirit::Object& all, std::string& error) {
  std::string body = json_spirit::JSON_Dump(all, true).str() + "\n";
  // What could not be read back is not written: the old file stays.
  const bool fits = body.size() <= max_store_;
  if (!fits)
    error = dir_ + "/" + file + " would grow to " + std::to_string(body.size()) +
            " bytes, more than the " + std::to_string(max_store_) +
            " it may hold; nothing was changed (remove what is no longer needed)";
  const bool ok =
      fits && write_file_atomically(dir_ + "/" + file, body.data(), body.size(), 0600, error);
  // The text holds encrypted secrets, or a proxy's password in the clear.
  secure_wipe(&body[0], body.capacity());
  return ok;
}

bool Agent_Home::read_store(Environments& out, std::string& error) const {
  json_spirit::Object all;
  if (!read_json(STORE_FILE, all, error)) return false;
  out.clear();
  for (auto& [uuid, settings] : all) {
    if (settings.type() != json_spirit::obj_type) {
      error = dir_ + "/" + STORE_FILE + ": the environment " + uuid + " is not an object";
      return false;
    }
    out[uuid] = std::move(settings.get_obj());
  }
  return true;
}

bool Agent_Home::change(const std::function<bool(Environments&, std::string&)>& edit,
                        std::string& error) {
  File_Lock lock;
  Environments envs;
  if (!lock.lock(dir_ + "/" + LOCK_FILE, error) || !read_store(envs, error) || !edit(envs, error))
    return false;
  json_spirit::Object all;
  for (auto& [uuid, settings] : envs)
    all[uuid] = std::move(settings);
  return write_json(STORE_FILE, all, error);
}

bool Agent_Home::setting(const std::string& name, secure_string& value, std::string& error) const {
  json_spirit::Object all;
  if (!read_json(CONFIG_FILE, all, error)) return false;
  value.clear();
  auto it = all.find(name);
  if (it == all.end()) return true;
  if (it->second.type() != json_spirit::str_type) {
    error = dir_ + "/" + CONFIG_FILE + ": \"" + name + "\" is not a string";
    return false;
  }
  value.assign(it->second.get_str().data(), it->second.get_str().size());
  return true;
}

bool Agent_Home::set_setting(const std::string& name, const secure_string& value,
                             std::string& error) {
  File_Lock lock;
  json_spirit::Object all;
  if (!lock.lock(dir_ + "/" + LOCK_FILE, error) || !read_json(CONFIG_FILE, all, error))
    return false;
  if (value.empty()) {
    all.erase(name);
  } else {
    all[name] = std::string(value.data(), value.size());
  }
  return write_json(CONFIG_FILE, all, error);
}

bool Agent_Home::environments(Environments& out, std::string& error) const {
  return read_store(out, error);
}

bool Agent_Home::environment(const std::string& uuid, json_spirit::Object& settings) const {
  Environments envs;
  std::string error;
  if (!read_store(envs, error)) {
    QC_LOG_ERROR("Cannot read the environments: %s.\n", error.c_str());
    return false;
  }
  auto it = envs.find(uuid);
  if (it == envs.end()) return false;
  settings = std::move(it->second);
  return true;
}

bool Agent_Home::encrypt(const secure_string& plain, std::string& cipher,
                         std::string& error) const {
  RSA_Encoder enc(plain.data(), plain.size(), key_.data(), key_.size(), RSA_Encoder::BASE64_TEXT,
                  RSA_Encoder::OAEP_SHA256);
  if (!enc) {
    error = "cannot encrypt the secret for the host key (too long?)";
    return false;
  }
  cipher.assign(enc.get(), enc.length());
  return true;
}

bool Agent_Home::put(const std::string& uuid, json_spirit::Object settings, std::string& error) {
  return change(
      [&](Environments& envs, std::string&) {
        envs[uuid] = std::move(settings);
        return true;
      },
      error);
}

bool Agent_Home::remove(const std::string& uuid, std::string& error) {
  return change(
      [&](Environments& envs, std::string& why) {
        if (envs.erase(uuid) != 0) return true;
        why = "no environment " + uuid;
        return false;
      },
      error);
}

std::string new_uuid() {
  unsigned char b[16];
  if (RAND_bytes(b, sizeof b) != 1) return std::string();
  b[6] = static_cast<unsigned char>((b[6] & 0x0f) | 0x40);
  b[8] = static_cast<unsigned char>((b[8] & 0x3f) | 0x80);
  char text[37];
  std::snprintf(text, sizeof text,
                "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", b[0], b[1],
                b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14],
                b[15]);
  return text;
}
