// The state machine's part in remote work, for tests and fuzz targets that
// drive the remote interpreter without the screens.
#pragma once

#include <atomic>
#include <cstdint>

#include "comms/remote.h"
#include "measure/reading.h"
#include "storage/i2c.h"
#include "storage/params.h"
#include "ui/ui.h"

namespace remote_test {

inline std::atomic<uint32_t> gunPollsDone{0};      // RemotePoll calls that have returned
inline std::atomic<uint32_t> gunPollsAbandoned{0};  // of which returned false

// What the state machine does with the interpreter: initialise it at
// power-up and poll it on every later pass.
inline void RemoteStep(uint8_t bPhase)
{
    if (bPhase == 1) {
        ResetReadingCorrections();
        I2cPowerUp();
        StartParameterStore();
        RemoteInit();
        gunScreenState = STATE_MAIN_MENU;
        return;
    }
    if (!RemotePoll()) {
        // Abandoned by the standby key: the state machine goes to standby,
        // and the power-up after it resets the interpreter's line.
        gunPollsAbandoned++;
        RemoteReset();
    }
    gunPollsDone++;
}

}  // namespace remote_test
