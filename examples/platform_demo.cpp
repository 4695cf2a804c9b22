#include "zrkapi.h"
#include <cstdio>
int main() { std::puts("platform demo: nothing to show yet"); return 0; }
