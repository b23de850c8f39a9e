#include "MainUnit.h"
#include "PatchwrenApplication.h"

int main(int argc, char** argv)
{
    PatchwrenApplication app(argc, argv);
    TMainForm form;
    form.show();
    return app.exec();
}
