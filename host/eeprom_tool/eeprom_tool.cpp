// halden-eeprom's commands: show, check, export-methods, import-methods,
// export-proteins, import-proteins.
// Settings are read through the parameter store's own table and byte-order
// helpers, method records through the firmware's record decoder and encoder.
#include "eeprom_tool.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <ostream>

#include "display/language.h"
#include "eeprom_file.h"
#include "method_json.h"
#include "protein_json.h"
#include "storage/method_record.h"
#include "storage/params.h"
#include "storage/protein_group.h"

namespace {

constexpr const char* USAGE =
    "usage: halden-eeprom show FILE\n"
    "       halden-eeprom check FILE\n"
    "       halden-eeprom export-methods FILE OUT.json\n"
    "       halden-eeprom import-methods FILE IN.json [--slot N | --first-free] [--replace]\n"
    "       halden-eeprom export-proteins FILE OUT.json\n"
    "       halden-eeprom import-proteins FILE IN.json\n";
constexpr const char* MORE =
    "Every command, its options and the JSON formats: 'man halden-eeprom', and the guide's\n"
    "chapter docs/eeprom.md (installed in /usr/share/doc/halden/docs).\n";

std::string Text(uint16_t unNumber) { return DisplayToUtf8(LanguageTextIn(0, unNumber)); }

// What each stored setting is, for people reading an image; by slot.
const struct {
    uint16_t unSlot;
    const char* pszLabel;
} kSettingLabels[] = {
    {0x00, "Last operation"},
    {0x01, "Sample number"},
    {0x02, "Screen setting"},
    {0x03, "Output device"},
    {0x04, "Baud rate"},
    {0x05, "Date format"},
    {0x06, "Current method"},
    {0x07, "Method list row"},
    {0x08, "Method program setting"},
    {0x09, "Method list page"},
    {0x0A, "Multi-wavelength setting"},
    {0x0B, "Method and kinetics setting"},
    {0x0C, "Standards table row"},
    {0x0D, "Results as"},
    {0x0E, "Method setting 0x0E"},
    {0x0F, "Method setting 0x0F"},
    {0x10, "Method program field"},
    {0x11, "Method list setting"},
    {0x12, "Scan setting"},
    {0x13, "Timed kinetics setting"},
    {0x15, "Wavelength"},
    {0x17, "Second wavelength"},
    {0x19, "Third wavelength"},
    {0x1B, "Fourth wavelength"},
    {0x1D, "Multi-wavelength 1"},
    {0x1F, "Multi-wavelength 2"},
    {0x21, "Multi-wavelength 3"},
    {0x23, "Multi-wavelength 4"},
    {0x25, "Auto-print"},
    {0x26, "Reading setting"},
    {0x27, "Final Test setting"},
    {0x28, "Language"},
    {0x29, "Print calibration coefficients"},
    {0x2A, "Self-test details"},
    {0x2B, "Readings dump"},
    {0x2C, "LED peak pixel"},
    {0x2E, "Pixel clock"},
};

}  // namespace

const char* SettingLabel(uint16_t unSlot)
{
    for (const auto& label : kSettingLabels)
        if (label.unSlot == unSlot)
            return label.pszLabel;
    return nullptr;
}

namespace {

// The measuring screens "Repeat last operation" returns to, by state.
std::string LastOperation(uint16_t unState)
{
    switch (unState) {
    case 0: return "none";
    case 15: return Text(9);
    case 17: return Text(10);
    case 20: return Text(11);
    case 22: return Text(13);
    case 26: return Text(47);
    case 43: return Text(47) + " run";
    default: return "(not a measuring screen)";
    }
}

// What a setting's value means, in the instrument's words where it has them.
std::string Meaning(const ParamSetting& setting, uint16_t unValue)
{
    const std::string sName = setting.pszName;
    auto Pick = [&](std::vector<std::string> asNames) {
        return unValue < asNames.size() ? asNames[unValue] : std::string("(not a choice of the instrument)");
    };
    if (sName == "gbOutputDevice")
        return Pick({Text(105), "PR2", Text(106)});
    if (sName == "gbBaudRate")
        return Pick({Text(134) + " baud", "38400 baud"});
    if (sName == "gbDateFormat")
        return Pick({Text(224), Text(223)});
    if (sName == "gbLanguage")
        return Pick({Text(274), Text(275), Text(276), Text(277), Text(278)});
    if (sName == "gbTransmittanceMode")
        return Pick({"absorbance", "%T"});
    if (sName == "gbAutoPrint" || sName == "gbPrintCalCoeff" || sName == "gbBaseSelfTestInfo" ||
        sName == "gbReadingsDump")
        return Pick({"off", "on"});
    if (sName == "gunLastOperation")
        return LastOperation(unValue);
    if (sName == "gunCurrentMethod")
        return "method slot " + std::to_string(unValue);
    if (sName.find("Wavelength") != std::string::npos)
        return "nm";
    if (sName == "gunCalibratedLedPixel")
        return unValue == 0 ? "not calibrated" : "detector pixel " + std::to_string(unValue);
    return std::string();
}

std::string Hex(unsigned un, int nDigits)
{
    char sz[16];
    std::snprintf(sz, sizeof sz, "0x%0*X", nDigits, un);
    return sz;
}

std::string Number(double f)
{
    char sz[64];
    std::snprintf(sz, sizeof sz, "%.10g", f);
    return sz;
}

bool SignaturePresent(const EepromImage& image)
{
    return std::memcmp(image.data() + PARAM_SIGNATURE, PARAM_SIGNATURE_TEXT, std::strlen(PARAM_SIGNATURE_TEXT) + 1) ==
           0;
}

const uint8_t* Record(const EepromImage& image, int nSlot)
{
    return image.data() + METHOD_RECORD_BASE + METHOD_RECORD_SIZE * nSlot;
}

std::string MethodName(const MethodWork& method)
{
    std::string sName(method.szName, METHOD_NAME_LENGTH);
    for (char& c : sName)
        if (c == '\0')
            c = 'X';
    return DisplayToUtf8(sName);
}

const char* ChoiceText(unsigned un, std::initializer_list<const char*> apsz)
{
    return un < apsz.size() ? apsz.begin()[un] : "?";
}

bool ReadImageOrSay(const std::string& sFile, EepromImage* pImage, std::ostream& err)
{
    std::string sError;
    if (ReadEepromImage(sFile, pImage, &sError))
        return true;
    err << "halden-eeprom: " << sError << "\n";
    return false;
}

const uint8_t* ProteinGroupBytes(const EepromImage& image, int nGroup)
{
    return image.data() + PARAM_PROTEIN_GROUP_BASE + PARAM_PROTEIN_GROUP_SIZE * nGroup;
}

// One group, field by field: factor, dilution, units, calibration,
// replicates, curve fit, then each standard's concentration and absorbances.
void ShowProteinGroup(const EepromImage& image, int nGroup, std::ostream& out)
{
    ProteinGroup group;
    DecodeProteinGroup(ProteinGroupBytes(image, nGroup), &group);
    char szLine[200];
    std::snprintf(szLine, sizeof szLine, "  %s  %s", Hex(PARAM_PROTEIN_GROUP_BASE + PARAM_PROTEIN_GROUP_SIZE * nGroup, 4).c_str(),
                  ProteinAssayName(nGroup));
    out << szLine;
    ProteinGroup repaired = group;
    unsigned unRepair = RepairProteinGroup(nGroup, &repaired);
    if (unRepair & PROTEIN_REPAIR_BLANK) {
        out << ": never set up (the instrument gives it its defaults at the next start)\n";
        return;
    }
    static const char* const kapszUnits[] = {"mg/ml", "ug/ml", "A"};
    uint8_t bUnits = group.abFlags[PROTEIN_FLAG_UNITS];
    std::snprintf(szLine, sizeof szLine,
                  "\n        factor %s  dilution %s  units %s  calibration %s  replicates %u  curve fit %s\n",
                  Number(group.afHead[PROTEIN_HEAD_FACTOR]).c_str(), Number(group.afHead[PROTEIN_HEAD_DILUTION]).c_str(),
                  bUnits < 3 ? kapszUnits[bUnits] : "(not a choice)",
                  ChoiceText(group.abFlags[PROTEIN_FLAG_CALIBRATION], {"Factor", "Std"}),
                  group.abFlags[PROTEIN_FLAG_REPLICATES],
                  ChoiceText(group.abFlags[PROTEIN_FLAG_CURVE_FIT], {"Linear Least Squares", "Polynomial (Curve)"}));
    out << szLine;
    for (int i = 0; i < PROTEIN_STANDARD_COUNT; i++) {
        std::string sConc = group.afValues[i] == PROTEIN_CONC_NOT_SET ? "not set" : Number(group.afValues[i]);
        std::string sAbs;
        for (int r = 0; r < group.abFlags[PROTEIN_FLAG_REPLICATES] && r < PROTEIN_REPLICATE_MAX; r++) {
            double f = group.afStandards[ProteinReplicateIndex(i, r)];
            sAbs += "  " + (f == PROTEIN_ABS_NOT_TAKEN ? std::string("-") : Number(f));
        }
        std::snprintf(szLine, sizeof szLine, "        standard %d  %-10s abs%s\n", i + 1, sConc.c_str(), sAbs.c_str());
        out << szLine;
    }
    if (unRepair != 0)
        out << "        (values out of range: the instrument repairs them at the next start)\n";
}

int Show(const std::string& sFile, std::ostream& out, std::ostream& err)
{
    EepromImage image;
    if (!ReadImageOrSay(sFile, &image, err))
        return EEPROM_TOOL_FAILED;
    out << "File: " << sFile << "\n";
    out << "Signature: "
        << (SignaturePresent(image) ? "present"
                                    : "missing (the instrument clears the whole memory at its next start)")
        << "\n\nSettings:\n";
    char szLine[160];
    for (const ParamSetting& setting : gParamSettings) {
        uint16_t unValue = ParamSettingFromImage(setting, image.data());
        std::string sMeaning = Meaning(setting, unValue);
        std::snprintf(szLine, sizeof szLine, "  %s  %-30s %6u%s%s\n", Hex(setting.unSlot, 2).c_str(),
                      SettingLabel(setting.unSlot), unValue, sMeaning.empty() ? "" : "  ", sMeaning.c_str());
        out << szLine;
    }
    std::snprintf(szLine, sizeof szLine, "  %s  %-30s %6s  counts per frame\n",
                  Hex(PARAM_SVALUE, 2).c_str(), "Stray-light level",
                  Number(GetParamDouble(image.data() + PARAM_SVALUE)).c_str());
    out << szLine;
    int32_t nHolmium = static_cast<int16_t>(GetParamWord(image.data() + PARAM_HOLMIUM_OFFSET));
    out << "\nHolmium offset: " << nHolmium << " pixels";
    if (LimitHolmiumOffset(nHolmium) != nHolmium)
        out << " (loads as " << LimitHolmiumOffset(nHolmium) << ")";
    uint32_t ulSerial = GetParamLong(image.data() + PARAM_SERIAL_NUMBER);
    out << "\nSerial number: " << ulSerial << (ulSerial == 0 ? " (not set)" : "") << "\n";

    out << "\nProtein assays (180-byte groups from " << Hex(PARAM_PROTEIN_GROUP_BASE, 4) << "):\n";
    for (int g = 0; g < PROTEIN_GROUP_COUNT; g++)
        ShowProteinGroup(image, g, out);

    int nUsed = 0;
    std::string sRows;
    for (int nSlot = 0; nSlot < METHOD_COUNT; nSlot++) {
        const uint8_t* pbRecord = Record(image, nSlot);
        if (MethodRecordFree(pbRecord))
            continue;
        nUsed++;
        MethodWork method;
        DecodeMethodRecord(pbRecord, &method);
        bool bValid = MethodRecordValid(pbRecord);
        std::snprintf(szLine, sizeof szLine, "  %4d  %-13s  %10u  %-11s  %-10s  %s\n", nSlot,
                      MethodName(method).c_str(), method.unWavelength,
                      ChoiceText(method.bCalibration, {"Factor", "Std"}),
                      ChoiceText(method.unKinetics, {"No", "Yes", "Fixed time"}),
                      bValid ? "valid" : "bad (loads as the defaults)");
        sRows += szLine;
    }
    out << "\nMethods: " << nUsed << " of " << METHOD_COUNT << " slots used\n";
    if (nUsed > 0) {
        std::snprintf(szLine, sizeof szLine, "  %4s  %-13s  %10s  %-11s  %-10s  %s\n", "slot", "name",
                      "wavelength", "calibration", "kinetics", "check word");
        out << szLine << sRows;
    }
    return EEPROM_TOOL_OK;
}

int Check(const std::string& sFile, std::ostream& out, std::ostream& err)
{
    EepromImage image;
    if (!ReadImageOrSay(sFile, &image, err))
        return EEPROM_TOOL_FAILED;
    std::vector<std::string> asProblems;
    if (!SignaturePresent(image)) {
        asProblems.push_back("the signature is missing: the instrument clears the whole memory (every setting "
                             "and method) at its next start");
    } else {
        for (const ParamSetting& setting : gParamSettings) {
            uint16_t unValue = ParamSettingFromImage(setting, image.data());
            // A value outside the range that equals the default is kept as it is.
            if (ParamSettingNeedsRepair(setting, unValue) && unValue != setting.unDefault)
                asProblems.push_back(std::string(SettingLabel(setting.unSlot)) + " is " + std::to_string(unValue) +
                                     ", outside " + std::to_string(setting.unLow) + ".." +
                                     std::to_string(setting.unHigh) + ": becomes " +
                                     std::to_string(setting.unDefault));
        }
        double fSValue = GetParamDouble(image.data() + PARAM_SVALUE);
        if (SValueNeedsRepair(fSValue))
            asProblems.push_back("Stray-light level is " + Number(fSValue) + ", outside 0.." + Number(SVALUE_MAX) +
                                 ": becomes 0");
        int32_t nHolmium = static_cast<int16_t>(GetParamWord(image.data() + PARAM_HOLMIUM_OFFSET));
        if (LimitHolmiumOffset(nHolmium) != nHolmium)
            asProblems.push_back("the holmium offset is " + std::to_string(nHolmium) + ", outside -8..+8: loads as " +
                                 std::to_string(LimitHolmiumOffset(nHolmium)));
        for (int nSlot = 0; nSlot < METHOD_COUNT; nSlot++) {
            const uint8_t* pbRecord = Record(image, nSlot);
            if (MethodRecordFree(pbRecord))
                continue;
            MethodWork method;
            DecodeMethodRecord(pbRecord, &method);
            std::string sWhere = "method slot " + std::to_string(nSlot) + " \"" + MethodName(method) + "\": ";
            if (!MethodRecordValid(pbRecord)) {
                asProblems.push_back(sWhere + "bad check word: loads as the defaults");
                continue;
            }
            unsigned unLimited = LimitMethodFields(&method);
            static const std::pair<unsigned, const char*> kaFields[] = {
                {METHOD_LIMITED_WAVELENGTH, "wavelength"},   {METHOD_LIMITED_UNITS, "units"},
                {METHOD_LIMITED_KINETICS, "kinetics"},       {METHOD_LIMITED_CALIBRATION, "calibration"},
                {METHOD_LIMITED_CURVE_FIT, "curve fit"}};
            for (const auto& field : kaFields)
                if (unLimited & field.first)
                    asProblems.push_back(sWhere + field.second + " out of range: loads as its default");
        }
    }
    for (const std::string& s : asProblems)
        out << s << "\n";
    if (asProblems.empty()) {
        out << sFile << ": nothing to repair\n";
        return EEPROM_TOOL_OK;
    }
    return EEPROM_TOOL_PROBLEMS;
}

int ExportMethods(const std::string& sFile, const std::string& sOut, std::ostream& out, std::ostream& err)
{
    EepromImage image;
    std::string sError;
    if (!ReadImageOrSay(sFile, &image, err))
        return EEPROM_TOOL_FAILED;
    nlohmann::ordered_json document = MethodsDocument();
    nlohmann::ordered_json methods = nlohmann::ordered_json::array();
    for (int nSlot = 0; nSlot < METHOD_COUNT; nSlot++) {
        const uint8_t* pbRecord = Record(image, nSlot);
        if (MethodRecordFree(pbRecord))
            continue;
        if (!MethodRecordValid(pbRecord)) {
            err << "halden-eeprom: slot " << nSlot << " has a bad check word and is not exported\n";
            continue;
        }
        MethodWork method;
        DecodeMethodRecord(pbRecord, &method);
        nlohmann::ordered_json object;
        if (!MethodToJson(nSlot, method, &object, &sError)) {
            err << "halden-eeprom: " << sError << "\n";
            return EEPROM_TOOL_FAILED;
        }
        methods.push_back(object);
    }
    size_t nCount = methods.size();
    document["methods"] = std::move(methods);
    std::string sText = document.dump(2) + "\n";
    if (!ReplaceFile(sOut, sText.data(), sText.size(), &sError)) {
        err << "halden-eeprom: " << sError << "\n";
        return EEPROM_TOOL_FAILED;
    }
    out << nCount << " method" << (nCount == 1 ? "" : "s") << " written to " << sOut << "\n";
    return EEPROM_TOOL_OK;
}

int ExportProteins(const std::string& sFile, const std::string& sOut, std::ostream& out, std::ostream& err)
{
    EepromImage image;
    std::string sError;
    if (!ReadImageOrSay(sFile, &image, err))
        return EEPROM_TOOL_FAILED;
    nlohmann::ordered_json document = ProteinsDocument();
    nlohmann::ordered_json assays = nlohmann::ordered_json::array();
    for (int g = 0; g < PROTEIN_GROUP_COUNT; g++) {
        ProteinGroup group;
        DecodeProteinGroup(ProteinGroupBytes(image, g), &group);
        nlohmann::ordered_json object;
        if (!ProteinGroupToJson(g, group, &object, &sError)) {
            err << "halden-eeprom: " << sError << "\n";
            return EEPROM_TOOL_FAILED;
        }
        assays.push_back(object);
    }
    document["assays"] = std::move(assays);
    std::string sText = document.dump(2) + "\n";
    if (!ReplaceFile(sOut, sText.data(), sText.size(), &sError)) {
        err << "halden-eeprom: " << sError << "\n";
        return EEPROM_TOOL_FAILED;
    }
    out << PROTEIN_GROUP_COUNT << " protein assays written to " << sOut << "\n";
    return EEPROM_TOOL_OK;
}

int ImportProteins(const std::string& sFile, const std::string& sIn, std::ostream& out, std::ostream& err)
{
    std::string sError;
    auto Refuse = [&](const std::string& sWhy) {
        err << "halden-eeprom: " << sWhy << "; nothing was written\n";
        return EEPROM_TOOL_FAILED;
    };
    std::string sText;
    if (!ReadWholeFile(sIn, METHODS_JSON_MAX_BYTES, &sText, &sError))
        return Refuse(sError);
    std::vector<ImportedProteinGroup> groups;
    if (!ParseProteinsJson(sText, &groups, &sError))
        return Refuse(sIn + ": " + sError);
    CEepromLock lock;
    if (!lock.Acquire(sFile, &sError) || !CheckNotReadOnly(sFile, &sError))
        return Refuse(sError);
    EepromImage image;
    if (!lock.Exists()) {
        BuildInitialisedImage(image.data());
        out << sFile << " does not exist: a new image with the first-start settings is made\n";
    } else {
        if (!ReadEepromImage(sFile, &image, &sError))
            return Refuse(sError);
        if (!SignaturePresent(image)) {
            BuildInitialisedImage(image.data());
            out << sFile << " was never initialised by the instrument: its settings start from the first-start "
                            "values\n";
        }
    }
    for (const ImportedProteinGroup& imported : groups)
        EncodeProteinGroup(imported.group,
                           image.data() + PARAM_PROTEIN_GROUP_BASE + PARAM_PROTEIN_GROUP_SIZE * imported.nGroup);
    if (!ReplaceFile(sFile, image.data(), image.size(), &sError))
        return Refuse(sError);
    for (const ImportedProteinGroup& imported : groups)
        out << ProteinAssayName(imported.nGroup) << "\n";
    out << groups.size() << " protein assay" << (groups.size() == 1 ? "" : "s") << " imported into " << sFile << "\n";
    return EEPROM_TOOL_OK;
}

struct ImportOptions {
    int nFirstSlot = -1;     // --slot N
    bool bFirstFree = false; // --first-free
    bool bReplace = false;   // --replace
};

int ImportMethods(const std::string& sFile, const std::string& sIn, const ImportOptions& options,
                  std::ostream& out, std::ostream& err)
{
    std::string sError;
    auto Refuse = [&](const std::string& sWhy) {
        err << "halden-eeprom: " << sWhy << "; nothing was written\n";
        return EEPROM_TOOL_FAILED;
    };
    std::string sText;
    if (!ReadWholeFile(sIn, METHODS_JSON_MAX_BYTES, &sText, &sError))
        return Refuse(sError);
    std::vector<ImportedMethod> methods;
    if (!ParseMethodsJson(sText, &methods, &sError))
        return Refuse(sIn + ": " + sError);

    // The lock is held from before the image is read until it is replaced.
    CEepromLock lock;
    if (!lock.Acquire(sFile, &sError) || !CheckNotReadOnly(sFile, &sError))
        return Refuse(sError);
    EepromImage image;
    if (!lock.Exists()) {
        BuildInitialisedImage(image.data());
        out << sFile << " does not exist: a new image with the first-start settings is made\n";
    } else {
        if (!ReadEepromImage(sFile, &image, &sError))
            return Refuse(sError);
        if (!SignaturePresent(image)) {
            BuildInitialisedImage(image.data());
            out << sFile << " was never initialised by the instrument: its settings start from the first-start "
                            "values\n";
        }
    }

    // Slots: as given in the file, from --slot N on, or the free ones in order.
    std::vector<int> anSlots;
    std::vector<bool> abTaken(METHOD_COUNT, false);
    for (size_t i = 0; i < methods.size(); i++) {
        int nSlot = methods[i].nSlot;
        if (options.bFirstFree) {
            nSlot = -1;
            for (int n = 0; n < METHOD_COUNT && nSlot < 0; n++)
                if (!abTaken[n] && MethodRecordFree(Record(image, n)))
                    nSlot = n;
            if (nSlot < 0)
                return Refuse("not enough free slots for " + std::to_string(methods.size()) + " methods");
        } else if (options.nFirstSlot >= 0) {
            nSlot = options.nFirstSlot + static_cast<int>(i);
            if (nSlot >= METHOD_COUNT)
                return Refuse("method " + std::to_string(i + 1) + " would go past the last slot (99)");
        } else if (nSlot < 0) {
            return Refuse("method " + std::to_string(i + 1) + " has no slot; give --slot N or --first-free");
        }
        if (abTaken[nSlot])
            return Refuse("two methods of " + sIn + " go to slot " + std::to_string(nSlot));
        if (!options.bReplace && !MethodRecordFree(Record(image, nSlot)))
            return Refuse("slot " + std::to_string(nSlot) + " already holds a method; give --replace to overwrite "
                          "it or --first-free");
        abTaken[nSlot] = true;
        anSlots.push_back(nSlot);
    }

    for (size_t i = 0; i < methods.size(); i++)
        EncodeMethodRecord(methods[i].method,
                           image.data() + METHOD_RECORD_BASE + METHOD_RECORD_SIZE * anSlots[i]);
    if (!ReplaceFile(sFile, image.data(), image.size(), &sError))
        return Refuse(sError);
    for (size_t i = 0; i < methods.size(); i++)
        out << "slot " << anSlots[i] << ": " << MethodName(methods[i].method) << "\n";
    out << methods.size() << " method" << (methods.size() == 1 ? "" : "s") << " imported into " << sFile << "\n";
    return EEPROM_TOOL_OK;
}

}  // namespace

int RunEepromTool(const std::vector<std::string>& asArgs, std::ostream& out, std::ostream& err)
{
    auto Usage = [&](const std::string& sWhy) {
        if (sWhy.empty())
            err << USAGE;
        else
            err << "halden-eeprom: " << sWhy << " (halden-eeprom --help shows the usage)\n";
        return EEPROM_TOOL_FAILED;
    };
    if (asArgs.empty())
        return Usage("");
    const std::string& sCommand = asArgs[0];
    if (sCommand == "--help" || sCommand == "-h") {
        out << USAGE << MORE;
        return EEPROM_TOOL_OK;
    }
    if (sCommand == "show" || sCommand == "check") {
        if (asArgs.size() != 2)
            return Usage(sCommand + " takes one FILE");
        return sCommand == "show" ? Show(asArgs[1], out, err) : Check(asArgs[1], out, err);
    }
    if (sCommand == "export-methods") {
        if (asArgs.size() != 3)
            return Usage("export-methods takes FILE and OUT.json");
        return ExportMethods(asArgs[1], asArgs[2], out, err);
    }
    if (sCommand == "export-proteins" || sCommand == "import-proteins") {
        if (asArgs.size() != 3)
            return Usage(sCommand + " takes FILE and " + (sCommand == "export-proteins" ? "OUT.json" : "IN.json"));
        return sCommand == "export-proteins" ? ExportProteins(asArgs[1], asArgs[2], out, err)
                                              : ImportProteins(asArgs[1], asArgs[2], out, err);
    }
    if (sCommand == "import-methods") {
        if (asArgs.size() < 3)
            return Usage("import-methods takes FILE and IN.json");
        ImportOptions options;
        for (size_t i = 3; i < asArgs.size(); i++) {
            if (asArgs[i] == "--first-free") {
                options.bFirstFree = true;
            } else if (asArgs[i] == "--replace") {
                options.bReplace = true;
            } else if (asArgs[i] == "--slot") {
                if (i + 1 >= asArgs.size() || asArgs[i + 1].starts_with("--"))
                    return Usage("--slot needs a slot number from 0 to 99");
                const std::string& s = asArgs[++i];
                if (s.empty() || s.size() > 2 || s.find_first_not_of("0123456789") != std::string::npos)
                    return Usage("--slot takes a slot number from 0 to 99");
                options.nFirstSlot = std::stoi(s);
            } else {
                return Usage("unknown option " + asArgs[i]);
            }
        }
        if (options.bFirstFree && options.nFirstSlot >= 0)
            return Usage("give either --slot N or --first-free");
        return ImportMethods(asArgs[1], asArgs[2], options, out, err);
    }
    return Usage("unknown command " + sCommand);
}
