#include "ui/qt/main_window.hpp"

#include <initializer_list>
#include <optional>
#include <utility>

#include <QClipboard>
#include <QDesktopServices>
#include <QFont>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QUrl>

#include "engine/line_breaks.hpp"
#include "ui/form1_access.hpp"
#include "ui/form1_layout.hpp"
#include "ui/qt/accessible.hpp"
#include "ui/qt/link_label.hpp"
#include "ui/qt/qt_text.hpp"

// The icons live in a resource file of this static library; naming its
// initialiser keeps the linker from dropping it. Must stand outside any
// namespace.
static void init_textquirl_resources() { Q_INIT_RESOURCE(textquirl); }

namespace textquirl {

namespace {

using layout::ControlId;

// Names the widget after its entry in the layout table, puts it there and
// gives it its accessible name and description. Qt scales device-independent
// pixels itself, so the table is read at 96 DPI.
template <class Widget>
Widget* place(Widget* widget, ControlId id) {
  const layout::Control& c = layout::control(id);
  const layout::Rect r = layout::pixels(c.twips, layout::kStandardDpi);
  widget->setObjectName(to_qstring(c.name));
  widget->setGeometry(r.left, r.top, r.width, r.height);
  widget->setAccessibleName(to_qstring(access::name(id)));
  widget->setAccessibleDescription(to_qstring(access::description(id)));
  return widget;
}

// The control a widget stands for, by its objectName; nullopt for any other.
std::optional<ControlId> control_id(const QObject* object) {
  for (const layout::Control& c : layout::kControls) {
    if (object->objectName() == to_qstring(c.name)) return c.id;
  }
  return std::nullopt;
}

// The keys of the binding table as Qt names them; Shift+Tab arrives as Backtab.
std::optional<access::Key> access_key(const QKeyEvent& event) {
  switch (event.key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return access::Key::Tab;
    case Qt::Key_Return:
    case Qt::Key_Enter: return access::Key::Enter;
    case Qt::Key_Space: return access::Key::Space;
    case Qt::Key_Escape: return access::Key::Escape;
    case Qt::Key_Menu: return access::Key::ContextMenu;
    case Qt::Key_F10: return access::Key::F10;
    default: return std::nullopt;
  }
}

unsigned access_modifiers(const QKeyEvent& event) {
  const Qt::KeyboardModifiers held = event.modifiers();
  unsigned modifiers = access::kNoModifier;
  if (held & Qt::ShiftModifier || event.key() == Qt::Key_Backtab) modifiers |= access::kShift;
  if (held & Qt::ControlModifier) modifiers |= access::kCtrl;
  if (held & Qt::AltModifier) modifiers |= access::kAlt;
  return modifiers;
}

// The font of the two link labels; where "MS Sans Serif" is missing the
// platform's sans-serif stands in.
QFont link_font() {
  QFont font(to_qstring(layout::kLinkFontFamily));
  font.setStyleHint(QFont::SansSerif);
  font.setPointSizeF(layout::kLinkFontPoints);
  font.setWeight(QFont::Normal);
  font.setUnderline(true);
  return font;
}

QLabel* make_label(QLabel* label, ControlId id) {
  place(label, id);
  label->setTextFormat(Qt::PlainText);
  label->setText(to_qstring(layout::caption(id)));
  if (layout::control(id).kind != layout::ControlKind::LinkLabel) {
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
  }
  label->setFont(link_font());
  QPalette palette = label->palette();
  const layout::Colour blue = layout::kLinkColour;
  palette.setColor(QPalette::WindowText, QColor(blue.red, blue.green, blue.blue));
  label->setPalette(palette);
  label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  label->setCursor(Qt::PointingHandCursor);
  return label;
}

void open_link(ControlId id) {
  QDesktopServices::openUrl(QUrl(to_qstring(layout::link_target(id))));
}

}  // namespace

Form1::Form1(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint) {
  init_textquirl_resources();
  install_accessible_interfaces();
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(to_qstring(layout::kWindowCaption));
  setAccessibleName(to_qstring(access::kWindowName));
  QIcon icon;
  icon.addFile(QStringLiteral(":/textquirl/textquirl-16.png"), QSize(16, 16));
  icon.addFile(QStringLiteral(":/textquirl/textquirl-32.png"), QSize(32, 32));
  setWindowIcon(icon);
  setFixedSize(layout::twips_to_pixels(layout::kClientWidthTwips, layout::kStandardDpi),
               layout::twips_to_pixels(layout::kClientHeightTwips, layout::kStandardDpi));

  // Created in tab order, which gives the focus chain: Text1, Command1,
  // Label1 (which takes no focus), Label2, Label3.
  Text1 = place(new QPlainTextEdit(this), ControlId::Text1);
  Text1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Text1->setTabChangesFocus(true);

  Command1 = place(new QPushButton(to_qstring(layout::caption(ControlId::Command1)), this),
                   ControlId::Command1);
  Label1 = make_label(new QLabel(this), ControlId::Label1);
  Label2 = new LinkLabel(this);
  make_label(Label2, ControlId::Label2);
  Label3 = new LinkLabel(this);
  make_label(Label3, ControlId::Label3);

  Text1->setFocus();
  for (QWidget* control : std::initializer_list<QWidget*>{Text1, Command1, Label2, Label3}) {
    control->installEventFilter(this);
  }

  // Command1's context menu: right-click here, the keys in eventFilter.
  Command1Menu = new QMenu(this);
  Command1Menu->setObjectName(QStringLiteral("Command1Menu"));
  Command1Menu->setToolTipsVisible(true);
  const layout::MenuCommand& careful = layout::kCarefulCommand;
  QAction* careful_action = Command1Menu->addAction(to_qstring(careful.caption));
  careful_action->setObjectName(to_qstring(careful.name));
  careful_action->setToolTip(to_qstring(careful.explanation));
  careful_action->setStatusTip(to_qstring(careful.explanation));
  connect(careful_action, &QAction::triggered, this, &Form1::CarefulCommand_Click);
  Command1->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(Command1, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { open_command1_menu(Command1->mapToGlobal(at), false); });

  connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
  connect(Label2, &LinkLabel::clicked, this, &Form1::Label2_Click);
  connect(Label3, &LinkLabel::clicked, this, &Form1::Label3_Click);
}

Form1::~Form1() = default;

void Form1::set_scrambler(Scrambler scrambler) { command_.set_scrambler(std::move(scrambler)); }

// The text as typed, line breaks as the engine wants them (CR LF). The raw
// text keeps no-break spaces (toPlainText() would turn them into spaces) and
// ends each block with U+2029: Enter, Shift+Enter (see eventFilter) and every
// CR, LF or CR LF pasted start a block, so these are the text's line breaks,
// and the text holds no CR or LF of its own. A U+2028 is a character like any
// other, as in the filter and the Win32 window.
std::u16string Form1::engine_input() const {
  QString raw = Text1->document()->toRawText();
  raw.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  return to_crlf(std::u16string_view(reinterpret_cast<const char16_t*>(raw.constData()),
                                     static_cast<std::size_t>(raw.size())));
}

void Form1::Command1_Click() { scramble_to_clipboard({}); }

void Form1::CarefulCommand_Click() {
  ScrambleOptions careful;
  careful.mode = Mode::careful;
  scramble_to_clipboard(careful);
}

void Form1::open_command1_menu(const QPoint& at, bool from_keyboard) {
  if (from_keyboard) Command1Menu->setActiveAction(Command1Menu->actions().front());
  Command1Menu->popup(at);
}

void Form1::scramble_to_clipboard(const ScrambleOptions& options) {
  ScrambleCommand::Outcome outcome = command_.run(engine_input(), options);
  if (!outcome.ok) {
    show_failure(to_qstring(outcome.text));
    return;
  }
  // The clipboard takes "\n"; Qt turns it into the platform's line break.
  // One step from the old content to the new, with the text ready: emptied
  // first, the clipboard would lose the user's content if setting failed,
  // and on X11 the previous owner would see the selection go to no one.
  QGuiApplication::clipboard()->setText(to_qstring(crlf_to_lf(std::move(outcome.text))));
}

// Non-blocking, so the window stays usable; tests find the box by its
// objectName "scrambleFailure".
void Form1::show_failure(const QString& message) {
  auto* box = new QMessageBox(QMessageBox::Critical, to_qstring(kMessageCaption), message,
                              QMessageBox::Ok, this);
  box->setObjectName(QStringLiteral("scrambleFailure"));
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
  const auto& key_event = static_cast<const QKeyEvent&>(*event);
  // Shift+Enter in Text1 starts a new line as Enter does, where Qt would put
  // a U+2028 into the block; so a line typed gives the same text as in the
  // Win32 window.
  if (watched == Text1 && access_key(key_event) == access::Key::Enter &&
      access_modifiers(key_event) == access::kShift) {
    Text1->insertPlainText(QStringLiteral("\n"));
    return true;
  }
  const std::optional<access::Key> key = access_key(key_event);
  if (!key) return false;
  using Kind = access::KeyResponse::Kind;
  const access::KeyResponse response = access::respond_to_key(
      control_id(watched), *key, access_modifiers(key_event), key_event.isAutoRepeat());
  auto target = [this, &response] {
    return findChild<QWidget*>(to_qstring(layout::control(response.control).name));
  };
  switch (response.kind) {
    case Kind::PassOn:
      return false;
    case Kind::Swallow:
      return true;
    case Kind::Focus:
      target()->setFocus(Qt::TabFocusReason);
      return true;
    case Kind::Click:
      if (response.control == ControlId::Command1) {
        Command1->click();
      } else {
        static_cast<LinkLabel*>(target())->activate();
      }
      return true;
    case Kind::Menu:
      open_command1_menu(Command1->mapToGlobal(QPoint(0, Command1->height())), true);
      return true;
  }
  return false;
}

void Form1::Label2_Click() { open_link(ControlId::Label2); }

void Form1::Label3_Click() { open_link(ControlId::Label3); }

}  // namespace textquirl
