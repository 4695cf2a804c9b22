// Placeholder until the error texts land.
#include "platform.h"

int ZRKerrno;
int ZRKRVZ_stacktimer = 5;
