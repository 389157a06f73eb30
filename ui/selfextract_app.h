// ui/selfextract_app.h: the installer's application object. Its whole user interface is
// one modal dialog; there is no main frame and no message loop of its own.
#pragma once

#include "platform/window/app.h"

class CSelfExtractApp : public CWinApp {
  public:
    CSelfExtractApp();

    // Opens the program file and runs the main dialog; always FALSE, so the program ends
    // when the dialog does.
    BOOL InitInstance() override;
};
