#pragma once
// The process-wide message box. Until the dialog exists it writes
// "title: message" as one line to standard error and returns at once; line
// feeds in the message appear as the two characters "\n", a backslash as "\\",
// other control characters as "\xHH".

namespace quor {
namespace gui {

void SInfo(const char* message, const char* title);

}  // namespace gui
}  // namespace quor
