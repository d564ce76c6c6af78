// The JSON form of the protein-assay setting groups.
#include "protein_json.h"

#include <cmath>

using nlohmann::json;
using nlohmann::ordered_json;

namespace {

constexpr const char* FORMAT_NAME = "halden-proteins";
constexpr int FORMAT_VERSION = 1;
constexpr double NUMBER_LIMIT = 999999.0;  // widest value the number editor takes
constexpr double ABS_LIMIT = 2.5;          // highest absorbance a standard keeps

const char* const kapszAssay[PROTEIN_GROUP_COUNT] = {"BCA", "Bradford", "Lowry", "Biuret"};
const char* const kapszUnits[PROTEIN_UNITS_COUNT] = {"mg/ml", "ug/ml", "A"};
const char* const kapszCalibration[] = {"Factor", "Std"};
const char* const kapszCurveFit[] = {"Linear Least Squares", "Polynomial (Curve)"};

struct CFault {
    std::string sMessage;
};

[[noreturn]] void Fail(const std::string& sField, const std::string& sWhat) { throw CFault{sField + ": " + sWhat}; }

const json& Member(const json& object, const std::string& sWhere, const char* pszKey)
{
    if (!object.contains(pszKey))
        Fail(sWhere, std::string("has no \"") + pszKey + "\"");
    return object.at(pszKey);
}

int Choice(const json& value, const std::string& sField, const char* const* apszChoices, int nCount)
{
    if (value.is_string())
        for (int i = 0; i < nCount; i++)
            if (value.get<std::string>() == apszChoices[i])
                return i;
    std::string sList;
    for (int i = 0; i < nCount; i++)
        sList += std::string(i ? ", " : "") + "\"" + apszChoices[i] + "\"";
    Fail(sField, "must be one of " + sList);
}

double Number(const json& value, const std::string& sField, double fLow, double fHigh)
{
    if (!value.is_number())
        Fail(sField, "must be a number");
    double f = value.get<double>();
    if (!std::isfinite(f) || f < fLow || f > fHigh)
        Fail(sField, "must lie from " + json(fLow).dump() + " to " + json(fHigh).dump());
    return f;
}

ImportedProteinGroup ReadGroup(const json& object, size_t nIndex)
{
    std::string sWhere = "assay " + std::to_string(nIndex + 1);
    if (!object.is_object())
        Fail(sWhere, "must be an object");
    for (const auto& item : object.items()) {
        static const char* const kapszKeys[] = {"assay", "units", "calibration", "factor", "dilution",
                                                "replicates", "curve fit", "standards"};
        bool bKnown = false;
        for (const char* psz : kapszKeys)
            bKnown = bKnown || item.key() == psz;
        if (!bKnown)
            Fail(sWhere, "unknown field " + json(item.key()).dump(-1, ' ', false, json::error_handler_t::replace));
    }
    ImportedProteinGroup imported{};
    imported.nGroup = Choice(Member(object, sWhere, "assay"), sWhere + " assay", kapszAssay, PROTEIN_GROUP_COUNT);
    sWhere = std::string(kapszAssay[imported.nGroup]);
    ProteinGroup& g = imported.group;
    ProteinGroupDefaults(imported.nGroup, &g);
    g.abFlags[PROTEIN_FLAG_UNITS] =
        static_cast<uint8_t>(Choice(Member(object, sWhere, "units"), sWhere + " units", kapszUnits, PROTEIN_UNITS_COUNT));
    g.abFlags[PROTEIN_FLAG_CALIBRATION] =
        static_cast<uint8_t>(Choice(Member(object, sWhere, "calibration"), sWhere + " calibration", kapszCalibration, 2));
    g.afHead[PROTEIN_HEAD_FACTOR] = Number(Member(object, sWhere, "factor"), sWhere + " factor", -NUMBER_LIMIT, NUMBER_LIMIT);
    double fDilution = Number(Member(object, sWhere, "dilution"), sWhere + " dilution", 0.0, PROTEIN_DILUTION_MAX);
    if (fDilution <= 0.0)
        Fail(sWhere + " dilution", "must be above 0");
    g.afHead[PROTEIN_HEAD_DILUTION] = fDilution;
    const json& replicates = Member(object, sWhere, "replicates");
    if (!replicates.is_number_integer() || replicates.get<int64_t>() < 1 || replicates.get<int64_t>() > PROTEIN_REPLICATE_MAX)
        Fail(sWhere + " replicates", "must be 1, 2 or 3");
    int nReplicates = static_cast<int>(replicates.get<int64_t>());
    g.abFlags[PROTEIN_FLAG_REPLICATES] = static_cast<uint8_t>(nReplicates);
    g.abFlags[PROTEIN_FLAG_CURVE_FIT] =
        static_cast<uint8_t>(Choice(Member(object, sWhere, "curve fit"), sWhere + " curve fit", kapszCurveFit, 2));
    const json& standards = Member(object, sWhere, "standards");
    if (!standards.is_array() || standards.size() != PROTEIN_STANDARD_COUNT)
        Fail(sWhere + " standards", "must be a list of five standards");
    for (int i = 0; i < PROTEIN_STANDARD_COUNT; i++) {
        std::string sStd = sWhere + " standard " + std::to_string(i + 1);
        const json& standard = standards[static_cast<size_t>(i)];
        if (!standard.is_object())
            Fail(sStd, "must be an object with \"concentration\" and \"absorbances\"");
        const json& conc = Member(standard, sStd, "concentration");
        g.afValues[i] = conc.is_null() ? PROTEIN_CONC_NOT_SET : Number(conc, sStd + " concentration", 0.0, NUMBER_LIMIT);
        const json& abs = Member(standard, sStd, "absorbances");
        if (!abs.is_array() || abs.size() != static_cast<size_t>(nReplicates))
            Fail(sStd + " absorbances", "must be a list of " + std::to_string(nReplicates) +
                                            " (one per replicate, null where none was taken)");
        for (int r = 0; r < nReplicates; r++) {
            const json& a = abs[static_cast<size_t>(r)];
            g.afStandards[ProteinReplicateIndex(i, r)] =
                a.is_null() ? PROTEIN_ABS_NOT_TAKEN
                            : Number(a, sStd + " replicate " + std::to_string(r + 1), 0.0, ABS_LIMIT);
        }
    }
    return imported;
}

}  // namespace

const char* ProteinAssayName(int nGroup) { return kapszAssay[nGroup >= 0 && nGroup < PROTEIN_GROUP_COUNT ? nGroup : 0]; }

bool ProteinGroupToJson(int nGroup, const ProteinGroup& stored, ordered_json* pJson, std::string* psError)
{
    ProteinGroup group = stored;
    RepairProteinGroup(nGroup, &group);
    const double afValues[] = {group.afHead[0], group.afHead[1]};
    for (double f : afValues)
        if (!std::isfinite(f)) {
            *psError = std::string(ProteinAssayName(nGroup)) + ": a value is not a finite number";
            return false;
        }
    ordered_json standards = ordered_json::array();
    int nReplicates = group.abFlags[PROTEIN_FLAG_REPLICATES];
    for (int i = 0; i < PROTEIN_STANDARD_COUNT; i++) {
        ordered_json abs = ordered_json::array();
        for (int r = 0; r < nReplicates; r++) {
            double f = group.afStandards[ProteinReplicateIndex(i, r)];
            abs.push_back(f == PROTEIN_ABS_NOT_TAKEN ? ordered_json(nullptr) : ordered_json(f));
        }
        double fConc = group.afValues[i];
        standards.push_back(ordered_json{
            {"concentration", fConc == PROTEIN_CONC_NOT_SET ? ordered_json(nullptr) : ordered_json(fConc)},
            {"absorbances", abs}});
    }
    *pJson = ordered_json{
        {"assay", ProteinAssayName(nGroup)},
        {"units", kapszUnits[group.abFlags[PROTEIN_FLAG_UNITS]]},
        {"calibration", kapszCalibration[group.abFlags[PROTEIN_FLAG_CALIBRATION]]},
        {"factor", group.afHead[PROTEIN_HEAD_FACTOR]},
        {"dilution", group.afHead[PROTEIN_HEAD_DILUTION]},
        {"replicates", nReplicates},
        {"curve fit", kapszCurveFit[group.abFlags[PROTEIN_FLAG_CURVE_FIT]]},
        {"standards", standards},
    };
    return true;
}

ordered_json ProteinsDocument() { return ordered_json{{"format", FORMAT_NAME}, {"version", FORMAT_VERSION}}; }

bool ParseProteinsJson(const std::string& sText, std::vector<ImportedProteinGroup>* pGroups, std::string* psError)
{
    pGroups->clear();
    json document = json::parse(sText, nullptr, false);
    if (document.is_discarded()) {
        *psError = "not a JSON document";
        return false;
    }
    try {
        if (!document.is_object() || !document.contains("format") || document["format"] != FORMAT_NAME)
            Fail("the file", std::string("is not a \"") + FORMAT_NAME + "\" document");
        if (!document.contains("version") || document["version"] != FORMAT_VERSION)
            Fail("the file", "has a version other than " + std::to_string(FORMAT_VERSION));
        const json& assays = Member(document, "the file", "assays");
        if (!assays.is_array())
            Fail("\"assays\"", "must be a list");
        bool abSeen[PROTEIN_GROUP_COUNT] = {};
        for (size_t i = 0; i < assays.size(); i++) {
            ImportedProteinGroup imported = ReadGroup(assays[i], i);
            if (abSeen[imported.nGroup])
                Fail(ProteinAssayName(imported.nGroup), "is given twice");
            abSeen[imported.nGroup] = true;
            pGroups->push_back(imported);
        }
    } catch (const CFault& fault) {
        *psError = fault.sMessage;
        return false;
    } catch (const json::exception& e) {
        *psError = e.what();
        return false;
    }
    return true;
}
