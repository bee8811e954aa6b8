// The in-memory control model: the controls of a dialog template held as
// plain values. Used by the tests and by the command-line tool.
#pragma once

#include <map>

#include "pages/core/control_model.h"
#include "resources/dialog_template.h"

namespace deveder {

class MemoryControls : public ControlModel {
 public:
  MemoryControls() = default;
  // Creates every control of the template with its initial state.
  explicit MemoryControls(const DialogTemplate& dialog);
  // Adds one control (for tests that need a control outside a template).
  void AddControl(int id, ControlKind kind, const QString& caption = {});

  bool Has(int id) const override;
  QString Text(int id) const override;
  void SetText(int id, const QString& text) override;
  int ItemCount(int id) const override;
  QString ItemText(int id, int index) const override;
  void ClearItems(int id) override;
  void AddItem(int id, const QString& text) override;
  void DeleteItem(int id, int index) override;
  int CurrentIndex(int id) const override;
  void SetCurrentIndex(int id, int index) override;
  bool Checked(int id) const override;
  void SetChecked(int id, bool checked) override;
  bool Enabled(int id) const override;
  void SetEnabled(int id, bool enabled) override;
  bool Visible(int id) const override;
  void SetVisible(int id, bool visible) override;
  int Progress(int id) const override;
  void SetProgress(int id, int position) override;

 private:
  struct Control {
    ControlKind kind = ControlKind::Edit;
    bool sorted = false;
    QString text;
    QStringList items;
    int current = -1;
    bool checked = false;
    bool enabled = true;
    bool visible = true;
    int progress = 0;
  };
  Control* find(int id);
  const Control* find(int id) const;
  std::map<int, Control> controls_;
};

}  // namespace deveder
