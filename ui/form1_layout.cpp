#include "ui/form1_layout.hpp"

#include "ui/product_info.hpp"

namespace textquirl::layout {

const Control& control(ControlId id) {
  for (const Control& c : kControls) {
    if (c.id == id) return c;
  }
  return kControls.front();  // unreachable: every ControlId has an entry
}

std::u16string caption(ControlId id) {
  switch (id) {
    case ControlId::Command1: return u"Verwurschteln und in Zwischenablage kopieren";
    case ControlId::Label1: return product::copyright_line();
    case ControlId::Label2: return product::web_address();
    case ControlId::Label3: return u'(' + product::mail_address() + u')';
    case ControlId::Text1: break;
  }
  return {};
}

std::u16string link_target(ControlId id) {
  switch (id) {
    case ControlId::Label2: return product::web_address();
    case ControlId::Label3: return u"mailto:" + product::mail_address();
    default: return {};
  }
}

}  // namespace textquirl::layout
