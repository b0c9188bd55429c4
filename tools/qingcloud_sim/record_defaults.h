#pragma once

#include <string>

#include <boost/json/object.hpp>

#include "tools/qingcloud_sim/records.h"

namespace qingcloud_sim {

// Builders of complete records.  Each takes the members known so far, fills
// every member the platform returns for that kind and that is missing with a
// lifelike default (nested "image", "extra", "instance" and "resource" objects
// are completed member by member), and returns the record.  The id member is
// required: a missing or non-string id throws std::invalid_argument naming it.
//
// Zone-bound kinds get "zone_id" set to the zone they are added to.

const char* const DEFAULT_CREATE_TIME = "2023-03-01T08:00:00Z";

Record make_zone(boost::json::object fields);
Record make_user(boost::json::object fields);
Record make_access_key(boost::json::object fields);
Record make_bot(boost::json::object fields, const std::string& zone_id);
Record make_instance(boost::json::object fields, const std::string& zone_id);
Record make_volume(boost::json::object fields, const std::string& zone_id);
Record make_vxnet(boost::json::object fields, const std::string& zone_id);
Record make_image(boost::json::object fields, const std::string& zone_id);
Record make_snapshot(boost::json::object fields, const std::string& zone_id);
Record make_job(boost::json::object fields, const std::string& zone_id);

// The "image" member of an instance made from the image record `image`.
boost::json::object image_summary(const Record& image);

// The members that only a verbose bot listing shows.
const char* const BOT_DISK_KEYS[] = {"free_disk", "used_disk", "disk_usage"};

}  // namespace qingcloud_sim
