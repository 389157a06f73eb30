// platform/system/cstring.h: CString, the 8-bit text value used for titles and paths.
// It holds any bytes, a zero byte included; GetString() adds a terminating zero.
#pragma once

#include <stddef.h>
#include <stdint.h>

// windows.h renames LoadString to LoadStringA; the method must see the same rename.
#include "platform/wintypes.h"

class CString {
  public:
    // Constructors
    CString();
    CString(const char* text); // NOLINT: converts like a text literal
    CString(const char* text, int length);
    CString(const CString& other);
    CString(CString&& other) noexcept;
    CString& operator=(const CString& other);
    CString& operator=(CString&& other) noexcept;
    ~CString();

    // Attributes
    int GetLength() const { return m_length; }
    bool IsEmpty() const { return m_length == 0; }
    const char* GetString() const { return m_data != nullptr ? m_data : ""; }
    operator const char*() const { return GetString(); }
    char GetAt(int index) const { return m_data[index]; }
    void SetAt(int index, char ch) { m_data[index] = ch; }

    // Operations
    // Loads string resource nID of the program; false (and empty) when there is none.
    bool LoadString(unsigned nID);
    CString Left(int count) const;
    CString& operator+=(const CString& other);
    friend CString operator+(const CString& left, const CString& right);
    bool operator==(const CString& other) const;
    bool operator!=(const CString& other) const { return !(*this == other); }

  private:
    void Assign(const char* text, int length);
    void Append(const char* text, int length);

    char* m_data = nullptr; // owned, m_length bytes plus a terminating zero
    int m_length = 0;
};

// The decimal digits of value: no sign, no padding, no separators.
CString DecimalText(uint32_t value);
