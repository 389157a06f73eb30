// ui/about_dlg.cpp: the About box and its size line.
#include "ui/about_dlg.h"

#include "engine/program_file.h"
#include "ui/resource.h"

CAboutDlg::CAboutDlg(CFileStream& program) : CDialog(IDD_ABOUTBOX) {
    // Asked of the handle, never read through the stream, which the install's worker
    // may be reading at this moment.
    const int64_t length = program.IsOpen() ? program.GetLength() : -1;
    // Plain decimal digits: the length is a 32-bit value.
    m_strSize = length >= 0 ? DecimalText(static_cast<uint32_t>(length)) : CString("NO EXE FOUND!");
}

void CAboutDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_SIZE, m_strSize);
}
