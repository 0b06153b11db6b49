#include "common/json.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>

namespace standin {

namespace {

constexpr int kMaxDepth = 64;

const std::vector<JsonValue>& EmptyItems() {
    static const std::vector<JsonValue> empty;
    return empty;
}

const std::map<std::string, JsonValue>& EmptyMembers() {
    static const std::map<std::string, JsonValue> empty;
    return empty;
}

void AppendUtf8(std::string& out, uint32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

class JsonParser {
public:
    explicit JsonParser(std::string_view text) : text_(text) {}

    JsonValue ParseDocument() {
        JsonValue value = ParseValue(0);
        SkipBlanks();
        if (pos_ != text_.size()) Error("unexpected text after the end of the document");
        return value;
    }

private:
    [[noreturn]] void Error(const std::string& what) const {
        throw JsonError("JSON: " + what + " at offset " + std::to_string(pos_));
    }

    void SkipBlanks() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' ||
                                       text_[pos_] == '\n' || text_[pos_] == '\r'))
            ++pos_;
    }

    char Peek() {
        SkipBlanks();
        if (pos_ >= text_.size()) Error("unexpected end of the document");
        return text_[pos_];
    }

    void Expect(char c) {
        if (Peek() != c) Error(std::string("expected '") + c + "'");
        ++pos_;
    }

    bool ConsumeWord(std::string_view word) {
        if (text_.substr(pos_, word.size()) != word) return false;
        pos_ += word.size();
        return true;
    }

    JsonValue ParseValue(int depth) {
        if (depth > kMaxDepth) Error("nesting too deep");
        const char c = Peek();
        if (c == '{') return ParseObject(depth);
        if (c == '[') return ParseArray(depth);
        if (c == '"') return JsonValue::MakeString(ParseString());
        if (ConsumeWord("true")) return JsonValue::MakeBool(true);
        if (ConsumeWord("false")) return JsonValue::MakeBool(false);
        if (ConsumeWord("null")) return JsonValue();
        if (c == '-' || (c >= '0' && c <= '9')) return JsonValue::MakeNumber(ParseNumberText());
        Error("unexpected character");
    }

    JsonValue ParseObject(int depth) {
        Expect('{');
        std::map<std::string, JsonValue> members;
        if (Peek() == '}') {
            ++pos_;
            return JsonValue::MakeObject(std::move(members));
        }
        for (;;) {
            if (Peek() != '"') Error("expected a member name");
            std::string key = ParseString();
            Expect(':');
            members[std::move(key)] = ParseValue(depth + 1);
            const char next = Peek();
            ++pos_;
            if (next == '}') break;
            if (next != ',') Error("expected ',' or '}'");
        }
        return JsonValue::MakeObject(std::move(members));
    }

    JsonValue ParseArray(int depth) {
        Expect('[');
        std::vector<JsonValue> items;
        if (Peek() == ']') {
            ++pos_;
            return JsonValue::MakeArray(std::move(items));
        }
        for (;;) {
            items.push_back(ParseValue(depth + 1));
            const char next = Peek();
            ++pos_;
            if (next == ']') break;
            if (next != ',') Error("expected ',' or ']'");
        }
        return JsonValue::MakeArray(std::move(items));
    }

    std::string ParseNumberText() {
        const size_t start = pos_;
        auto digits = [&] {
            const size_t from = pos_;
            while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') ++pos_;
            if (pos_ == from) Error("malformed number");
        };
        if (text_[pos_] == '-') ++pos_;
        digits();
        if (pos_ < text_.size() && text_[pos_] == '.') {
            ++pos_;
            digits();
        }
        if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
            ++pos_;
            if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) ++pos_;
            digits();
        }
        return std::string(text_.substr(start, pos_ - start));
    }

    uint32_t ParseHex4() {
        if (pos_ + 4 > text_.size()) Error("truncated \\u escape");
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const char h = text_[pos_++];
            value <<= 4;
            if (h >= '0' && h <= '9')
                value |= static_cast<uint32_t>(h - '0');
            else if (h >= 'a' && h <= 'f')
                value |= static_cast<uint32_t>(h - 'a' + 10);
            else if (h >= 'A' && h <= 'F')
                value |= static_cast<uint32_t>(h - 'A' + 10);
            else
                Error("bad hex digit in \\u escape");
        }
        return value;
    }

    uint32_t ParseEscapedCodePoint() {
        uint32_t codePoint = ParseHex4();
        if (codePoint >= 0xD800 && codePoint <= 0xDBFF && text_.substr(pos_, 2) == "\\u") {
            const size_t back = pos_;
            pos_ += 2;
            const uint32_t low = ParseHex4();
            if (low >= 0xDC00 && low <= 0xDFFF)
                return 0x10000 + ((codePoint - 0xD800) << 10) + (low - 0xDC00);
            pos_ = back;
        }
        if (codePoint >= 0xD800 && codePoint <= 0xDFFF)
            codePoint = 0xFFFD;  // a lone surrogate has no UTF-8 form
        return codePoint;
    }

    std::string ParseString() {
        Expect('"');
        std::string out;
        for (;;) {
            if (pos_ >= text_.size()) Error("unterminated string");
            const char c = text_[pos_++];
            if (c == '"') return out;
            if (static_cast<unsigned char>(c) < 0x20) Error("control character in string");
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= text_.size()) Error("unterminated escape");
            const char e = text_[pos_++];
            switch (e) {
                case '"':
                    out += '"';
                    break;
                case '\\':
                    out += '\\';
                    break;
                case '/':
                    out += '/';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u':
                    AppendUtf8(out, ParseEscapedCodePoint());
                    break;
                default:
                    Error("unknown escape");
            }
        }
    }

    std::string_view text_;
    size_t pos_ = 0;
};

}  // namespace

JsonValue JsonValue::MakeBool(bool value) {
    JsonValue v;
    v.kind_ = Kind::Bool;
    v.bool_ = value;
    return v;
}

JsonValue JsonValue::MakeNumber(std::string text) {
    JsonValue v;
    v.kind_ = Kind::Number;
    v.text_ = std::move(text);
    return v;
}

JsonValue JsonValue::MakeString(std::string text) {
    JsonValue v;
    v.kind_ = Kind::String;
    v.text_ = std::move(text);
    return v;
}

JsonValue JsonValue::MakeArray(std::vector<JsonValue> items) {
    JsonValue v;
    v.kind_ = Kind::Array;
    v.items_ = std::make_shared<const std::vector<JsonValue>>(std::move(items));
    return v;
}

JsonValue JsonValue::MakeObject(std::map<std::string, JsonValue> members) {
    JsonValue v;
    v.kind_ = Kind::Object;
    v.members_ = std::make_shared<const std::map<std::string, JsonValue>>(std::move(members));
    return v;
}

const JsonValue* JsonValue::Find(std::string_view key) const {
    if (kind_ != Kind::Object) return nullptr;
    const auto it = members_->find(std::string(key));
    return it == members_->end() ? nullptr : &it->second;
}

const std::vector<JsonValue>& JsonValue::Items() const {
    return kind_ == Kind::Array ? *items_ : EmptyItems();
}

const std::map<std::string, JsonValue>& JsonValue::Members() const {
    return kind_ == Kind::Object ? *members_ : EmptyMembers();
}

std::optional<std::string> JsonValue::AsString() const {
    if (kind_ != Kind::String) return std::nullopt;
    return text_;
}

std::optional<bool> JsonValue::AsBool() const {
    if (kind_ != Kind::Bool) return std::nullopt;
    return bool_;
}

std::optional<int64_t> JsonValue::AsInt64() const {
    if (kind_ != Kind::Number) return std::nullopt;
    int64_t value = 0;
    const auto [end, ec] = std::from_chars(text_.data(), text_.data() + text_.size(), value);
    if (ec != std::errc() || end != text_.data() + text_.size()) return std::nullopt;
    return value;
}

std::optional<uint64_t> JsonValue::AsUInt64() const {
    if (kind_ != Kind::Number) return std::nullopt;
    uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text_.data(), text_.data() + text_.size(), value);
    if (ec != std::errc() || end != text_.data() + text_.size()) return std::nullopt;
    return value;
}

std::optional<double> JsonValue::AsDouble() const {
    if (kind_ != Kind::Number) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text_.c_str(), &end);
    if (errno != 0 || end != text_.c_str() + text_.size()) return std::nullopt;
    return value;
}

std::optional<std::string> JsonValue::NumberText() const {
    if (kind_ != Kind::Number) return std::nullopt;
    return text_;
}

JsonValue ParseJson(std::string_view text) { return JsonParser(text).ParseDocument(); }

}  // namespace standin
