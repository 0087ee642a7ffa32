#include "Shell/ui/MDIFrame.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    gathra::SetUpApplication();
    gathra::TMDIFrame frame;
    frame.show();
    return app.exec();
}
