// platform/system/cstring.cpp: storage of CString. Texts here are short (a title, a path), so
// every change simply allocates the exact size.
#include "platform/system/cstring.h"

#include <stdlib.h>
#include <string.h>

namespace {

// A program that cannot allocate a path has nothing sensible left to do.
char* AllocateText(int length) {
    char* data = static_cast<char*>(malloc(static_cast<size_t>(length) + 1));
    if (data == nullptr) {
        abort();
    }
    return data;
}

} // namespace

CString::CString() = default;

CString::CString(const char* text) { Assign(text, text != nullptr ? static_cast<int>(strlen(text)) : 0); }

CString::CString(const char* text, int length) { Assign(text, length); }

CString::CString(const CString& other) { Assign(other.m_data, other.m_length); }

CString::CString(CString&& other) noexcept : m_data(other.m_data), m_length(other.m_length) {
    other.m_data = nullptr;
    other.m_length = 0;
}

CString& CString::operator=(const CString& other) {
    if (this != &other) {
        CString copy(other);
        *this = static_cast<CString&&>(copy);
    }
    return *this;
}

CString& CString::operator=(CString&& other) noexcept {
    if (this != &other) {
        free(m_data);
        m_data = other.m_data;
        m_length = other.m_length;
        other.m_data = nullptr;
        other.m_length = 0;
    }
    return *this;
}

CString::~CString() { free(m_data); }

CString CString::Left(int count) const {
    if (count < 0) {
        count = 0;
    }
    return CString(m_data, count < m_length ? count : m_length);
}

CString& CString::operator+=(const CString& other) {
    Append(other.m_data, other.m_length);
    return *this;
}

CString operator+(const CString& left, const CString& right) {
    CString result(left);
    result += right;
    return result;
}

bool CString::operator==(const CString& other) const {
    return m_length == other.m_length && (m_length == 0 || memcmp(m_data, other.m_data, m_length) == 0);
}

void CString::Assign(const char* text, int length) {
    m_data = nullptr;
    m_length = 0;
    Append(text, length);
}

void CString::Append(const char* text, int length) {
    if (length <= 0) {
        return;
    }
    char* data = AllocateText(m_length + length);
    if (m_length > 0) {
        memcpy(data, m_data, m_length);
    }
    memcpy(data + m_length, text, length);
    data[m_length + length] = '\0';
    free(m_data);
    m_data = data;
    m_length += length;
}

CString DecimalText(uint32_t value) {
    char digits[10];
    char* first = digits + sizeof digits;
    do {
        *--first = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    return CString(first, static_cast<int>(digits + sizeof digits - first));
}
