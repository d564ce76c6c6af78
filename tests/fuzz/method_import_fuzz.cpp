// Fuzzes the methods JSON that halden-eeprom import-methods reads: no input
// may crash it, a refusal always says why, and every accepted method makes
// a record the instrument loads unchanged.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "method_json.h"
#include "storage/method_record.h"
#include "storage/params.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pbData, size_t nSize)
{
    std::string sText(reinterpret_cast<const char*>(pbData), nSize);
    std::vector<ImportedMethod> methods;
    std::string sError;
    if (!ParseMethodsJson(sText, &methods, &sError)) {
        if (sError.empty() || sError.find('\n') != std::string::npos)
            __builtin_trap();
        return 0;
    }
    for (const ImportedMethod& imported : methods) {
        if (imported.nSlot < -1 || imported.nSlot >= METHOD_COUNT)
            __builtin_trap();
        uint8_t abRecord[METHOD_RECORD_SIZE];
        EncodeMethodRecord(imported.method, abRecord);
        MethodWork loaded;
        DecodeMethodRecord(abRecord, &loaded);
        if (!MethodRecordValid(abRecord) || MethodRecordFree(abRecord) || LimitMethodFields(&loaded) != 0)
            __builtin_trap();
        for (int i = 0; i < METHOD_NAME_LENGTH; i++)
            if (!std::strchr(" ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789", loaded.szName[i]) || loaded.szName[i] == '\0')
                __builtin_trap();
        // What is accepted is written back as JSON that reads the same.
        nlohmann::ordered_json object;
        if (!MethodToJson(0, loaded, &object, &sError))
            __builtin_trap();
        nlohmann::ordered_json document = MethodsDocument();
        document["methods"] = nlohmann::ordered_json::array({object});
        std::vector<ImportedMethod> again;
        if (!ParseMethodsJson(document.dump(), &again, &sError) || again.size() != 1)
            __builtin_trap();
        uint8_t abAgain[METHOD_RECORD_SIZE];
        EncodeMethodRecord(again[0].method, abAgain);
        if (std::memcmp(abRecord, abAgain, METHOD_RECORD_SIZE) != 0)
            __builtin_trap();
    }
    return 0;
}
