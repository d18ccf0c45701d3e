// The shared window code's UTF-16 texts as Qt strings, unit for unit.
#pragma once

#include <string_view>

#include <QString>

namespace textquirl {

// A QString of the same 16-bit units: to_qstring(u"Grüße") == QStringLiteral("Grüße").
inline QString to_qstring(std::u16string_view text) {
  return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

}  // namespace textquirl
