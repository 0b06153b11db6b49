#pragma once
// Typed readings of a parsed JSON report of an outside tool (mkvmerge -J), for code that must not
// stop at a member that is missing or has an unexpected type: each reading is empty then. Whole
// numbers are read only as the integers they are, so 64-bit values such as track UIDs stay exact.
#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>

namespace standin {

using Json = nlohmann::json;

// The member `key` of an object; nullptr when it is absent or `value` is no object.
const Json* Member(const Json* value, const std::string& key);
inline const Json* Member(const Json& value, const std::string& key) { return Member(&value, key); }

// The elements of an array; an empty array for a missing value or anything else.
const Json& ItemsOf(const Json* value);

std::optional<std::string> StringOf(const Json* value);
std::optional<bool> BoolOf(const Json* value);
std::optional<int64_t> Int64Of(const Json* value);
std::optional<uint64_t> UInt64Of(const Json* value);
std::optional<double> DoubleOf(const Json* value);
// A string as it is; a whole number in its decimal digits.
std::optional<std::string> TextOf(const Json* value);

}  // namespace standin
