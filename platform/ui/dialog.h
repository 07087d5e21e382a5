// The modal dialog base of the framework, standing in for the handheld's
// CDialog. A dialog is made from a template (its controls exist from
// construction on), runs modally through the user-interface host, and
// routes its controls' notifications through a command table that maps
// (notification, control id) to a handler of the derived class.
//
// Commands: button 1 and the caption's Done button give the OK command
// (OnOkCommand), button 2, the escape key and closing the window give the
// cancel command (OnDismiss), Enter gives the default button's command
// (the OK command when there is no default button).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/controls.h"
#include "platform/ui/dialog_template.h"
#include "platform/ui/notification.h"

namespace velmora::ui {

class Dialog;

struct CommandEntry {
  Notification code;
  int controlId;
  std::function<void(Dialog&, const NotifyInfo&)> handler;
};
using CommandTable = std::vector<CommandEntry>;

// Builds a command table from member functions of D, which take either no
// argument or the notification's details.
template <class D>
struct Command {
  Command(Notification code, int id, void (D::*handler)())
      : entry{code, id,
              [handler](Dialog& d, const NotifyInfo&) { (static_cast<D&>(d).*handler)(); }} {}
  Command(Notification code, int id, void (D::*handler)(const NotifyInfo&))
      : entry{code, id, [handler](Dialog& d, const NotifyInfo& info) {
                (static_cast<D&>(d).*handler)(info);
              }} {}
  CommandEntry entry;
};

template <class D>
CommandTable MakeCommandTable(std::initializer_list<Command<D>> commands) {
  CommandTable table;
  for (const Command<D>& command : commands) {
    table.push_back(command.entry);
  }
  return table;
}

// Shell dialog flags of the handheld's dialog initialisation.
inline constexpr uint32_t ShellDoneButton = 0x01;
inline constexpr uint32_t ShellFullScreen = 0x04;
inline constexpr uint32_t ShellInputPanelDown = 0x08;

inline constexpr int EndOk = 1;
inline constexpr int EndCancel = 2;

class Dialog {
 public:
  Dialog(const DialogTemplate& layout, Dialog* parent = nullptr);
  virtual ~Dialog();
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  // Runs the dialog modally: owner disabled, InitialiseDialog, the host's
  // modal loop until EndDialog, owner enabled again. Returns the end code.
  int RunModal();
  void EndDialog(int code);

  int templateId() const { return layout_.id; }
  // The template's own rectangle, in dialog units.
  const Rect& templateRect() const { return layout_.rect; }
  const std::u16string& caption() const { return caption_; }
  void SetCaption(std::u16string_view caption) { caption_ = caption; }
  bool enabled() const { return enabled_; }
  void Enable(bool enabled) { enabled_ = enabled; }
  bool running() const { return running_; }
  bool ended() const { return ended_; }
  int endCode() const { return endCode_; }
  Dialog* owner() const { return owner_; }
  uint32_t shellFlags() const { return shellFlags_; }
  bool centred() const { return centred_; }
  int iconId() const { return iconId_; }

  // Controls, in template order.
  const std::vector<std::unique_ptr<Control>>& controls() const { return controls_; }
  Control* FindControl(int id) const;
  template <class T>
  T* Find(int id) const {
    return dynamic_cast<T*>(FindControl(id));
  }

  int focusId() const { return focusId_; }
  void SetFocus(int id);
  // The next or previous enabled, visible tab stop in template order, from
  // the focused control on (from the first or last when none has it).
  void MoveFocus(bool forward);
  // A control was disabled or hidden: when it had the focus, the focus
  // moves on to the next tab stop (or to none when no tab stop is left).
  void ControlUnavailable(const Control& control);

  // Entry points of the front ends.
  void Notify(Notification code, int controlId, const NotifyInfo& info = {});
  void OkCommand() { Notify(Notification::Clicked, IdOk); }
  void CancelCommand() { Notify(Notification::Clicked, IdCancel); }
  void EnterKey();

  // Text of a control by id (empty when there is none); sets are ignored
  // for missing ids.
  std::u16string ControlText(int id) const;
  void SetControlText(int id, std::u16string_view text);
  void EnableControl(int id, bool enabled);

 protected:
  virtual const CommandTable& Commands() const;
  // Data exchange: binds controls to members; runs from the base
  // initialisation and from the base OK command.
  virtual void BindControls() {}
  // Base: data exchange, bring to front, shell flags 13. Returning true
  // gives the focus to the first tab stop.
  virtual bool InitialiseDialog();
  virtual void OnOkCommand();
  virtual void OnDismiss();

  void SetIcon(int iconId) { iconId_ = iconId; }
  void CentreWindow() { centred_ = true; }

  template <class T>
  T* Bind(int id) {
    return Find<T>(id);
  }

 private:
  DialogTemplate layout_;
  Dialog* parent_;
  Dialog* owner_ = nullptr;
  std::u16string caption_;
  std::vector<std::unique_ptr<Control>> controls_;
  bool enabled_ = true;
  bool running_ = false;
  bool ended_ = false;
  int endCode_ = 0;
  int focusId_ = NoControlId;
  uint32_t shellFlags_ = 0;
  bool centred_ = false;
  int iconId_ = 0;
};

}  // namespace velmora::ui
