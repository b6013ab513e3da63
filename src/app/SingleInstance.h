#pragma once
// Only one copy of the program runs. The first copy listens on a local socket
// named after the window caption; a second copy connects, asks the first to
// draw the user's attention to its window, and ends.

#include <QObject>
#include <QString>

class QLocalServer;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString& key, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True if this is the first copy (it now listens). False if another copy
    // runs: that copy has been asked to call attention to itself.
    bool acquire();

    static QString socketName(const QString& key);

signals:
    // A later copy was started while this one runs.
    void attentionRequested();

private:
    QString key_;
    QLocalServer* server_ = nullptr;
};
