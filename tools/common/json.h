#pragma once
// A small JSON reader for the machine-readable reports of outside tools (mkvmerge -J).
// Numbers keep their source text, so 64-bit identifiers such as Matroska track UIDs survive
// unchanged. Malformed text, or nesting deeper than a fixed limit, throws JsonError.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace standin {

class JsonError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class JsonValue {
public:
    enum class Kind { Null, Bool, Number, String, Array, Object };

    JsonValue() = default;
    static JsonValue MakeBool(bool value);
    static JsonValue MakeNumber(std::string text);
    static JsonValue MakeString(std::string text);
    static JsonValue MakeArray(std::vector<JsonValue> items);
    static JsonValue MakeObject(std::map<std::string, JsonValue> members);

    Kind kind() const { return kind_; }
    bool IsNull() const { return kind_ == Kind::Null; }
    bool IsObject() const { return kind_ == Kind::Object; }
    bool IsArray() const { return kind_ == Kind::Array; }

    // The member `key` of an object, or nullptr when absent or when this is not an object.
    const JsonValue* Find(std::string_view key) const;

    // Elements of an array; empty for anything else.
    const std::vector<JsonValue>& Items() const;
    // Members of an object; empty for anything else.
    const std::map<std::string, JsonValue>& Members() const;

    // Typed readings. Each returns nullopt when the value has another kind or does not fit.
    std::optional<std::string> AsString() const;
    std::optional<bool> AsBool() const;
    std::optional<int64_t> AsInt64() const;
    std::optional<uint64_t> AsUInt64() const;
    std::optional<double> AsDouble() const;
    // The source text of a number (digits exactly as written).
    std::optional<std::string> NumberText() const;

private:
    Kind kind_ = Kind::Null;
    bool bool_ = false;
    std::string text_;  // string contents, or a number's source text
    std::shared_ptr<const std::vector<JsonValue>> items_;
    std::shared_ptr<const std::map<std::string, JsonValue>> members_;
};

// Parses a whole JSON document; trailing non-blank text is an error.
JsonValue ParseJson(std::string_view text);

}  // namespace standin
