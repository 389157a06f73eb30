// tools/sfxpack/build.cpp: "sfxpack build". Checks every input before the first byte is
// written, then writes stub, title field and entries to a temporary file beside the output
// and renames it into place, so that the output is either whole or not there.
#include "tools/sfxpack/build.h"

#include <stdio.h>

#include "engine/bounds.h"
#include "engine/payload.h"
#include "engine/seal.h"
#include "tools/sfxpack/seal.h"
#include "tools/sfxpack/sysfile.h"
#include "tools/sfxpack/title.h"
#include "tools/sfxpack/trailing_digest.h"

namespace {

const char BuildUsage[] =
    "Usage: sfxpack build [--stub STUB] --title TITLE -o OUTPUT [OPTION]... FILE...\n"
    "Make an installer: the stub, followed by the title and one to seven files.\n"
    "\n"
    "The files become the entries in this order, each extracted under its fixed name:\n"
    "Setup.exe (the program the installer runs), Setup.jar, setup.aux, setup.cls,\n"
    "knxf.dat, knxr.dat, knxl.dat.\n"
    "Entries 1 to 6 are always written, those without a file as empty entries; entry 7\n"
    "only when a seventh file is given.\n"
    "\n"
    "Options:\n"
    "  -s, --stub STUB       the stub program; it must be sealed (sfxpack seal). Default:\n"
    "                        the stub.exe installed with this sfxpack\n"
    "  -t, --title TITLE     the product title, in UTF-8; at most 40 bytes once stored\n"
    "                        in the code page, without control characters\n"
    "  -o, --output OUTPUT   the installer to write; it must not be one of the inputs\n"
    "      --codepage CP     the Windows code page the title is stored in (default 1252)\n"
    "      --raw-stub        take the stub as it is: its length is its size, sealed or not\n"
    "  -h, --help            show this help and exit\n"
    "\n"
    "Each file must be a regular file that holds the bytes its size says. A warning\n"
    "says when the first file is no program the stub can start: no Windows program,\n"
    "or one for another machine than a 32-bit stub's.\n"
    "No file, and no installer as a whole, may reach 2 GiB (2147483648 bytes). The\n"
    "output is written beside OUTPUT under a temporary name and renamed when complete,\n"
    "so it is never left half-written; the same inputs always give the same bytes.\n"
    "The installer's PE header gets the file's own checksum, whatever the stub's said.\n"
    "A signed stub goes in without its signature (certificate table and the PE header's\n"
    "entry for it), and a note says so: sign the installer after building it.\n";

// The part of the stub that goes into an installer, and the header entry naming its
// certificate table when it is signed.
struct StubPart {
    int64_t length = 0;
    int64_t securityEntry = -1; // file offset of the entry to clear; -1 when unsigned
    int64_t digestSeal = -1;    // file offset of a seal that can carry the digest; else -1
    int64_t checksumField = -1; // file offset of the PE header's checksum; -1 without one
};

// The stub's seal must record the stub's own size, or the payload would be looked for
// at the wrong offset. A signed stub's own size is its size before signing: without the
// certificate table and without the zeros that aligned it.
CommandResult CheckSealed(const std::string& stub, CFileStream& file, const PayloadBounds& bounds,
                          StubPart& part) {
    std::string systemPath;
    SealScan scan;
    SealStatus status =
        ToSystemPath(stub, systemPath) ? CheckStubSeal(systemPath.c_str(), scan) : SealStatus::IoError;
    const int32_t stored = scan.storedLength;
    switch (status) {
    case SealStatus::Sealed:
        if (stored == bounds.end || (stored < bounds.end && IsSigningPadding(file, bounds, stored))) {
            part.length = stored;
            part.digestSeal = scan.CanCarryDigest() ? scan.offset : -1;
            return Succeed();
        }
        return Fail(ExitBadInput,
                    "%s: the stub is not sealed: its seal says %ld bytes but the file has %lld%s "
                    "(run 'sfxpack seal' on it after linking, or give --raw-stub)",
                    stub.c_str(), static_cast<long>(stored), static_cast<long long>(bounds.end),
                    bounds.signature == Signature::AtEnd ? " before its certificate table" : "");
    case SealStatus::NoMarker:
        return Fail(ExitBadInput,
                    "%s: no seal found, so this is no stub of ours (give --raw-stub to use it as it is)",
                    stub.c_str());
    case SealStatus::SeveralMarkers:
        return Fail(ExitBadInput, "%s: more than one seal marker; refusing to guess which is the stub's",
                    stub.c_str());
    case SealStatus::IoError:
        break;
    }
    return Fail(ExitIoError, "%s: cannot read the stub", stub.c_str());
}

// A signature is made over the whole installer once it is built, so a signed stub loses
// its own: the certificate table goes, and the header entry naming it is cleared.
CommandResult MeasureStub(const BuildRequest& request, CFileStream& stub, StubPart& part, bool& wasSigned) {
    const PayloadBounds bounds = FindPayloadBounds(stub);
    if (bounds.signature == Signature::Misplaced) {
        return Fail(ExitBadInput,
                    "%s: the PE header names a certificate table at %lld that is no well-formed table ending "
                    "the file; "
                    "is this a stub?",
                    request.stub.c_str(), static_cast<long long>(bounds.tableOffset));
    }
    wasSigned = bounds.signature == Signature::AtEnd;
    part.length = bounds.end;
    part.securityEntry = wasSigned ? bounds.directoryOffset : -1;
    part.checksumField = FindChecksumField(stub);
    return request.rawStub ? Succeed() : CheckSealed(request.stub, stub, bounds, part);
}

// The file reads exactly as many bytes as its size says. Files that the system makes up
// as they are read do not: /proc's say 0 and hold text, /sys's say 4096 and hold less.
bool HoldsItsSize(CFileStream& file, int64_t size) {
    unsigned char probe[2];
    return size == 0 ? file.Read(probe, 1) == 0 : file.Seek(size - 1) && file.Read(probe, 2) == 1;
}

// Opens an input and takes its size; refuses what is no regular file, files too large
// for an entry, and files whose size is not what they hold.
CommandResult OpenInput(const std::string& path, CFileStream& file, FileInfo& info) {
    // Checked before opening: a pipe would keep the open waiting for a writer.
    if (GetPathInfo(path, info) && (info.isDirectory || info.isSpecial)) {
        return Fail(ExitBadInput, "%s: is %s; an entry is made of a regular file", path.c_str(),
                    info.isDirectory ? "a directory" : "not a regular file");
    }
    if (!OpenFile(file, path, CFileStream::modeRead) || !file.GetInfo(info)) {
        return Fail(ExitIoError, "%s: %s", path.c_str(), GetSystemErrorText().c_str());
    }
    if (info.size > INT32_MAX) {
        return Fail(ExitBadInput, "%s: the file is %lld bytes; an entry holds at most %ld", path.c_str(),
                    static_cast<long long>(info.size), static_cast<long>(INT32_MAX));
    }
    if (!HoldsItsSize(file, info.size)) {
        return Fail(ExitBadInput, "%s: does not hold the %lld bytes its size says; copy it to a file first",
                    path.c_str(), static_cast<long long>(info.size));
    }
    return Succeed();
}

// The inputs, opened and measured before anything is written.
struct BuildInputs {
    CFileStream stub;
    FileInfo stubInfo;
    StubPart stubPart;
    CFileStream files[PayloadEntryCount];
    FileInfo fileInfo[PayloadEntryCount];
    int64_t length = 0; // of the installer
};

CommandResult OpenInputs(const BuildRequest& request, BuildInputs& inputs, bool& stubWasSigned) {
    CommandResult result = OpenInput(request.stub, inputs.stub, inputs.stubInfo);
    if (!result.Failed()) {
        result = MeasureStub(request, inputs.stub, inputs.stubPart, stubWasSigned);
    }
    for (size_t k = 0; k < request.files.size() && !result.Failed(); ++k) {
        result = OpenInput(request.files[k], inputs.files[k], inputs.fileInfo[k]);
    }
    if (result.Failed()) {
        return result;
    }
    int64_t sizes[PayloadEntryCount];
    for (size_t k = 0; k < request.files.size(); ++k) {
        sizes[k] = inputs.fileInfo[k].size;
    }
    const int64_t total = inputs.length =
        inputs.stubPart.length +
        CPayloadWriter::MeasurePayload(sizes, static_cast<int>(request.files.size()));
    if (total > INT32_MAX) {
        return Fail(ExitBadInput, "the installer would be %lld bytes; the stub reads at most %ld",
                    static_cast<long long>(total), static_cast<long>(INT32_MAX));
    }
    return Succeed();
}

// An existing output must not be one of the inputs: it would be emptied before being read.
CommandResult CheckOutput(const BuildRequest& request, const BuildInputs& inputs) {
    FileInfo output;
    if (!GetPathInfo(request.output, output)) {
        return Succeed();
    }
    if (output.isDirectory) {
        return Fail(ExitIoError, "%s: is a directory", request.output.c_str());
    }
    // The finished installer is renamed into place, which would replace a device such
    // as /dev/null with a file.
    if (output.isSpecial) {
        return Fail(ExitIoError, "%s: is not a regular file; the installer needs a file name of its own",
                    request.output.c_str());
    }
    bool clash = IsSameFile(output, inputs.stubInfo);
    for (size_t k = 0; k < request.files.size(); ++k) {
        clash = clash || IsSameFile(output, inputs.fileInfo[k]);
    }
    if (clash) {
        return FailUsage("build", "the output %s is one of the inputs; refusing to overwrite it",
                         request.output.c_str());
    }
    return Succeed();
}

// What the stub would meet when it starts the first file: something Windows cannot start,
// or a program that 32-bit Windows cannot start packed into the 32-bit stub. Packed all
// the same, since a test build may want that; empty when there is nothing to say.
std::string CheckSetupProgram(const BuildRequest& request, BuildInputs& inputs) {
    const uint32_t machine = ReadProgramMachine(inputs.files[0]);
    if (machine == 0) {
        return request.files[0] + ": not a Windows program (no PE header, or a DLL), yet the installer will "
                                  "try to start it as Setup.exe";
    }
    if (machine != MachineI386 && ReadProgramMachine(inputs.stub) == MachineI386) {
        return FormatText(
            "%s: a program for machine 0x%X packed into a 32-bit stub: 32-bit Windows cannot start it",
            request.files[0].c_str(), static_cast<unsigned>(machine));
    }
    return std::string();
}

// How a build failed: the input that no longer reads as it was measured, if one does
// not, since it rather than the output is then to blame; or the output, unreadable.
struct WriteFailure {
    std::string input;
    bool readBack = false;
};

// Copies an input into the installer; false, naming it in failure when it does not read
// as it was measured.
bool CopyInput(CTrailingDigest& digest, CFileStream& input, const std::string& path, int64_t length,
               WriteFailure& failure) {
    if (digest.CopyRange(input, 0, length)) {
        return true;
    }
    failure.input = HoldsItsSize(input, length) ? "" : path;
    return false;
}

// Writes count bytes over bytes of output that are in sum, which stays the sum of the
// file: the bytes replaced are read back as the digest read them.
bool PatchSummed(CFileStream& output, CFileStream& reader, int64_t offset, const unsigned char* now,
                 size_t count, CWordSum& sum) {
    unsigned char was[8];
    if (!output.Flush() || reader.ReadAtOffset(offset, was, count) != count || !output.Seek(offset) ||
        !output.Write(now, count)) {
        return false;
    }
    sum.Replace(offset, was, now, count);
    return true;
}

// What only the whole installer tells, written over its stub: a signed stub's security
// entry cleared, the payload's CRC-32 in the seal, and last the checksum of the file,
// the field itself counted as zero.
bool FinishHeader(CFileStream& output, const StubPart& part, uint32_t crc, CWordSum& sum) {
    CFileStream reader;
    if (!output.OpenReader(reader)) {
        return false;
    }
    const unsigned char cleared[8] = {};
    unsigned char seal[8];
    StoreLittleEndian(SealHasCrc32, seal);
    StoreLittleEndian(crc, seal + 4);
    unsigned char checksum[4];
    if ((part.securityEntry >= 0 && !PatchSummed(output, reader, part.securityEntry, cleared, 8, sum)) ||
        (part.digestSeal >= 0 &&
         !PatchSummed(output, reader, part.digestSeal + SealDigestOffset, seal, 8, sum))) {
        return false;
    }
    if (part.checksumField < 0) {
        return true;
    }
    if (!PatchSummed(output, reader, part.checksumField, cleared, 4, sum)) {
        return false;
    }
    StoreLittleEndian(FinishPeChecksum(sum), checksum);
    return output.Seek(part.checksumField) && output.Write(checksum, 4);
}

// Writes the whole installer: the stub, the title field and the entries, digested on the
// way: the CRC-32 of all after the stub where the seal can carry it, the word sum of all
// where the stub has a PE header.
bool WriteInstaller(const BuildRequest& request, BuildInputs& inputs, const std::string& titleField,
                    CFileStream& output, WriteFailure& failure) {
    const StubPart& part = inputs.stubPart;
    CTrailingDigest digest(output, part.digestSeal >= 0 ? part.length : -1, part.checksumField >= 0,
                           inputs.length);
    if (!CopyInput(digest, inputs.stub, request.stub, part.length, failure)) {
        return false;
    }
    CPayloadWriter writer(output);
    if (!writer.WriteTitle(titleField.data())) {
        return false;
    }
    for (size_t k = 0; k < request.files.size(); ++k) {
        const int32_t length = static_cast<int32_t>(inputs.fileInfo[k].size);
        if (!writer.WriteEntryLength(length) ||
            !CopyInput(digest, inputs.files[k], request.files[k], length, failure)) {
            return false;
        }
    }
    uint32_t crc = 0;
    CWordSum sum;
    if (!writer.Finish()) {
        return false;
    }
    failure.readBack = !digest.Finish(crc, sum);
    return !failure.readBack && FinishHeader(output, part, crc, sum) &&
           output.SetPermissions(inputs.stubInfo.mode & 0777);
}

// The stub installed with this sfxpack, from its own folder through the install
// directories' relative path, as a user would write it ("bin/../share" is "share").
std::string FindInstalledStub() {
    const CString self = GetModulePath();
    std::string folder(self.GetString(), static_cast<size_t>(self.GetLength()));
    folder.erase(folder.find_last_of("/" SFX_PATH_SEPARATOR) + 1);
    std::string relative = SFXPACK_INSTALLED_STUB;
    while (relative.compare(0, 3, "../") == 0 && folder.size() > 1) {
        folder.erase(folder.find_last_of("/" SFX_PATH_SEPARATOR, folder.size() - 2) + 1);
        relative.erase(0, 3);
    }
    return folder + relative;
}

} // namespace

CommandResult BuildInstallerFile(const BuildRequest& request, std::string* note, std::string* warning) {
    std::string titleField;
    CommandResult result = EncodeTitle(request.title, request.codePage, titleField);
    BuildInputs inputs;
    bool stubWasSigned = false;
    if (!result.Failed()) {
        result = OpenInputs(request, inputs, stubWasSigned);
    }
    if (note != nullptr && stubWasSigned) {
        *note = request.stub + ": the stub's signature is left out; sign the installer once it is built";
    }
    if (!result.Failed()) {
        result = CheckOutput(request, inputs);
    }
    if (result.Failed()) {
        return result;
    }
    if (warning != nullptr) {
        *warning = CheckSetupProgram(request, inputs);
    }

    CFileStream output;
    std::string temporary;
    if (!CreateBeside(request.output, temporary, [&output](const std::string& path) {
            return OpenFile(output, path, CFileStream::modeCreateNew);
        })) {
        return Fail(ExitIoError, "%s: cannot create a file beside it: %s", request.output.c_str(),
                    GetSystemErrorText().c_str());
    }
    WriteFailure failure;
    bool written = WriteInstaller(request, inputs, titleField, output, failure);
    std::string error = GetSystemErrorText();
    bool closed = output.Close();
    if (written && closed && RenameReplacing(temporary, request.output)) {
        return Succeed();
    }
    if (written && closed) {
        error = GetSystemErrorText();
    }
    RemoveFile(temporary);
    if (!failure.input.empty()) {
        return Fail(ExitIoError, "%s: could not be read to its end; was it changed while it was packed?",
                    failure.input.c_str());
    }
    if (failure.readBack) {
        return Fail(ExitIoError,
                    "%s: the installer could not be read back for its digest; was it changed while it was "
                    "written?",
                    request.output.c_str());
    }
    return Fail(ExitIoError, "%s: cannot write the installer: %s", request.output.c_str(), error.c_str());
}

CommandResult RunBuild(const Arguments& args) {
    CArgumentScanner scanner("build", args);
    BuildRequest request;
    bool titleGiven = false;
    long long codePage = DefaultCodePage;
    while (scanner.Next()) {
        if (scanner.IsFlag("--help", "-h")) {
            return ShowHelp(BuildUsage);
        }
        if (scanner.IsOperand()) {
            request.files.push_back(scanner.Current());
        } else if (scanner.IsFlag("--raw-stub")) {
            request.rawStub = true;
        } else if (scanner.TakeValue("--title", "-t", request.title)) {
            titleGiven = true;
        } else if (!scanner.TakeValue("--stub", "-s", request.stub) &&
                   !scanner.TakeValue("--output", "-o", request.output) &&
                   !scanner.TakeNumber("--codepage", 1, 65535, "a Windows code page number", codePage)) {
            return scanner.Unexpected();
        }
    }
    if (scanner.Error().Failed()) {
        return scanner.Error();
    }
    if (!titleGiven || request.output.empty()) {
        return FailUsage("build", "%s required",
                         !titleGiven && request.output.empty() ? "--title and --output are"
                         : !titleGiven                         ? "--title is"
                                                               : "--output is");
    }
    if (request.stub.empty()) {
        request.stub = FindInstalledStub();
        FileInfo info;
        if (!GetPathInfo(request.stub, info)) {
            return FailUsage("build", "--stub is required: no stub is installed with this sfxpack (%s)",
                             request.stub.c_str());
        }
        fprintf(stderr, "sfxpack: note: no --stub given: using the installed %s\n", request.stub.c_str());
    }
    if (request.files.empty() || request.files.size() > static_cast<size_t>(PayloadEntryCount)) {
        return FailUsage("build", "give one to %d files, not %zu", PayloadEntryCount, request.files.size());
    }
    request.codePage = static_cast<unsigned>(codePage);
    std::string note;
    std::string warning;
    CommandResult result = BuildInstallerFile(request, &note, &warning);
    if (!result.Failed() && !note.empty()) {
        fprintf(stderr, "sfxpack: note: %s\n", note.c_str());
    }
    if (!result.Failed() && !warning.empty()) {
        fprintf(stderr, "sfxpack: warning: %s\n", warning.c_str());
    }
    return result;
}
