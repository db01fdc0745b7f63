#pragma once

#include <json/json.h>

#include <ostream>

// Writes `value` to `out` as one line of compact JSON, byte for byte what
// jsoncpp's StreamWriterBuilder (no indentation, UTF-8 as it is) writes,
// followed by a line break, and flushes. Long strings that are written as
// they stand (the Base64 backup list) go from their own buffer to the
// stream: `value` is changed on the way and restored before returning.
void writeJsonLine(std::ostream &out, Json::Value &value);
// The same text without the line break and the flush.
void writeCompactJson(std::ostream &out, Json::Value &value);

// The compact JSON text of `value`, through jsoncpp alone.
std::string compactJson(const Json::Value &value);
