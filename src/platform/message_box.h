// The timed message box: a modal box with a text, a caption, a set of
// buttons and an icon, that closes itself when nobody answers it in time.
//
// `style` takes the classic message-box codes: the low four bits choose the
// buttons (0 OK, 1 OK/Cancel, 2 Abort/Retry/Ignore, 3 Yes/No/Cancel, 4 Yes/No,
// 5 Retry/Cancel, 6 Cancel/Try Again/Continue), the next four the icon (0x10
// stop, 0x20 question, 0x30 warning, 0x40 information), and 0x100, 0x200,
// 0x300 make the second, third or fourth button the default one. Other bits
// are accepted and ignored.
#pragma once

#include <vector>

#include "platform/window_list.h"
#include "text/text.h"

namespace shorturl {

// What the box returns: the button that was pressed, or the time-out.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdAbort = 3;
inline constexpr int kIdRetry = 4;
inline constexpr int kIdIgnore = 5;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;
inline constexpr int kIdTryAgain = 10;
inline constexpr int kIdContinue = 11;
inline constexpr int kMessageBoxTimedOut = 32000;

// Shows `message` under `caption` and waits, dispatching the program's
// events, until a button is pressed or `milliseconds` have passed. Returns the
// button's identifier, kMessageBoxTimedOut when the box closed itself, or 0
// when no box could be shown (unknown buttons code, no window system) or the
// box went away unanswered (destroyed with its owner, program quitting).
//
// With an `owner` of this program the box is modal to that window and kept
// above it; a window of another program only keeps the box above it; with 0
// the box blocks no window. A negative `milliseconds` never closes the box by
// itself; 0 closes it at once. Escape and the close button answer Cancel
// where the box has one, OK in a box with OK alone, and nothing otherwise.
// `language` is accepted for the callers' sake and ignored: the buttons are
// captioned in Chinese.
int ShowTimedMessageBox(WindowHandle owner, std::string_view message, std::string_view caption,
                        int style, int language, int milliseconds);

// A box as it was asked for.
struct MessageBoxRecord {
  WindowHandle owner = 0;
  Text message;
  Text caption;
  int style = 0;
  int milliseconds = 0;
};

// A test hook, so that a test never blocks on a modal box: while an object of
// this class lives, ShowTimedMessageBox shows nothing, records what it was
// asked to show and returns at once the next queued answer, or the default
// answer when the queue is empty. Objects nest; the newest one answers.
class ScriptedMessageBoxes {
 public:
  explicit ScriptedMessageBoxes(int default_answer = kIdOk);
  ~ScriptedMessageBoxes();
  ScriptedMessageBoxes(const ScriptedMessageBoxes&) = delete;
  ScriptedMessageBoxes& operator=(const ScriptedMessageBoxes&) = delete;

  void QueueAnswer(int answer);
  // The boxes asked for, in order.
  const std::vector<MessageBoxRecord>& shown() const { return shown_; }

 private:
  friend int ShowTimedMessageBox(WindowHandle, std::string_view, std::string_view, int, int, int);
  int Answer(MessageBoxRecord record);

  int default_answer_;
  std::vector<int> answers_;
  std::vector<MessageBoxRecord> shown_;
  ScriptedMessageBoxes* previous_;
};

}  // namespace shorturl
