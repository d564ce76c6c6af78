// Switching the instrument on from a host, as an operator would: the
// standby key when the instrument waits in standby, then OK on the
// self-test result, so that the main menu shows and a PC can take control.
#pragma once

#include <string>

class CInstrument;

// Runs at the host's current pace; false with a message when the main
// menu does not show within the start-up's time. A PC taking control on the
// way ends it too, with the instrument in the PC's hands.
bool PowerOnToMainMenu(CInstrument& host, std::string* psError);
