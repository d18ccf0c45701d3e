// Tests of the main window on Qt's offscreen platform: layout, the keyboard,
// what assistive technology gets, the scramble command with the real
// clipboard, failures, and the link labels.

#include <gtest/gtest.h>

#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include "engine/scramble.hpp"
#include "ui/form1_layout.hpp"
#include "ui/qt/desktop_session.hpp"
#include "ui/qt/main_window.hpp"
#include "ui/qt/qt_text.hpp"

namespace {

using textquirl::to_qstring;

using textquirl::Form1;

// Records the addresses handed to QDesktopServices::openUrl.
class UrlCatcher : public QObject {
  Q_OBJECT

 public:
  std::vector<QUrl> urls;

 public slots:
  void open(const QUrl& url) { urls.push_back(url); }
};

template <typename T>
T* control(Form1& form, const char* name) {
  T* widget = form.findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(widget, nullptr) << name;
  return widget;
}

QString clipboard_text() { return QGuiApplication::clipboard()->text(); }

void click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton); }

// What the clipboard should hold when the engine returned `engine_result`.
QString expected_clipboard(const std::u16string& engine_result) {
  return to_qstring(engine_result).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

const char16_t kLongText[] =
    u"Nach einer Studie der Universität Cambridge ist es nicht wichtig, in welcher "
    u"Reihenfolge die Buchstaben in einem Wort stehen; wichtig ist nur, dass der "
    u"erste und der letzte Buchstabe an der richtigen Stelle sind.";

TEST(Form1, LayoutCaptionsAndStyle) {
  Form1 form;

  // window
  EXPECT_EQ(form.objectName(), QStringLiteral("Form1"));
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Textquirl"));
  EXPECT_EQ(form.size(), QSize(546, 437));
  EXPECT_EQ(form.minimumSize(), form.maximumSize());
  EXPECT_TRUE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
  const QList<QSize> icon_sizes = form.windowIcon().availableSizes();
  EXPECT_TRUE(icon_sizes.contains(QSize(16, 16)));
  EXPECT_TRUE(icon_sizes.contains(QSize(32, 32)));

  // geometry of every control
  auto* text1 = control<QPlainTextEdit>(form, "Text1");
  auto* command1 = control<QPushButton>(form, "Command1");
  auto* label1 = control<QLabel>(form, "Label1");
  auto* label2 = control<QLabel>(form, "Label2");
  auto* label3 = control<QLabel>(form, "Label3");
  ASSERT_TRUE(text1 && command1 && label1 && label2 && label3);
  EXPECT_EQ(text1->geometry(), QRect(8, 8, 529, 369));
  EXPECT_EQ(command1->geometry(), QRect(8, 384, 529, 33));
  EXPECT_EQ(label1->geometry(), QRect(16, 420, 137, 17));
  EXPECT_EQ(label3->geometry(), QRect(152, 420, 137, 17));
  EXPECT_EQ(label2->geometry(), QRect(304, 420, 233, 17));

  // text box and captions
  EXPECT_TRUE(text1->toPlainText().isEmpty());
  EXPECT_EQ(text1->lineWrapMode(), QPlainTextEdit::WidgetWidth);
  EXPECT_EQ(text1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(command1->text(), QStringLiteral("Verwurschteln und in Zwischenablage kopieren"));
  EXPECT_EQ(label2->text(), QStringLiteral("http://example.org/computer/programme/"));
  EXPECT_EQ(label3->text(), QStringLiteral("(info@example.org)"));
  EXPECT_FALSE(label1->text().isEmpty());

  // link labels: blue, underlined, centred, pointing hand; Label1 plain
  for (QLabel* link : {label2, label3}) {
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(link->font().family(), QStringLiteral("MS Sans Serif"));
    EXPECT_DOUBLE_EQ(link->font().pointSizeF(), 8.25);
    EXPECT_TRUE(link->font().underline());
    EXPECT_EQ(link->font().weight(), QFont::Normal);
    EXPECT_TRUE(link->alignment() & Qt::AlignHCenter);
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
  }
  for (QWidget* w : std::initializer_list<QWidget*>{text1, command1, label1})
    EXPECT_EQ(w->font(), form.font());
  EXPECT_NE(label1->palette().color(QPalette::WindowText), QColor(0, 0, 255));

  // the link captions fit their labels
  EXPECT_LE(label2->fontMetrics().horizontalAdvance(label2->text()), label2->width());
  EXPECT_LE(label3->fontMetrics().horizontalAdvance(label3->text()), label3->width());
}

TEST(Form1, FocusAndTabOrder) {
  Form1 form;
  auto* text1 = control<QPlainTextEdit>(form, "Text1");
  ASSERT_TRUE(text1);

  // the focus chain runs Text1, Command1, Label1, Label2, Label3
  QStringList chain;
  const QStringList names = {QStringLiteral("Text1"), QStringLiteral("Command1"),
                             QStringLiteral("Label1"), QStringLiteral("Label2"),
                             QStringLiteral("Label3")};
  QWidget* w = text1;
  do {
    if (names.contains(w->objectName())) chain << w->objectName();
    w = w->nextInFocusChain();
  } while (w != text1);
  EXPECT_EQ(chain, names);

  // Text1 has the focus first; Tab visits Text1, Command1, Label2, Label3 and
  // comes round again (Label1 takes no focus); Shift+Tab goes back; Tab in
  // Text1 inserts nothing
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  auto focused = [] { return QApplication::focusWidget()->objectName(); };
  EXPECT_EQ(focused(), QStringLiteral("Text1"));
  QStringList forwards, backwards;
  for (int i = 0; i < 4; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    forwards << focused();
  }
  for (int i = 0; i < 4; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    backwards << focused();
  }
  EXPECT_EQ(forwards, QStringList({QStringLiteral("Command1"), QStringLiteral("Label2"),
                                   QStringLiteral("Label3"), QStringLiteral("Text1")}));
  EXPECT_EQ(backwards, QStringList({QStringLiteral("Label3"), QStringLiteral("Label2"),
                                    QStringLiteral("Command1"), QStringLiteral("Text1")}));
  EXPECT_TRUE(text1->toPlainText().isEmpty());

  // a focused link shows a focus frame; a click on a link leaves the focus
  // where it was, as it always did
  auto* label2 = control<QLabel>(form, "Label2");
  const QImage unfocused = label2->grab().toImage();
  label2->setFocus(Qt::TabFocusReason);
  EXPECT_NE(label2->grab().toImage(), unfocused);
  UrlCatcher catcher;
  QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &catcher, "open");
  text1->setFocus();
  click(control<QLabel>(form, "Label3"));
  EXPECT_EQ(focused(), QStringLiteral("Text1"));
  EXPECT_EQ(catcher.urls.size(), 1u);
  QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
}

TEST(Form1, WhatAssistiveTechnologyGets) {
  UrlCatcher catcher;
  QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &catcher, "open");
  Form1 form;
  form.show();
  auto iface = [&form](const char* name) {
    QWidget* widget = name ? form.findChild<QWidget*>(QString::fromLatin1(name)) : &form;
    QAccessibleInterface* i = QAccessible::queryAccessibleInterface(widget);
    EXPECT_NE(i, nullptr) << name;
    return i;
  };
  struct Expected {
    const char* control;
    QAccessible::Role role;
    QString name;
    QString description;
    QString first_action;
  };
  const QString press = QAccessibleActionInterface::pressAction();
  const Expected expected[] = {
      {nullptr, QAccessible::Window, QStringLiteral("Textquirl"), {}, {}},
      {"Text1", QAccessible::EditableText, QStringLiteral("Text zum Verwurschteln"), {},
       QAccessibleActionInterface::setFocusAction()},
      {"Command1", QAccessible::Button,
       QStringLiteral("Verwurschteln und in Zwischenablage kopieren"), {}, press},
      {"Label1", QAccessible::StaticText, control<QLabel>(form, "Label1")->text(), {}, {}},
      {"Label2", QAccessible::Link, QStringLiteral("http://example.org/computer/programme/"),
       QStringLiteral("http://example.org/computer/programme/"), QStringLiteral("jump")},
      {"Label3", QAccessible::Link, QStringLiteral("(info@example.org)"),
       QStringLiteral("mailto:info@example.org"), QStringLiteral("jump")},
  };
  for (const Expected& e : expected) {
    QAccessibleInterface* i = iface(e.control);
    ASSERT_NE(i, nullptr);
    const char* what = e.control ? e.control : "Form1";
    EXPECT_EQ(i->role(), e.role) << what;
    EXPECT_EQ(i->text(QAccessible::Name).toStdString(), e.name.toStdString()) << what;
    EXPECT_EQ(i->text(QAccessible::Description).toStdString(), e.description.toStdString()) << what;
    QAccessibleActionInterface* actions = i->actionInterface();
    const QStringList names = actions ? actions->actionNames() : QStringList();
    EXPECT_EQ(names.value(0), e.first_action) << what << ": " << names.join(u',').toStdString();
    if (e.role == QAccessible::Link) {
      EXPECT_FALSE(names.contains(press)) << what;
      EXPECT_EQ(actions->localizedActionName(QStringLiteral("jump")), QStringLiteral("Öffnen"));
    }
  }
  EXPECT_TRUE(iface("Text1")->state().multiLine);
  EXPECT_TRUE(iface("Text1")->state().editable);
  EXPECT_TRUE(iface("Label2")->state().focusable);
  EXPECT_FALSE(iface("Label1")->state().focusable);

  // the link's action opens it once, as a click does
  iface("Label3")->actionInterface()->doAction(QStringLiteral("jump"));
  EXPECT_EQ(catcher.urls, std::vector<QUrl>{QUrl(QStringLiteral("mailto:info@example.org"))});
  QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
}

TEST(Form1, KeysPressTheButtonAndOpenLinks) {
  UrlCatcher catcher;
  for (const char* scheme : {"http", "mailto"})
    QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &catcher, "open");
  Form1 form;
  int presses = 0;
  form.set_scrambler([&presses](std::u16string_view text, textquirl::RandomSource&) {
    ++presses;
    return std::u16string(text);
  });
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  auto* text1 = control<QPlainTextEdit>(form, "Text1");
  auto* command1 = control<QPushButton>(form, "Command1");
  auto* label2 = control<QLabel>(form, "Label2");
  auto* label3 = control<QLabel>(form, "Label3");
  ASSERT_TRUE(text1 && command1 && label2 && label3);
  auto repeated_enter = [](QWidget* widget) {
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(widget, &repeat);
  };

  // Escape in Text1 closes nothing and keeps the text; Ctrl+Enter presses
  // the button, the text stays as typed
  QTest::keyClicks(text1, QStringLiteral("Mein Text"));
  QTest::keyClick(text1, Qt::Key_Escape);
  QTest::keyClick(&form, Qt::Key_Escape);
  EXPECT_TRUE(form.isVisible());
  QTest::keyClick(text1, Qt::Key_Return, Qt::ControlModifier);
  EXPECT_EQ(presses, 1);
  EXPECT_EQ(text1->toPlainText(), QStringLiteral("Mein Text"));
  EXPECT_EQ(clipboard_text(), QStringLiteral("Mein Text"));

  // Enter and Space on the focused button press it once each; a held key's
  // repeats press nothing more
  command1->setFocus(Qt::TabFocusReason);
  QTest::keyClick(command1, Qt::Key_Return);
  QTest::keyClick(command1, Qt::Key_Enter, Qt::KeypadModifier);
  QTest::keyClick(command1, Qt::Key_Space);
  repeated_enter(command1);
  EXPECT_EQ(presses, 4);

  // Enter and Space on a focused link open it once each
  label2->setFocus(Qt::TabFocusReason);
  QTest::keyClick(label2, Qt::Key_Return);
  repeated_enter(label2);
  label3->setFocus(Qt::TabFocusReason);
  QTest::keyClick(label3, Qt::Key_Space);
  const QUrl web(QStringLiteral("http://example.org/computer/programme/"));
  const QUrl mail(QStringLiteral("mailto:info@example.org"));
  EXPECT_EQ(catcher.urls, (std::vector<QUrl>{web, mail}));
  EXPECT_EQ(presses, 4);
  EXPECT_EQ(text1->toPlainText(), QStringLiteral("Mein Text"));
  EXPECT_TRUE(form.isVisible());

  for (const char* scheme : {"http", "mailto"})
    QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
}

// Command1's context menu, from the mouse and from both keys: one entry,
// named and explained from the shared layout, which puts the careful
// scramble on the clipboard from the button's generator.
TEST(Form1, Command1ContextMenuScramblesCarefully) {
  Form1 form;
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  auto* text1 = control<QPlainTextEdit>(form, "Text1");
  auto* command1 = control<QPushButton>(form, "Command1");
  auto* menu = control<QMenu>(form, "Command1Menu");
  ASSERT_TRUE(text1 && command1 && menu);
  const std::u16string typed = u"\u201EAnf\u00FChrungszeichen\u201C \u2013 um 7:30 Uhr, info@example.org";
  text1->setPlainText(to_qstring(typed));
  ASSERT_EQ(menu->actions().size(), 1);
  QAction* careful = menu->actions().front();
  const textquirl::layout::MenuCommand& entry = textquirl::layout::kCarefulCommand;
  EXPECT_EQ(careful->text(), to_qstring(entry.caption));
  EXPECT_EQ(careful->toolTip(), to_qstring(entry.explanation));
  EXPECT_EQ(careful->statusTip(), to_qstring(entry.explanation));

  textquirl::DefaultRandom random;
  textquirl::ScrambleOptions options;
  options.mode = textquirl::Mode::careful;
  const auto wait_for_menu = [&] { return QTest::qWaitFor([&] { return menu->isVisible(); }, 2000); };

  // a right-click on the button (the context-menu event the platform makes
  // of it; the offscreen platform makes none); then the entry by the mouse
  const QPoint centre = command1->rect().center();
  QContextMenuEvent right_click(QContextMenuEvent::Mouse, centre, command1->mapToGlobal(centre));
  QApplication::sendEvent(command1, &right_click);
  ASSERT_TRUE(wait_for_menu());
  QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(careful).center());
  EXPECT_FALSE(menu->isVisible());
  EXPECT_EQ(clipboard_text(), expected_clipboard(textquirl::scramble(typed, random, options)));

  // the menu key and Shift+F10 on the focused button, the entry selected:
  // Enter takes it; the button still scrambles classically in between
  command1->setFocus(Qt::TabFocusReason);
  for (const auto& [key, modifiers] : {std::pair{Qt::Key_Menu, Qt::NoModifier}, std::pair{Qt::Key_F10, Qt::ShiftModifier}}) {
    QTest::keyClick(command1, key, modifiers);
    ASSERT_TRUE(wait_for_menu());
    EXPECT_EQ(menu->activeAction(), careful);
    QTest::keyClick(menu, Qt::Key_Return);
    EXPECT_EQ(clipboard_text(), expected_clipboard(textquirl::scramble(typed, random, options)));
    QTest::keyClick(command1, Qt::Key_Return);
    EXPECT_EQ(clipboard_text(), expected_clipboard(textquirl::scramble(typed, random)));
  }
  EXPECT_EQ(text1->toPlainText(), to_qstring(typed));

  // a screen reader finds the entry by its caption
  QAccessibleInterface* menu_access = QAccessible::queryAccessibleInterface(menu);
  ASSERT_NE(menu_access, nullptr);
  ASSERT_EQ(menu_access->childCount(), 1);
  EXPECT_EQ(menu_access->child(0)->role(), QAccessible::MenuItem);
  EXPECT_EQ(menu_access->child(0)->text(QAccessible::Name), to_qstring(entry.caption));
}

TEST(Command1_Click, PutsScrambledTextOnClipboard) {
  // a click scrambles the whole text and leaves Text1 as typed
  {
    Form1 form;
    auto* text1 = control<QPlainTextEdit>(form, "Text1");
    ASSERT_TRUE(text1);
    text1->insertPlainText(to_qstring(kLongText));
    click(control<QPushButton>(form, "Command1"));
    textquirl::DefaultRandom random;
    const QString expected = expected_clipboard(textquirl::scramble(kLongText, random));
    EXPECT_EQ(clipboard_text(), expected);
    EXPECT_NE(expected, to_qstring(kLongText));
    EXPECT_EQ(text1->toPlainText(), to_qstring(kLongText));
  }

  // an empty box leaves the empty text on the clipboard
  {
    QGuiApplication::clipboard()->setText(QStringLiteral("vorher"));
    Form1 form;
    click(control<QPushButton>(form, "Command1"));
    EXPECT_EQ(clipboard_text(), QString());
  }

  // several lines: the engine sees CR LF for Enter and Shift+Enter alike,
  // keeps no-break spaces and a pasted U+2028 (a character, as in the filter),
  // and the clipboard gets "\n"
  {
    Form1 form;
    auto* text1 = control<QPlainTextEdit>(form, "Text1");
    ASSERT_TRUE(text1);
    std::u16string seen;
    form.set_scrambler([&seen](std::u16string_view text, textquirl::RandomSource&) {
      seen = text;
      return std::u16string(u"Zeile eins \r\nZeile zwei");
    });
    text1->insertPlainText(QStringLiteral("Grüße\u00A0aus"));
    QTest::keyClick(text1, Qt::Key_Return);
    text1->insertPlainText(QStringLiteral("Köln"));
    QTest::keyClick(text1, Qt::Key_Return, Qt::ShiftModifier);
    text1->insertPlainText(QStringLiteral("und Bonn\r\nam\u2028Rhein"));  // pasted
    QTest::keyClick(text1, Qt::Key_Return);
    click(control<QPushButton>(form, "Command1"));
    EXPECT_EQ(seen, std::u16string(u"Grüße\u00A0aus\r\nKöln\r\nund Bonn\r\nam\u2028Rhein\r\n"));
    EXPECT_EQ(clipboard_text(), QStringLiteral("Zeile eins \nZeile zwei"));
  }
}

TEST(Command1_Click, SequenceAfterFreshStartRepeats) {
  auto three_presses = [] {
    Form1 form;
    control<QPlainTextEdit>(form, "Text1")->insertPlainText(to_qstring(kLongText));
    QStringList results;
    for (int i = 0; i < 3; ++i) {
      click(control<QPushButton>(form, "Command1"));
      results << clipboard_text();
    }
    return results;
  };
  const QStringList first = three_presses();
  EXPECT_EQ(three_presses(), first);

  // the n-th press equals the engine's n-th scramble from the default start
  textquirl::DefaultRandom random;
  QStringList engine;
  for (int i = 0; i < 3; ++i) engine << expected_clipboard(textquirl::scramble(kLongText, random));
  EXPECT_EQ(first, engine);
  EXPECT_NE(first[0], first[1]);
}

TEST(Command1_Click, FailureShowsMessageAndKeepsClipboard) {
  struct Case {
    Form1::Scrambler scrambler;
    QString reason;
  };
  const std::vector<Case> cases = {
      {[](std::u16string_view, textquirl::RandomSource&) -> std::u16string { throw std::bad_alloc(); },
       QStringLiteral("Der Text ist zu groß für den verfügbaren Speicher.")},
      {[](std::u16string_view, textquirl::RandomSource&) -> std::u16string {
         throw std::runtime_error("Wort kaputt");
       },
       QStringLiteral("Wort kaputt")},
  };
  for (const Case& c : cases) {
    QGuiApplication::clipboard()->setText(QStringLiteral("alter Inhalt"));
    Form1 form;
    form.show();
    auto* text1 = control<QPlainTextEdit>(form, "Text1");
    ASSERT_TRUE(text1);
    text1->insertPlainText(QStringLiteral("Mein wertvoller Text"));
    form.set_scrambler(c.scrambler);
    click(control<QPushButton>(form, "Command1"));

    auto* box = form.findChild<QMessageBox*>(QStringLiteral("scrambleFailure"));
    ASSERT_NE(box, nullptr) << c.reason.toStdString();
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    EXPECT_TRUE(box->text().contains(c.reason)) << box->text().toStdString();
    EXPECT_TRUE(box->text().contains(QStringLiteral("unverändert")));
    EXPECT_EQ(clipboard_text(), QStringLiteral("alter Inhalt"));
    EXPECT_EQ(text1->toPlainText(), QStringLiteral("Mein wertvoller Text"));
    EXPECT_TRUE(form.isVisible());

    // after closing the message, the window works as before
    box->accept();
    form.set_scrambler({});
    click(control<QPushButton>(form, "Command1"));
    textquirl::DefaultRandom random;
    EXPECT_EQ(clipboard_text(), to_qstring(textquirl::scramble(u"Mein wertvoller Text", random)));
  }
}

TEST(LinkLabels, ClicksOpenAddressesEveryTime) {
  UrlCatcher catcher;
  for (const char* scheme : {"http", "https", "mailto"})
    QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &catcher, "open");
  Form1 form;
  const QString before = clipboard_text();

  click(control<QLabel>(form, "Label2"));
  click(control<QLabel>(form, "Label2"));
  click(control<QLabel>(form, "Label3"));
  click(control<QLabel>(form, "Label1"));
  click(control<QLabel>(form, "Label3"));
  // a right click opens nothing; a double-click (press, release, the second
  // press as a double-click, release) opens once
  QTest::mouseClick(control<QLabel>(form, "Label2"), Qt::RightButton);
  click(control<QLabel>(form, "Label2"));
  QTest::mouseDClick(control<QLabel>(form, "Label2"), Qt::LeftButton);
  QTest::mouseRelease(control<QLabel>(form, "Label2"), Qt::LeftButton);

  const QUrl web(QStringLiteral("http://example.org/computer/programme/"));
  const QUrl mail(QStringLiteral("mailto:info@example.org"));
  EXPECT_EQ(catcher.urls, (std::vector<QUrl>{web, web, mail, mail, web}));
  EXPECT_EQ(clipboard_text(), before);

  for (const char* scheme : {"http", "https", "mailto"})
    QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
}

TEST(InstallGermanTranslations, TextBoxMenuSpeaksGerman) {
  Form1 form;
  auto* text1 = control<QPlainTextEdit>(form, "Text1");
  ASSERT_NE(text1, nullptr);
  ASSERT_TRUE(textquirl::install_german_translations(*qApp)) << "qtbase_de.qm is not installed";
  std::unique_ptr<QMenu> menu(text1->createStandardContextMenu());
  QStringList entries;
  for (const QAction* action : menu->actions()) {
    // "&Rückgängig\tStrg+Z" -> "Rückgängig"
    if (!action->isSeparator()) entries << action->text().section(u'\t', 0, 0).remove(u'&');
  }
  EXPECT_TRUE(entries.contains(QStringLiteral("Rückgängig"))) << entries.join(u'|').toStdString();
  EXPECT_TRUE(entries.contains(QStringLiteral("Alles auswählen")));
  for (const char* english : {"Undo", "Redo", "Cut", "Copy", "Paste", "Delete", "Select All"})
    EXPECT_FALSE(entries.contains(QString::fromLatin1(english))) << english;
}

TEST(HeaderExamples, QtText) { EXPECT_EQ(to_qstring(u"Grüße"), QStringLiteral("Grüße")); }

}  // namespace

int main(int argc, char** argv) {
  // CTest sets the offscreen platform; test discovery at build time runs
  // without it and must not need a display either.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

#include "main_window_test.moc"
