#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/window.h"
#include "ui/action_processor.h"
#include "ui/dialog.h"

class mtxIELabel;

// The program's message box: a title ("Warning" when none is given), its
// text (a line, or lines parted by '\n', left-aligned) and an OK button, or Yes, No and Cancel for
// a question. It is modal and owned by the editor's stack: the creator does not keep it. At least
// 160 pixels wide, wider for a longer text or more buttons.
class mtxIEMessageBox : public mtxIEDialog, public mtxIEActionProcessor {
  public:
    static constexpr int kMinContentWidth = 150;
    static constexpr int kButtonWidth = 80, kButtonGap = 10;
    enum Buttons { kOkOnly, kYesNoCancel };
    // The answers (and the actions of the buttons): Enter is Yes (or OK),
    // Escape Cancel, the keys Y and N the question's Yes and No.
    enum Answer : uint32_t { kYes = 1, kCancel = 2, kNo = 3 };
    // What a question reports to whoever waits for it; shared so that the
    // waiting loop can read it after the box is gone.
    struct Outcome {
        bool done = false;
        uint32_t answer = kCancel;
    };

    // text and title may be null.
    mtxIEMessageBox(mtxImageEditor* editor, const char* text, const char* title,
                    Buttons buttons = kOkOnly, std::shared_ptr<Outcome> outcome = nullptr);
    // A box closed without an answer (taken off the stack) reports Cancel.
    ~mtxIEMessageBox() override;
    // Actions 1 to 3 close the box (once) with that answer; OK is 1 and 2.
    int Process(uint32_t action, uint16_t value) override;
    void OnKeyDown(uint32_t key, uint32_t repeat, uint32_t keyFlags) override;

    // Asks a Yes, No, Cancel question over editor and waits for the answer in
    // a loop of its own, so that the caller stays synchronous while the
    // frames go on. Menu commands to owner are dropped while it waits. A quit
    // that comes meanwhile is posted again for the outer loop and answers
    // Cancel, as does a box that is closed without an answer. onShown (may be
    // empty) is called once the box is shown; tests answer there.
    static uint32_t Ask(mtxImageEditor* editor, const char* text, const char* title,
                        mtxOs::HWND owner,
                        const std::function<void(mtxIEMessageBox&)>& onShown = {});

    // The text as given, its lines joined by '\n'.
    std::string Text() const;

    Buttons buttons;
    mtxIELabel* label = nullptr;      // the first line
    std::vector<mtxIELabel*> lines;   // every line, the first included
    mtxIEButton* okButton = nullptr;  // OK, or Yes
    mtxIEButton* noButton = nullptr;  // null without a question
    mtxIEButton* cancelAnswer = nullptr;

  private:
    void Answer(uint32_t answer);
    std::shared_ptr<Outcome> outcome_;
};
