#pragma once
// Modal message boxes, behind an interface so that tests can record them.
// Texts are code-page-949 bytes.

#include <string>

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;

    // A box with an OK button only. May be called from any thread; a call from
    // a worker thread does not wait for the user.
    virtual void information(const std::string& text) = 0;

    // A Yes/No question; UI thread only. True for Yes. An empty caption is
    // the boxes' usual one (the window's).
    virtual bool askYesNo(const std::string& text, const std::string& caption = {}) = 0;
};
