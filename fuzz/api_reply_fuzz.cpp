// Replies of the platform's API: every record loader and every profile loader
// takes any JSON without throwing or crashing, appends exactly the records it
// reports, logs each failure once and never logs a secret.

#include <string>

#include "api/qingcloud_helper.h"
#include "api/qingcloud_host.h"
#include "api/qingcloud_image.h"
#include "api/qingcloud_instance.h"
#include "api/qingcloud_network.h"
#include "api/qingcloud_snapshot.h"
#include "api/qingcloud_user.h"
#include "api/qingcloud_volume.h"
#include "fuzz/fuzz_support.h"
#include "host/json_spirit/object_get.h"
#include "host/json_spirit/reader.h"

namespace {

using json_spirit::Value;

std::size_t element_count(const Value& list) {
  return list.type() == json_spirit::array_type ? list.get_array().size() : 0;
}

template <class Records, class... Args>
Records load_records(const Value& list, const Args&... args) {
  // One record is already there: loading appends.
  Records records(1);
  fuzz_support::clear_log();
  const bool loaded = qingcloud::loads_from_api(list, records, args...);
  if (loaded) {
    FUZZ_CHECK(list.type() == json_spirit::array_type);
    FUZZ_CHECK(records.size() == 1 + element_count(list));
    FUZZ_CHECK(fuzz_support::log_lines().empty());
  } else {
    // The records before the malformed element stay.
    FUZZ_CHECK(list.type() == json_spirit::array_type ? records.size() <= element_count(list)
                                                      : records.size() == 1);
    FUZZ_CHECK(fuzz_support::log_lines().size() == 1);
  }
  return records;
}

// The secret keys of a key list, wherever loading stopped, stay out of the log.
void check_no_secret_logged(const Value& list) {
  if (list.type() != json_spirit::array_type) return;
  for (const Value& element : list.get_array()) {
    if (element.type() != json_spirit::obj_type) continue;
    const std::string* secret = json_spirit::object_get_str(element.get_obj(), "secret_access_key");
    if (secret && fuzz_support::is_canary_secret(*secret)) {
      FUZZ_CHECK(!fuzz_support::logged(*secret));
    }
  }
}

void load_every_record_type(const Value& list) {
  load_records<qingcloud::Users>(list);
  load_records<qingcloud::Access_Keys>(list);
  check_no_secret_logged(list);
  load_records<qingcloud::Hosts>(list);
  load_records<qingcloud::Hosts>(list, qingcloud::Host::Flags{qingcloud::Host::WITH_DISK_INFO});
  load_records<qingcloud::Vxnets>(list);
  load_records<qingcloud::Volumes>(list);
  load_records<qingcloud::Snapshots>(list);
  load_records<qingcloud::Images>(list);
  load_records<qingcloud::Instances>(list);
}

// A profile loads any object, refuses anything else with one log line, and
// loads back what it dumps.
template <class Profile>
void load_profile(const Value& json) {
  Profile profile;
  fuzz_support::clear_log();
  const bool loaded = profile.load(json);
  FUZZ_CHECK(loaded == (json.type() == json_spirit::obj_type));
  FUZZ_CHECK(fuzz_support::log_lines().size() == (loaded ? 0u : 1u));
  if (!loaded) return;
  const json_spirit::Object dumped = profile.dump();
  Profile again;
  FUZZ_CHECK(again.load(dumped));
  FUZZ_CHECK(again.dump() == dumped);
}

void load_every_profile(const Value& json) {
  load_profile<qingcloud::Image_Profile>(json);
  load_profile<qingcloud::Instance_Profile>(json);
  load_profile<qingcloud::Volume_Profile>(json);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz_support::clear_log();
  Value reply;
  if (!json_spirit::read(fuzz_support::as_text(data, size), reply)) return 0;

  // A reply is an object whose lists ("instance_set", "user_set", ...) hold
  // the records; each member is tried as every kind of list and profile.
  load_every_record_type(reply);
  load_every_profile(reply);
  if (reply.type() == json_spirit::obj_type) {
    for (const auto& member : reply.get_obj()) {
      load_every_record_type(member.second);
      load_every_profile(member.second);
    }
  }
  return 0;
}
