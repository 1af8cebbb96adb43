// A user interface for the failure roads: every box's text recorded
// (UTF-8), every question answered as the road's user does, the file
// choosers answered with the road's names, every other dialog cancelled as
// in a batch run.
#pragma once
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "base/headless_ui.h"

namespace zeb::test {

class RecordingUi : public BatchUi {
 public:
  explicit RecordingUi(Answer answer = Answer::Yes) : BatchUi(Sink()), answer_(answer) {}

  void MessageBox(std::string_view caption, std::string_view text) override {
    (void)caption;
    texts.push_back(Utf8Of1252(text));
  }
  Answer Question(std::string_view caption, std::string_view text, QuestionKind kind) override {
    (void)caption;
    (void)text;
    if (kind == QuestionKind::RetryCancel && answer_ != Answer::Cancel) return Answer::Cancel;
    return answer_;
  }

  // The file choosers' answers; "" cancels.
  bool ChooseSaveFile(std::string_view, std::string_view, std::string_view, std::string& path) override {
    path = saveAs;
    return !saveAs.empty();
  }
  bool ChooseOpenFile(std::string_view, std::string_view, std::string& path) override {
    path = open;
    return !open.empty();
  }

  std::vector<std::string> texts;
  std::string saveAs, open;

 private:
  static std::FILE* Sink() {
    static std::FILE* none = std::fopen("/dev/null", "w");
    return none;
  }
  Answer answer_;
};

}  // namespace zeb::test
