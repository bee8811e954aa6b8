#include "pages/core/memory_controls.h"

#include "pages/core/ip_text.h"

namespace deveder {

MemoryControls::MemoryControls(const DialogTemplate& dialog) {
  for (const ControlTemplate& c : dialog.controls) {
    Control ctl;
    ctl.kind = c.kind;
    ctl.sorted = (c.style & kStyleSorted) != 0;
    ctl.visible = (c.style & kStyleHidden) == 0;
    ctl.enabled = (c.style & kStyleDisabled) == 0;
    if (c.kind != ControlKind::Edit && c.kind != ControlKind::ComboEdit && c.kind != ControlKind::ComboList &&
        c.kind != ControlKind::IpAddress)
      ctl.text = QString::fromUtf8(c.caption);
    if (c.items) {
      QStringList items = QString::fromUtf8(c.items).split(QLatin1Char('\n'));
      if (ctl.sorted) items.sort();
      ctl.items = items;
    }
    controls_.emplace(c.id, ctl);  // the first of several static labels wins
  }
}

void MemoryControls::AddControl(int id, ControlKind kind, const QString& caption) {
  Control ctl;
  ctl.kind = kind;
  ctl.text = caption;
  controls_[id] = ctl;
}

MemoryControls::Control* MemoryControls::find(int id) {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : &it->second;
}

const MemoryControls::Control* MemoryControls::find(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : &it->second;
}

bool MemoryControls::Has(int id) const { return find(id) != nullptr; }

QString MemoryControls::Text(int id) const {
  const Control* c = find(id);
  if (!c) return {};
  if ((c->kind == ControlKind::ComboList) && c->current >= 0) return c->items.at(c->current);
  return c->text;
}

void MemoryControls::SetText(int id, const QString& text) {
  if (Control* c = find(id)) c->text = c->kind == ControlKind::IpAddress ? NormalizeIpText(text) : text;
}

int MemoryControls::ItemCount(int id) const {
  const Control* c = find(id);
  return c ? static_cast<int>(c->items.size()) : 0;
}

QString MemoryControls::ItemText(int id, int index) const {
  const Control* c = find(id);
  if (!c || index < 0 || index >= c->items.size()) return {};
  return c->items.at(index);
}

void MemoryControls::ClearItems(int id) {
  if (Control* c = find(id)) {
    c->items.clear();
    c->current = -1;
    if (c->kind == ControlKind::ComboEdit) c->text.clear();
  }
}

void MemoryControls::AddItem(int id, const QString& text) {
  Control* c = find(id);
  if (!c) return;
  if (c->sorted) {
    qsizetype pos = 0;
    while (pos < c->items.size() && QString::compare(c->items.at(pos), text, Qt::CaseInsensitive) <= 0) ++pos;
    c->items.insert(pos, text);
    if (c->current >= pos) ++c->current;
  } else {
    c->items.append(text);
  }
}

void MemoryControls::DeleteItem(int id, int index) {
  Control* c = find(id);
  if (!c || index < 0 || index >= c->items.size()) return;
  c->items.removeAt(index);
  if (c->current == index) {
    c->current = -1;
    if (c->kind == ControlKind::ComboEdit) c->text.clear();
  } else if (c->current > index) {
    --c->current;
  }
}

int MemoryControls::CurrentIndex(int id) const {
  const Control* c = find(id);
  return c ? c->current : -1;
}

void MemoryControls::SetCurrentIndex(int id, int index) {
  Control* c = find(id);
  if (!c) return;
  c->current = (index >= 0 && index < c->items.size()) ? index : -1;
  if (c->kind == ControlKind::ComboEdit) c->text = c->current >= 0 ? c->items.at(c->current) : QString();
}

bool MemoryControls::Checked(int id) const {
  const Control* c = find(id);
  return c && c->checked;
}

void MemoryControls::SetChecked(int id, bool checked) {
  if (Control* c = find(id)) c->checked = checked;
}

bool MemoryControls::Enabled(int id) const {
  const Control* c = find(id);
  return c && c->enabled;
}

void MemoryControls::SetEnabled(int id, bool enabled) {
  if (Control* c = find(id)) c->enabled = enabled;
}

bool MemoryControls::Visible(int id) const {
  const Control* c = find(id);
  return c && c->visible;
}

void MemoryControls::SetVisible(int id, bool visible) {
  if (Control* c = find(id)) c->visible = visible;
}

int MemoryControls::Progress(int id) const {
  const Control* c = find(id);
  return c ? c->progress : 0;
}

void MemoryControls::SetProgress(int id, int position) {
  if (Control* c = find(id)) c->progress = position;
}

}  // namespace deveder
