#include "update/UpdateBoxes.h"

#include <QMessageBox>

#include <utility>

#include "core/CodePage.h"
#include "core/MessageBoxes.h"

QtUpdateBoxes::QtUpdateBoxes(QWidget* parent, QString programCaption)
    : parent_(parent), programCaption_(std::move(programCaption))
{
}

QString QtUpdateBoxes::captionFor(const std::string& caption) const
{
    return caption.empty() ? programCaption_ : fromCodePage(caption);
}

void QtUpdateBoxes::information(const std::string& caption, const std::string& text)
{
    QMessageBox box(QMessageBox::Information, captionFor(caption), fromCodePageLines(text), QMessageBox::Ok, parent_);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool QtUpdateBoxes::askYesNo(const std::string& caption, const std::string& text)
{
    QMessageBox box(QMessageBox::Question, captionFor(caption), fromCodePageLines(text),
                    QMessageBox::Yes | QMessageBox::No, parent_);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void ForwardingUpdateBoxes::information(const std::string&, const std::string& text)
{
    boxes_.information(text);
}

bool ForwardingUpdateBoxes::askYesNo(const std::string&, const std::string& text)
{
    return boxes_.askYesNo(text);
}
