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
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QKeyEvent>
#include <QShortcut>
#include <QStyleOptionComboBox>
#include <algorithm>
#include <set>
#include <vector>

#include "app/ip_address_edit.h"
#include "protocol/text_codec.h"

namespace deveder {

namespace {

// A page's push button. Enter or Return on the focused button presses it, as
// Space does; Enter in an edit or a list presses nothing (no button is a
// default one).
class PageButton : public QPushButton {
 public:
  using QPushButton::QPushButton;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
      event->accept();
      if (!event->isAutoRepeat()) click();
      return;
    }
    QPushButton::keyPressEvent(event);
  }
};

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

// The mnemonic letter of each push button of a dialog, chosen from the
// English captions so that a button has the same key in both languages: the
// first letter of a word where one is free (a capital inside a word starts
// one: "ReadFile"), else any free letter of the caption.
std::map<int, char16_t> MnemonicLetters(int dialogId) {
  std::map<int, char16_t> letters;
  std::set<char16_t> used;
  for (const ControlTemplate& c : FindDialogTemplate(dialogId, kLangEnglish).controls) {
    if (c.kind != ControlKind::PushButton) continue;
    const QString text = QString::fromUtf8(c.caption);
    std::vector<char16_t> candidates;
    for (qsizetype i = 0; i < text.size(); ++i) {
      const QChar ch = text[i];
      if (ch.unicode() > 127 || !ch.isLetter()) continue;
      if (i == 0 || !text[i - 1].isLetter() || (ch.isUpper() && text[i - 1].isLower()))
        candidates.push_back(ch.toUpper().unicode());
    }
    for (const QChar ch : text)
      if (ch.unicode() <= 127 && ch.isLetter()) candidates.push_back(ch.toUpper().unicode());
    for (const char16_t ch : candidates) {
      if (used.insert(ch).second) {
        letters[c.id] = ch;
        break;
      }
    }
  }
  return letters;
}

// The caption with "&" before its mnemonic letter (a word's first letter
// where the caption has one), or the caption alone when the letter is not in
// it. A "&" of the caption itself is doubled.
QString WithMnemonic(const QString& caption, char16_t letter) {
  QString text = caption;
  text.replace(QLatin1Char('&'), QLatin1String("&&"));
  qsizetype at = -1;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i].toUpper().unicode() != letter) continue;
    const bool starts = i == 0 || !text[i - 1].isLetter() || (text[i].isUpper() && text[i - 1].isLower());
    if (at < 0 || starts) at = i;
    if (starts) break;
  }
  if (at >= 0) text.insert(at, QLatin1Char('&'));
  return text;
}

// Gives a push button its mnemonic: the underlined letter of its caption, or,
// where the caption holds no such letter (a Chinese caption), the same
// Alt+letter as a shortcut named in its tool tip.
void SetMnemonic(QPushButton* button, char16_t letter) {
  const QString caption = button->text();
  const QString marked = WithMnemonic(caption, letter);
  if (marked.contains(QRegularExpression(QStringLiteral("&[^&]")))) {
    button->setText(marked);
    return;
  }
  auto* shortcut = new QShortcut(QKeySequence(QKeyCombination(Qt::AltModifier, Qt::Key(letter))), button);
  QObject::connect(shortcut, &QShortcut::activated, button, [button] { button->animateClick(); });
  button->setToolTip(QStringLiteral("Alt+") + QChar(letter));
}

// The tab order follows what the eye reads. The controls are cut in two (or
// more) along their widest empty gap, into rows when it runs across the
// page and into columns when it runs down, and each part is read the same
// way in turn. A group box is one block: its inside is read right after it.
using Widgets = std::vector<QWidget*>;

// The parts of `items` either side of their widest gaps along one axis; the
// width of those gaps (-1: no gap).
std::vector<Widgets> CutAtWidestGap(const Widgets& items, bool rows, int& widestGap) {
  Widgets sorted = items;
  auto start = [rows](const QWidget* w) { return rows ? w->geometry().top() : w->geometry().left(); };
  auto stop = [rows](const QWidget* w) { return rows ? w->geometry().bottom() + 1 : w->geometry().right() + 1; };
  std::stable_sort(sorted.begin(), sorted.end(), [&](const QWidget* a, const QWidget* b) { return start(a) < start(b); });
  std::vector<std::pair<int, Widgets>> bands;  // gap before the band, its controls
  int end = 0;
  widestGap = -1;
  for (QWidget* w : sorted) {
    if (bands.empty() || start(w) >= end) {
      const int gap = bands.empty() ? -1 : start(w) - end;
      widestGap = std::max(widestGap, gap);
      bands.emplace_back(gap, Widgets{});
      end = stop(w);
    }
    bands.back().second.push_back(w);
    end = std::max(end, stop(w));
  }
  std::vector<Widgets> parts;
  for (auto& [gap, band] : bands) {
    if (parts.empty() || gap == widestGap) parts.emplace_back();
    parts.back().insert(parts.back().end(), band.begin(), band.end());
  }
  return parts;
}

void ReadingOrder(const Widgets& items, const std::map<QWidget*, Widgets>& inside, Widgets& out) {
  auto take = [&](QWidget* w) {
    out.push_back(w);
    if (auto it = inside.find(w); it != inside.end()) ReadingOrder(it->second, inside, out);
  };
  if (items.size() == 1) {
    take(items.front());
    return;
  }
  int rowGap = 0, columnGap = 0;
  const std::vector<Widgets> rows = CutAtWidestGap(items, true, rowGap);
  const std::vector<Widgets> columns = CutAtWidestGap(items, false, columnGap);
  if (rows.size() <= 1 && columns.size() <= 1) {
    // Nothing to cut: top to bottom, then left to right.
    Widgets sorted = items;
    std::stable_sort(sorted.begin(), sorted.end(), [](const QWidget* a, const QWidget* b) {
      return std::pair(a->y(), a->x()) < std::pair(b->y(), b->x());
    });
    for (QWidget* w : sorted) take(w);
    return;
  }
  const bool byRows = rows.size() > 1 && (columns.size() <= 1 || rowGap >= columnGap);
  for (const Widgets& part : byRows ? rows : columns) ReadingOrder(part, inside, out);
}

void SetVisualTabOrder(const std::vector<std::pair<QWidget*, ControlKind>>& placed) {
  // Each control belongs to the smallest group box around its top left.
  std::map<QWidget*, Widgets> inside;
  Widgets top;
  for (auto [w, kind] : placed) {
    QWidget* owner = nullptr;
    for (auto [g, gkind] : placed) {
      if (g == w || gkind != ControlKind::GroupBox || !g->geometry().contains(w->geometry().topLeft())) continue;
      const auto area = [](const QWidget* x) { return x->width() * x->height(); };
      if (!owner || area(g) < area(owner)) owner = g;
    }
    if (owner) inside[owner].push_back(w);
    else top.push_back(w);
  }
  Widgets ordered;
  ReadingOrder(top, inside, ordered);
  // A control that takes no focus itself (the address field) passes it to
  // its parts.
  Widgets chain;
  for (QWidget* w : ordered) {
    if (w->focusPolicy() & Qt::TabFocus) {
      chain.push_back(w);
      continue;
    }
    for (QWidget* part : w->findChildren<QWidget*>())
      if (part->focusPolicy() & Qt::TabFocus) chain.push_back(part);
  }
  for (std::size_t i = 1; i < chain.size(); ++i) QWidget::setTabOrder(chain[i - 1], chain[i]);
}

}  // namespace

QString WithoutMnemonic(const QString& text) {
  QString plain;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == QLatin1Char('&') && i + 1 < text.size()) ++i;
    plain += text[i];
  }
  return plain;
}

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
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return WithoutMnemonic(b->text());
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
  return {};
}

void WidgetControls::SetText(int id, const QString& text) {
  const Entry* e = find(id);
  if (!e) return;
  QWidget* w = e->widget;
  if (auto* le = qobject_cast<QLineEdit*>(w)) {
    le->setText(text);
    le->setCursorPosition(0);  // a value longer than its box shows its start
  } else if (auto* cb = qobject_cast<QComboBox*>(w)) {
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

QRect ControlsExtent(const DialogTemplate& dialog, const DialogUnits& u) {
  // A closed drop-down is about as tall as an edit; its template height
  // counts the open list.
  constexpr int kClosedComboUnits = 14;
  int left = dialog.width, top = dialog.height, right = 0, bottom = 0;
  for (const ControlTemplate& c : dialog.controls) {
    const bool combo = c.kind == ControlKind::ComboEdit || c.kind == ControlKind::ComboList;
    left = std::min(left, c.x);
    top = std::min(top, c.y);
    right = std::max(right, c.x + c.w);
    bottom = std::max(bottom, c.y + (combo ? std::min(c.h, kClosedComboUnits) : c.h));
  }
  // The frame of a group box or the edge of a button needs a pixel more.
  return QRect(QPoint(u.toPixelsX(left), int(top * u.charHeight / 8.0 + 0.5)),
               QPoint(u.toPixelsX(right), u.toPixelsY(bottom)));
}

void BuildDialog(const DialogTemplate& dialog, QWidget* parent, WidgetControls& controls) {
  const DialogUnits u = UnitsForFont(dialog.fontPoints);
  // Our fonts run wider and taller than the ones the templates were laid out
  // for. A page is built at full size when its controls fit the room it is
  // given (the empty margin of a template may run past it); one whose
  // controls would not is shrunk as a whole, type included, rather than cut
  // off at the tab's edge.
  double scale = 1.0;
  const QSize room = parent->size();
  const QRect extent = ControlsExtent(dialog, u);
  if (room.width() > 0 && room.height() > 0 && extent.right() > 0 && extent.bottom() > 0)
    scale = std::min({1.0, double(room.width()) / (extent.right() + 1), double(room.height()) / (extent.bottom() + 1)});
  auto px = [&](int units) { return int(units * u.avgCharWidth * scale / 4 + 0.5); };
  auto py = [&](int units) { return int(units * u.charHeight * scale / 8 + 0.5); };
  QFont font = parent->font();
  font.setPointSizeF(dialog.fontPoints * scale);
  QButtonGroup* group = nullptr;
  std::vector<std::pair<QWidget*, ControlKind>> placed;
  const std::map<int, char16_t> mnemonics = MnemonicLetters(dialog.id);
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
        auto* b = new PageButton(caption, parent);
        if (auto it = mnemonics.find(c.id); it != mnemonics.end()) SetMnemonic(b, it->second);
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
      case ControlKind::IpAddress: {
        auto* ip = new IpAddressEdit(parent);
        ip->setLangId(dialog.langId);
        w = ip;
        break;
      }
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
  SetVisualTabOrder(placed);
}

}  // namespace deveder
