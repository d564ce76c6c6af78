// The protein-assay setting groups as JSON for halden-eeprom: the export
// form of the four groups and the strict reading of such a file, which
// names the first fault it finds and accepts only what the instrument's
// screens could have stored.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "storage/protein_group.h"

struct ImportedProteinGroup {
    int nGroup;          // 0 BCA, 1 Bradford, 2 Lowry, 3 Biuret
    ProteinGroup group;  // complete and in range
};

// The assay of a group as the file names it ("BCA", "Bradford", ...).
const char* ProteinAssayName(int nGroup);
// One stored group as a JSON object (a group never set up is exported as
// the defaults the instrument gives it). Fails for a value JSON cannot hold.
bool ProteinGroupToJson(int nGroup, const ProteinGroup& group, nlohmann::ordered_json* pJson, std::string* psError);
// The top of a protein-assays file, to which the "assays" list is added.
nlohmann::ordered_json ProteinsDocument();
// Reads a whole protein-assays file: each assay at most once.
bool ParseProteinsJson(const std::string& sText, std::vector<ImportedProteinGroup>* pGroups, std::string* psError);
