#include "common/lister.h"

#include <iterator>
#include <new>

#include <boost/algorithm/string/predicate.hpp>
#include <boost/range/adaptor/filtered.hpp>
#include <boost/range/adaptor/transformed.hpp>
#include <boost/range/algorithm_ext/push_back.hpp>

#include "api/qingcloud_helper.h"
#include "common/inventory_node.h"
#include "support/log.h"

namespace qingcloud {

using boost::adaptors::filtered;
using boost::adaptors::transformed;
using json_spirit::Array;

Lister::Lister(std::string type, std::string view, std::string moid, std::string search_type,
               std::string search, std::string zone, BOSS2_Client& client)
    : type_(std::move(type)),
      view_(std::move(view)),
      moid_(std::move(moid)),
      search_type_(std::move(search_type)),
      search_(std::move(search)),
      zone_(std::move(zone)),
      client_(client) {}

bool Lister::list(Array& arr) {
  switch (list_name_to_view(view_.c_str())) {
    case VIEW_RECOVERY:
      return list_recovery_view(arr);
    case VIEW_HOST:
      return list_host_view(arr);
    case VIEW_INSTANCE:
      return list_instance_view(arr);
    default:
      return list_default_view(arr);
  }
}

bool Lister::list_default_view(Array& arr) {
  return list_host_view(arr);
}

bool Lister::list_recovery_view(Array& arr) {
  switch (list_name_to_type(type_.c_str())) {
    case TYPE_TOP:
      return list_zones(arr);
    case TYPE_ZONE:
      return list_hosts(arr);
    case TYPE_USER:
      return list_users(arr);
    case TYPE_VXNET:
      return list_vxnets(arr);
    default:
      return unsupported_type();
  }
}

bool Lister::list_host_view(Array& arr) {
  switch (list_name_to_type(type_.c_str())) {
    case TYPE_TOP:
      return list_zones(arr);
    case TYPE_ZONE:
      return list_hosts(arr);
    case TYPE_HOST:
      return list_instances(arr, TYPE_HOST);
    case TYPE_INSTANCE:
      return list_volumes(arr);
    default:
      return unsupported_type();
  }
}

bool Lister::list_instance_view(Array& arr) {
  switch (list_name_to_type(type_.c_str())) {
    case TYPE_TOP:
      return list_zones(arr);
    case TYPE_ZONE:
      return list_instances(arr, TYPE_ZONE);
    case TYPE_INSTANCE:
      return list_volumes(arr);
    default:
      return unsupported_type();
  }
}

bool Lister::unsupported_type() const {
  QC_LOG_ERROR("Unsupported type '%s'.\n", type_.c_str());
  return false;
}

bool Lister::have_node(bool need_zone) const {
  if (moid_.empty()) {
    QC_LOG_UNEXPECTED("moid_ is empty");
    return false;
  }
  if (need_zone && zone_.empty()) {
    QC_LOG_UNEXPECTED("zone_ is empty");
    return false;
  }
  return true;
}

bool Lister::list_zones(Array& arr) {
  boost::push_back(arr, client_.zones() | transformed([](const std::string& zone) {
                          return zone_node(zone, true);
                        }));
  return true;
}

bool Lister::list_hosts(Array& arr) {
  if (!have_node(false)) return false;
  Hosts hosts;
  if (!client_.switch_zone(moid_) || !client_.describe_bots(hosts)) {
    QC_LOG_ERROR("Failed to describe bots.\n");
    return false;
  }
  boost::push_back(
      arr, hosts | transformed([this](const Host& host) { return host_node(host, moid_, true); }));
  return true;
}

bool Lister::list_instances(Array& arr, List_Type type) {
  // Each page's records become nodes as they come, so that a zone of many
  // instances is never held as records and as nodes at once.  The nodes
  // join `arr` only once every page has come: a listing that fails appends
  // nothing.
  const std::string& zone = type == TYPE_ZONE ? moid_ : zone_;
  Array nodes;
  auto handler = pages_handler<Instances>(
      "instance_set",
      [&nodes, &zone](Instances& page) {
        boost::push_back(nodes, page | transformed([&zone](const Instance& instance) {
                                  return instance_node(instance, zone);
                                }));
        return true;
      },
      [&nodes](std::int64_t total) {
        if (total > MAX_RESERVED_RECORDS) return;
        try {
          nodes.reserve(static_cast<std::size_t>(total));
        } catch (const std::bad_alloc&) {
          // Not fatal: the pages make room as they come, and fail then.
        }
      });
  const bool listed = type == TYPE_ZONE
                          ? have_node(false) && client_.switch_zone(moid_) &&
                                client_.describe_instances(std::move(handler))
                          : type == TYPE_HOST && have_node(true) && client_.switch_zone(zone_) &&
                                client_.describe_instances_by_host(moid_, std::move(handler));
  if (!listed) {
    QC_LOG_ERROR("Failed to describe instances.\n");
    return false;
  }
  if (arr.empty()) {
    arr = std::move(nodes);
  } else {
    arr.reserve(arr.size() + nodes.size());
    std::move(nodes.begin(), nodes.end(), std::back_inserter(arr));
  }
  return true;
}

bool Lister::list_volumes(Array& arr) {
  if (!have_node(true)) return false;
  Instances instances;
  if (!client_.switch_zone(zone_) || !client_.describe_instances_by_ids({moid_}, instances) ||
      instances.size() != 1) {
    QC_LOG_ERROR("Failed to describe instances.\n");
    return false;
  }
  const std::vector<std::string>& volume_ids = instances.front().volumes;
  if (volume_ids.empty()) return true;
  Volumes volumes;
  if (!client_.describe_volumes_by_ids(volume_ids, volumes)) {
    QC_LOG_ERROR("Failed to describe volumes.\n");
    return false;
  }
  boost::push_back(arr, volumes | transformed([this](const Volume& volume) {
                          return disk_node(volume, zone_);
                        }));
  return true;
}

bool Lister::list_users(Array& arr) {
  Users users;
  if (!client_.describe_users(users)) {
    QC_LOG_ERROR("Failed to describe users.\n");
    return false;
  }
  boost::push_back(arr, users | transformed(user_node));
  return true;
}

bool Lister::list_vxnets(Array& arr) {
  if (!have_node(true)) return false;
  Vxnets vxnets;
  if (!client_.switch_zone(zone_) || !client_.describe_vxnets(vxnets)) {
    QC_LOG_ERROR("Failed to describe vxnets.\n");
    return false;
  }
  boost::push_back(
      arr, vxnets | filtered([this](const Vxnet& vxnet) {
             return BOSS2_Client::is_valid_vxnet(vxnet, moid_);
           }) | transformed([this](const Vxnet& vxnet) { return vxnet_node(vxnet, zone_); }));
  return true;
}

bool Lister::search(Array& arr) {
  switch (list_name_to_type(search_type_.c_str())) {
    case TYPE_ZONE:
      return search_zones(arr);
    case TYPE_HOST:
      return search_hosts(arr);
    case TYPE_INSTANCE:
      return search_instances(arr);
    default:
      QC_LOG_ERROR("Unsupported search type '%s'.\n", search_type_.c_str());
      return false;
  }
}

bool Lister::matches(const std::string& name) const {
  return boost::algorithm::icontains(name, search_);
}

bool Lister::search_zones(Array& arr) {
  boost::push_back(
      arr, client_.zones() | filtered([this](const std::string& zone) { return matches(zone); }) |
               transformed([](const std::string& zone) { return zone_node(zone, false); }));
  return true;
}

bool Lister::search_hosts(Array& arr) {
  for (const std::string& zone : client_.zones()) {
    Hosts hosts;
    if (!client_.switch_zone(zone) || !client_.describe_bots(hosts)) {
      QC_LOG_ERROR("Failed to describe bots.\n");
      return false;
    }
    boost::push_back(
        arr, hosts | filtered([this](const Host& host) { return matches(host.id); }) |
                 transformed([&zone](const Host& host) { return host_node(host, zone, false); }));
  }
  return true;
}

bool Lister::search_instances(Array& arr) {
  for (const std::string& zone : client_.zones()) {
    Instances instances;
    if (!client_.switch_zone(zone) || !client_.search_instances(search_, instances)) {
      QC_LOG_ERROR("Failed to search instances.\n");
      return false;
    }
    boost::push_back(arr, instances | filtered([this](const Instance& instance) {
                            return matches(instance.name);
                          }) | transformed([&zone](const Instance& instance) {
                            return instance_node(instance, zone);
                          }));
  }
  return true;
}

}  // namespace qingcloud
