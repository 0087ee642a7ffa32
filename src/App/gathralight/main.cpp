#include "Shell/ui/MDIFrame.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Gathra Light"));
    QApplication::setApplicationDisplayName(QStringLiteral("Gathra Light"));
    gathra::TMDIFrame frame;
    frame.show();
    return app.exec();
}
