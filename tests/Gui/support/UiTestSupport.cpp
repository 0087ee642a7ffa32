#include "Gui/support/UiTestSupport.h"

#include "Brief/BriefFile.h"
#include "Platform/Dialogs.h"
#include "Platform/Registry.h"
#include "Gui/SkeinForm.h"
#include "Gui/WebScrollBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <cstdlib>

namespace gathra::test {

std::string WriteBriefFile(const std::string& path, const std::vector<EntrySpec>& entries,
                           const std::string& briefName) {
    TBrief brief;
    brief.CreateNewBrief();
    brief.FileName = path;
    brief.BriefName = briefName;
    for (const EntrySpec& spec : entries) {
        TWebPage* entry = brief.WebList.AddEntry(spec.Search ? EntryKind::Search : EntryKind::Web);
        entry->EntryName = spec.Name;
        entry->NameSet = 1;
        entry->Address = spec.Address;
    }
    SilentDialogs silent;
    if (!SaveBriefs2(brief, silent)) return {};
    return path;
}

FrameHarness::FrameHarness(bool newUser) {
    setenv("GATHRA_CONFIG_DIR", config_.Path().c_str(), 1);
    // A user who has started the program before; a new user has no settings file at all.
    if (!newUser) Registry(Registry::DefaultFile()).WriteValue("Startup", "First Start", "No");
    Make();
}

FrameHarness::~FrameHarness() {
    frame_.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void FrameHarness::Make() {
    FrameOptions options;
    options.Splash = false;
    options.AdBar = false;
    options.BrowserPort = &BrowserCalls;
    options.ChooseFile = [this](const FileDialogRequest& request) {
        FileRequests.push_back(request);
        if (FileAnswers.empty()) return QString();
        QString answer = FileAnswers.front();
        FileAnswers.pop_front();
        return answer;
    };
    options.ChooseFiles = [this](const FileDialogRequest& request) {
        FileRequests.push_back(request);
        if (FileListAnswers.empty()) return QStringList();
        QStringList answer = FileListAnswers.front();
        FileListAnswers.pop_front();
        return answer;
    };
    frame_ = std::make_unique<TMDIFrame>(options);
    frame_->show();
    frame_->FirstActivation();
}

void FrameHarness::Restart() {
    frame_->close();
    frame_.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Make();
}

std::vector<QString>& SeenModalCaptions() {
    static std::vector<QString> seen;
    return seen;
}

std::vector<QString>& SeenModalTexts() {
    static std::vector<QString> seen;
    return seen;
}

void OnNextModal(std::function<void(QDialog*)> action, int patienceMs) {
    auto* timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, tries, action, patienceMs] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible()) {
            if (++*tries > patienceMs / 10) {
                timer->stop();
                timer->deleteLater();
            }
            return;
        }
        timer->stop();
        timer->deleteLater();
        SeenModalCaptions().push_back(dialog->windowTitle());
        QString texts;
        for (QLabel* label : dialog->findChildren<QLabel*>())
            texts += label->text() + "\n";
        SeenModalTexts().push_back(texts);
        action(dialog);
    });
    timer->start(10);
}

void ClickButtonNamed(QDialog* dialog, const QString& text) {
    for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>())
        if (button->text() == text) {
            button->click();
            return;
        }
}

void CloseByCloseBox(QDialog* dialog) {
    dialog->close();
}

int LeakedTopLevels() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    int count = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        // Qt keeps a few hidden helpers of its own (tool tips, drag labels).
        if (QString(w->metaObject()->className()).startsWith("QTip")) continue;
        ++count;
    }
    return count;
}

TBrief Reread(const std::string& path) {
    TBrief brief;
    brief.FileName = path;
    SilentDialogs silent;
    QTest::qVerify(ReadBriefs2(brief, silent), "ReadBriefs2(brief, silent)", "brief not readable",
                   __FILE__, __LINE__);
    return brief;
}

std::vector<std::string> Names(const TBrief& brief) {
    std::vector<std::string> names;
    for (int i = 0; i < brief.WebList.Count(); ++i)
        names.push_back(brief.WebList.Entry(i).EntryName);
    return names;
}

QPoint RowPoint(int row, int x) {
    return QPoint(x, row * 26 + 12);
}

Qt::DropAction DragOntoRow(TSkeinForm* target, const QMimeData& mime, int row,
                           Qt::DropActions actions, Qt::KeyboardModifiers modifiers) {
    QWidget* viewport = target->ScrollBox()->viewport();
    QDragEnterEvent enter(RowPoint(row), actions, &mime, Qt::LeftButton, modifiers);
    QCoreApplication::sendEvent(viewport, &enter);
    if (!QTest::qVerify(enter.isAccepted(), "enter.isAccepted()", "", __FILE__, __LINE__))
        return Qt::IgnoreAction;
    QDragMoveEvent move(RowPoint(row), actions, &mime, Qt::LeftButton, modifiers);
    QCoreApplication::sendEvent(viewport, &move);
    if (!QTest::qVerify(move.isAccepted(), "move.isAccepted()", "", __FILE__, __LINE__))
        return Qt::IgnoreAction;
    QDropEvent drop(QPointF(RowPoint(row)), actions, &mime, Qt::LeftButton, modifiers);
    QCoreApplication::sendEvent(viewport, &drop);
    return move.dropAction();
}

} // namespace gathra::test
