// The exported globals of the command layer's frame.
#include "zrkc.h"

extern "C" {
char ZrkcAccessPath[ZRK_VOLNAME_LEN];
unsigned char ZrkcAccessPath_Flag;
uint32_t uiExOptionFlag;
}
