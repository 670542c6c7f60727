#include "web/json_value.h"

#include <cctype>
#include <locale>
#include <sstream>

JsonValue& JsonValue::operator=(bool value) {
    type = kJsonBool;
    boolean = value;
    return *this;
}

JsonValue& JsonValue::operator=(double value) {
    type = kJsonNumber;
    number = value;
    return *this;
}

JsonValue& JsonValue::operator=(int value) {
    return *this = static_cast<double>(value);
}

JsonValue& JsonValue::operator=(const char* value) {
    type = kJsonString;
    text = value;
    return *this;
}

JsonValue& JsonValue::operator=(const std::string& value) {
    type = kJsonString;
    text = value;
    return *this;
}

JsonValue& JsonValue::operator[](const std::string& key) {
    type = kJsonHash;
    return members[key];
}

const JsonValue* JsonValue::find(const std::string& key) const {
    auto it = members.find(key);
    return it == members.end() ? nullptr : &it->second;
}

JsonValue* JsonValue::find(const std::string& key) {
    auto it = members.find(key);
    return it == members.end() ? nullptr : &it->second;
}

namespace {

void skipSpace(std::istream& input) {
    const std::locale& classic = std::locale::classic();
    while (true) {
        int c = input.peek();
        if (c == EOF || !std::isspace(static_cast<char>(c), classic))
            return;
        input.get();
    }
}

// After the opening quote: the text up to the closing quote with its escapes; false at end of input.
bool parseStringBody(std::istream& input, std::string& text) {
    text.clear();
    char c;
    while (input.get(c)) {
        if (c == '"')
            return true;
        if (c != '\\') {
            text += c;
            continue;
        }
        if (!input.get(c))
            return false;
        switch (c) {
        case 'b':
            text += '\b';
            break;
        case 'f':
            text += '\f';
            break;
        case 'n':
            text += '\n';
            break;
        case 'r':
            text += '\r';
            break;
        case 't':
            text += '\t';
            break;
        default:
            text += c;
            break;
        }
    }
    return false;
}

bool expectWord(std::istream& input, const char* rest) {
    for (const char* p = rest; *p; ++p) {
        char c;
        if (!input.get(c) || c != *p)
            return false;
    }
    return true;
}

bool parseValue(std::istream& input, JsonValue& value, int depth);

bool parseHash(std::istream& input, JsonValue& value, int depth) {
    value.members.clear();
    value.type = kJsonHash;
    skipSpace(input);
    char c;
    if (!input.get(c))
        return false;
    if (c == '}')
        return true;
    if (c != '"')
        return false;
    while (true) {
        std::string key;
        if (!parseStringBody(input, key) || !input.good())
            return false;
        skipSpace(input);
        if (!input.get(c) || c != ':')
            return false;
        JsonValue member;
        if (!parseValue(input, member, depth))
            return false;
        value.members[key] = std::move(member);
        skipSpace(input);
        if (!input.get(c))
            return false;
        if (c == '}')
            return true;
        if (c != ',')
            return false;
        skipSpace(input);
        if (!input.get(c) || c != '"')
            return false;
    }
}

bool parseArray(std::istream& input, JsonValue& value, int depth) {
    value.items.clear();
    value.type = kJsonArray;
    skipSpace(input);
    char c;
    if (!input.get(c))
        return false;
    if (c == ']')
        return true;
    while (true) {
        input.putback(c);
        JsonValue item;
        if (!parseValue(input, item, depth))
            return false;
        value.items.push_back(std::move(item));
        skipSpace(input);
        if (!input.get(c))
            return false;
        if (c != ',')
            return c == ']';
        skipSpace(input);
        if (!input.get(c) || c == ']')
            return false;
    }
}

bool parseNumber(std::istream& input, JsonValue& value) {
    double number = 0;
    input >> number;
    // A number that ends exactly at the end of the input counts as a failure.
    if (input.fail() || input.eof())
        return false;
    value = number;
    return true;
}

bool parseValue(std::istream& input, JsonValue& value, int depth) {
    skipSpace(input);
    char c;
    if (!input.get(c))
        return false;
    if (c == '"') {
        std::string text;
        if (!parseStringBody(input, text) || !input.good())
            return false;
        value = text;
        return true;
    }
    if (c == '{' || c == '[') {
        if (depth >= kJsonMaxDepth)
            return false;
        return c == '{' ? parseHash(input, value, depth + 1) : parseArray(input, value, depth + 1);
    }
    if (std::isdigit(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.') {
        input.putback(c);
        return parseNumber(input, value);
    }
    if (c == 't' && expectWord(input, "rue")) {
        value = true;
        return true;
    }
    if (c == 'f' && expectWord(input, "alse")) {
        value = false;
        return true;
    }
    return false;
}

std::string escapeText(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 2);
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += c;
            break;
        }
    }
    return out;
}

void serializeInto(const JsonValue& value, std::string& out) {
    switch (value.type) {
    case kJsonUndefined:
        out += "null";
        return;
    case kJsonBool:
        out += value.boolean ? "true" : "false";
        return;
    case kJsonNumber: {
        std::ostringstream stream;
        stream.imbue(std::locale::classic());
        stream.precision(12);
        stream << value.number;
        out += stream.str();
        return;
    }
    case kJsonString:
        out += '"';
        out += escapeText(value.text);
        out += '"';
        return;
    case kJsonArray: {
        out += '[';
        bool first = true;
        for (const JsonValue& item : value.items) {
            if (!first)
                out += ',';
            first = false;
            serializeInto(item, out);
        }
        out += ']';
        return;
    }
    case kJsonHash: {
        out += '{';
        bool first = true;
        for (const auto& [key, member] : value.members) {
            if (!first)
                out += ',';
            first = false;
            out += '"';
            out += key; // keys are written as they are
            out += "\":";
            serializeInto(member, out);
        }
        out += '}';
        return;
    }
    }
    out += "{}";
}

} // namespace

bool parseJson(std::istream& input, JsonValue& value) {
    input.imbue(std::locale::classic());
    if (parseValue(input, value, 0))
        return true;
    value = JsonValue();
    return false;
}

bool parseJson(const std::string& input, JsonValue& value) {
    std::istringstream stream(input);
    return parseJson(stream, value);
}

std::string serializeJson(const JsonValue& value) {
    std::string out;
    serializeInto(value, out);
    return out;
}

const char* jsonTypeName(uint32_t type) {
    static const char* const kNames[] = {"undefined", "bool", "number", "string", "array", "hash"};
    return type <= kJsonHash ? kNames[type] : "undefined";
}

const JsonValue* requiredField(const JsonValue& request, JsonValue& response, const std::string& key,
                               JsonType type) {
    const JsonValue* field = request.find(key);
    if (!field) {
        response["error"] = "no '" + key + "' field";
        return nullptr;
    }
    if (field->type != type) {
        response["error"] = "'" + key + "' field must be " + jsonTypeName(type);
        return nullptr;
    }
    return field;
}
