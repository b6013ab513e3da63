#pragma once
// The message boxes of the update check. They carry their own captions, which
// the program's other boxes do not. Texts are code-page-949 bytes; an empty
// caption means the program's own. UI thread only.

#include <QPointer>
#include <QString>
#include <QWidget>

#include <string>

class MessageBoxes;

class UpdateBoxes {
public:
    virtual ~UpdateBoxes() = default;
    // A box with an OK button only.
    virtual void information(const std::string& caption, const std::string& text) = 0;
    // A Yes/No question. True for Yes.
    virtual bool askYesNo(const std::string& caption, const std::string& text) = 0;
};

// QMessageBox over `parent`.
class QtUpdateBoxes : public UpdateBoxes {
public:
    QtUpdateBoxes(QWidget* parent, QString programCaption);
    void information(const std::string& caption, const std::string& text) override;
    bool askYesNo(const std::string& caption, const std::string& text) override;

private:
    QString captionFor(const std::string& caption) const;

    QPointer<QWidget> parent_;
    QString programCaption_;
};

// Hands the texts to the program's boxes (without the captions), for a main
// window whose boxes were given to it.
class ForwardingUpdateBoxes : public UpdateBoxes {
public:
    explicit ForwardingUpdateBoxes(MessageBoxes& boxes) : boxes_(boxes) {}
    void information(const std::string& caption, const std::string& text) override;
    bool askYesNo(const std::string& caption, const std::string& text) override;

private:
    MessageBoxes& boxes_;
};
