// What every window says when a scramble fails: the caption of its message,
// the reasons, and the whole message around a reason. Free of any toolkit
// and of exceptions, so that the web page's module says the same.
#pragma once

#include <string>
#include <string_view>

namespace textquirl {

// The caption of every message box the windows show.
inline constexpr std::u16string_view kMessageCaption = u"Textquirl";

// The reason given when the memory ran out.
inline constexpr std::u16string_view kOutOfMemoryReason =
    u"Der Text ist zu groß für den verfügbaren Speicher.";

// The reason given when the failure names no reason of its own.
inline constexpr std::u16string_view kUnknownFailureReason = u"Ein unbekannter Fehler ist aufgetreten.";

// The message of a failed scramble for `reason`:
//   "Der Text konnte nicht verwurschtelt werden.\n\n" + reason +
//   "\n\nDer Text im Fenster und die Zwischenablage sind unverändert."
std::u16string scramble_failure_message(std::u16string_view reason);

}  // namespace textquirl
