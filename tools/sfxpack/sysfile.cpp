// tools/sfxpack/sysfile.cpp: the parts of sfxpack's calls on paths that are the same on
// every system.
#include "tools/sfxpack/sysfile.h"

#include "platform/process.h"

bool OpenFile(CFileStream& file, const std::string& path, CFileStream::OpenMode mode) {
    std::string systemPath;
    return ToSystemPath(path, systemPath) && file.Open(systemPath.c_str(), mode);
}

bool RemoveFile(const std::string& path) {
    std::string systemPath;
    return ToSystemPath(path, systemPath) && DeleteFileA(systemPath.c_str()) != FALSE;
}

bool RemoveEmptyDirectory(const std::string& path) {
    std::string systemPath;
    return ToSystemPath(path, systemPath) && RemoveDirectoryA(systemPath.c_str()) != FALSE;
}

bool GetPathInfo(const std::string& path, FileInfo& info) {
    std::string systemPath;
    return ToSystemPath(path, systemPath) && CFileStream::GetInfo(systemPath.c_str(), info);
}

std::string JoinPath(const std::string& directory, const std::string& name) {
    if (directory.empty() || directory.back() == '/' || directory.back() == '\\') {
        return directory + name;
    }
    return directory + "/" + name;
}

bool IsSameFile(const FileInfo& a, const FileInfo& b) { return a.device == b.device && a.index == b.index; }

bool CFileView::Map(const CFileStream& file, int64_t offset, size_t length) {
    Unmap();
    const int64_t skip = offset % FileViewAlignment;
    if (offset < 0 || length == 0 || file.GetLength() - offset < static_cast<int64_t>(length)) {
        return false;
    }
    m_mapped = static_cast<size_t>(skip) + length;
    m_base = MapFileView(file, offset - skip, m_mapped);
    m_data = m_base != nullptr ? static_cast<const unsigned char*>(m_base) + skip : nullptr;
    return m_base != nullptr;
}

void CFileView::Unmap() {
    if (m_base != nullptr) {
        UnmapFileView(m_base, m_mapped);
    }
    m_base = nullptr;
    m_data = nullptr;
}
