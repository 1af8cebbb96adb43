#include "base/headless_ui.h"

#include <utility>

#include "base/text.h"
#include "platform/codepage.h"

namespace zeb {

std::string Utf8Of1252(std::string_view text1252) { return ToUtf8(CodePage::Cp1252, text1252); }

const char* UiCallName(UiCall call) {
  switch (call) {
    case UiCall::MessageBox: return "MessageBox";
    case UiCall::Question: return "Question";
    case UiCall::InputText: return "InputText";
    case UiCall::YesNo: return "YesNo";
    case UiCall::Choice: return "Choice";
    case UiCall::Screen: return "Screen";
    case UiCall::ErrorHelpForm: return "ErrorHelpForm";
    case UiCall::TextViewer: return "TextViewer";
    case UiCall::PrintRange: return "PrintRange";
    case UiCall::OpenFile: return "OpenFile";
    case UiCall::SaveFile: return "SaveFile";
    case UiCall::Folder: return "Folder";
  }
  return "?";
}

namespace {

bool Contains(std::string_view s, std::string_view sub) { return s.find(sub) != std::string_view::npos; }

std::string Describe(const UiShown& s) {
  std::string d = UiCallName(s.call);
  if (!s.caption.empty()) d += " caption \"" + s.caption + "\"";
  if (!s.text.empty()) d += " text \"" + s.text + "\"";
  if (!s.value.empty()) d += " value \"" + s.value + "\"";
  if (s.call == UiCall::Question)
    d += s.questionKind == QuestionKind::RetryCancel ? " (Retry/Cancel)" : " (Yes/No/Cancel)";
  if (s.call == UiCall::Choice) d += s.listBox ? " (list box)" : " (radio buttons)";
  return d;
}

const char* AnswerName(Answer a) {
  switch (a) {
    case Answer::Yes: return "Yes";
    case Answer::No: return "No";
    case Answer::Cancel: return "Cancel";
    case Answer::Retry: return "Retry";
  }
  return "?";
}

// The recorded printer of ScriptedUi; jobs are shared with the port.
class RecordingPrinter : public TextPrinter {
 public:
  RecordingPrinter(std::shared_ptr<std::vector<PrintJob>> jobs, int pageHeight)
      : jobs_(std::move(jobs)), pageHeight_(pageHeight) {}
  bool Begin(std::string_view jobTitle, bool portrait, std::string_view fontName, int fontSize,
             int fontStyle) override {
    PrintJob job;
    job.title = Utf8Of1252(jobTitle);
    job.portrait = portrait;
    job.fontName = std::string(fontName);
    job.fontSize = fontSize;
    job.fontStyle = fontStyle;
    job.pages.emplace_back();
    jobs_->push_back(std::move(job));
    open_ = true;
    return true;
  }
  int PageHeight() const override { return pageHeight_; }
  void NewPage() override {
    if (open_) jobs_->back().pages.emplace_back();
  }
  void TextOut(int x, int y, std::string_view text1252) override {
    if (open_) jobs_->back().pages.back().push_back({x, y, Utf8Of1252(text1252), std::string(text1252)});
  }
  void End() override {
    if (open_) jobs_->back().ended = true;
    open_ = false;
  }

 private:
  std::shared_ptr<std::vector<PrintJob>> jobs_;
  int pageHeight_;
  bool open_ = false;
};

}  // namespace

// ---------------------------------------------------------------- expectations

ScriptedUi::Expectation& ScriptedUi::Expectation::Caption(std::string_view sub) {
  captionSub_ = sub;
  return *this;
}
ScriptedUi::Expectation& ScriptedUi::Expectation::Text(std::string_view sub) {
  textSub_ = sub;
  return *this;
}
ScriptedUi::Expectation& ScriptedUi::Expectation::Value(std::string_view exact) {
  value_ = std::string(exact);
  return *this;
}
ScriptedUi::Expectation& ScriptedUi::Expectation::PressHelpText() {
  helpPresses_.push_back(1);
  return *this;
}
ScriptedUi::Expectation& ScriptedUi::Expectation::PressHelpPicture() {
  helpPresses_.push_back(2);
  return *this;
}
ScriptedUi::Expectation& ScriptedUi::Expectation::ByEnter() {
  byEnter_ = true;
  return *this;
}
ScriptedUi::Expectation& ScriptedUi::Expectation::ListBox(bool listBox) {
  listBox_ = listBox;
  return *this;
}
ScriptedUi::Expectation& ScriptedUi::Expectation::Then(std::function<void(const UiShown&)> action) {
  actions_.push_back(std::move(action));
  return *this;
}
ScriptedUi::Expectation& ScriptedUi::Expectation::Returns(WindowRect rect) {
  rect_ = rect;
  return *this;
}

ScriptedUi::ScriptedUi() : printJobs_(std::make_shared<std::vector<PrintJob>>()) {}
ScriptedUi::~ScriptedUi() = default;

ScriptedUi::Expectation& ScriptedUi::Push(UiCall call) {
  expected_.emplace_back();
  expected_.back().call_ = call;
  return expected_.back();
}

ScriptedUi::Expectation& ScriptedUi::ExpectMessageBox(std::string_view captionSub, std::string_view textSub) {
  return Push(UiCall::MessageBox).Caption(captionSub).Text(textSub);
}

ScriptedUi::Expectation& ScriptedUi::ExpectQuestion(std::string_view captionSub, std::string_view textSub,
                                                    Answer answer) {
  Expectation& e = Push(UiCall::Question).Caption(captionSub).Text(textSub);
  e.answer_ = answer;
  return e;
}

ScriptedUi::Expectation& ScriptedUi::ExpectInputText(std::string_view promptSub, TextAnswer answer) {
  Expectation& e = Push(UiCall::InputText).Text(promptSub);
  e.text_ = std::move(answer);
  return e;
}

ScriptedUi::Expectation& ScriptedUi::ExpectYesNo(std::string_view promptSub, bool yes) {
  Expectation& e = Push(UiCall::YesNo).Text(promptSub);
  e.yes_ = yes;
  return e;
}

ScriptedUi::Expectation& ScriptedUi::ExpectYesNoCancel(std::string_view promptSub) {
  Expectation& e = Push(UiCall::YesNo).Text(promptSub);
  e.cancel_ = true;
  return e;
}

ScriptedUi::Expectation& ScriptedUi::ExpectChoice(std::string_view promptSub, int position) {
  Expectation& e = Push(UiCall::Choice).Text(promptSub);
  e.position_ = position;
  return e;
}

ScriptedUi::Expectation& ScriptedUi::ExpectChoiceCancel(std::string_view promptSub) {
  Expectation& e = Push(UiCall::Choice).Text(promptSub);
  e.cancel_ = true;
  return e;
}

ScriptedUi::Expectation& ScriptedUi::ExpectScreen(std::string_view textSub) {
  return Push(UiCall::Screen).Text(textSub);
}

ScriptedUi::Expectation& ScriptedUi::ExpectErrorHelpForm(std::string_view messageSub) {
  return Push(UiCall::ErrorHelpForm).Text(messageSub);
}

ScriptedUi::Expectation& ScriptedUi::ExpectErrorHelpFormEdit(std::string_view messageSub, std::string_view cause,
                                                             std::string_view remedy) {
  Expectation& e = Push(UiCall::ErrorHelpForm).Text(messageSub);
  e.edit_ = std::make_pair(std::string(cause), std::string(remedy));
  return e;
}

ScriptedUi::Expectation& ScriptedUi::ExpectTextViewer(std::string_view captionSub) {
  return Push(UiCall::TextViewer).Caption(captionSub);
}

ScriptedUi::Expectation& ScriptedUi::ExpectPrintRange(int first, int last) {
  Expectation& e = Push(UiCall::PrintRange);
  e.first_ = first;
  e.last_ = last;
  return e;
}

ScriptedUi::Expectation& ScriptedUi::ExpectPrintRangeCancel() {
  Expectation& e = Push(UiCall::PrintRange);
  e.cancel_ = true;
  return e;
}

ScriptedUi::Expectation& ScriptedUi::ExpectOpenFile(std::optional<std::string> path) {
  Expectation& e = Push(UiCall::OpenFile);
  e.path_ = std::move(path);
  return e;
}

ScriptedUi::Expectation& ScriptedUi::ExpectSaveFile(std::optional<std::string> path) {
  Expectation& e = Push(UiCall::SaveFile);
  e.path_ = std::move(path);
  return e;
}

ScriptedUi::Expectation& ScriptedUi::ExpectFolder(std::optional<std::string> path) {
  Expectation& e = Push(UiCall::Folder);
  e.path_ = std::move(path);
  return e;
}

// ---------------------------------------------------------------- bookkeeping

void ScriptedUi::OnFailure(std::function<void(const std::string&)> report) { onFailure_ = std::move(report); }

void ScriptedUi::Fail(std::string message) {
  failures_.push_back(message);
  if (onFailure_) onFailure_(failures_.back());
}

bool ScriptedUi::Verify() const { return failures_.empty() && expected_.empty(); }

std::string ScriptedUi::Unused() const {
  std::string out;
  for (const Expectation& e : expected_) {
    out += "expected ";
    out += UiCallName(e.call_);
    if (!e.captionSub_.empty()) out += " caption ~\"" + e.captionSub_ + "\"";
    if (!e.textSub_.empty()) out += " text ~\"" + e.textSub_ + "\"";
    out += "\n";
  }
  return out;
}

std::string ScriptedUi::Problems() const {
  std::string out;
  for (const std::string& f : failures_) out += f + "\n";
  return out + Unused();
}

void ScriptedUi::Reset() {
  expected_.clear();
  shown_.clear();
  failures_.clear();
  cursors_.clear();
  titles_.clear();
  beeps_ = 0;
  printJobs_->clear();
}

std::vector<std::string> ScriptedUi::MessageTexts() const {
  std::vector<std::string> out;
  for (const UiShown& s : shown_)
    if (s.call == UiCall::MessageBox) out.push_back(s.text);
  return out;
}

void ScriptedUi::SetPrinter(bool available, int pageHeight) {
  printerAvailable_ = available;
  pageHeight_ = pageHeight;
}

std::optional<ScriptedUi::Expectation> ScriptedUi::Take(const UiShown& shown) {
  shown_.push_back(shown);
  if (expected_.empty()) {
    Fail("unexpected " + Describe(shown) + " (nothing more expected)");
    return std::nullopt;
  }
  const Expectation& e = expected_.front();
  std::string why;
  if (e.call_ != shown.call) {
    why = std::string("expected ") + UiCallName(e.call_);
  } else {
    if (!Contains(shown.caption, e.captionSub_)) why += " caption lacks \"" + e.captionSub_ + "\";";
    bool textFound = Contains(shown.text, e.textSub_);
    if (shown.call == UiCall::Screen) {
      textFound = e.textSub_.empty();
      for (const std::string& line : shown.items) textFound = textFound || Contains(line, e.textSub_);
    }
    if (!textFound) why += " text lacks \"" + e.textSub_ + "\";";
    if (e.value_ && shown.value != *e.value_) why += " value is not \"" + *e.value_ + "\";";
    if (e.listBox_ && shown.listBox != *e.listBox_) why += *e.listBox_ ? " not a list box;" : " not radio buttons;";
    if (shown.call == UiCall::Question) {
      bool retry = shown.questionKind == QuestionKind::RetryCancel;
      if ((retry && (e.answer_ == Answer::Yes || e.answer_ == Answer::No)) || (!retry && e.answer_ == Answer::Retry))
        why += std::string(" cannot answer ") + AnswerName(e.answer_) + ";";
    }
  }
  if (!why.empty()) {
    Fail("unexpected " + Describe(shown) + ":" + why);
    return std::nullopt;
  }
  Expectation taken = std::move(expected_.front());
  expected_.pop_front();
  return taken;
}

void ScriptedUi::PressHelp(const Expectation& e, const DialogHelp& help) {
  for (int which : e.helpPresses_) {
    const std::function<void()>& f = which == 1 ? help.text : help.picture;
    if (f) {
      f();
    } else {
      Fail(std::string(which == 1 ? "help text" : "help picture") + " button has no action");
    }
  }
}

void ScriptedUi::RunActions(const Expectation& e, const UiShown& shown) {
  for (const auto& action : e.actions_) action(shown);
}

// ---------------------------------------------------------------- port

void ScriptedUi::MessageBox(std::string_view caption, std::string_view text) {
  UiShown s;
  s.call = UiCall::MessageBox;
  s.caption1252 = caption;
  s.text1252 = text;
  s.caption = Utf8Of1252(caption);
  s.text = Utf8Of1252(text);
  if (auto e = Take(s)) RunActions(*e, s);
}

Answer ScriptedUi::Question(std::string_view caption, std::string_view text, QuestionKind kind) {
  UiShown s;
  s.call = UiCall::Question;
  s.caption1252 = caption;
  s.text1252 = text;
  s.caption = Utf8Of1252(caption);
  s.text = Utf8Of1252(text);
  s.questionKind = kind;
  const std::size_t at = shown_.size();
  auto e = Take(s);
  Answer a = e ? e->answer_ : Answer::Cancel;
  if (e) RunActions(*e, s);
  shown_[at].result = AnswerName(a);
  return a;
}

void ScriptedUi::Beep() { ++beeps_; }

DialogEnd ScriptedUi::InputText(std::string_view prompt, int maxLength, std::string& text, const DialogHelp& help) {
  UiShown s;
  s.call = UiCall::InputText;
  s.text1252 = prompt;
  s.text = Utf8Of1252(prompt);
  s.value1252 = text;
  s.value = Utf8Of1252(text);
  s.maxLength = maxLength;
  const std::size_t at = shown_.size();
  auto e = Take(s);
  if (!e) return DialogEnd::Cancel;
  PressHelp(*e, help);
  RunActions(*e, s);
  const TextAnswer& a = *e->text_;
  if (a.kind() == TextAnswer::Kind::Cancelled) {
    shown_[at].result = "Cancel";
    return DialogEnd::Cancel;
  }
  if (a.kind() == TextAnswer::Kind::Typed) {
    text = FromUtf8(CodePage::Cp1252, a.text());
    if (maxLength > 0 && text.size() > static_cast<std::size_t>(maxLength)) text.resize(maxLength);
  }
  shown_[at].result = Utf8Of1252(text);
  return DialogEnd::Ok;
}

DialogEnd ScriptedUi::AskYesNo(std::string_view prompt, bool& yes, const DialogHelp& help) {
  UiShown s;
  s.call = UiCall::YesNo;
  s.text1252 = prompt;
  s.text = Utf8Of1252(prompt);
  s.value = s.value1252 = yes ? "J" : "N";
  const std::size_t at = shown_.size();
  auto e = Take(s);
  if (!e) return DialogEnd::Cancel;
  PressHelp(*e, help);
  RunActions(*e, s);
  if (e->cancel_) {
    shown_[at].result = "Cancel";
    return DialogEnd::Cancel;
  }
  yes = e->yes_;
  shown_[at].result = yes ? "J" : "N";
  return DialogEnd::Ok;
}

DialogEnd ScriptedUi::AskChoice(std::string_view prompt, const std::vector<std::string>& items, int& index,
                                bool listBox, const DialogHelp& help) {
  UiShown s;
  s.call = UiCall::Choice;
  s.text1252 = prompt;
  s.text = Utf8Of1252(prompt);
  s.items1252 = items;
  for (const std::string& item : items) s.items.push_back(Utf8Of1252(item));
  s.index = index;
  s.value = s.value1252 = std::to_string(index + 1);
  s.listBox = listBox;
  const std::size_t at = shown_.size();
  auto e = Take(s);
  if (!e) return DialogEnd::Cancel;
  PressHelp(*e, help);
  RunActions(*e, s);
  if (e->cancel_) {
    shown_[at].result = "Cancel";
    return DialogEnd::Cancel;
  }
  if (e->position_ < 1 || e->position_ > static_cast<int>(items.size())) {
    Fail("choice " + std::to_string(e->position_) + " outside 1.." + std::to_string(items.size()) + " of " +
         Describe(s));
    return DialogEnd::Cancel;
  }
  index = e->position_ - 1;
  shown_[at].result = std::to_string(e->position_);
  return e->byEnter_ && listBox ? DialogEnd::Enter : DialogEnd::Ok;
}

void ScriptedUi::ShowScreen(std::string_view caption, const std::vector<std::string>& lines) {
  UiShown s;
  s.call = UiCall::Screen;
  s.caption1252 = caption;
  s.caption = Utf8Of1252(caption);
  s.items1252 = lines;
  for (const std::string& line : lines) s.items.push_back(Utf8Of1252(line));
  if (auto e = Take(s)) RunActions(*e, s);
}

ErrorHelpResult ScriptedUi::ErrorHelpForm(const ErrorHelpTexts& texts, const std::function<void()>& help) {
  UiShown s;
  s.call = UiCall::ErrorHelpForm;
  s.errorHelp = texts;
  s.text1252 = texts.message;
  s.text = Utf8Of1252(texts.message);
  s.items1252 = {texts.message, texts.cause, texts.remedy};
  for (const std::string& t : s.items1252) s.items.push_back(Utf8Of1252(t));
  ErrorHelpResult result;
  result.texts = texts;
  const std::size_t at = shown_.size();
  auto e = Take(s);
  if (!e) return result;
  for (int which : e->helpPresses_) {
    if (which == 1 && help) {
      help();
    } else {
      Fail("error help form: no such help button");
    }
  }
  RunActions(*e, s);
  if (e->edit_) {
    result.modified = true;
    result.texts.cause = FromUtf8(CodePage::Cp1252, e->edit_->first);
    result.texts.remedy = FromUtf8(CodePage::Cp1252, e->edit_->second);
  }
  shown_[at].result = result.modified ? "modified" : "unchanged";
  return result;
}

WindowRect ScriptedUi::TextViewer(const TextViewerRequest& request) {
  UiShown s;
  s.call = UiCall::TextViewer;
  s.caption1252 = request.caption;
  s.caption = Utf8Of1252(request.caption);
  s.text = s.text1252 = request.displayFile;
  s.viewer = request;
  WindowRect rect{request.left, request.top, request.width, request.height};
  auto e = Take(s);
  if (!e) return rect;
  RunActions(*e, s);
  return e->rect_ ? *e->rect_ : rect;
}

bool ScriptedUi::PrintRange(int& first, int& last, int minPage, int maxPage) {
  UiShown s;
  s.call = UiCall::PrintRange;
  s.minPage = minPage;
  s.maxPage = maxPage;
  s.first = first;
  s.last = last;
  const std::size_t at = shown_.size();
  auto e = Take(s);
  if (!e) return false;
  RunActions(*e, s);
  if (e->cancel_) {
    shown_[at].result = "Cancel";
    return false;
  }
  first = e->first_;
  last = e->last_;
  shown_[at].result = std::to_string(first) + ".." + std::to_string(last);
  return true;
}

std::unique_ptr<TextPrinter> ScriptedUi::OpenTextPrinter() {
  if (!printerAvailable_) return nullptr;
  return std::make_unique<RecordingPrinter>(printJobs_, pageHeight_);
}

bool ScriptedUi::Choose(UiCall call, std::string_view folder, std::string_view filter, std::string_view preset,
                        std::string& path) {
  UiShown s;
  s.call = call;
  s.text = s.text1252 = folder;
  s.caption = s.caption1252 = filter;
  s.value = s.value1252 = preset;
  const std::size_t at = shown_.size();
  auto e = Take(s);
  if (!e) return false;
  RunActions(*e, s);
  if (!e->path_) {
    shown_[at].result = "Cancel";
    return false;
  }
  path = *e->path_;
  shown_[at].result = path;
  return true;
}

bool ScriptedUi::ChooseOpenFile(std::string_view folder, std::string_view filter, std::string& path) {
  return Choose(UiCall::OpenFile, folder, filter, "", path);
}

bool ScriptedUi::ChooseSaveFile(std::string_view folder, std::string_view filter, std::string_view presetName,
                                std::string& path) {
  return Choose(UiCall::SaveFile, folder, filter, presetName, path);
}

bool ScriptedUi::ChooseFolder(std::string_view folder, std::string& chosen) {
  return Choose(UiCall::Folder, folder, "", "", chosen);
}

void ScriptedUi::SetCursor(CursorKind kind) { cursors_.push_back(kind); }

void ScriptedUi::SetTitle(std::string_view title) { titles_.push_back(Utf8Of1252(title)); }

void ScriptedUi::PollLater(const std::function<bool(bool idle)>& poll) {
  if (holdPolls_)
    polls_.push_back(poll);
  else
    UiPort::PollLater(poll);
}

bool ScriptedUi::RunPollsOnce(bool idle) {
  // A poll may show a box that polls again: run the ones kept now.
  std::vector<std::function<bool(bool)>> now;
  now.swap(polls_);
  for (auto& p : now)
    if (p(idle)) polls_.push_back(std::move(p));
  return !polls_.empty();
}

// ---------------------------------------------------------------- batch

namespace {

// One line: line breaks become " / ", other control bytes blanks.
std::string OneLine(std::string_view utf8) { return ControlCharsToBlanks(JoinTextLines(utf8, " / ")); }

std::string TrimBlanksOf(std::string_view s) {
  std::size_t b = s.find_first_not_of(' ');
  if (b == std::string_view::npos) return {};
  std::size_t e = s.find_last_not_of(' ');
  return std::string(s.substr(b, e - b + 1));
}

// "caption: text"; a caption ending in ":" is not given a second one.
std::string Labelled(std::string_view caption1252, std::string_view text1252) {
  std::string caption = TrimBlanksOf(Utf8Of1252(caption1252));
  std::string text = Utf8Of1252(text1252);
  if (caption.empty()) return text;
  return caption + (caption.back() == ':' ? " " : ": ") + text;
}

}  // namespace

BatchUi::BatchUi(std::FILE* log) : log_(log) {}

void BatchUi::Line(std::string_view utf8) {
  if (log_ == nullptr) return;
  std::string line = OneLine(utf8);
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), log_);
  std::fflush(log_);
}

void BatchUi::MessageBox(std::string_view caption, std::string_view text) { Line(Labelled(caption, text)); }

Answer BatchUi::Question(std::string_view caption, std::string_view text, QuestionKind kind) {
  const char* buttons = kind == QuestionKind::RetryCancel ? " [Wiederholen/Abbrechen]" : " [Ja/Nein/Abbrechen]";
  Line(Labelled(caption, text) + buttons + " -> Abbrechen");
  return Answer::Cancel;
}

void BatchUi::Beep() {}

DialogEnd BatchUi::InputText(std::string_view prompt, int, std::string& text, const DialogHelp&) {
  Line("Eingabe: " + Utf8Of1252(prompt) + " [" + Utf8Of1252(text) + "] -> Abbrechen");
  return DialogEnd::Cancel;
}

DialogEnd BatchUi::AskYesNo(std::string_view prompt, bool& yes, const DialogHelp&) {
  Line("Eingabe: " + Utf8Of1252(prompt) + (yes ? " [Ja]" : " [Nein]") + " -> Abbrechen");
  return DialogEnd::Cancel;
}

DialogEnd BatchUi::AskChoice(std::string_view prompt, const std::vector<std::string>& items, int& index, bool,
                             const DialogHelp&) {
  std::string current;
  if (index >= 0 && index < static_cast<int>(items.size()))
    current = " [" + TrimBlanksOf(Utf8Of1252(items[index])) + "]";
  Line("Auswahl: " + Utf8Of1252(prompt) + current + " -> Abbrechen");
  return DialogEnd::Cancel;
}

void BatchUi::ShowScreen(std::string_view caption, const std::vector<std::string>& lines) {
  Line(Labelled(caption, ""));
  for (const std::string& l : lines) {
    std::string text = Utf8Of1252(l);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    if (!text.empty()) Line("  " + text);
  }
}

ErrorHelpResult BatchUi::ErrorHelpForm(const ErrorHelpTexts& texts, const std::function<void()>&) {
  Line(Labelled("Fehlerhilfe", texts.message));
  if (!texts.cause.empty()) Line("  " + Utf8Of1252(texts.cause));
  if (!texts.remedy.empty()) Line("  " + Utf8Of1252(texts.remedy));
  ErrorHelpResult r;
  r.texts = texts;
  return r;
}

WindowRect BatchUi::TextViewer(const TextViewerRequest& request) {
  Line(Labelled(request.caption, "") + request.displayFile);
  return {request.left, request.top, request.width, request.height};
}

bool BatchUi::PrintRange(int&, int&, int minPage, int maxPage) {
  Line("Drucken: Seiten " + std::to_string(minPage) + " .. " + std::to_string(maxPage) + " -> Abbrechen");
  return false;
}

std::unique_ptr<TextPrinter> BatchUi::OpenTextPrinter() {
  Line("Drucken: kein Drucker");
  return nullptr;
}

bool BatchUi::ChooseOpenFile(std::string_view folder, std::string_view filter, std::string&) {
  Line("Datei öffnen: " + std::string(folder) + " (" + std::string(filter) + ") -> Abbrechen");
  return false;
}

bool BatchUi::ChooseSaveFile(std::string_view folder, std::string_view filter, std::string_view presetName,
                             std::string&) {
  Line("Datei speichern: " + std::string(folder) + " " + std::string(presetName) + " (" + std::string(filter) +
       ") -> Abbrechen");
  return false;
}

bool BatchUi::ChooseFolder(std::string_view folder, std::string&) {
  Line("Ordner wählen: " + std::string(folder) + " -> Abbrechen");
  return false;
}

void BatchUi::SetCursor(CursorKind) {}
void BatchUi::SetTitle(std::string_view) {}

}  // namespace zeb
