// ui/about_dlg.cpp: the About box and its size line.
#include "ui/about_dlg.h"

#include "engine/program_file.h"
#include "ui/resource.h"

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {
    // Only the length is read, so how the file is opened does not change it.
    CFileStream file;
    if (OpenProgramFile(file) != ProgramFileResult::Opened) {
        m_strSize = "NO EXE FOUND!";
        return;
    }
    // Plain decimal digits: the length is a 32-bit value.
    m_strSize = DecimalText(static_cast<uint32_t>(GetStreamLength(file)));
}

void CAboutDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_SIZE, m_strSize);
}
