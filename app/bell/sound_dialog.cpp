#include "app/bell/sound_dialog.h"

#include <memory>
#include <utility>

#include "resources/resource.h"
#include "ui/controls/button_control.h"
#include "ui/controls/drop_list_control.h"
#include "ui/controls/edit_control.h"
#include "ui/dialog_frame.h"
#include "ui/form_window.h"
#include "ui/ui_task.h"
#include "ui/window_layer.h"

namespace belvane {

std::string SoundStateText(std::string_view output, const VolumeState* state) {
  std::string text = "当前：";
  text += output.empty() ? std::string_view("默认输出") : output;
  if (!state) return text + "，音量无法读取";
  text += "，音量 " + std::to_string(state->level) + "%，";
  text += state->muted ? "静音" : "未静音";
  return text;
}

namespace {

constexpr const char* kCaption = "声音";

// The window while it runs: an object of its own, its handlers bound to it.
class SoundDialog {
 public:
  SoundDialog(SoundDialogActions actions, WorkerPool& workers)
      : actions_(std::move(actions)), workers_(workers) {}

  void Run(HWND owner) {
    frame_.Run(owner, BELVANE_DIALOG_SOUND, [this](HWND window) { Init(window); });
  }

 private:
  void Init(HWND window) {
    // The template's own font throughout, as the template lays them out.
    output_.AttachToDialogItem(window, BELVANE_ID_SOUND_OUTPUT, false);
    level_.AttachToDialogItem(window, BELVANE_ID_SOUND_LEVEL, false);
    try_.AttachToDialogItem(window, BELVANE_ID_SOUND_TRY, false);
    frame_.BindAcceptAndCancel(window, IDOK, IDCANCEL, [this] { return Accept(); });
    try_.SetClickHandler(EventHandler::Member(this, &SoundDialog::TryBell));
    level_.LimitText(3);
    // The hook goes with the window, which closes before this object ends.
    SetMessageHook(window, [](HWND, UINT message, WPARAM wparam, LPARAM lparam) -> LRESULT {
      return RunUiTask(message, wparam, lparam) ? 1 : 0;
    });
    Enable(false);
    frame_.Form().DialogItemText(BELVANE_ID_SOUND_STATE, "正在读取……");
    // The answer is posted to the window: one that comes after it has closed is dropped with
    // its message, so `this` is only reached while the window, and so this object, lives.
    const bool started = workers_.Run([this, window, gather = actions_.gather] {
      auto facts = std::make_shared<SoundFacts>();
      try {
        *facts = gather();
      } catch (...) {
        facts->state_text = "当前：无法读取";
      }
      PostUiTask(window, [this, facts] { Show(*facts); });
    });
    if (!started) Show(SoundFacts{});
  }

  void Enable(bool on) {
    for (const int id : {BELVANE_ID_SOUND_OUTPUT, BELVANE_ID_SOUND_LEVEL, BELVANE_ID_SOUND_UNMUTE,
                         BELVANE_ID_SOUND_TRY, IDOK})
      EnableWindow(frame_.Form().DialogItem(id), on);
  }

  void Show(const SoundFacts& facts) {
    FormWindow& form = frame_.Form();
    names_.assign(1, std::string());
    const std::string default_name = facts.outputs.empty() || !facts.outputs[0].is_default
                                         ? std::string()
                                         : facts.outputs[0].name;
    output_.AddItem(default_name.empty() ? std::string("默认输出")
                                         : "默认输出（" + default_name + "）");
    int chosen = 0;
    for (const OutputInfo& output : facts.outputs) {
      names_.push_back(output.name);
      output_.AddItem(output.name);
      if (!facts.settings.output_device.empty() &&
          ChooseOutput({output}, facts.settings.output_device).device == output.device &&
          chosen == 0)
        chosen = static_cast<int>(names_.size()) - 1;
    }
    if (!facts.settings.output_device.empty() && chosen == 0) {
      // Kept as written, so that saving does not drop an output that is only away.
      names_.push_back(facts.settings.output_device);
      output_.AddItem(facts.settings.output_device + "（未找到）");
      chosen = static_cast<int>(names_.size()) - 1;
    }
    output_.CurrentSelection(chosen);
    level_.Text(std::to_string(facts.settings.least_level));
    form.SendDialogItemMessage(BELVANE_ID_SOUND_UNMUTE, BM_SETCHECK,
                               facts.settings.unmute ? BST_CHECKED : BST_UNCHECKED);
    form.DialogItemText(BELVANE_ID_SOUND_STATE, facts.state_text);
    Enable(true);
  }

  // The settings as the window shows them; false (and said why) when the level is not one.
  bool Chosen(SoundSettings* settings) {
    const std::string level = TrimmedText(level_);
    int value = -1;
    if (!level.empty() && level.size() <= 3 &&
        level.find_first_not_of("0123456789") == std::string::npos)
      value = std::stoi(level);
    if (value < 0 || value > 100) {
      frame_.Refuse("最低音量应为 0 到 100 之间的整数（0 表示不调整音量）。", &level_);
      return false;
    }
    settings->least_level = value;
    settings->unmute =
        frame_.Form().SendDialogItemMessage(BELVANE_ID_SOUND_UNMUTE, BM_GETCHECK) == BST_CHECKED;
    const int at = output_.CurrentSelection();
    settings->output_device =
        at > 0 && static_cast<size_t>(at) < names_.size() ? names_[static_cast<size_t>(at)] : "";
    return true;
  }

  void TryBell() {
    SoundSettings settings;
    if (!Chosen(&settings)) return;
    if (!actions_.try_bell || !actions_.try_bell(settings))
      frame_.Refuse("今天的课表没有可试听的铃声。");
  }

  bool Accept() {
    SoundSettings settings;
    if (!Chosen(&settings)) return false;
    const HWND window = frame_.Form().Handle();
    Enable(false);
    // Closed when the file is written; a failure leaves the window open to say so.
    const bool started = workers_.Run([this, window, settings, save = actions_.save] {
      bool saved = false;
      try {
        saved = save(settings);
      } catch (...) {
      }
      PostUiTask(window, [this, saved] {
        Enable(true);
        if (saved)
          frame_.Close(true);
        else
          frame_.Refuse(std::string("无法保存 ") + kSoundSettingsFileName + "。");
      });
    });
    if (!started) {
      Enable(true);
      frame_.Refuse(std::string("无法保存 ") + kSoundSettingsFileName + "：没有可用的线程。");
    }
    return false;
  }

  SoundDialogActions actions_;
  WorkerPool& workers_;
  DialogFrame frame_{kCaption};
  DropListControl output_;
  EditControl level_;
  ButtonControl try_;
  std::vector<std::string> names_;  // per drop-down item: the name saved (first: the default)
};

}  // namespace

void OpenSoundDialog(HWND owner, SoundDialogActions actions, WorkerPool& workers) {
  SoundDialog(std::move(actions), workers).Run(owner);
}

}  // namespace belvane
