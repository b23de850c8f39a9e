#include "ErrorDisplay.h"
#include "FIBDBLoginDlg.h"  // registers the login dialog as the connections' login prompt
#include "MainUnit.h"
#include "PatchwrenApplication.h"

int main(int, char** argv)
{
    // The program reads no arguments: the application object sees only the program's name.
    int argc = 1;
    PatchwrenApplication app(argc, argv);
    try {
        TMainForm form;  // the first window: the main window, with its own task bar button
        form.show();
        return app.exec();
    } catch (...) {
        // Only the window's creation can get here; its handlers' exceptions are shown by app.
        ShowException(std::current_exception());
        return 1;
    }
}
