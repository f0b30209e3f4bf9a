#pragma once
// The prompter of the running program: message boxes through QMessageBox,
// questions through the input dialog (Form7).
#include "common/prompter.h"

class QWidget;

namespace varenta {

class QtPrompter final : public Prompter {
public:
    explicit QtPrompter(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }

    // Default buttons: Cancel for Yes/No/Cancel (the safe answer), the first
    // button otherwise.
    MsgAnswer message(const std::string& title, const std::string& text, MsgIcon icon,
                      MsgButtons buttons = MsgButtons::Ok) override;
    std::string ask(const std::string& title, const std::string& prompt, const std::string& preset,
                    int countdownSeconds = 0, const std::string& checkText = {}, bool* checked = nullptr) override;
    InputResult input(const InputRequest& r) override;

private:
    QWidget* parent_;
};

}  // namespace varenta
