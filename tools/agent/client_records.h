#pragma once

#include "api/qingcloud_host.h"
#include "api/qingcloud_image.h"
#include "api/qingcloud_instance.h"
#include "api/qingcloud_network.h"
#include "api/qingcloud_snapshot.h"
#include "api/qingcloud_user.h"
#include "api/qingcloud_volume.h"
#include "host/json_spirit/value.h"

// Loaded records as the client command prints them: one object per record
// with every member of it under the record's own names, sizes in bytes.
// Secret keys are never printed; SECRET_MASK stands in for them.
extern const char* const SECRET_MASK;

json_spirit::Array records_json(const qingcloud::Users& users);
json_spirit::Array records_json(const qingcloud::Access_Keys& keys);
json_spirit::Array records_json(const qingcloud::Hosts& hosts);
json_spirit::Array records_json(const qingcloud::Instances& instances);
json_spirit::Array records_json(const qingcloud::Vxnets& vxnets);
json_spirit::Array records_json(const qingcloud::Volumes& volumes);
json_spirit::Array records_json(const qingcloud::Images& images);
json_spirit::Array records_json(const qingcloud::Snapshots& snapshots);
