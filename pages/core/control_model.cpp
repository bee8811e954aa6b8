#include "pages/core/control_model.h"

namespace deveder {

QString CurrentItemText(const ControlModel& m, int id) {
  int i = m.CurrentIndex(id);
  return i < 0 ? QString() : m.ItemText(id, i);
}

int FindItemPrefix(const ControlModel& m, int id, int after, const QString& prefix) {
  const int n = m.ItemCount(id);
  if (n <= 0) return -1;
  int start = (after < -1 || after >= n) ? -1 : after;
  for (int k = 1; k <= n; ++k) {
    int i = (start + k) % n;
    if (m.ItemText(id, i).startsWith(prefix, Qt::CaseInsensitive)) return i;
  }
  return -1;
}

int SelectItemPrefix(ControlModel& m, int id, const QString& prefix) {
  // From the second item onward, then the first.
  int i = FindItemPrefix(m, id, 0, prefix);
  if (i >= 0) m.SetCurrentIndex(id, i);
  return i;
}

int FindItemExact(const ControlModel& m, int id, const QString& text) {
  const int n = m.ItemCount(id);
  for (int i = 0; i < n; ++i)
    if (m.ItemText(id, i) == text) return i;
  return -1;
}

void SetItems(ControlModel& m, int id, const QStringList& items) {
  m.ClearItems(id);
  for (const QString& s : items) m.AddItem(id, s);
}

QStringList Items(const ControlModel& m, int id) {
  QStringList out;
  const int n = m.ItemCount(id);
  for (int i = 0; i < n; ++i) out << m.ItemText(id, i);
  return out;
}

void SelectRadio(ControlModel& m, int on, int off) {
  m.SetChecked(on, true);
  m.SetChecked(off, false);
}

void SelectRadioOf(ControlModel& m, std::initializer_list<int> ids, int which) {
  int k = 0;
  for (int id : ids) m.SetChecked(id, k++ == which);
}

}  // namespace deveder
