// The user-interface state machine. The screens and their transitions are
// not built yet; the main loop already calls the step every pass.
#include "ui/ui.h"

uint8_t gunScreenState = STATE_STANDBY;
uint8_t gunScreenSubState = 0;
uint32_t gunDisplayOption = 0;
char gszEditText[32];
uint8_t gbReferenceFlag = 0;

void UserInterfaceStep(uint8_t) {}

void DrawScreen() {}
