#include "resources/dialog_template.h"

#include <algorithm>

#include "resources/dialogs.h"

namespace deveder {

const DialogTemplate& FindDialogTemplate(int dialogId, int langId) {
  switch (dialogId) {
    case 130: return Dialog130(langId);
    case 132: return Dialog132(langId);
    case 134: return Dialog134(langId);
    case 136: return Dialog136(langId);
    case 144: return Dialog144(langId);
    case 148: return Dialog148(langId);
    case 162: return Dialog162(langId);
    default: return Dialog102(langId);
  }
}

namespace {

QString CaptionText(const ControlTemplate& c) {
  QString text = QString::fromUtf8(c.caption).remove(QLatin1Char('&')).trimmed();
  while (text.endsWith(QLatin1Char(':')) || text.endsWith(QChar(0xFF1A))) text.chop(1);
  return text;
}

// A list's template height holds its open list; its field is one line.
int FieldHeight(const ControlTemplate& c) { return std::min(c.h, 14); }

bool Encloses(const ControlTemplate& group, const ControlTemplate& c) {
  return c.x >= group.x && c.y >= group.y && c.x + c.w <= group.x + group.w && c.y + FieldHeight(c) <= group.y + group.h;
}

// The innermost group box around `c`; null when none.
const ControlTemplate* GroupOf(const DialogTemplate& dialog, const ControlTemplate& c) {
  const ControlTemplate* group = nullptr;
  for (const ControlTemplate& g : dialog.controls)
    if (g.kind == ControlKind::GroupBox && &g != &c && Encloses(g, c) && (!group || Encloses(*group, g))) group = &g;
  return group;
}

}  // namespace

QString FieldCaption(const DialogTemplate& dialog, int controlId) {
  const auto self = std::find_if(dialog.controls.begin(), dialog.controls.end(),
                                 [&](const ControlTemplate& c) { return c.id == controlId; });
  if (self == dialog.controls.end()) return {};
  // The nearest label on the control's row that ends before it, in the
  // same group box.
  const ControlTemplate* group = GroupOf(dialog, *self);
  const ControlTemplate* label = nullptr;
  for (const ControlTemplate& c : dialog.controls) {
    const int middle = c.y + c.h / 2;
    if (c.kind != ControlKind::Label || c.x + c.w > self->x + 2 || middle < self->y ||
        middle > self->y + FieldHeight(*self) || GroupOf(dialog, c) != group)
      continue;
    if (!label || c.x > label->x) label = &c;
  }
  // A radio button's own caption is one answer; its group asks the question.
  const bool answer = self->kind == ControlKind::RadioButton;
  QString text = label ? CaptionText(*label) : answer ? QString() : CaptionText(*self);
  const bool shared = label && std::count_if(dialog.controls.begin(), dialog.controls.end(), [&](const ControlTemplate& c) {
                                 return c.kind == ControlKind::Label && CaptionText(c) == text;
                               }) > 1;
  if (!text.isEmpty() && !shared) return text;
  // The group box around the control names it, or tells it apart.
  if (!group) return text;
  return text.isEmpty() ? CaptionText(*group) : CaptionText(*group) + QLatin1Char(' ') + text;
}

}  // namespace deveder
