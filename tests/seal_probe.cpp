// tests/seal_probe.cpp: a program sealed after linking like a stub. It exits 0 when the
// StubLength it reads at run time equals its own file's length.
#include <stdio.h>

#include "engine/seal.h"
#include "platform/system/file.h"
#include "platform/system/process.h"

int main() {
    CFileStream self;
    if (!self.Open(GetModulePath(), CFileStream::modeRead)) {
        fprintf(stderr, "cannot open own file %s\n", GetModulePath().GetString());
        return 2;
    }
    const int64_t fileLength = self.GetLength();
    printf("StubLength %ld, file length %ld\n", static_cast<long>(StubLength), static_cast<long>(fileLength));
    return StubLength == fileLength ? 0 : 1;
}
