#pragma once
#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QString>
#include <QStringList>
#include <QWidget>

namespace gathra::test {

// Names of the top-level windows still alive once deferred deletions have run. Tests call it in
// their clean-up: every window a test opens must be gone when it ends.
inline QStringList LeakedTopLevelWindows() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    QStringList names;
    for (QWidget* w : QApplication::topLevelWidgets())
        names << (w->objectName().isEmpty() ? QString(w->metaObject()->className())
                                            : w->objectName());
    return names;
}

} // namespace gathra::test
