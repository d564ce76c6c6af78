// The method record's layout: field offsets and byte order, the check word,
// and the deleted record.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "storage/method_record.h"
#include "storage/params.h"

namespace {

MethodWork SampleMethod()
{
    MethodWork method;
    SetMethodDefaults(&method);
    std::memcpy(method.szName, "PROTEIN 2    ", METHOD_NAME_LENGTH);
    method.unWavelength = 595;
    method.bCalibration = 1;
    method.fFactor = 2.5;
    method.unDisplayOption = 1;
    method.unUnits = 4;
    method.unKinetics = 2;
    method.unStartSec = 30;
    method.unStartMin = 1;
    method.unIntervalSec = 15;
    method.unIntervalMin = 0;
    method.bEndSec = 0;
    method.bEndMin = 5;
    for (int i = 0; i < METHOD_STANDARD_COUNT; i++) {
        method.afStdAbs[i] = 0.1 * (i + 1);
        method.afStdConc[i] = 10.0 * (i + 1);
    }
    method.bCurveFit = 1;  // non-zero, so a check word that skips it differs
    return method;
}

TEST(MethodRecordTest, FieldsLieAtTheirOffsetsLittleEndianWithTheCheckWord)
{
    uint8_t abRecord[METHOD_RECORD_SIZE];
    EncodeMethodRecord(SampleMethod(), abRecord);
    EXPECT_EQ(std::memcmp(abRecord, "PROTEIN 2    ", 13), 0);
    EXPECT_EQ(abRecord[13], 0);
    EXPECT_EQ(abRecord[14], 595 & 0xFF);
    EXPECT_EQ(abRecord[15], 595 >> 8);
    EXPECT_EQ(abRecord[18], 1);
    double fFactor = 2.5;
    EXPECT_EQ(std::memcmp(abRecord + 20, &fFactor, 8), 0);  // the host is little-endian
    EXPECT_EQ(abRecord[32], 4);
    EXPECT_EQ(abRecord[36], 2);
    EXPECT_EQ(abRecord[40], 30);
    EXPECT_EQ(abRecord[44], 1);
    EXPECT_EQ(abRecord[48], 15);
    EXPECT_EQ(abRecord[56], 0);
    EXPECT_EQ(abRecord[57], 5);
    double fConc5 = 50.0;
    EXPECT_EQ(std::memcmp(abRecord + 102 + 32, &fConc5, 8), 0);
    EXPECT_EQ(abRecord[142], 1);

    unsigned unSum = 0;
    for (int i = 0; i < 144; i++)
        unSum += abRecord[i];
    EXPECT_EQ(static_cast<uint16_t>(abRecord[144] | (abRecord[145] << 8)), static_cast<uint16_t>(~unSum));
    EXPECT_TRUE(MethodRecordValid(abRecord));
    EXPECT_FALSE(MethodRecordFree(abRecord));

    MethodWork decoded;
    DecodeMethodRecord(abRecord, &decoded);
    uint8_t abAgain[METHOD_RECORD_SIZE];
    EncodeMethodRecord(decoded, abAgain);
    EXPECT_EQ(std::memcmp(abRecord, abAgain, METHOD_RECORD_SIZE), 0);

    // Any changed byte, the check word's own included, breaks the record.
    for (int i = 0; i < METHOD_RECORD_SIZE; i++) {
        uint8_t abChanged[METHOD_RECORD_SIZE];
        std::memcpy(abChanged, abRecord, sizeof abChanged);
        abChanged[i] ^= 1;
        EXPECT_FALSE(MethodRecordValid(abChanged)) << "byte " << i;
    }
}

TEST(MethodRecordTest, DeletedAndClearedRecordsAreFreeAndInvalid)
{
    uint8_t abRecord[METHOD_RECORD_SIZE];
    BuildDeletedMethodRecord(abRecord);
    EXPECT_TRUE(MethodRecordFree(abRecord));
    EXPECT_FALSE(MethodRecordValid(abRecord));
    EXPECT_EQ(abRecord[48], 5);  // interval 5 s
    EXPECT_EQ(abRecord[28], 2);  // display option 2

    std::memset(abRecord, 0, sizeof abRecord);  // as a first start leaves it
    EXPECT_TRUE(MethodRecordFree(abRecord));
    EXPECT_FALSE(MethodRecordValid(abRecord));
}

}  // namespace
