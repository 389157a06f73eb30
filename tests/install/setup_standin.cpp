// tests/install/setup_standin.cpp: stands in for the setup program an installer carries,
// in the install and the window tests. Each run appends to the file SFX_STANDIN_RECORD
// names how it was started and the files it found beside it. It may try to load a DLL
// by its bare name (SFX_STANDIN_LOAD), wait until the file SFX_STANDIN_WAIT names exists,
// and leave a file behind in its directory the way setup programs do (SFX_STANDIN_LEAVE);
// it exits with the status SFX_STANDIN_STATUS gives. Plain C library and system calls
// keep it small: the installers under test carry it, and Wine unpacks them slowly.
#include <stdio.h>
#include <stdlib.h>

#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// Files up to this size are written down whole.
constexpr long ContentShown = 64;

std::string FileNote(const std::string& name) {
    std::string note = name + ":";
    FILE* file = fopen(name.c_str(), "rb");
    if (file == nullptr) {
        return note;
    }
    char content[ContentShown + 1];
    size_t got = fread(content, 1, sizeof content, file);
    fseek(file, 0, SEEK_END);
    long size = ftell(file);
    fclose(file);
    return note + (size > ContentShown ? std::to_string(size) + " bytes" : std::string(content, got));
}

#ifdef _WIN32
std::string Utf8(const wchar_t* wide) {
    char text[4 * MAX_PATH];
    int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    return length > 0 ? std::string(text, length - 1) : std::string();
}

// The long form of a path the installer may have handed over by its short names.
std::string LongPath(const wchar_t* path) {
    wchar_t longPath[MAX_PATH];
    DWORD length = GetLongPathNameW(path, longPath, MAX_PATH);
    return length > 0 && length < MAX_PATH ? Utf8(longPath) : Utf8(path);
}

std::string Directory() {
    wchar_t directory[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, directory);
    return LongPath(directory);
}

std::string Variable(const wchar_t* name) {
    const wchar_t* value = _wgetenv(name);
    return value != nullptr ? LongPath(value) : "";
}

std::string FileNotes() {
    std::string notes;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("*", &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found)) {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            notes += "file=" + FileNote(found.cFileName) + "\n";
        }
    }
    FindClose(search);
    return notes;
}

void Pause() { Sleep(20); }
#else
std::string Directory() {
    char directory[PATH_MAX];
    return getcwd(directory, sizeof directory) != nullptr ? directory : "";
}

std::string Variable(const char* name) {
    const char* value = getenv(name);
    return value != nullptr ? value : "";
}

std::string FileNotes() {
    std::string notes;
    DIR* directory = opendir(".");
    for (dirent* entry = directory != nullptr ? readdir(directory) : nullptr; entry != nullptr;
         entry = readdir(directory)) {
        struct stat info;
        if (stat(entry->d_name, &info) == 0 && S_ISREG(info.st_mode)) {
            notes += "file=" + FileNote(entry->d_name) + "\n";
        }
    }
    if (directory != nullptr) {
        closedir(directory);
    }
    return notes;
}

void Pause() { usleep(20000); }
#endif

bool Exists(const char* path) {
    FILE* file = fopen(path, "rb");
    if (file != nullptr) {
        fclose(file);
    }
    return file != nullptr;
}

} // namespace

int main(int argc, char** argv) {
    const char* recordPath = getenv("SFX_STANDIN_RECORD");
    if (recordPath == nullptr) {
        return 1;
    }
    std::string record;
#ifdef _WIN32
    record += "commandline=" + std::string(GetCommandLineA()) + "\n";
    record += "directory=" + Directory() + "\n";
    record += "temp=" + Variable(L"TEMP") + "\n";
    record += "tmp=" + Variable(L"TMP") + "\n";
    if (const char* dll = getenv("SFX_STANDIN_LOAD")) {
        LoadLibraryA(dll);
    }
#else
    record += "directory=" + Directory() + "\n";
    record += "temp=" + Variable("TEMP") + "\n";
    record += "tmp=" + Variable("TMP") + "\n";
#endif
    for (int i = 0; i < argc; ++i) {
        record += "argument=" + std::string(argv[i]) + "\n";
    }
    record += FileNotes();
    if (const char* leave = getenv("SFX_STANDIN_LEAVE")) {
        FILE* left = fopen(leave, "wb");
        if (left != nullptr) {
            fclose(left);
            record += "left=" + std::string(leave) + "\n";
        }
    }
    FILE* out = fopen(recordPath, "ab");
    if (out == nullptr) {
        return 1;
    }
    fwrite(record.data(), 1, record.size(), out);
    fclose(out);

    const char* wait = getenv("SFX_STANDIN_WAIT");
    for (int waited = 0; wait != nullptr && waited < 60000 && !Exists(wait); waited += 20) {
        Pause();
    }
    const char* status = getenv("SFX_STANDIN_STATUS");
    return status != nullptr ? static_cast<int>(strtoul(status, nullptr, 10)) : 0;
}
