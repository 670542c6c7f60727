#include "web/json_value.h"

#include <gtest/gtest.h>

namespace {

JsonValue parsed(const std::string& text) {
    JsonValue value;
    EXPECT_TRUE(parseJson(text, value)) << text;
    return value;
}

bool parses(const std::string& text) {
    JsonValue value;
    value = 1; // a failure must leave it undefined
    bool ok = parseJson(text, value);
    if (!ok) {
        EXPECT_EQ(value.type, kJsonUndefined) << text;
    }
    return ok;
}

} // namespace

TEST(JsonParse, HashesAndArraysWithTheirEmptyAndTrailingCommaForms) {
    EXPECT_TRUE(parses("{}"));
    EXPECT_TRUE(parses("[]"));
    EXPECT_TRUE(parses(" \n\t{ } "));
    EXPECT_FALSE(parses("{\"a\":1,}"));
    EXPECT_FALSE(parses("[1,]"));
    EXPECT_FALSE(parses("{,}"));
    EXPECT_FALSE(parses("{\"a\" 1}"));
    EXPECT_FALSE(parses("{\"a\":1"));
    EXPECT_FALSE(parses("[1 2]"));
    EXPECT_FALSE(parses("{a:1}"));
    JsonValue value = parsed("{\"a\":1,\"a\":2}");
    ASSERT_EQ(value.type, kJsonHash);
    ASSERT_EQ(value.members.size(), 1u);
    EXPECT_EQ(value.members.at("a").number, 2);
    value = parsed("[1, \"x\", [true], {\"k\": false}]");
    ASSERT_EQ(value.type, kJsonArray);
    ASSERT_EQ(value.items.size(), 4u);
    EXPECT_EQ(value.items[1].text, "x");
    EXPECT_TRUE(value.items[2].items[0].boolean);
    EXPECT_EQ(value.items[3].members.at("k").type, kJsonBool);
}

TEST(JsonParse, ScalarsHaveNoNullAndANumberNeedsAFollowingCharacter) {
    EXPECT_FALSE(parses("{\"x\":null}"));
    EXPECT_FALSE(parses("null"));
    JsonValue value = parsed("{\"t\":true,\"f\":false}");
    EXPECT_TRUE(value.members.at("t").boolean);
    EXPECT_FALSE(value.members.at("f").boolean);
    EXPECT_FALSE(parses("tru"));
    EXPECT_FALSE(parses("5"));
    value = parsed("[5]");
    EXPECT_EQ(value.items.at(0).number, 5);
    value = parsed("[-1.5e2, +3, .25]");
    EXPECT_EQ(value.items.at(0).number, -150);
    EXPECT_EQ(value.items.at(1).number, 3);
    EXPECT_EQ(value.items.at(2).number, 0.25);
    EXPECT_TRUE(parses("5 ")); // nothing after the value is checked
    EXPECT_TRUE(parses("{} trailing"));
    EXPECT_FALSE(parses(""));
    EXPECT_FALSE(parses("   "));
}

TEST(JsonParse, StringEscapesTakeTheNextCharacterAndKnowNoUnicode) {
    JsonValue value = parsed("\"a\\u0041\"");
    EXPECT_EQ(value.text, "au0041");
    value = parsed("[\"\\b\\f\\n\\r\\t\\\"\\\\\\/x\"]");
    EXPECT_EQ(value.items.at(0).text, "\b\f\n\r\t\"\\/x");
    value = parsed("[\"Привет\"]");
    EXPECT_EQ(value.items.at(0).text, "Привет");
    EXPECT_FALSE(parses("\"unterminated"));
    EXPECT_FALSE(parses("[\"unterminated\\"));
    value = parsed("{\"k\\\"ey\":1}");
    EXPECT_EQ(value.members.count("k\"ey"), 1u);
}

TEST(JsonParse, NestingDeeperThanTheLimitIsRefused) {
    std::string deepest(kJsonMaxDepth, '[');
    deepest += std::string(kJsonMaxDepth, ']');
    EXPECT_TRUE(parses(deepest));
    std::string tooDeep(kJsonMaxDepth + 1, '[');
    tooDeep += std::string(kJsonMaxDepth + 1, ']');
    EXPECT_FALSE(parses(tooDeep));
    EXPECT_FALSE(parses(std::string(100000, '[')));
    std::string hashes;
    for (int i = 0; i <= kJsonMaxDepth; ++i)
        hashes += "{\"a\":";
    hashes += "1" + std::string(kJsonMaxDepth + 1, '}');
    EXPECT_FALSE(parses(hashes));
}

TEST(JsonSerialize, NumbersUseTwelveSignificantDigits) {
    EXPECT_EQ(serializeJson(JsonValue(100)), "100");
    EXPECT_EQ(serializeJson(JsonValue(0.5)), "0.5");
    EXPECT_EQ(serializeJson(JsonValue(1.0 / 3)), "0.333333333333");
    EXPECT_EQ(serializeJson(JsonValue(3.14159265358979)), "3.14159265359");
    EXPECT_EQ(serializeJson(JsonValue(1e15)), "1e+15");
    EXPECT_EQ(serializeJson(JsonValue(-2.5e-7)), "-2.5e-07");
}

TEST(JsonSerialize, TextsEscapeOnlyQuoteBackslashLineFeedAndTab) {
    EXPECT_EQ(serializeJson(JsonValue("q\"b\\n\nt\tr\r")), "\"q\\\"b\\\\n\\nt\\tr\r\"");
    EXPECT_EQ(serializeJson(JsonValue(std::string("\x01й"))), "\"\x01й\"");
}

TEST(JsonSerialize, ContainersAreCompactWithMembersInByteOrderAndKeysUnescaped) {
    JsonValue hash;
    hash["b"] = 1;
    hash["a"] = true;
    hash["B"] = "x";
    hash["u"];
    hash["k\"q"] = false;
    EXPECT_EQ(serializeJson(hash), "{\"B\":\"x\",\"a\":true,\"b\":1,\"k\"q\":false,\"u\":null}");
    JsonValue array;
    array.type = kJsonArray;
    array.items = {JsonValue(1), JsonValue("a"), JsonValue()};
    EXPECT_EQ(serializeJson(array), "[1,\"a\",null]");
    JsonValue odd;
    odd.type = static_cast<JsonType>(9);
    EXPECT_EQ(serializeJson(odd), "{}");
    EXPECT_EQ(serializeJson(JsonValue(false)), "false");
}

TEST(JsonValueAccess, MembersCopyDeeplyAndAssignmentChangesTheType) {
    JsonValue value;
    value["outer"]["inner"] = 5;
    JsonValue copy = value;
    copy["outer"]["inner"] = "changed";
    EXPECT_EQ(value["outer"]["inner"].number, 5);
    EXPECT_EQ(copy["outer"]["inner"].type, kJsonString);
    EXPECT_EQ(value.find("missing"), nullptr);
    JsonValue scalar = 3;
    scalar["k"] = 1;
    EXPECT_EQ(scalar.type, kJsonHash);
}

TEST(JsonRequiredField, WritesTheMessagesOfAMissingOrMistypedField) {
    JsonValue request = parsed("{\"value\":1,\"login\":\"a\"}");
    JsonValue response;
    EXPECT_EQ(requiredField(request, response, "password", kJsonString), nullptr);
    EXPECT_EQ(response["error"].text, "no 'password' field");
    EXPECT_EQ(requiredField(request, response, "value", kJsonString), nullptr);
    EXPECT_EQ(response["error"].text, "'value' field must be string");
    JsonValue clean;
    const JsonValue* login = requiredField(request, clean, "login", kJsonString);
    ASSERT_NE(login, nullptr);
    EXPECT_EQ(login->text, "a");
    EXPECT_EQ(clean.find("error"), nullptr);
    for (uint32_t t = 0; t <= 5; ++t)
        EXPECT_STRNE(jsonTypeName(t), "");
    EXPECT_STREQ(jsonTypeName(kJsonHash), "hash");
    EXPECT_STREQ(jsonTypeName(kJsonNumber), "number");
}
