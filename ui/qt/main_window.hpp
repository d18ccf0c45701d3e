// Textquirl's main window: a text box, the button that puts the scrambled
// text on the clipboard, a copyright line and two link labels; the keys of
// ui/form1_access.hpp and names, roles and actions for assistive technology.
#pragma once

#include <string>

#include <QWidget>

#include "ui/scramble_command.hpp"

class QPlainTextEdit;
class QPushButton;
class QLabel;
class QMenu;

namespace textquirl {

class LinkLabel;

class Form1 : public QWidget {
  Q_OBJECT

 public:
  using Scrambler = ScrambleCommand::Scrambler;

  // Builds the window with its fixed layout; Text1 is empty and has the focus.
  // The window's ScrambleCommand owns the generator it draws from (a
  // DefaultRandom, never seeded).
  explicit Form1(QWidget* parent = nullptr);
  ~Form1() override;

  // Replaces the scrambler that Command1_Click calls (a seam for tests);
  // an empty function restores the engine with the command's generator.
  void set_scrambler(Scrambler scrambler);

 public slots:
  // Scrambles the whole text of Text1 and puts the result on the clipboard
  // as plain text. If scrambling fails, shows a message box instead and
  // leaves the clipboard and Text1 as they were.
  void Command1_Click();
  // The same with the careful scramble (Mode::careful), from Command1's
  // context menu (layout::kCarefulCommand).
  void CarefulCommand_Click();
  // Opens the maker's web page with the user's default program.
  void Label2_Click();
  // Opens a new mail to the maker's address with the user's default program.
  void Label3_Click();

 protected:
  // The window's keys (access::kKeyBindings) for Text1, Command1 and the links.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::u16string engine_input() const;
  void scramble_to_clipboard(const ScrambleOptions& options);
  // Opens Command1's context menu at `at` (global), its entry selected when
  // it was opened from the keyboard.
  void open_command1_menu(const QPoint& at, bool from_keyboard);
  void show_failure(const QString& message);

  ScrambleCommand command_;

  QPlainTextEdit* Text1;
  QPushButton* Command1;
  QLabel* Label1;
  LinkLabel* Label2;
  LinkLabel* Label3;
  QMenu* Command1Menu;
};

}  // namespace textquirl
