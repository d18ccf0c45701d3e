// The product's fixed configuration shown and opened by the main window: the
// copyright line and the maker's web and mail addresses. Change them here only.
#pragma once

#include <QString>

namespace textquirl::product {

// The maker's host. A reserved example domain until the real one exists.
inline QString host() { return QStringLiteral("example.org"); }

// The caption of Label1.
inline QString copyright_line() { return QStringLiteral("© 2026 ") + host(); }

// The maker's programs page: caption of Label2 and the address it opens.
inline QString web_address() {
  return QStringLiteral("http://") + host() + QStringLiteral("/computer/programme/");
}

// The maker's e-mail address, without "mailto:" and without parentheses.
inline QString mail_address() { return QStringLiteral("info@") + host(); }

}  // namespace textquirl::product
