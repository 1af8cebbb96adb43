// The engine's one channel to the user: the stop box, confirmations, the
// message and progress windows and a repaint pump. The pump lets a window
// repaint during a long command but delivers no user input. The headless
// default records every call and answers from a script.
#pragma once
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace zeb::xbase {

class TzCallback {
 public:
  virtual ~TzCallback() = default;
  // Modal box; returns the button (1 OK, 2 Cancel, 6 Yes, 7 No).
  virtual int MessageBox(std::string_view text, std::string_view caption, std::uint16_t flags) = 0;
  // A message or progress window (id) shows caption and text; created on
  // its first call.
  virtual void ShowWindowText(int id, std::string_view caption, std::string_view text) = 0;
  virtual void CloseWindow(int id) = 0;
  // Repaint pending windows; no input is delivered.
  virtual void Pump() = 0;
  // The program is asked to end once control is back in its loop (a
  // dataset without a work area while errors only are recorded).
  virtual void RequestTerminate() {}
};

// Headless: records every call; MessageBox answers from the script (front
// first), 1 (OK) when the script is empty.
class HeadlessTzCallback : public TzCallback {
 public:
  struct Event {
    std::string kind;  // "box", "show", "close", "pump", "terminate"
    int id = 0;
    std::string caption;
    std::string text;
    std::uint16_t flags = 0;
  };
  int MessageBox(std::string_view text, std::string_view caption, std::uint16_t flags) override;
  void ShowWindowText(int id, std::string_view caption, std::string_view text) override;
  void CloseWindow(int id) override;
  void Pump() override;
  void RequestTerminate() override;

  std::deque<int> answers;
  std::vector<Event> events;
  // Keeps only the latest events beyond this many (long runs).
  std::size_t maxEvents = 10000;
 private:
  void Record(Event e);
};

// OK/Cancel question with a question icon and an empty caption; false for
// Cancel.
bool ConfirmAction(std::string_view question);

// One line of text in a window that stays on top.
class TzMsg {
 public:
  TzMsg();
  explicit TzMsg(std::string caption);
  virtual ~TzMsg();
  TzMsg(const TzMsg&) = delete;
  TzMsg& operator=(const TzMsg&) = delete;
  // A non-empty text replaces the current one; shows it and pumps.
  void ShowText(std::string_view text);
  const std::string& Text() const { return text_; }
  const std::string& Caption() const { return caption_; }
  int Id() const { return id_; }
 protected:
  // Shows this text even when it is empty.
  void Replace(std::string_view text);
 private:
  int id_;
  std::string caption_;
  std::string text_;
};

// A bar of 100 marks that loses one mark per step and is refilled when empty.
class TzProgress100 : public TzMsg {
 public:
  TzProgress100();  // caption "Progress"
  explicit TzProgress100(std::string caption);
  void Step();
  const std::string& Bar() const { return bar_; }
 private:
  std::string bar_;
};

}  // namespace zeb::xbase
