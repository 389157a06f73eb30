// tests/seal_probe.cpp: sealed after linking like a stub, it must read its own file's length.
#include <stdio.h>

#include "engine/seal.h"
#include "platform/system/file.h"
#include "platform/system/process.h"

int main() {
    CFileStream self;
    const bool opened = self.Open(GetModulePath(), CFileStream::modeRead);
    printf("StubLength %ld, file length %ld\n", static_cast<long>(StubLength),
           static_cast<long>(self.GetLength()));
    return opened && StubLength == self.GetLength() ? 0 : 1;
}
