// tests/support_win32.cpp: what Windows does for tests/support.h.
#include "tests/support.h"

CCopyRoad::CCopyRoad(size_t) {}

CCopyRoad::~CCopyRoad() {}
