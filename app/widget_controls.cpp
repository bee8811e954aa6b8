#include "app/widget_controls.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <vector>

#include "app/ip_address_edit.h"

namespace deveder {

namespace {

// Sets a radio button off even inside an exclusive group.
void ForceChecked(QAbstractButton* b, QButtonGroup* group, bool checked) {
  if (!checked && group && group->exclusive()) {
    group->setExclusive(false);
    b->setChecked(false);
    group->setExclusive(true);
    return;
  }
  b->setChecked(checked);
}

// The templates were drawn for another font: a caption may need a few pixels
// more than its rectangle, and a closed drop-down is taller here. A label,
// radio button, check box or drop-down list whose text does not fit grows
// to the right, and
// then to the left for what the right cannot give (a label also down, to
// one line of its font), into free room only: never over another control,
// out of the group box around it or off the page. A drop-down that would
// reach into the control or frame below it is made shorter.
void FitToRoom(const QWidget* parent, const std::vector<std::pair<QWidget*, ControlKind>>& placed) {
  constexpr int kGap = 1;         // pixels kept clear of a neighbour
  constexpr int kFrameInset = 3;  // a group box's frame line and its margin
  std::vector<std::vector<bool>> inside(placed.size(), std::vector<bool>(placed.size(), false));
  for (std::size_t i = 0; i < placed.size(); ++i)
    for (std::size_t g = 0; g < placed.size(); ++g)
      inside[i][g] = g != i && placed[g].second == ControlKind::GroupBox &&
                     placed[g].first->geometry().contains(placed[i].first->geometry().topLeft());

  for (std::size_t i = 0; i < placed.size(); ++i) {
    auto [w, kind] = placed[i];
    const QRect r = w->geometry();
    const QFontMetrics fm(w->font());
    // How far left, right and down the control may reach (right and bottom
    // exclusive).
    int left = 0, right = parent->width(), bottom = parent->height();
    for (std::size_t j = 0; j < placed.size(); ++j) {
      if (j == i) continue;
      const QRect o = placed[j].first->geometry();
      if (inside[i][j]) {
        left = std::max(left, o.left() + kFrameInset);
        right = std::min(right, o.right() + 1 - kFrameInset);
        bottom = std::min(bottom, o.bottom() + 1 - kFrameInset);
        continue;
      }
      const bool rowsMeet = o.top() <= r.bottom() && o.bottom() >= r.top();
      const bool columnsMeet = o.left() <= r.right() && o.right() >= r.left();
      if (rowsMeet && o.left() > r.left()) right = std::min(right, o.left() - kGap);
      if (rowsMeet && o.right() < r.left()) left = std::max(left, o.right() + 1 + kGap);
      if (columnsMeet && o.top() > r.top()) bottom = std::min(bottom, o.top() - kGap);
    }
    int needW = r.width(), needH = r.height();
    if (auto* l = qobject_cast<QLabel*>(w)) {
      const int margins = l->width() - l->contentsRect().width();
      const QRect wrapped = fm.boundingRect(l->contentsRect(), Qt::TextWordWrap | l->alignment(), l->text());
      if (wrapped.height() > l->contentsRect().height() || wrapped.width() > l->contentsRect().width())
        needW = fm.horizontalAdvance(l->text()) + margins;
      needH = std::max(r.height(), fm.height() + (l->height() - l->contentsRect().height()));
    } else if (kind == ControlKind::RadioButton || kind == ControlKind::CheckBox) {
      needW = std::max(r.width(), w->sizeHint().width());
    } else if (kind == ControlKind::ComboList || kind == ControlKind::ComboEdit) {
      if (r.bottom() + 1 > bottom) w->resize(r.width(), std::max(bottom - r.top(), fm.height() + 2));
      if (kind == ControlKind::ComboEdit) continue;  // the port box: paths of any length scroll
      // A drop-down list shows its longest item whole.
      auto* cb = static_cast<QComboBox*>(w);
      QStyleOptionComboBox opt;
      opt.initFrom(cb);
      const QRect field = cb->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, cb);
      int widest = 0;
      for (int item = 0; item < cb->count(); ++item) widest = std::max(widest, fm.horizontalAdvance(cb->itemText(item)));
      needW = widest + (r.width() - field.width()) + 2;  // the label's own margin
      needH = w->height();
    } else {
      continue;
    }
    // Right first; what the right cannot give, the left may.
    const int width = std::max(r.width(), std::min(needW, right - r.left()));
    const int x = std::min(r.left(), std::max(left, r.left() - std::max(0, needW - width)));
    const int height = kind == ControlKind::ComboList ? needH : std::max(r.height(), std::min(needH, bottom - r.top()));
    w->setGeometry(x, r.top(), width + (r.left() - x), height);
  }
}

}  // namespace

void WidgetControls::Register(int id, QWidget* widget, ControlKind kind, bool sorted, QButtonGroup* group) {
  controls_.emplace(id, Entry{widget, kind, sorted, group});  // the first static label keeps the id
}

const WidgetControls::Entry* WidgetControls::find(int id) const {
  auto it = controls_.find(id);
  if (it == controls_.end() || !it->second.widget) return nullptr;
  return &it->second;
}

QWidget* WidgetControls::Widget(int id) const {
  const Entry* e = find(id);
  return e ? e->widget.data() : nullptr;
}

ControlKind WidgetControls::Kind(int id) const {
  const Entry* e = find(id);
  return e ? e->kind : ControlKind::Label;
}

bool WidgetControls::Has(int id) const { return find(id) != nullptr; }

QString WidgetControls::Text(int id) const {
  const Entry* e = find(id);
  if (!e) return {};
  QWidget* w = e->widget;
  if (auto* le = qobject_cast<QLineEdit*>(w)) return le->text();
  if (auto* cb = qobject_cast<QComboBox*>(w)) return cb->currentText();
  if (auto* ip = dynamic_cast<IpAddressEdit*>(w)) return ip->text();
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
  return {};
}

void WidgetControls::SetText(int id, const QString& text) {
  const Entry* e = find(id);
  if (!e) return;
  QWidget* w = e->widget;
  if (auto* le = qobject_cast<QLineEdit*>(w)) le->setText(text);
  else if (auto* cb = qobject_cast<QComboBox*>(w)) {
    if (cb->isEditable()) cb->setEditText(text);
  } else if (auto* ip = dynamic_cast<IpAddressEdit*>(w)) ip->setText(text);
  else if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(text);
  else if (auto* l = qobject_cast<QLabel*>(w)) l->setText(text);
  else if (auto* g = qobject_cast<QGroupBox*>(w)) g->setTitle(text);
}

int WidgetControls::ItemCount(int id) const {
  const Entry* e = find(id);
  auto* cb = e ? qobject_cast<QComboBox*>(e->widget.data()) : nullptr;
  return cb ? cb->count() : 0;
}

QString WidgetControls::ItemText(int id, int index) const {
  const Entry* e = find(id);
  auto* cb = e ? qobject_cast<QComboBox*>(e->widget.data()) : nullptr;
  return cb && index >= 0 && index < cb->count() ? cb->itemText(index) : QString();
}

void WidgetControls::ClearItems(int id) {
  const Entry* e = find(id);
  if (auto* cb = e ? qobject_cast<QComboBox*>(e->widget.data()) : nullptr) {
    QSignalBlocker block(cb);
    cb->clear();
    if (cb->isEditable()) cb->setEditText(QString());
  }
}

void WidgetControls::AddItem(int id, const QString& text) {
  const Entry* e = find(id);
  auto* cb = e ? qobject_cast<QComboBox*>(e->widget.data()) : nullptr;
  if (!cb) return;
  QSignalBlocker block(cb);
  const QString keep = cb->isEditable() ? cb->currentText() : QString();
  const int before = cb->currentIndex();
  if (e->sorted) {
    int pos = 0;
    while (pos < cb->count() && QString::compare(cb->itemText(pos), text, Qt::CaseInsensitive) <= 0) ++pos;
    cb->insertItem(pos, text);
  } else {
    cb->addItem(text);
  }
  // Adding an item never selects it (a list box keeps its selection).
  if (before < 0) {
    cb->setCurrentIndex(-1);
    if (cb->isEditable()) cb->setEditText(keep);
  }
  // The open list shows every item whole, however narrow the closed box.
  const QFontMetrics fm(cb->view()->font());
  const int itemWidth = fm.horizontalAdvance(text) + cb->style()->pixelMetric(QStyle::PM_ScrollBarExtent) +
                        4 * cb->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 8;
  if (itemWidth > cb->view()->minimumWidth()) cb->view()->setMinimumWidth(itemWidth);
}

void WidgetControls::DeleteItem(int id, int index) {
  const Entry* e = find(id);
  auto* cb = e ? qobject_cast<QComboBox*>(e->widget.data()) : nullptr;
  if (!cb || index < 0 || index >= cb->count()) return;
  QSignalBlocker block(cb);
  const bool wasCurrent = cb->currentIndex() == index;
  cb->removeItem(index);
  if (wasCurrent) {
    cb->setCurrentIndex(-1);
    if (cb->isEditable()) cb->setEditText(QString());
  }
}

int WidgetControls::CurrentIndex(int id) const {
  const Entry* e = find(id);
  auto* cb = e ? qobject_cast<QComboBox*>(e->widget.data()) : nullptr;
  return cb ? cb->currentIndex() : -1;
}

void WidgetControls::SetCurrentIndex(int id, int index) {
  const Entry* e = find(id);
  auto* cb = e ? qobject_cast<QComboBox*>(e->widget.data()) : nullptr;
  if (!cb) return;
  QSignalBlocker block(cb);
  cb->setCurrentIndex(index >= 0 && index < cb->count() ? index : -1);
  if (cb->isEditable() && cb->currentIndex() < 0) cb->setEditText(QString());
}

bool WidgetControls::Checked(int id) const {
  const Entry* e = find(id);
  auto* b = e ? qobject_cast<QAbstractButton*>(e->widget.data()) : nullptr;
  return b && b->isChecked();
}

void WidgetControls::SetChecked(int id, bool checked) {
  const Entry* e = find(id);
  if (auto* b = e ? qobject_cast<QAbstractButton*>(e->widget.data()) : nullptr) ForceChecked(b, e->group, checked);
}

bool WidgetControls::Enabled(int id) const {
  const Entry* e = find(id);
  return e && e->widget->isEnabled();
}

void WidgetControls::SetEnabled(int id, bool enabled) {
  if (const Entry* e = find(id)) e->widget->setEnabled(enabled);
}

bool WidgetControls::Visible(int id) const {
  const Entry* e = find(id);
  return e && !e->widget->isHidden();
}

void WidgetControls::SetVisible(int id, bool visible) {
  if (const Entry* e = find(id)) e->widget->setVisible(visible);
}

int WidgetControls::Progress(int id) const {
  const Entry* e = find(id);
  auto* p = e ? qobject_cast<QProgressBar*>(e->widget.data()) : nullptr;
  return p ? p->value() : 0;
}

void WidgetControls::SetProgress(int id, int position) {
  const Entry* e = find(id);
  if (auto* p = e ? qobject_cast<QProgressBar*>(e->widget.data()) : nullptr) {
    p->setValue(position);
    p->repaint();
  }
}

DialogUnits UnitsForFont(int points) {
  QFont font;
  font.setPointSize(points);
  QFontMetrics fm(font);
  const QString sample = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  const int avg = (fm.horizontalAdvance(sample) / 26 + 1) / 2;
  return DialogUnits{std::max(avg, 1), std::max(fm.height(), 1)};
}

QSize DialogPixelSize(const DialogTemplate& dialog) {
  const DialogUnits u = UnitsForFont(dialog.fontPoints);
  return QSize(u.toPixelsX(dialog.width), u.toPixelsY(dialog.height));
}

void BuildDialog(const DialogTemplate& dialog, QWidget* parent, WidgetControls& controls) {
  const DialogUnits u = UnitsForFont(dialog.fontPoints);
  // Our fonts run wider and taller than the ones the templates were laid out
  // for; a page larger than the room it is given is shrunk as a whole, type
  // included, rather than cut off at the tab's edge.
  double scale = 1.0;
  const QSize room = parent->size();
  const QSize natural = DialogPixelSize(dialog);
  if (room.width() > 0 && room.height() > 0 && natural.width() > 0 && natural.height() > 0)
    scale = std::min({1.0, double(room.width()) / natural.width(), double(room.height()) / natural.height()});
  auto px = [&](int units) { return int(units * u.avgCharWidth * scale / 4 + 0.5); };
  auto py = [&](int units) { return int(units * u.charHeight * scale / 8 + 0.5); };
  QFont font = parent->font();
  font.setPointSizeF(dialog.fontPoints * scale);
  QButtonGroup* group = nullptr;
  std::vector<std::pair<QWidget*, ControlKind>> placed;
  for (const ControlTemplate& c : dialog.controls) {
    const QString caption = QString::fromUtf8(c.caption);
    QWidget* w = nullptr;
    QButtonGroup* inGroup = nullptr;
    switch (c.kind) {
      case ControlKind::Label: {
        auto* l = new QLabel(caption, parent);
        l->setWordWrap(true);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        w = l;
        break;
      }
      case ControlKind::GroupBox: {
        auto* g = new QGroupBox(caption, parent);
        w = g;
        break;
      }
      case ControlKind::PushButton: {
        // Enter in an edit or a list must not press a button: inside a
        // dialog every push button would otherwise become the default one.
        auto* b = new QPushButton(caption, parent);
        b->setAutoDefault(false);
        b->setDefault(false);
        w = b;
        break;
      }
      case ControlKind::RadioButton: {
        auto* r = new QRadioButton(caption, parent);
        if ((c.style & kStyleGroupStart) || !group) {
          group = new QButtonGroup(parent);
          group->setExclusive(true);
        }
        group->addButton(r);
        inGroup = group;
        w = r;
        break;
      }
      case ControlKind::CheckBox:
        w = new QCheckBox(caption, parent);
        break;
      case ControlKind::Edit: {
        auto* e = new QLineEdit(parent);
        if (c.style & kStyleDigitsOnly)
          e->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), e));
        if (c.style & kStyleReadOnly) e->setReadOnly(true);
        if (c.style & kStylePassword) e->setEchoMode(QLineEdit::Password);
        w = e;
        break;
      }
      case ControlKind::ComboEdit:
      case ControlKind::ComboList: {
        auto* cb = new QComboBox(parent);
        cb->setEditable(c.kind == ControlKind::ComboEdit);
        cb->setInsertPolicy(QComboBox::NoInsert);  // Enter adds no entry
        cb->setMaxVisibleItems(12);
        w = cb;
        break;
      }
      case ControlKind::ProgressBar: {
        auto* p = new QProgressBar(parent);
        p->setRange(0, 100);
        p->setValue(0);
        p->setTextVisible(false);
        w = p;
        break;
      }
      case ControlKind::IpAddress:
        w = new IpAddressEdit(parent);
        break;
      case ControlKind::Tab:
        continue;  // the main window makes its own tab control
    }
    w->setFont(font);
    int h = py(c.h);
    if (c.kind == ControlKind::ComboEdit || c.kind == ControlKind::ComboList) {
      // A drop-down's height in the template includes its open list.
      h = std::min(h, w->sizeHint().height());
    }
    w->setGeometry(px(c.x), py(c.y), px(c.w), h);
    if (c.style & kStyleHidden) w->setVisible(false);
    if (c.style & kStyleDisabled) w->setEnabled(false);
    if (c.kind == ControlKind::GroupBox) w->lower();
    controls.Register(c.id, w, c.kind, (c.style & kStyleSorted) != 0, inGroup);
    placed.emplace_back(w, c.kind);
    if (c.items) {
      const QStringList items = QString::fromUtf8(c.items).split(QLatin1Char('\n'));
      for (const QString& item : items) controls.AddItem(c.id, item);
    }
  }
  FitToRoom(parent, placed);
}

}  // namespace deveder
