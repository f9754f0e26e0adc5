#pragma once
// The remote-control question: a small modal box with an icon, a message and
// accept and refuse buttons, used to ask whether a participant may take
// control, whether control should stop, and whether it should move to
// another participant. It waits for the presenter; there is no timeout.
//
// While it waits, its nested loop keeps serving the UI thread, so the
// sharing session may stop meanwhile. The session's clean-up then closes
// every open question (CloseAll), which answers it as refused; the caller
// must check that it is still alive before it acts on the answer.
//
// The refusing button is the default and has the focus, and the question
// takes the keyboard focus only from this program's own windows: someone
// typing elsewhere who presses Enter must not hand over the screen. When
// another program has the focus, the question asks for the user's attention
// instead (a task bar marks it).
//
// UI thread only.
#include <cstdint>
#include <string>
#include <variant>

#include "uikit/vz_dialog.h"

// A text of the dialog: a resource string id, or the text itself.
using DialogText = std::variant<uint16_t, std::u16string>;

class CDSRemoteControlDialog : public CVzDialog {
 public:
  static constexpr int kAccepted = 1;
  static constexpr int kRefused = 2;

  CDSRemoteControlDialog(DialogText message, DialogText accept, DialogText refuse, uint32_t icon);
  ~CDSRemoteControlDialog() override;

  // Ends every open question with kRefused (the session stopped).
  static void CloseAll();
  // How many questions are open now.
  static size_t OpenCountForTesting();
  // The question opened last, or null.
  static CDSRemoteControlDialog* InnermostForTesting();

 protected:
  bool OnInitDialog() override;
  bool ActivateOnShow() const override { return activate_on_show_; }
  void OnCommand(uint32_t id, int code) override;

 private:
  std::u16string message_;
  std::u16string accept_text_;
  std::u16string refuse_text_;
  uint32_t icon_;
  bool activate_on_show_ = false;
};

// Asks modally over the window that is active now; true exactly when the
// presenter accepted. Refusing, the close box, Esc, a stop of the session
// (CloseAll) and a dialog that cannot be shown all give false.
bool showRemoteControlDialog(const DialogText& message, const DialogText& accept, const DialogText& refuse,
                             uint32_t icon, vz::WindowSystem* system = nullptr);

// The text of a request for control: string 60043 formatted with the
// participant's name, whatever its length.
std::u16string RemoteControlRequestText(const std::u16string& name);
