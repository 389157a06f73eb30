// tests/support_win32.cpp: what Windows does for tests/support.h.
#include "tests/support.h"

bool SamePath(const std::string& left, const std::string& right) {
    return lstrcmpiA(left.c_str(), right.c_str()) == 0;
}

CCopyRoad::CCopyRoad(size_t) {}

CCopyRoad::~CCopyRoad() {}
