// The product's fixed configuration shown and opened by both windows: the
// copyright line and the maker's web and mail addresses. Change them here only.
// Free of any toolkit; texts are UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace textquirl::product {

// The maker's host. A reserved example domain until the real one exists.
inline constexpr std::u16string_view kHost = u"example.org";

// The caption of Label1: u"© 2026 example.org".
inline std::u16string copyright_line() { return u"© 2026 " + std::u16string(kHost); }

// The maker's programs page: caption of Label2 and the address it opens.
inline std::u16string web_address() {
  return u"http://" + std::u16string(kHost) + u"/computer/programme/";
}

// The maker's e-mail address, without "mailto:" and without parentheses.
inline std::u16string mail_address() { return u"info@" + std::u16string(kHost); }

}  // namespace textquirl::product
