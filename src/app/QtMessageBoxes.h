#pragma once
// Message boxes shown with QMessageBox on the UI thread.
//
// Create it on the UI thread. information() from a worker thread is posted to
// the UI thread and returns at once: a worker that waited for the user would
// hold up its writer, and one that waited for a busy UI thread could deadlock.

#include "core/MessageBoxes.h"
#include "core/Poster.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <string>

class QtMessageBoxes : public QObject, public MessageBoxes {
    Q_OBJECT

public:
    QtMessageBoxes(QWidget* parent, QString caption);

    void information(const std::string& text) override;
    bool askYesNo(const std::string& text, const std::string& caption = {}) override;

protected:
    // Shows the modal OK box; always called on the UI thread. Tests replace it.
    virtual void showInformation(const QString& text);

private:
    Poster poster_; // brings a worker's box to the UI thread
    QPointer<QWidget> parent_;
    QString caption_;
};
