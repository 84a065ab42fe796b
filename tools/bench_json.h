// The one JSON writer of the benchmark's documents: every key and string
// escaped (quotes, backslashes, control characters, bytes that are not
// UTF-8), every number finite or null, commas placed by the writer rather
// than by each caller's format strings.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct Json {
    std::string text;
    std::string closers;     // '}' or ']' per open object or array, innermost last
    std::vector<bool> empty; // per open object or array: nothing in it yet
    bool afterKey = false;
};

// s as a JSON string literal, quotes included.
std::string JsonQuote(const std::string &s);

void JsonBeginObject(Json &json);
void JsonBeginArray(Json &json);
void JsonEnd(Json &json); // closes the innermost object or array
void JsonKey(Json &json, const std::string &key);
void JsonString(Json &json, const std::string &value);
// Fixed-point with that many decimals; NaN and infinities become null.
void JsonNumber(Json &json, double value, int decimals);
void JsonInteger(Json &json, int64_t value);
void JsonBool(Json &json, bool value);
void JsonNull(Json &json);
