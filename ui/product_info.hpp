// The product's fixed configuration shown and opened by both windows: the
// copyright line and the maker's web and mail addresses. They follow from the
// build setting TEXTQUIRL_HOST (cmake/TextquirlProduct.cmake), which the
// packages and the Windows setup read too. Free of any toolkit; texts are UTF-16.
#pragma once

#include <string>
#include <string_view>

#include "textquirl/product_config.hpp"

namespace textquirl::product {

// The maker's host, e.g. u"example.org" (a reserved example domain until the
// real one exists).
inline constexpr std::u16string_view kHost = config::kHost;

// The program's version as the project gives it, e.g. "1.0.0".
inline constexpr std::string_view kVersion = config::kVersion;

// The reverse-domain id that names the desktop entry, the AppStream component
// and the icons, e.g. u"org.example.Textquirl".
inline constexpr std::u16string_view kAppId = config::kAppId;

// The caption of Label1: u"© 2026 example.org".
inline std::u16string copyright_line() { return std::u16string(config::kCopyrightLine); }

// The maker's programs page: caption of Label2 and the address it opens,
// e.g. u"http://example.org/computer/programme/".
inline std::u16string web_address() { return std::u16string(config::kWebAddress); }

// The maker's e-mail address, without "mailto:" and without parentheses:
// u"info@example.org".
inline std::u16string mail_address() { return std::u16string(config::kMailAddress); }

}  // namespace textquirl::product
