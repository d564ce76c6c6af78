// The JSON form of stored methods.
#include "method_json.h"

#include <cmath>
#include <cstring>

#include "display/language.h"
#include "storage/params.h"

using nlohmann::json;
using nlohmann::ordered_json;

namespace {

constexpr const char* FORMAT_NAME = "halden-methods";
constexpr int FORMAT_VERSION = 1;
constexpr double NUMBER_LIMIT = 999999.0;      // widest value the number editor takes
constexpr uint32_t TIME_FIELD_MAX = 59;        // minutes and seconds of the time editor
constexpr uint32_t KINETICS_MIN_INTERVAL = 10; // seconds between kinetics readings
constexpr uint32_t DISPLAY_OPTION_MAX = 2;
constexpr const char* NAME_CHARACTERS = " ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

const char* const kapszCalibration[] = {"Factor", "Std"};
const char* const kapszKinetics[] = {"No", "Yes", "Fixed time"};
const char* const kapszCurveFit[] = {"Linear Least Squares", "Polynomial (Curve)"};
constexpr uint8_t MICRO_SIGN = 0x86;  // the display's micro sign

std::string Trimmed(const std::string& s)
{
    size_t nEnd = s.find_last_not_of(' ');
    return nEnd == std::string::npos ? std::string() : s.substr(0, nEnd + 1);
}

ordered_json TimeJson(uint32_t unMinutes, uint32_t unSeconds)
{
    return ordered_json{{"minutes", unMinutes}, {"seconds", unSeconds}};
}

// Text from the file as it appears in a message: in double quotes, with the
// JSON escapes, so that a key or name holding a line break or a control
// character still makes a one-line message.
std::string Quoted(const std::string& sText)
{
    return json(sText).dump(-1, ' ', false, json::error_handler_t::replace);
}

// Reading one method: each check throws a CFault with the field's message.
struct CFault {
    std::string sMessage;
};

[[noreturn]] void Fail(const std::string& sField, const std::string& sWhat)
{
    throw CFault{sField + ": " + sWhat};
}

const json& Member(const json& object, const char* pszKey)
{
    return object.at(pszKey);
}

uint32_t WholeNumber(const json& value, const std::string& sField, uint32_t unLow, uint32_t unHigh)
{
    if (!value.is_number_integer())
        Fail(sField, "must be a whole number from " + std::to_string(unLow) + " to " + std::to_string(unHigh));
    if (value.is_number_unsigned() ? value.get<uint64_t>() > unHigh || value.get<uint64_t>() < unLow
                                   : value.get<int64_t>() < static_cast<int64_t>(unLow) ||
                                         value.get<int64_t>() > static_cast<int64_t>(unHigh))
        Fail(sField, "must be from " + std::to_string(unLow) + " to " + std::to_string(unHigh));
    return static_cast<uint32_t>(value.get<int64_t>());
}

double Number(const json& value, const std::string& sField)
{
    if (!value.is_number())
        Fail(sField, "must be a number");
    double f = value.get<double>();
    if (!std::isfinite(f) || std::fabs(f) > NUMBER_LIMIT)
        Fail(sField, "must lie between -999999 and 999999");
    return f;
}

uint8_t Choice(const json& value, const std::string& sField, const char* const* apszNames, int nCount)
{
    std::string sList;
    for (int i = 0; i < nCount; i++) {
        if (value.is_string() && value.get_ref<const std::string&>() == apszNames[i])
            return static_cast<uint8_t>(i);
        sList += std::string(i ? ", " : "") + "\"" + apszNames[i] + "\"";
    }
    Fail(sField, "must be one of " + sList);
}

void ReadTime(const json& value, const std::string& sField, uint32_t* punMinutes, uint32_t* punSeconds)
{
    if (!value.is_object())
        Fail(sField, "must be an object with \"minutes\" and \"seconds\"");
    for (const auto& item : value.items())
        if (item.key() != "minutes" && item.key() != "seconds")
            Fail(sField, "unknown field " + Quoted(item.key()));
    if (!value.contains("minutes") || !value.contains("seconds"))
        Fail(sField, "must have \"minutes\" and \"seconds\"");
    *punMinutes = WholeNumber(Member(value, "minutes"), sField + ".minutes", 0, TIME_FIELD_MAX);
    *punSeconds = WholeNumber(Member(value, "seconds"), sField + ".seconds", 0, TIME_FIELD_MAX);
}

uint32_t ReadUnits(const json& value)
{
    if (value.is_number_integer())
        return WholeNumber(value, "units", 0, METHOD_UNITS_COUNT - 1);
    if (value.is_string()) {
        std::string sName = value.get<std::string>();
        // The Greek small mu is taken for the micro sign as well.
        for (size_t n; (n = sName.find("\xCE\xBC")) != std::string::npos;)
            sName.replace(n, 2, "\xC2\xB5");
        for (uint32_t i = 0; i < METHOD_UNITS_COUNT; i++)
            if (!UnitsName(i).empty() && UnitsName(i) == sName)
                return i;
    }
    std::string sList;
    for (uint32_t i = 0; i < METHOD_UNITS_COUNT; i++)
        if (!UnitsName(i).empty())
            sList += (sList.empty() ? "\"" : ", \"") + UnitsName(i) + "\"";
    Fail("units", "must be one of " + sList + " or a units index 0 to 18");
}

void ReadStandards(const json& value, MethodWork* pMethod)
{
    if (!value.is_array() || value.size() != METHOD_STANDARD_COUNT)
        Fail("standards", "must be a list of 5 standards");
    for (int i = 0; i < METHOD_STANDARD_COUNT; i++) {
        const json& standard = value[static_cast<size_t>(i)];
        std::string sField = "standards[" + std::to_string(i) + "]";
        if (!standard.is_object())
            Fail(sField, "must be an object with \"absorbance\" and \"concentration\"");
        for (const auto& item : standard.items())
            if (item.key() != "absorbance" && item.key() != "concentration")
                Fail(sField, "unknown field " + Quoted(item.key()));
        if (!standard.contains("absorbance") || !standard.contains("concentration"))
            Fail(sField, "must have \"absorbance\" and \"concentration\"");
        pMethod->afStdAbs[i] = Number(standard["absorbance"], sField + ".absorbance");
        const json& conc = standard["concentration"];
        pMethod->afStdConc[i] = conc.is_null() ? STANDARD_NOT_SET : Number(conc, sField + ".concentration");
    }
}

void ReadName(const json& value, MethodWork* pMethod)
{
    if (!value.is_string())
        Fail("name", "must be a text");
    const std::string& sName = value.get_ref<const std::string&>();
    if (sName.empty())
        Fail("name", "is empty");
    if (sName.size() > METHOD_NAME_LENGTH)
        Fail("name", "is longer than 13 characters");
    for (char c : sName)
        if (c == '\0' || !std::strchr(NAME_CHARACTERS, c))
            Fail("name", Quoted(sName) + " has characters the instrument cannot show (only A-Z, 0-9 and space)");
    std::memset(pMethod->szName, ' ', METHOD_NAME_LENGTH);
    std::memcpy(pMethod->szName, sName.data(), sName.size());
    pMethod->szName[METHOD_NAME_LENGTH] = '\0';
}

ImportedMethod ReadMethod(const json& object)
{
    static const char* const kapszKeys[] = {"slot", "name", "wavelength", "calibration", "factor",
                                            "display_option", "units", "kinetics", "start", "interval",
                                            "end", "standards", "curve_fit"};
    if (!object.is_object())
        throw CFault{"must be an object"};
    for (const auto& item : object.items()) {
        bool bKnown = false;
        for (const char* pszKey : kapszKeys)
            bKnown = bKnown || item.key() == pszKey;
        if (!bKnown)
            throw CFault{"unknown field " + Quoted(item.key())};
    }
    ImportedMethod imported;
    imported.nSlot = -1;
    // Fields left out take the values of a new method.
    MethodWork& method = imported.method;
    SetMethodDefaults(&method);
    if (!object.contains("name"))
        Fail("name", "is missing");
    ReadName(object["name"], &method);
    if (object.contains("slot"))
        imported.nSlot = static_cast<int>(WholeNumber(object["slot"], "slot", 0, METHOD_COUNT - 1));
    if (object.contains("wavelength"))
        method.unWavelength =
            WholeNumber(object["wavelength"], "wavelength", METHOD_WAVELENGTH_MIN, METHOD_WAVELENGTH_MAX);
    if (object.contains("calibration"))
        method.bCalibration = Choice(object["calibration"], "calibration", kapszCalibration, 2);
    if (object.contains("factor"))
        method.fFactor = Number(object["factor"], "factor");
    if (object.contains("display_option"))
        method.unDisplayOption = WholeNumber(object["display_option"], "display_option", 0, DISPLAY_OPTION_MAX);
    if (object.contains("units"))
        method.unUnits = ReadUnits(object["units"]);
    if (object.contains("kinetics"))
        method.unKinetics = Choice(object["kinetics"], "kinetics", kapszKinetics, 3);
    if (object.contains("start"))
        ReadTime(object["start"], "start", &method.unStartMin, &method.unStartSec);
    if (object.contains("interval"))
        ReadTime(object["interval"], "interval", &method.unIntervalMin, &method.unIntervalSec);
    if (object.contains("end")) {
        uint32_t unMinutes, unSeconds;
        ReadTime(object["end"], "end", &unMinutes, &unSeconds);
        method.bEndMin = static_cast<uint8_t>(unMinutes);
        method.bEndSec = static_cast<uint8_t>(unSeconds);
    }
    if (object.contains("standards"))
        ReadStandards(object["standards"], &method);
    if (object.contains("curve_fit"))
        method.bCurveFit = Choice(object["curve_fit"], "curve_fit", kapszCurveFit, 2);

    // What the method program itself refuses to accept.
    if (method.bCalibration == 1 && method.unKinetics != 0)
        Fail("kinetics", "a standard-curve method cannot use kinetics");
    if (method.unKinetics == 1 && method.unIntervalMin == 0 && method.unIntervalSec < KINETICS_MIN_INTERVAL)
        Fail("interval", "kinetics readings need an interval of at least 10 seconds");
    return imported;
}

// The JSON library's message without its "[json.exception.x.n] " prefix.
std::string LibraryMessage(const json::exception& e)
{
    std::string s = e.what();
    size_t n = s.find("] ");
    return s.rfind("[json.exception", 0) == 0 && n != std::string::npos ? s.substr(n + 2) : s;
}

}  // namespace

std::string DisplayToUtf8(const std::string& sText)
{
    std::string sOut;
    for (char c : sText) {
        uint8_t b = static_cast<uint8_t>(c);
        if (b == MICRO_SIGN)
            sOut += "\xC2\xB5";
        else if (b >= 0x20 && b < 0x7F)
            sOut += c;
        else
            sOut += '?';
    }
    return sOut;
}

std::string UnitsName(uint32_t unUnits)
{
    if (unUnits >= METHOD_UNITS_COUNT)
        return std::string();
    return DisplayToUtf8(Trimmed(LanguageTextIn(0, gaunMethodUnitText[unUnits])));
}

bool MethodToJson(int nSlot, const MethodWork& method, ordered_json* pJson, std::string* psError)
{
    std::string sWhere = "slot " + std::to_string(nSlot) + ": ";
    auto Finite = [&](double f, const char* pszField) {
        if (std::isfinite(f))
            return true;
        *psError = sWhere + pszField + " is not a finite number and cannot be written as JSON";
        return false;
    };
    std::string sName(method.szName, METHOD_NAME_LENGTH);
    for (char& c : sName)
        if (c == '\0')
            c = 'X';  // shown as X by the instrument
    ordered_json& object = *pJson;
    object = ordered_json::object();
    object["slot"] = nSlot;
    object["name"] = DisplayToUtf8(Trimmed(sName));
    object["wavelength"] = method.unWavelength;
    if (method.bCalibration < 2)
        object["calibration"] = kapszCalibration[method.bCalibration];
    else
        object["calibration"] = method.bCalibration;
    if (!Finite(method.fFactor, "factor"))
        return false;
    object["factor"] = method.fFactor;
    object["display_option"] = method.unDisplayOption;
    std::string sUnits = UnitsName(method.unUnits);
    if (sUnits.empty())
        object["units"] = method.unUnits;
    else
        object["units"] = sUnits;
    if (method.unKinetics < 3)
        object["kinetics"] = kapszKinetics[method.unKinetics];
    else
        object["kinetics"] = method.unKinetics;
    object["start"] = TimeJson(method.unStartMin, method.unStartSec);
    object["interval"] = TimeJson(method.unIntervalMin, method.unIntervalSec);
    object["end"] = TimeJson(method.bEndMin, method.bEndSec);
    ordered_json standards = ordered_json::array();
    for (int i = 0; i < METHOD_STANDARD_COUNT; i++) {
        if (!Finite(method.afStdAbs[i], "a standard absorbance") ||
            !Finite(method.afStdConc[i], "a standard concentration"))
            return false;
        ordered_json standard;
        standard["absorbance"] = method.afStdAbs[i];
        if (method.afStdConc[i] == STANDARD_NOT_SET)
            standard["concentration"] = nullptr;
        else
            standard["concentration"] = method.afStdConc[i];
        standards.push_back(standard);
    }
    object["standards"] = standards;
    if (method.bCurveFit < 2)
        object["curve_fit"] = kapszCurveFit[method.bCurveFit];
    else
        object["curve_fit"] = method.bCurveFit;
    return true;
}

bool ParseMethodsJson(const std::string& sText, std::vector<ImportedMethod>* pMethods, std::string* psError)
{
    if (sText.size() > METHODS_JSON_MAX_BYTES) {
        *psError = "the methods file is larger than " + std::to_string(METHODS_JSON_MAX_BYTES) + " bytes";
        return false;
    }
    json document;
    try {
        bool bTooDeep = false;
        document = json::parse(sText, [&](int nDepth, json::parse_event_t, json&) {
            if (nDepth > METHODS_JSON_MAX_DEPTH)
                bTooDeep = true;
            return !bTooDeep;
        });
        if (bTooDeep) {
            *psError = "the methods file is nested more than " + std::to_string(METHODS_JSON_MAX_DEPTH) +
                       " levels deep";
            return false;
        }
    } catch (const json::exception& e) {
        *psError = "the methods file is not valid JSON: " + LibraryMessage(e);
        return false;
    }
    if (!document.is_object() || !document.contains("methods")) {
        *psError = "the methods file must be an object with a \"methods\" list";
        return false;
    }
    for (const auto& item : document.items()) {
        const std::string& sKey = item.key();
        if (sKey != "format" && sKey != "version" && sKey != "methods") {
            *psError = "unknown field " + Quoted(sKey) + " in the methods file";
            return false;
        }
    }
    if (document.contains("format") && document["format"] != FORMAT_NAME) {
        *psError = std::string("the methods file's \"format\" must be \"") + FORMAT_NAME + "\"";
        return false;
    }
    if (document.contains("version") && document["version"] != FORMAT_VERSION) {
        *psError = "the methods file's \"version\" must be " + std::to_string(FORMAT_VERSION);
        return false;
    }
    const json& methods = document["methods"];
    if (!methods.is_array()) {
        *psError = "\"methods\" must be a list";
        return false;
    }
    if (methods.size() > METHOD_COUNT) {
        *psError = "the methods file holds " + std::to_string(methods.size()) + " methods; the instrument keeps 100";
        return false;
    }
    pMethods->clear();
    for (size_t i = 0; i < methods.size(); i++) {
        try {
            pMethods->push_back(ReadMethod(methods[i]));
        } catch (const CFault& fault) {
            *psError = "method " + std::to_string(i + 1) + " of the file: " + fault.sMessage;
            return false;
        } catch (const json::exception& e) {
            *psError = "method " + std::to_string(i + 1) + " of the file: " + LibraryMessage(e);
            return false;
        }
    }
    return true;
}

ordered_json MethodsDocument() { return ordered_json{{"format", FORMAT_NAME}, {"version", FORMAT_VERSION}}; }
