// engine/payload.h: the installer file as the stub reads it. The stub program is
// followed directly by a 40-byte title field and up to seven entries, each a 10-byte
// length field and that many bytes of data.
#pragma once

#include <stdint.h>

#include "platform/cstring.h"
#include "platform/file.h"
#include "platform/system.h"
#include "platform/wnd.h"

// --- Layout -----------------------------------------------------------------------

// Length of the stub program file, and so the offset of the payload. The build stores
// the linked file's real length here (engine/seal.h).
extern const volatile int32_t& StubLength;

constexpr int TitleFieldLength = 40;
constexpr int LengthFieldDigits = 10;
constexpr int PayloadEntryCount = 7;
// Entries 1 to 6 are always present; entry 7 only when bytes follow entry 6.
constexpr int RequiredEntryCount = 6;
constexpr int CopyBlockSize = 1024;

// The names the entries are written under, in payload order, each with its separator.
extern const char* const PayloadEntryTable[PayloadEntryCount];

// A length field stores each decimal digit d as the byte d + 10, most significant first.
// Decoding accepts any byte and wraps like 32-bit arithmetic, as the stub always has;
// encoding takes 0 to 2^31 - 1.
int32_t DecodeEntryLength(const unsigned char field[LengthFieldDigits]);
void EncodeEntryLength(int32_t length, unsigned char field[LengthFieldDigits]);

int32_t IntPower(int32_t base, int32_t exponent);

// --- Where the payload ends -------------------------------------------------------

// An Authenticode signature: a certificate table at the end of the file, named by the
// security entry of the PE header's data directories (a file offset, not an address).
// The signing tool first pads the file with zeros to a multiple of eight.
// A security entry of zeros (or no PE header, or no security entry) means unsigned; any
// other claims a signature, which only a well-formed table that ends the file can keep.
enum class Signature {
    None,      // unsigned: no PE header, no security entry, or one of zeros
    AtEnd,     // a WIN_CERTIFICATE table of PKCS#7 signed data that ends the file exactly
    Misplaced, // a signature claimed, but no such table ends the file: damage
};

struct PayloadBounds {
    int64_t fileLength = 0;
    // Where the payload ends: the certificate table's offset when the file is signed,
    // else the file's length.
    int64_t end = 0;
    Signature signature = Signature::None;
    int64_t tableOffset = 0; // the table the header names (AtEnd or Misplaced)
    int64_t tableSize = 0;
    int64_t directoryOffset = 0; // of the header's security entry, for tools that remove it
};

// A little-endian number of one to four bytes, as PE headers and the seal store them.
// Each file gets a copy of its own, fitted to its calls: 60 bytes less in the stub.
static inline uint32_t ReadLittleEndian(const unsigned char* bytes, int count) {
    uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = value << 8 | bytes[i];
    }
    return value;
}

// Reads the PE header of an open file, each field checked against the file's length,
// and the header of the certificate table it names.
PayloadBounds FindPayloadBounds(CFileStream& file);

// Fewer than eight zero bytes from position right up to a certificate table: the signing
// tool's alignment, not payload.
bool IsSigningPadding(CFileStream& file, const PayloadBounds& bounds, int64_t position);

// --- Walking the payload -----------------------------------------------------------

// One entry as the payload holds it.
struct PayloadEntry {
    int index = 0;                               // into PayloadEntryTable
    unsigned char field[LengthFieldDigits] = {}; // the length field as stored
    int32_t declared = 0;                        // its value, decoded leniently
    int64_t offset = 0;                          // of the data, right after the field
    int64_t available = 0; // data bytes before the payload's end: declared (0 when that is
                           // negative) unless the file is cut short
};

enum class WalkEnd {
    Walking,
    Complete, // entry 6 ended with nothing but padding after it, or entry 7 was read
    FieldCut, // the payload ends inside (or before) a length field
    EntryCut, // the payload ends inside an entry's data
};

// Walks the length fields of an installer's payload the way the stub reads it, up to
// the payload's end; it never reads entry data. Entries 1 to 6 are always there; entry
// 7 only when bytes other than signing padding follow entry 6; nothing after entry 7.
// The walk seeks the stream itself, so a reader of entry data seeks to entry.offset.
class CPayloadWalk {
  public:
    CPayloadWalk(CFileStream& file, int32_t stubLength);

    const PayloadBounds& GetBounds() const { return m_bounds; }
    // The file holds at least one byte after the title field besides signing padding,
    // and the whole payload lies within the signed 32-bit positions the stub uses.
    bool HasPayload();
    // The next entry; false when the walk is over (see GetEnd). An entry whose data is
    // cut short is the last one.
    bool Next(PayloadEntry& entry);
    WalkEnd GetEnd() const { return m_end; }
    // Where the walk stands: after the last length field and the data it declares.
    int64_t GetPosition() const { return m_position; }

  private:
    CFileStream& m_file; // borrowed
    PayloadBounds m_bounds;
    int32_t m_stubLength;
    int64_t m_position;
    int m_index = 0;
    WalkEnd m_end = WalkEnd::Walking;
};

// --- Reading the program file ------------------------------------------------------

// The installer cannot go on after the last two.
enum class ProgramFileResult {
    Opened,
    NotOpened, // gone, or unreadable
    Unnamed,   // its name has no form the 8-bit file functions take
    InUse,     // another program holds it, and still did after a wait of about two seconds
};

// Opens the program file for reading: the module file the loader ran, never what the
// command line names, under its ANSI name (GetAnsiPath), so that a folder named in any
// language is found. Shared for reading only: while the stream is open, nobody can
// write, replace or delete the file, so what was checked is what is read.
ProgramFileResult OpenProgramFile(CFileStream& stream);

// Length of an open file; the stream's position is kept.
int32_t GetStreamLength(CFileStream& stream);

// Reads the 40 title bytes at the current position; bytes beyond the end of the file
// count as blanks. Nothing is trimmed.
CString ReadTitleField(CFileStream& stream);

// The title of an open installer file, or "NO INSTALL DATA FOUND" when the file is
// exactly as long as its stub.
CString ReadInstallTitle(CFileStream& stream, int32_t stubLength);
// The title for the main dialog; "UNKNOWN" when the program file is not open.
CString GetInstallTitle(CFileStream& program);

// The value of an environment variable such as "TEMP"; empty when it is not set.
CString GetEnvironmentText(const char* name);

// --- Extraction --------------------------------------------------------------------

enum class ExtractResult {
    Complete,    // every declared entry was read and written whole
    NoPayload,   // the file is too short to hold a payload
    Truncated,   // the file ends inside the payload, or a read of it fell short
    WriteFailed, // an entry could not be created new (its name taken) or written completely
};

// Where the extraction reports its progress: the installer's progress bar, or a tool's.
class CExtractProgress {
  public:
    virtual ~CExtractProgress() = default;
    // The copying begins; positions from now on are percentages 0 to 100.
    virtual void OnBegin() = 0;
    // After every copied block, and once more with 100 at the end.
    virtual void OnPosition(int percent) = 0;
    // The copying is over.
    virtual void OnEnd() = 0;
};

// Drives the installer dialog's progress bar, and swaps it for the status text at the end.
class CWindowProgress : public CExtractProgress {
  public:
    CWindowProgress(CWnd& progress, CWnd& status) : m_progress(progress), m_status(status) {}
    void OnBegin() override;
    void OnPosition(int percent) override;
    void OnEnd() override;

  private:
    CWnd& m_progress; // borrowed
    CWnd& m_status;   // borrowed
};

// The percentage shown after a block: the read position against the file length, which
// is first rounded to single precision, the quotient taken in double precision.
int ProgressPercent(int32_t position, int32_t fileLength);

// Copies the payload of an open installer file into targetDirectory, each entry created
// new under targetDirectory + its PayloadEntryTable name. Writes only bytes that were
// read; no output exceeds its declared length; a read that falls short ends the copy. With setupHold, the
// first entry, the setup program, stays open there from its writing on (CFileStream::CloseAndHold), and only
// while it holds exactly the entry's bytes: closed, it was changed by someone else.
ExtractResult ExtractPayloadFrom(CFileStream& program, int32_t stubLength, const CString& targetDirectory,
                                 CExtractProgress& progress, CFileStream* setupHold = nullptr);

// The installer's own extraction: the program file into targetDirectory, progress on
// the dialog's bar, which is hidden at the end in favour of the status text; the setup
// program held in setupHold.
ExtractResult ExtractPayload(CFileStream& program, CWnd& progress, CWnd& status,
                             const CString& targetDirectory, CFileStream& setupHold);

// Judges a signed program file before anything is written: first its structure (a
// well-formed table that ends the file), then the system, on the same open handle.
SignatureCheck CheckSignature(CFileStream& program);
