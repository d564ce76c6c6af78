// Methods as JSON for halden-eeprom: the export form of a stored method and
// the strict reading of a methods file, which names the first fault it
// finds and accepts only what the instrument itself could have stored.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "storage/method_record.h"

// Largest methods file read, and deepest nesting accepted.
constexpr size_t METHODS_JSON_MAX_BYTES = 1 << 20;
constexpr int METHODS_JSON_MAX_DEPTH = 8;

struct ImportedMethod {
    int nSlot;          // slot given in the file, -1 when none
    MethodWork method;  // fields checked and complete
};

// The display text of a units index without its padding, in UTF-8; blank
// entries give "".
std::string UnitsName(uint32_t unUnits);
// Display characters (the instrument's own code for the micro sign) as UTF-8.
std::string DisplayToUtf8(const std::string& sText);

// One stored method as a JSON object. Fails for a value JSON cannot hold
// (a factor or standard that is not a finite number).
bool MethodToJson(int nSlot, const MethodWork& method, nlohmann::ordered_json* pJson, std::string* psError);

// The top of a methods file, to which the "methods" list is added.
nlohmann::ordered_json MethodsDocument();

// Reads a whole methods file. On any fault returns false with one line in
// sError naming the method and field; pMethods is then unspecified.
bool ParseMethodsJson(const std::string& sText, std::vector<ImportedMethod>* pMethods, std::string* psError);
