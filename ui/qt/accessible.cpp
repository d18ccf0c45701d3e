#include "ui/qt/accessible.hpp"

#include <QAccessible>
#include <QAccessibleWidget>

#include "ui/form1_access.hpp"
#include "ui/qt/link_label.hpp"
#include "ui/qt/main_window.hpp"
#include "ui/qt/qt_text.hpp"

namespace textquirl {
namespace {

// A link label: role Link; its one action (access::kLinkAction) opens the link
// as a click does; focusing it stays possible as for any widget.
class LinkLabelAccessible : public QAccessibleWidget {
 public:
  explicit LinkLabelAccessible(LinkLabel* label) : QAccessibleWidget(label, QAccessible::Link) {}

  QStringList actionNames() const override {
    return QStringList{link_action()} + QAccessibleWidget::actionNames();
  }
  QString localizedActionName(const QString& action) const override {
    return action == link_action() ? to_qstring(access::kLinkAction.label)
                                   : QAccessibleWidget::localizedActionName(action);
  }
  QString localizedActionDescription(const QString& action) const override {
    return action == link_action() ? to_qstring(access::kLinkAction.label)
                                   : QAccessibleWidget::localizedActionDescription(action);
  }
  void doAction(const QString& action) override {
    if (action == link_action()) {
      static_cast<LinkLabel*>(widget())->activate();
    } else {
      QAccessibleWidget::doAction(action);
    }
  }

 private:
  static QString link_action() { return to_qstring(access::kLinkAction.name); }
};

QAccessibleInterface* interface_for(const QString& class_name, QObject* object) {
  if (class_name == QLatin1String(Form1::staticMetaObject.className())) {
    return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
  }
  if (class_name == QLatin1String(LinkLabel::staticMetaObject.className())) {
    return new LinkLabelAccessible(static_cast<LinkLabel*>(object));
  }
  return nullptr;
}

}  // namespace

void install_accessible_interfaces() {
  static const bool installed = [] {
    QAccessible::installFactory(interface_for);
    return true;
  }();
  (void)installed;
}

}  // namespace textquirl
