// Capture of the clipboard text into the record editor.
#pragma once

namespace FMain {
// Closes the quick list if it is open and proposes the clipboard text.
void CaptureClipboard();
} // namespace FMain
