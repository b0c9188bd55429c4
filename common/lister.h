#pragma once

#include <string>

#include "api/boss2_client.h"
#include "common/host_info.h"
#include "host/json_spirit/value.h"

namespace qingcloud {

// Builds one level of the inventory tree, or the results of a search, as
// inventory nodes appended to a JSON array.  The view and the type of the
// node being expanded pick the back-office calls; zones come from the
// client's login and are never asked for again.
//
// Lives for one request, on its thread.  The client must outlive it; the
// lister changes only the client's current zone.
class Lister {
 public:
  Lister(std::string type, std::string view, std::string moid, std::string search_type,
         std::string search, std::string zone, BOSS2_Client& client);

  // Appends the children of the node named by type, moid and zone in the
  // view.  False, logged, on failure; nothing is appended then.
  bool list(json_spirit::Array& arr);
  // Appends the nodes of the search type whose name holds the search text,
  // ignoring case, from every zone in order.  False, logged, on failure; the
  // nodes of zones already searched stay appended.
  bool search(json_spirit::Array& arr);

 private:
  bool list_default_view(json_spirit::Array& arr);
  bool list_recovery_view(json_spirit::Array& arr);
  bool list_host_view(json_spirit::Array& arr);
  bool list_instance_view(json_spirit::Array& arr);

  bool list_zones(json_spirit::Array& arr);
  bool list_hosts(json_spirit::Array& arr);
  bool list_instances(json_spirit::Array& arr, List_Type type);
  bool list_volumes(json_spirit::Array& arr);
  bool list_users(json_spirit::Array& arr);
  bool list_vxnets(json_spirit::Array& arr);

  bool search_zones(json_spirit::Array& arr);
  bool search_hosts(json_spirit::Array& arr);
  bool search_instances(json_spirit::Array& arr);

  bool unsupported_type() const;
  bool matches(const std::string& name) const;
  // False, logged, when the id of the node to expand (or, with `need_zone`,
  // its zone) is missing.
  bool have_node(bool need_zone) const;

  std::string type_;
  std::string view_;
  std::string moid_;
  std::string search_type_;
  std::string search_;
  std::string zone_;
  BOSS2_Client& client_;
};

}  // namespace qingcloud
