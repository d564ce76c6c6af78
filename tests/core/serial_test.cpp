// Serial port: rings, the receive event, and the output primitives.
#include <gtest/gtest.h>

#include <cstdio>

#include "core/serial.h"
#include "core/runtime.h"
#include "measure/measure_output.h"
#include "instrument.h"
#include "storage/params.h"

TEST(ByteRingTest, WrapsAtItsSize)
{
    uint8_t abStore[3];
    ByteRing ring;
    RingInit(&ring, abStore, 3);
    for (uint8_t b = 1; b <= 3; b++)
        RingPut(&ring, b);
    EXPECT_EQ(RingTake(&ring), 1);
    RingPut(&ring, 4);
    EXPECT_EQ(ring.unTail, 1);
    EXPECT_EQ(RingTake(&ring), 2);
    EXPECT_EQ(RingTake(&ring), 3);
    EXPECT_EQ(RingTake(&ring), 4);
    EXPECT_EQ(ring.unCount, 0);
}

TEST(SerialTest, OutputPrimitivesReachTheHostSink)
{
    CInstrument host;
    SerialInit();
    EXPECT_EQ(host.SerialText(), "START\r\n");
    host.ClearSerialText();

    std::snprintf(gszLineBuffer, sizeof gszLineBuffer, "Value %d\r\n", 42);
    SendLineBuffer();
    SerialWrite("ab\0c", 4);
    SerialPutCharReport(0x80);
    EXPECT_EQ(host.SerialText(), std::string("Value 42\r\nab\0c\x80", 15));
}

TEST(SerialTest, DiagLinesOnlyWithBaseSelfTestInfo)
{
    CInstrument host;
    SerialInit();
    host.ClearSerialText();
    gbBaseSelfTestInfo = 0;
    DiagPrintf("Smooth!\r\n");
    EXPECT_EQ(host.SerialText(), "");
    gbBaseSelfTestInfo = 1;
    DiagPrintf("Smooth!\r\n");
    EXPECT_EQ(host.SerialText(), "Smooth!\r\n");
}

TEST(SerialTest, TransmitterAlwaysEmptyAndIdle)
{
    CInstrument host;
    SerialInit();
    SerialPutString("HELLO\r\n");
    EXPECT_TRUE(SerialTxEmpty());
    EXPECT_TRUE(SerialTxIdle());
}

TEST(SerialTest, InitEmptiesReceiveQueue)
{
    CInstrument host;
    SerialInit();
    SerialInjectByte('x');
    EXPECT_FALSE(SerialRxEmpty());
    SerialInit();
    EXPECT_TRUE(SerialRxEmpty());
}

TEST(SerialTest, NoSinkDropsBytes)
{
    SerialInit();  // no host attached: the null host has no sink
    EXPECT_EQ(gpSerialOut, nullptr);
    SerialPutString("dropped");
}
