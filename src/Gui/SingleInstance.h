#pragma once
#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;

namespace gathra {

// One desktop program per user and settings file: the first start listens on a local socket; a
// second start hands it the briefs it was given and exits, so that two programs never write the
// same settings.
class TSingleInstance : public QObject {
    Q_OBJECT
public:
    // The socket's name: the user and the settings file it stands for.
    explicit TSingleInstance(const QString& settingsFile, QObject* parent = nullptr);
    ~TSingleInstance() override;
    static QString ServerNameFor(const QString& settingsFile);
    QString ServerName() const { return name_; }

    // A running program took `files` (absolute paths): true. False when none answers.
    bool HandOver(const QStringList& files, int timeoutMs = 3000) const;
    // Becomes the running program; false when the socket cannot be made.
    bool Listen();

signals:
    // A later start handed these briefs over (an empty list: it was started without any).
    void FilesArrived(const QStringList& files);

private:
    void Accept();
    QString name_;
    QLocalServer* server_ = nullptr;
};

} // namespace gathra
