#pragma once
// The process-wide message box: what the user must see (a refused load, a
// chunk from a newer version) goes through SInfo.
//
// SInfo(message, title), from any thread, returns at once:
// - It always writes "title: message" as one line to standard error, so that
//   headless scanners and logs keep it: line feeds in the message appear as
//   the two characters "\n", a backslash as "\\", other control characters
//   as "\xHH". Lines from several threads never interleave.
// - When the toolkit's own connection is open, it also shows the message in
//   the one box of the process, made on the first call: laid out to the
//   texts, centred on its monitor, raised. The toolkit's dispatching thread
//   paints it and a left click on its OK closes it, whether an editor is
//   open or not. A later message replaces the texts of the box (shown or
//   closed) and centres it again; every message stays on standard error.
// - Calls are serialised with the toolkit lock, so a message never shows
//   half of another one's texts, and painting never sees a half-done layout.
// - Without an X server only the line is written and no X call is made.
// The box is destroyed when the library is unloaded or the process ends,
// before the connection closes; a message after that only writes the line.

namespace quor {
namespace gui {

class SMessageDialog;

void SInfo(const char* message, const char* title);

// The box, for those who must look at it (tests): null until a message was
// shown, and again after unload. Touch it under the toolkit lock only.
SMessageDialog* SInfoBox();

}  // namespace gui
}  // namespace quor
