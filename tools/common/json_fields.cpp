#include "common/json_fields.h"

#include <limits>
#include <nlohmann/json.hpp>

namespace standin {

const Json* Member(const Json* value, const std::string& key) {
    if (value == nullptr || !value->is_object()) return nullptr;
    const auto it = value->find(key);
    return it == value->end() ? nullptr : &*it;
}

const Json& ItemsOf(const Json* value) {
    static const Json kNoItems = Json::array();
    return value != nullptr && value->is_array() ? *value : kNoItems;
}

std::optional<std::string> StringOf(const Json* value) {
    if (value == nullptr || !value->is_string()) return std::nullopt;
    return value->get<std::string>();
}

std::optional<bool> BoolOf(const Json* value) {
    if (value == nullptr || !value->is_boolean()) return std::nullopt;
    return value->get<bool>();
}

std::optional<int64_t> Int64Of(const Json* value) {
    if (value == nullptr || !value->is_number_integer()) return std::nullopt;
    if (value->is_number_unsigned() &&
        value->get<uint64_t>() > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()))
        return std::nullopt;
    return value->get<int64_t>();
}

std::optional<uint64_t> UInt64Of(const Json* value) {
    if (value == nullptr || !value->is_number_unsigned()) return std::nullopt;
    return value->get<uint64_t>();
}

std::optional<double> DoubleOf(const Json* value) {
    if (value == nullptr || !value->is_number()) return std::nullopt;
    return value->get<double>();
}

std::optional<std::string> TextOf(const Json* value) {
    if (value == nullptr) return std::nullopt;
    if (value->is_string()) return value->get<std::string>();
    if (value->is_number_unsigned()) return std::to_string(value->get<uint64_t>());
    if (value->is_number_integer()) return std::to_string(value->get<int64_t>());
    return std::nullopt;
}

}  // namespace standin
