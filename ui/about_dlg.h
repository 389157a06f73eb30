// ui/about_dlg.h: the About box: the self-extractor's name and version and the size of
// the program file, payload included, measured afresh each time the box opens.
#pragma once

#include "engine/program_file.h"
#include "platform/window/dialog.h"

class CAboutDlg : public CDialog {
  public:
    // program: the program file, open or not. pParent: the window it is modal over, which
    // it disables while it runs.
    CAboutDlg(const ProgramFile& program, CWnd* pParent);

  protected:
    void DoDataExchange(CDataExchange* pDX) override;

  private:
    CString m_strSize;
};
