#include "host/http/http_json_reader.h"

#include <string>

#include "host/json_spirit/reader.h"
#include "host/support/log.h"

bool read(const HTTP_Connection_var& conn, json_spirit::Object& result) {
  if (!conn) {
    QC_LOG_UNEXPECTED("conn is NULL");
    return false;
  }
  json_spirit::Value value;
  std::string error;
  if (!json_spirit::read(conn->body(), value, &error)) {
    QC_LOG_ERROR("Invalid JSON reply from '%s': %s.\n", conn->url().c_str(), error.c_str());
    return false;
  }
  if (value.type() != json_spirit::obj_type) {
    QC_LOG_ERROR("JSON reply from '%s' is not an object.\n", conn->url().c_str());
    return false;
  }
  result = std::move(value.get_obj());
  return true;
}
