#pragma once
// The web API's value type with its stream parser and compact serializer.

#include <cstdint>
#include <istream>
#include <map>
#include <string>
#include <vector>

enum JsonType : uint32_t {
    kJsonUndefined = 0,
    kJsonBool = 1,
    kJsonNumber = 2,
    kJsonString = 3,
    kJsonArray = 4,
    kJsonHash = 5,
};

// A tagged value: the type says which member is meaningful. Copies are deep; hash members are kept
// in byte-wise key order.
class JsonValue {
public:
    JsonValue() = default;
    JsonValue(bool value) : type(kJsonBool), boolean(value) {}
    JsonValue(double value) : type(kJsonNumber), number(value) {}
    JsonValue(int value) : type(kJsonNumber), number(value) {}
    JsonValue(const char* value) : type(kJsonString), text(value) {}
    JsonValue(std::string value) : type(kJsonString), text(std::move(value)) {}

    JsonValue& operator=(bool value);
    JsonValue& operator=(double value);
    JsonValue& operator=(int value);
    JsonValue& operator=(const char* value);
    JsonValue& operator=(const std::string& value);

    // Makes this value a hash and returns the member, inserting an undefined one when missing.
    JsonValue& operator[](const std::string& key);
    const JsonValue* find(const std::string& key) const;
    JsonValue* find(const std::string& key);

    JsonType type = kJsonUndefined;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<JsonValue> items;
    std::map<std::string, JsonValue> members;
};

// Containers nested deeper than this are refused, so a hostile body cannot exhaust the stack.
constexpr int kJsonMaxDepth = 64;

// One value from the stream's position; false (and an undefined value) when it is not valid input.
bool parseJson(std::istream& input, JsonValue& value);
bool parseJson(const std::string& input, JsonValue& value);
std::string serializeJson(const JsonValue& value);
const char* jsonTypeName(uint32_t type);

// The request's member when it has the expected type; otherwise writes "error" into the response
// ("no 'key' field" or "'key' field must be TYPE") and gives nullptr.
const JsonValue* requiredField(const JsonValue& request, JsonValue& response, const std::string& key,
                               JsonType type);
