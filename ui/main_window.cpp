#include "ui/main_window.hpp"

#include <exception>
#include <new>
#include <utility>

#include <QClipboard>
#include <QDesktopServices>
#include <QFont>
#include <QGuiApplication>
#include <QIcon>
#include <QMessageBox>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QUrl>

#include "engine/scramble.hpp"
#include "ui/link_label.hpp"
#include "ui/product_info.hpp"

// The icons live in a resource file of this static library; naming its
// initialiser keeps the linker from dropping it. Must stand outside any
// namespace.
static void init_textquirl_resources() { Q_INIT_RESOURCE(textquirl); }

namespace textquirl {

namespace {

QString to_qstring(std::u16string_view text) {
  return QString(reinterpret_cast<const QChar*>(text.data()),
                 static_cast<qsizetype>(text.size()));
}

// The font of the two link labels; where "MS Sans Serif" is missing the
// platform's sans-serif stands in.
QFont link_font() {
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setStyleHint(QFont::SansSerif);
  font.setPointSizeF(8.25);
  font.setWeight(QFont::Normal);
  font.setUnderline(true);
  return font;
}

void make_link(QLabel* label) {
  label->setFont(link_font());
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
  label->setPalette(palette);
  label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  label->setCursor(Qt::PointingHandCursor);
}

QLabel* make_label(QLabel* label, const QString& name, const QString& caption,
                   QRect geometry) {
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  label->setText(caption);
  label->setGeometry(geometry);
  return label;
}

}  // namespace

Form1::Form1(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint) {
  init_textquirl_resources();
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Textquirl"));
  QIcon icon;
  icon.addFile(QStringLiteral(":/textquirl/textquirl-16.png"), QSize(16, 16));
  icon.addFile(QStringLiteral(":/textquirl/textquirl-32.png"), QSize(32, 32));
  setWindowIcon(icon);
  setFixedSize(546, 437);

  // Created in tab order, which gives the focus chain: Text1, Command1,
  // then the labels (which take no focus).
  Text1 = new QPlainTextEdit(this);
  Text1->setObjectName(QStringLiteral("Text1"));
  Text1->setGeometry(8, 8, 529, 369);
  Text1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Text1->setTabChangesFocus(true);

  Command1 = new QPushButton(QStringLiteral("Verwurschteln und in Zwischenablage kopieren"), this);
  Command1->setObjectName(QStringLiteral("Command1"));
  Command1->setGeometry(8, 384, 529, 33);

  Label1 = make_label(new QLabel(this), QStringLiteral("Label1"),
                      product::copyright_line(), QRect(16, 420, 137, 17));
  Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  Label2 = new LinkLabel(this);
  make_label(Label2, QStringLiteral("Label2"), product::web_address(),
             QRect(304, 420, 233, 17));
  make_link(Label2);

  Label3 = new LinkLabel(this);
  make_label(Label3, QStringLiteral("Label3"),
             u'(' + product::mail_address() + u')', QRect(152, 420, 137, 17));
  make_link(Label3);

  Text1->setFocus();

  connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
  connect(Label2, &LinkLabel::clicked, this, &Form1::Label2_Click);
  connect(Label3, &LinkLabel::clicked, this, &Form1::Label3_Click);
}

Form1::~Form1() = default;

void Form1::set_scrambler(Scrambler scrambler) { scrambler_ = std::move(scrambler); }

// The text as typed, with every line break as CR LF. The raw text keeps
// no-break spaces (toPlainText() would turn them into spaces) and separates
// blocks by U+2029; Shift+Enter inside a block gives U+2028.
std::u16string Form1::engine_input() const {
  const QString raw = Text1->document()->toRawText();
  std::u16string text;
  text.reserve(static_cast<std::size_t>(raw.size()));
  for (const QChar c : raw) {
    if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator) {
      text += u"\r\n";
    } else {
      text += c.unicode();
    }
  }
  return text;
}

void Form1::Command1_Click() {
  QString result;
  try {
    const std::u16string input = engine_input();
    const std::u16string scrambled =
        scrambler_ ? scrambler_(input) : scramble(input, random_);
    result = to_qstring(scrambled);
    // The clipboard takes "\n"; Qt turns it into the platform's line break.
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  } catch (const std::bad_alloc&) {
    show_failure(QStringLiteral("Der Text ist zu groß für den verfügbaren Speicher."));
    return;
  } catch (const std::exception& e) {
    show_failure(QString::fromUtf8(e.what()));
    return;
  } catch (...) {
    show_failure(QStringLiteral("Ein unbekannter Fehler ist aufgetreten."));
    return;
  }
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->clear();
  clipboard->setText(result);
}

// Non-blocking, so the window stays usable; tests find the box by its
// objectName "scrambleFailure".
void Form1::show_failure(const QString& reason) {
  auto* box = new QMessageBox(
      QMessageBox::Critical, QStringLiteral("Textquirl"),
      QStringLiteral("Der Text konnte nicht verwurschtelt werden.\n\n") + reason +
          QStringLiteral("\n\nDer Text im Fenster und die Zwischenablage sind unverändert."),
      QMessageBox::Ok, this);
  box->setObjectName(QStringLiteral("scrambleFailure"));
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

void Form1::Label2_Click() { QDesktopServices::openUrl(QUrl(product::web_address())); }

void Form1::Label3_Click() {
  QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:") + product::mail_address()));
}

}  // namespace textquirl
