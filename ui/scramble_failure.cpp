#include "ui/scramble_failure.hpp"

namespace textquirl {

std::u16string scramble_failure_message(std::u16string_view reason) {
  std::u16string message = u"Der Text konnte nicht verwurschtelt werden.\n\n";
  message += reason;
  message += u"\n\nDer Text im Fenster und die Zwischenablage sind unverändert.";
  return message;
}

}  // namespace textquirl
