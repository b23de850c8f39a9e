#include "MainUnit.h"
#include "PatchwrenApplication.h"

int main(int argc, char** argv)
{
    PatchwrenApplication app(argc, argv);
    TMainForm form;  // the first window: the main window, with its own task bar button
    form.show();
    return app.exec();
}
