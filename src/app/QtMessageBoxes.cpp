#include "app/QtMessageBoxes.h"

#include "core/CodePage.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QThread>
#include <QtDebug>

#include <utility>

namespace {

bool onUiThread()
{
    return QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread();
}

} // namespace

QtMessageBoxes::QtMessageBoxes(QWidget* parent, QString caption)
    : parent_(parent), caption_(std::move(caption))
{
}

void QtMessageBoxes::information(const std::string& text)
{
    if (onUiThread()) {
        showInformation(fromCodePageLines(text));
        return;
    }
    poster_.post([this, text] { showInformation(fromCodePageLines(text)); });
}

bool QtMessageBoxes::askYesNo(const std::string& text, const std::string& caption)
{
    if (!onUiThread()) {
        // A worker cannot wait for an answer without risking a deadlock.
        qWarning("QtMessageBoxes::askYesNo called off the UI thread; answering No");
        return false;
    }
    QMessageBox box(QMessageBox::Question, caption.empty() ? caption_ : fromCodePage(caption), fromCodePageLines(text),
                    QMessageBox::Yes | QMessageBox::No, parent_);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void QtMessageBoxes::showInformation(const QString& text)
{
    // Plain text: a message that happens to contain '<' must not turn into markup.
    QMessageBox box(QMessageBox::Information, caption_, text, QMessageBox::Ok, parent_);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}
