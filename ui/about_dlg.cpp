// ui/about_dlg.cpp: the About box and its size line.
#include "ui/about_dlg.h"

#include "engine/program_file.h"
#include "ui/resource.h"

CAboutDlg::CAboutDlg(const ProgramFile& program, CWnd* pParent) : CDialog(IDD_ABOUTBOX, pParent) {
    // Measured when the file was opened: it is held, so nobody can have changed its
    // length since; the stream itself may be the install's worker's at this moment.
    // Plain decimal digits: the length is a 32-bit value.
    m_strSize = program.stream.IsOpen() ? DecimalText(static_cast<uint32_t>(program.bounds.fileLength))
                                        : CString("NO EXE FOUND!");
}

void CAboutDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_SIZE, m_strSize);
}
