// The control model over real widgets, filled by the dialog builder.
#pragma once

#include <QPointer>
#include <QWidget>
#include <map>

#include "pages/core/control_model.h"
#include "resources/dialog_template.h"

class QButtonGroup;

namespace deveder {

class WidgetControls : public ControlModel {
 public:
  void Register(int id, QWidget* widget, ControlKind kind, bool sorted, QButtonGroup* group);
  QWidget* Widget(int id) const;
  ControlKind Kind(int id) const;

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
  struct Entry {
    QPointer<QWidget> widget;
    ControlKind kind;
    bool sorted;
    QButtonGroup* group;
  };
  const Entry* find(int id) const;
  std::map<int, Entry> controls_;
};

// A caption as shown, without the "&" that marks its mnemonic letter.
QString WithoutMnemonic(const QString& text);

// Builds the widgets of a template as children of `parent`, sized by the
// dialog units of the template's font, and registers them by id. Push
// buttons get mnemonics; the tab order follows the visual order.
void BuildDialog(const DialogTemplate& dialog, QWidget* parent, WidgetControls& controls);

// Pixel size of a dialog of the template's size in its font.
QSize DialogPixelSize(const DialogTemplate& dialog);
DialogUnits UnitsForFont(int points);
// The pixels a template's controls cover, in the template's coordinates.
QRect ControlsExtent(const DialogTemplate& dialog, const DialogUnits& units);

}  // namespace deveder
