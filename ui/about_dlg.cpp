// ui/about_dlg.cpp: the About box and its size line.
#include "ui/about_dlg.h"

#include "engine/payload.h"
#include "ui/resource.h"

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {
    // Only the length is read, so how the file is opened does not change it.
    CFileStream file;
    if (!OpenProgramFile(file)) {
        m_strSize = "NO EXE FOUND!";
        return;
    }
    // Plain decimal digits, at most ten: the length is a 32-bit value.
    uint32_t length = static_cast<uint32_t>(GetStreamLength(file));
    char digits[11];
    char* first = digits + sizeof digits;
    do {
        *--first = static_cast<char>('0' + length % 10);
        length /= 10;
    } while (length != 0);
    m_strSize = CString(first, static_cast<int>(digits + sizeof digits - first));
}

void CAboutDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_SIZE, m_strSize);
}
