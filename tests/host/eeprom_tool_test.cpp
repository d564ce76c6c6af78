// halden-eeprom: show and check over stored images, the methods' JSON round
// trip, import placement, the simulators' lock, and refused input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <set>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "eeprom.h"
#include "eeprom_tool.h"
#include "support/firmware_fixture.h"
#include "i2c_bus.h"
#include "storage/method_record.h"
#include "storage/params.h"
#include "storage/protein_group.h"

namespace fs = std::filesystem;

namespace {

std::string ReadText(const std::string& sPath)
{
    std::ifstream in(sPath, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteText(const std::string& sPath, const std::string& sText)
{
    std::ofstream(sPath, std::ios::binary) << sText;
}

MethodWork Method(const char* pszName, uint32_t unWavelength)
{
    MethodWork method;
    SetMethodDefaults(&method);
    std::memset(method.szName, ' ', METHOD_NAME_LENGTH);
    std::memcpy(method.szName, pszName, std::strlen(pszName));
    method.unWavelength = unWavelength;
    return method;
}

class EepromToolTest : public ScratchDirTest {
protected:
    struct Result {
        int nStatus;
        std::string sOut, sErr;
    };
    Result Run(std::vector<std::string> asArgs)
    {
        std::ostringstream out, err;
        int nStatus = RunEepromTool(asArgs, out, err);
        return {nStatus, out.str(), err.str()};
    }
    // A first-start image with the given methods in their slots.
    std::vector<uint8_t> Image(const std::vector<std::pair<int, MethodWork>>& methods)
    {
        std::vector<uint8_t> abImage(EEPROM_SIZE);
        BuildInitialisedImage(abImage.data());
        for (const auto& [nSlot, method] : methods)
            EncodeMethodRecord(method, &abImage[METHOD_RECORD_BASE + METHOD_RECORD_SIZE * nSlot]);
        return abImage;
    }
    void WriteImage(const std::string& sPath, const std::vector<uint8_t>& abImage)
    {
        WriteText(sPath, std::string(abImage.begin(), abImage.end()));
    }
    std::vector<uint8_t> RecordOf(const std::string& sPath, int nSlot)
    {
        std::string s = ReadText(sPath);
        size_t nStart = METHOD_RECORD_BASE + METHOD_RECORD_SIZE * nSlot;
        return std::vector<uint8_t>(s.begin() + nStart, s.begin() + nStart + METHOD_RECORD_SIZE);
    }
};

// Methods that use every field and every named choice, including a units
// entry without a name, a negative factor and standards not entered.
std::vector<std::pair<int, MethodWork>> VariedMethods()
{
    MethodWork a = Method("PROTEIN 2", 595);
    a.bCalibration = 1;
    a.unUnits = 2;  // micro-g/l
    a.bCurveFit = 0;
    for (int i = 0; i < 3; i++) {
        a.afStdAbs[i] = 0.125 * (i + 1) + 1e-9;
        a.afStdConc[i] = 12.5 * (i + 1);
    }
    MethodWork b = Method("KIN 1", 340);
    b.unKinetics = 1;
    b.unStartMin = 1;
    b.unStartSec = 30;
    b.unIntervalSec = 15;
    b.bEndMin = 5;
    b.fFactor = -1234.5678;
    b.unUnits = 16;
    b.unDisplayOption = 1;
    MethodWork c = Method("0 9 Z", 830);
    c.unKinetics = 2;
    c.unUnits = 13;
    c.unDisplayOption = 2;
    return {{0, a}, {7, b}, {99, c}};
}

TEST_F(EepromToolTest, ExportThenImportIntoANewFileGivesByteIdenticalRecords)
{
    auto methods = VariedMethods();
    WriteImage("old.bin", Image(methods));
    Result exported = Run({"export-methods", "old.bin", "methods.json"});
    ASSERT_EQ(exported.nStatus, 0) << exported.sErr;
    std::string sJson = ReadText("methods.json");
    EXPECT_NE(sJson.find("\"name\": \"PROTEIN 2\""), std::string::npos) << sJson;
    EXPECT_NE(sJson.find("\"units\": \"\xC2\xB5g/l\""), std::string::npos) << sJson;
    EXPECT_NE(sJson.find("\"kinetics\": \"Fixed time\""), std::string::npos) << sJson;
    EXPECT_NE(sJson.find("\"curve_fit\": \"Linear Least Squares\""), std::string::npos) << sJson;

    Result imported = Run({"import-methods", "new.bin", "methods.json"});
    ASSERT_EQ(imported.nStatus, 0) << imported.sErr;
    std::string sOld = ReadText("old.bin"), sNew = ReadText("new.bin");
    ASSERT_EQ(sNew.size(), 32768u);
    for (const auto& entry : methods)
        EXPECT_EQ(RecordOf("new.bin", entry.first), RecordOf("old.bin", entry.first)) << "slot " << entry.first;
    EXPECT_EQ(sNew, sOld) << "the rest of a new file is the first-start image";

    ASSERT_EQ(Run({"export-methods", "new.bin", "again.json"}).nStatus, 0);
    EXPECT_EQ(ReadText("again.json"), sJson);
}

TEST_F(EepromToolTest, AMethodProgrammedByKeysAppearsInShow)
{
    // Measure menu, Methods, New: name "AB", wavelength 552 nm, accepted.
    WriteText("program.scn",
              "key standby\nwait-screen 9 within 60s\nkey soft2\nwait-screen 11 within 0\n"
              "key soft2\nwait-screen 12 within 0\nkey soft3\nwait-screen 25 within 0\n"
              "key soft1\nwait-screen 27 within 0\nkey soft4\nwait-screen 28 within 0\n"
              "key up\nkey right\nkey up\nkey up\nkey soft4\nwait-screen 27 within 0\n"
              "key down\nkey soft4\nwait-screen 29 within 0\nkey up\nkey up\nkey soft4\n"
              "wait-screen 27 within 0\nkey soft1\nwait-screen 70 within 0\nkey soft4\nwait-screen 26 within 0\n");
    ASSERT_EQ(std::system((std::string(HALDEN_CLI) + " --eeprom eeprom.bin program.scn >cli.out 2>&1").c_str()), 0)
        << ReadText("cli.out");
    Result shown = Run({"show", "eeprom.bin"});
    ASSERT_EQ(shown.nStatus, 0) << shown.sErr;
    EXPECT_NE(shown.sOut.find("Methods: 1 of 100 slots used"), std::string::npos) << shown.sOut;
    EXPECT_NE(shown.sOut.find("     0  AB                    552  Factor       No          valid"), std::string::npos)
        << shown.sOut;
    EXPECT_NE(shown.sOut.find("Language                            0  English"), std::string::npos) << shown.sOut;
    EXPECT_NE(shown.sOut.find("Last operation                     26  Method\n"), std::string::npos) << shown.sOut;
    EXPECT_EQ(Run({"check", "eeprom.bin"}).nStatus, 0);
}

// show and check name every stored setting by what it is, each differently.
TEST(EepromToolLabels, EverySettingHasItsOwnLabel)
{
    std::set<std::string> labels;
    for (const ParamSetting& setting : gParamSettings) {
        const char* pszLabel = SettingLabel(setting.unSlot);
        ASSERT_NE(pszLabel, nullptr) << setting.pszName;
        EXPECT_TRUE(labels.insert(pszLabel).second) << pszLabel << " twice";
        EXPECT_LE(std::strlen(pszLabel), 30u) << pszLabel;
    }
    EXPECT_EQ(SettingLabel(0x14), nullptr);  // the second byte of a 16-bit setting
}

TEST_F(EepromToolTest, ImportPlacesMethodsBySlotOrFirstFreeAndKeepsUsedSlots)
{
    WriteImage("eeprom.bin", Image({{0, Method("KEEP", 500)}, {2, Method("KEEP TOO", 500)}}));
    WriteText("two.json", R"({"methods": [{"name": "ONE"}, {"name": "TWO", "wavelength": 405}]})");

    Result noSlot = Run({"import-methods", "eeprom.bin", "two.json"});
    EXPECT_EQ(noSlot.nStatus, 2);
    EXPECT_NE(noSlot.sErr.find("has no slot"), std::string::npos) << noSlot.sErr;

    Result used = Run({"import-methods", "eeprom.bin", "two.json", "--slot", "1"});
    EXPECT_EQ(used.nStatus, 2);
    EXPECT_NE(used.sErr.find("slot 2 already holds a method"), std::string::npos) << used.sErr;

    Result free = Run({"import-methods", "eeprom.bin", "two.json", "--first-free"});
    ASSERT_EQ(free.nStatus, 0) << free.sErr;
    Result shown = Run({"show", "eeprom.bin"});
    EXPECT_NE(shown.sOut.find("     1  ONE                   550"), std::string::npos) << shown.sOut;
    EXPECT_NE(shown.sOut.find("     3  TWO                   405"), std::string::npos) << shown.sOut;
    EXPECT_NE(shown.sOut.find("     0  KEEP "), std::string::npos) << shown.sOut;

    ASSERT_EQ(Run({"import-methods", "eeprom.bin", "two.json", "--slot", "2", "--replace"}).nStatus, 0);
    shown = Run({"show", "eeprom.bin"});
    EXPECT_NE(shown.sOut.find("     2  ONE "), std::string::npos) << shown.sOut;
    EXPECT_EQ(Run({"import-methods", "eeprom.bin", "two.json", "--slot", "99"}).nStatus, 2)
        << "the second method would go past slot 99";

    // Through a symbolic link the linked image is replaced, the link kept.
    fs::create_symlink("eeprom.bin", "link.bin");
    ASSERT_EQ(Run({"import-methods", "link.bin", "two.json", "--slot", "10"}).nStatus, 0);
    EXPECT_TRUE(fs::is_symlink("link.bin"));
    EXPECT_NE(Run({"show", "eeprom.bin"}).sOut.find("    10  ONE "), std::string::npos);
}

TEST_F(EepromToolTest, ImportRefusesAFileInUseByARunningSimulator)
{
    WriteImage("eeprom.bin", Image({}));
    WriteText("one.json", R"({"methods": [{"slot": 4, "name": "LOCKED"}]})");
    std::string sBefore = ReadText("eeprom.bin");
    {
        CI2cBus bus;
        CEeprom eeprom;  // as the simulators open their image: locked for their whole run
        eeprom.Open(&bus, 0xA0, "eeprom.bin");
        ASSERT_TRUE(eeprom.StatusMessage().empty()) << eeprom.StatusMessage();
        Result refused = Run({"import-methods", "eeprom.bin", "one.json"});
        EXPECT_EQ(refused.nStatus, 2);
        EXPECT_NE(refused.sErr.find("in use by a running simulator"), std::string::npos) << refused.sErr;
        EXPECT_EQ(ReadText("eeprom.bin"), sBefore);
        EXPECT_EQ(Run({"show", "eeprom.bin"}).nStatus, 0) << "reading needs no lock";
    }
    EXPECT_EQ(Run({"import-methods", "eeprom.bin", "one.json"}).nStatus, 0);
}

TEST_F(EepromToolTest, CheckReportsWhatTheInstrumentWouldRepair)
{
    std::vector<uint8_t> abImage = Image({{3, Method("GOOD", 500)}, {5, Method("DAMAGED", 500)}, {6, Method("FAR", 500)}});
    EXPECT_EQ(Run({"check", "x.bin"}).nStatus, 2);
    WriteImage("clean.bin", abImage);
    Result clean = Run({"check", "clean.bin"});
    EXPECT_EQ(clean.nStatus, 0) << clean.sOut;

    abImage[0x28] = 7;                                          // language
    PutParamWord(&abImage[0x17], 100);                          // gunWavelengthB
    PutParamDouble(&abImage[PARAM_SVALUE], 20.0);
    PutParamWord(&abImage[PARAM_HOLMIUM_OFFSET], 0xFFF0);       // -16
    abImage[METHOD_RECORD_BASE + METHOD_RECORD_SIZE * 5 + 20] ^= 0x40;  // factor byte, check word kept
    MethodWork far = Method("FAR", 900);
    EncodeMethodRecord(far, &abImage[METHOD_RECORD_BASE + METHOD_RECORD_SIZE * 6]);
    WriteImage("bad.bin", abImage);
    Result bad = Run({"check", "bad.bin"});
    EXPECT_EQ(bad.nStatus, 1);
    for (const char* psz : {"Language is 7, outside 0..4: becomes 0", "Second wavelength is 100, outside 200..830: becomes 360",
                            "Stray-light level is 20, outside 0..15: becomes 0", "holmium offset is -16, outside -8..+8: loads as -8",
                            "method slot 5 \"DAMAGED      \": bad check word", "method slot 6 \"FAR          \": wavelength out of range"})
        EXPECT_NE(bad.sOut.find(psz), std::string::npos) << psz << "\n" << bad.sOut;
    EXPECT_EQ(bad.sOut.find("slot 3"), std::string::npos) << bad.sOut;

    std::memset(&abImage[PARAM_SIGNATURE], 0xFF, PARAM_SIGNATURE_SIZE);
    WriteImage("blank.bin", abImage);
    Result blank = Run({"check", "blank.bin"});
    EXPECT_EQ(blank.nStatus, 1);
    EXPECT_NE(blank.sOut.find("signature is missing"), std::string::npos) << blank.sOut;
}

// Every refused input: one message line, status 2, nothing written.
struct BadInput {
    const char* pszName;
    std::function<void()> fnMake;       // makes the input files in the scratch directory
    std::vector<std::string> asArgs;
    const char* pszMessage;
};

void ReadOnly(const std::string& sPath)
{
    fs::permissions(sPath, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
}

TEST_F(EepromToolTest, BadInputIsRefusedWithOneMessageAndNothingWritten)
{
    auto Json = [](std::string s) { return [s] { WriteText("in.json", s); }; };
    std::string sTen(10 << 20, 'A');
    std::string sDeep = std::string(100000, '[') + std::string(100000, ']');
    const std::vector<std::string> IMPORT = {"import-methods", "eeprom.bin", "in.json"};
    const std::vector<BadInput> aCases = {
        {"truncated image", [] { WriteText("short.bin", std::string(1000, '\0')); }, {"show", "short.bin"}, "truncated: 1000 bytes"},
        {"oversized image", [] { WriteText("long.bin", std::string(40000, '\0')); }, {"check", "long.bin"}, "longer than an EEPROM image"},
        {"directory", [] { fs::create_directory("dir.bin"); }, {"show", "dir.bin"}, "not a regular file"},
        {"named pipe", [] { mkfifo("pipe.bin", 0600); }, {"show", "pipe.bin"}, "not a regular file"},
        {"missing image", [] {}, {"export-methods", "none.bin", "out.json"}, "cannot open none.bin"},
        {"missing JSON", [] {}, IMPORT, "cannot open in.json"},
        {"malformed JSON", Json("{\"methods\": [}"), IMPORT, "not valid JSON"},
        {"deep nesting", Json("{\"methods\": " + sDeep + "}"), IMPORT, "nested more than 8 levels"},
        {"huge number", Json(R"({"methods": [{"slot": 1, "name": "A", "factor": 1e999}]})"), IMPORT, "number overflow"},
        {"huge integer", Json(R"({"methods": [{"slot": 1, "name": "A", "wavelength": 99999999999999999999999}]})"), IMPORT, "wavelength"},
        {"10 MB string", Json("{\"methods\": [{\"name\": \"" + sTen + "\"}]}"), IMPORT, "too large"},
        {"not an object", Json("[1, 2]"), IMPORT, "must be an object with a \"methods\" list"},
        {"methods not a list", Json(R"({"methods": 5})"), IMPORT, "\"methods\" must be a list"},
        {"wrong type", Json(R"({"methods": [{"slot": 1, "name": "A", "wavelength": "595"}]})"), IMPORT, "wavelength: must be a whole number"},
        {"fractional slot", Json(R"({"methods": [{"slot": 1.5, "name": "A"}]})"), IMPORT, "slot: must be a whole number"},
        {"lower-case name", Json(R"({"methods": [{"slot": 1, "name": "abc"}]})"), IMPORT, "characters the instrument cannot show"},
        {"accented name", Json(R"({"methods": [{"slot": 1, "name": "CAF\u00c9"}]})"), IMPORT, "characters the instrument cannot show"},
        {"long name", Json(R"({"methods": [{"slot": 1, "name": "ABCDEFGHIJKLMN"}]})"), IMPORT, "longer than 13"},
        {"empty name", Json(R"({"methods": [{"slot": 1, "name": ""}]})"), IMPORT, "name: is empty"},
        {"wavelength range", Json(R"({"methods": [{"slot": 1, "name": "A", "wavelength": 200}]})"), IMPORT, "from 330 to 830"},
        {"unknown units", Json(R"({"methods": [{"slot": 1, "name": "A", "units": "kg"}]})"), IMPORT, "units: must be one of"},
        {"unknown field", Json(R"({"methods": [{"slot": 1, "name": "A", "colour": 1}]})"), IMPORT, "unknown field \"colour\""},
        {"line break in a field name", Json(R"({"methods": [{"slot": 1, "name": "A", "st\nandards": 1}]})"), IMPORT, "unknown field \"st\\nandards\""},
        {"line break in the file's field", Json(R"({"methods": [], "a\r\nb": 1})"), IMPORT, "unknown field \"a\\r\\nb\""},
        {"line break in a name", Json(R"({"methods": [{"slot": 1, "name": "A\nB"}]})"), IMPORT, "\"A\\nB\" has characters"},
        {"curve with kinetics", Json(R"({"methods": [{"slot": 1, "name": "A", "calibration": "Std", "kinetics": "Yes"}]})"), IMPORT, "cannot use kinetics"},
        {"short interval", Json(R"({"methods": [{"slot": 1, "name": "A", "kinetics": "Yes", "interval": {"minutes": 0, "seconds": 5}}]})"), IMPORT, "at least 10 seconds"},
        {"seconds range", Json(R"({"methods": [{"slot": 1, "name": "A", "end": {"minutes": 0, "seconds": 60}}]})"), IMPORT, "end.seconds"},
        {"four standards", Json(R"({"methods": [{"slot": 1, "name": "A", "standards": [1, 2, 3, 4]}]})"), IMPORT, "list of 5 standards"},
        {"slot range", Json(R"({"methods": [{"slot": 100, "name": "A"}]})"), IMPORT, "slot: must be from 0 to 99"},
        {"same slot twice", Json(R"({"methods": [{"slot": 2, "name": "A"}, {"slot": 2, "name": "B"}]})"), IMPORT, "go to slot 2"},
        {"second method bad", Json(R"({"methods": [{"slot": 1, "name": "A"}, {"slot": 2, "name": "b"}]})"), IMPORT, "method 2 of the file"},
        {"bad option", Json(R"({"methods": []})"), {"import-methods", "eeprom.bin", "in.json", "--slot", "x"}, "--slot takes"},
        {"slot without a number", Json(R"({"methods": []})"), {"import-methods", "eeprom.bin", "in.json", "--slot"}, "--slot needs a slot number from 0 to 99"},
        {"slot followed by an option", Json(R"({"methods": []})"), {"import-methods", "eeprom.bin", "in.json", "--slot", "--replace"}, "--slot needs a slot number"},
        // No write bit: refused even for root, who could write it anyway.
        {"read-only image", [] { WriteText("in.json", R"({"methods": [{"slot": 2, "name": "A"}]})"); ReadOnly("eeprom.bin"); }, IMPORT, "eeprom.bin is read-only; nothing was written"},
        {"read-only image, proteins", [] { fs::copy_file(fs::path(HALDEN_SOURCE_DIR) / "examples" / "proteins.json", "in.json"); ReadOnly("eeprom.bin"); },
         {"import-proteins", "eeprom.bin", "in.json"}, "eeprom.bin is read-only; nothing was written"},
        {"read-only output", [] { WriteText("out.json", "keep"); ReadOnly("out.json"); }, {"export-methods", "eeprom.bin", "out.json"}, "out.json is read-only"},
    };
    std::vector<BadInput> cases = aCases;
    if (geteuid() != 0)  // permissions do not hold back the superuser
        cases.push_back({"unreadable image", [] { WriteText("locked.bin", std::string(32768, '\0')); fs::permissions("locked.bin", fs::perms::none); },
                         {"show", "locked.bin"}, "cannot open locked.bin: Permission denied"});
    for (const BadInput& bad : cases) {
        SCOPED_TRACE(bad.pszName);
        fs::path dir = m_dir / "case";
        fs::remove_all(dir);
        fs::create_directory(dir);
        fs::current_path(dir);
        std::vector<uint8_t> abImage = Image({{1, Method("OLD", 500)}});
        WriteImage("eeprom.bin", abImage);
        bad.fnMake();
        std::set<fs::path> before;
        for (const auto& entry : fs::directory_iterator(dir))
            before.insert(entry.path());
        Result result = Run(bad.asArgs);
        EXPECT_EQ(result.nStatus, 2);
        EXPECT_NE(result.sErr.find(bad.pszMessage), std::string::npos) << result.sErr;
        EXPECT_EQ(std::count(result.sErr.begin(), result.sErr.end(), '\n'), 1) << result.sErr;
        EXPECT_EQ(ReadText("eeprom.bin"), std::string(abImage.begin(), abImage.end()));
        std::set<fs::path> after;
        for (const auto& entry : fs::directory_iterator(dir))
            after.insert(entry.path());
        EXPECT_EQ(after, before) << "no file made or left behind";
        fs::current_path(m_dir);
    }
}

// The four protein groups, each with other settings: replicates one to
// three, standards and replicates not taken, every units and fit.
void VariedProteinGroups(uint8_t* pbImage)
{
    for (int g = 0; g < PROTEIN_GROUP_COUNT; g++) {
        ProteinGroup group;
        ProteinGroupDefaults(g, &group);
        group.afHead[PROTEIN_HEAD_FACTOR] = -12.345 + g;
        group.afHead[PROTEIN_HEAD_DILUTION] = 1.0 + 2.5 * g;
        group.abFlags[PROTEIN_FLAG_UNITS] = static_cast<uint8_t>(g % PROTEIN_UNITS_COUNT);
        group.abFlags[PROTEIN_FLAG_CALIBRATION] = static_cast<uint8_t>(g % 2);
        group.abFlags[PROTEIN_FLAG_REPLICATES] = static_cast<uint8_t>(1 + g % 3);
        group.abFlags[PROTEIN_FLAG_CURVE_FIT] = static_cast<uint8_t>((g + 1) % 2);
        for (int i = 0; i < 4; i++) {
            group.afValues[i] = 125.0 * (i + 1) + 0.001 * g;
            for (int r = 0; r < group.abFlags[PROTEIN_FLAG_REPLICATES]; r++)
                if (i != 2 || r != 0)
                    group.afStandards[ProteinReplicateIndex(i, r)] = 0.1 * (i + 1) + 0.003 * r + 1e-9;
        }
        EncodeProteinGroup(group, pbImage + PARAM_PROTEIN_GROUP_BASE + PARAM_PROTEIN_GROUP_SIZE * g);
    }
}

std::string GroupBytes(const std::string& sPath)
{
    return ReadText(sPath).substr(PARAM_PROTEIN_GROUP_BASE, PARAM_PROTEIN_GROUP_SIZE * PROTEIN_GROUP_COUNT);
}

TEST_F(EepromToolTest, ProteinGroupsRoundTripThroughJson)
{
    std::vector<uint8_t> abImage = Image({});
    VariedProteinGroups(abImage.data());
    WriteImage("a.bin", abImage);
    Result exported = Run({"export-proteins", "a.bin", "proteins.json"});
    ASSERT_EQ(exported.nStatus, EEPROM_TOOL_OK) << exported.sErr;
    Result imported = Run({"import-proteins", "b.bin", "proteins.json"});
    ASSERT_EQ(imported.nStatus, EEPROM_TOOL_OK) << imported.sErr;
    EXPECT_EQ(GroupBytes("b.bin"), GroupBytes("a.bin"));
    EXPECT_NE(imported.sOut.find("4 protein assays imported"), std::string::npos) << imported.sOut;
    // The methods and settings of the image imported into are left alone.
    std::string sB = ReadText("b.bin");
    std::vector<uint8_t> abFirst = Image({});
    EXPECT_EQ(sB.substr(0, PARAM_PROTEIN_GROUP_BASE), std::string(abFirst.begin(), abFirst.begin() + PARAM_PROTEIN_GROUP_BASE));

    std::string sJson = ReadText("proteins.json");
    EXPECT_NE(sJson.find("\"assay\": \"Bradford\""), std::string::npos) << sJson;
    EXPECT_NE(sJson.find("null"), std::string::npos) << "a replicate not taken";

    Result shown = Run({"show", "a.bin"});
    ASSERT_EQ(shown.nStatus, EEPROM_TOOL_OK);
    EXPECT_NE(shown.sOut.find("0x00EC  Bradford"), std::string::npos) << shown.sOut;
    EXPECT_NE(shown.sOut.find("replicates 2"), std::string::npos) << shown.sOut;
    EXPECT_NE(shown.sOut.find("dilution 3.5"), std::string::npos) << shown.sOut;
}

TEST_F(EepromToolTest, ProteinImportRefusesWhatTheScreensCouldNotStore)
{
    std::vector<uint8_t> abImage = Image({});
    VariedProteinGroups(abImage.data());
    WriteImage("a.bin", abImage);
    ASSERT_EQ(Run({"export-proteins", "a.bin", "good.json"}).nStatus, EEPROM_TOOL_OK);
    std::string sGood = ReadText("good.json");
    const struct {
        const char* pszFrom;
        const char* pszTo;
        const char* pszMessage;
    } CASES[] = {
        {"\"dilution\": 1.0", "\"dilution\": 0", "BCA dilution"},
        {"\"replicates\": 1", "\"replicates\": 4", "replicates"},
        {"\"units\": \"mg/ml\"", "\"units\": \"g/l\"", "BCA units"},
        {"\"assay\": \"Lowry\"", "\"assay\": \"BCA\"", "given twice"},
        {"\"curve fit\"", "\"fit\"", "unknown field"},
    };
    for (const auto& c : CASES) {
        std::string sBad = sGood;
        size_t n = sBad.find(c.pszFrom);
        ASSERT_NE(n, std::string::npos) << c.pszFrom;
        sBad.replace(n, std::strlen(c.pszFrom), c.pszTo);
        WriteText("bad.json", sBad);
        Result r = Run({"import-proteins", "b.bin", "bad.json"});
        EXPECT_EQ(r.nStatus, EEPROM_TOOL_FAILED) << c.pszTo;
        EXPECT_NE(r.sErr.find(c.pszMessage), std::string::npos) << r.sErr;
        EXPECT_FALSE(fs::exists("b.bin")) << "nothing written for " << c.pszTo;
    }
}

}  // namespace
