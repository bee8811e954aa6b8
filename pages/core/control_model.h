// Controls by resource id. Page logic reaches every control through this
// interface; the window implements it over widgets, tests and the command-line
// tool over plain memory. Composite operations are written once below.
#pragma once

#include <QString>
#include <QStringList>

namespace deveder {

class ControlModel {
 public:
  virtual ~ControlModel() = default;

  virtual bool Has(int id) const = 0;

  // Edits, labels, buttons, the edit field of a combo box, address fields.
  virtual QString Text(int id) const = 0;
  virtual void SetText(int id, const QString& text) = 0;

  // List boxes (combo boxes).
  virtual int ItemCount(int id) const = 0;
  virtual QString ItemText(int id, int index) const = 0;
  virtual void ClearItems(int id) = 0;
  virtual void AddItem(int id, const QString& text) = 0;
  virtual void DeleteItem(int id, int index) = 0;
  virtual int CurrentIndex(int id) const = 0;  // -1 when nothing is selected
  // -1 or an index outside the list clears the selection.
  virtual void SetCurrentIndex(int id, int index) = 0;

  // Radio buttons and check boxes.
  virtual bool Checked(int id) const = 0;
  virtual void SetChecked(int id, bool checked) = 0;

  virtual bool Enabled(int id) const = 0;
  virtual void SetEnabled(int id, bool enabled) = 0;
  virtual bool Visible(int id) const = 0;
  virtual void SetVisible(int id, bool visible) = 0;

  // Progress bars (range 0 to 100).
  virtual int Progress(int id) const = 0;
  virtual void SetProgress(int id, int position) = 0;
};

// ---- composite operations ------------------------------------------------

// The selected item's text; empty when nothing is selected.
QString CurrentItemText(const ControlModel& m, int id);

// Index of the first item that begins with `prefix` (case-insensitive),
// searching the items after `after` and then from the start (the list box's
// select-string rule). -1 when none matches.
int FindItemPrefix(const ControlModel& m, int id, int after, const QString& prefix);

// Selects the first item that begins with `prefix` (case-insensitive),
// searching from the second item onward and then the first; when none matches
// the selection stays as it was. Returns the index selected or -1.
int SelectItemPrefix(ControlModel& m, int id, const QString& prefix);

// Index of the item whose text equals `text` exactly; -1 when none.
int FindItemExact(const ControlModel& m, int id, const QString& text);

// Replaces all items of a list.
void SetItems(ControlModel& m, int id, const QStringList& items);
QStringList Items(const ControlModel& m, int id);

// A radio pair: selects `on` and clears `off`.
void SelectRadio(ControlModel& m, int on, int off);
// Selects the button of `ids` at `which` and clears the others.
void SelectRadioOf(ControlModel& m, std::initializer_list<int> ids, int which);

}  // namespace deveder
