#include "tables/table_services.h"

#include <memory>

#include "base/dialogs.h"
#include "base/globals.h"
#include "base/ui_port.h"
#include "tables/material_table.h"
#include "tables/table_functions.h"
#include "tables/table_window.h"
#include "xbase/core/callbacks.h"
#include "xbase/core/engine.h"

namespace zeb {

namespace {
std::function<void()>& FormRunner() {
  static std::function<void()> runner;
  return runner;
}
}  // namespace

void SetMaterialFormRunner(std::function<void()> runner) { FormRunner() = std::move(runner); }

void EngineTables::ShowMaterialForm() {
  if (FormRunner()) {
    FormRunner()();
  } else {
    G().AbortFlag = 1;
  }
}

void EngineTables::MaterialSelect(int mode) { zeb::MaterialSelect(mode); }
void EngineTables::MaterialReadRecord() { zeb::MaterialReadRecord(); }
bool EngineTables::LoadMaterialRow(int row) { return zeb::LoadMaterialRow(row); }
bool EngineTables::LoadRelaxationRow(int materialNumber) { return zeb::LoadRelaxationRow(materialNumber); }
std::string EngineTables::TableFieldName(int n) { return zeb::TableFieldName(n); }

void EngineTables::EditTable(std::string_view tableName, int helpNumber) {
  TableWindow& w = TheTableWindow();
  w.OpenWithWriteCheck(tableName);
  if (G().AbortFlag != 0) return;
  w.SetTitles("", std::string(tableName));
  SetCurrentHelpNumber(helpNumber);
  w.ShowTable(2);
  w.CloseTable();
}

void EngineTables::SetTitles(std::string_view title1, std::string_view title2) {
  TheTableWindow().SetTitles(title1, title2);
}
void EngineTables::OpenWithWriteCheck(std::string_view tableName) { TheTableWindow().OpenWithWriteCheck(tableName); }
void EngineTables::ShowTable(std::string_view, int mode) { TheTableWindow().ShowTable(mode); }
std::string EngineTables::GetField(int n) { return TheTableWindow().GetField(n); }
void EngineTables::CloseTable() { TheTableWindow().CloseTable(); }
void EngineTables::TableOpen(std::string_view name) { zeb::TableOpen(name); }
void EngineTables::TableOpenFile(std::string_view path) {
  // A table opened by its path is checked as one opened by name.
  if (TableFileSound(std::string(path))) zeb::TableOpenFile(std::string(path));
}
void EngineTables::TableSetTitles(std::string_view first, std::string_view second) {
  zeb::TableSetTitles(first, second);
}
void EngineTables::TableGo(std::int32_t n) { zeb::TableGo(n); }
void EngineTables::TableBrowse(std::string_view, int mode) { zeb::TableBrowse(mode); }
std::int32_t EngineTables::TableRecNo() { return zeb::TableRecNo(); }
std::string EngineTables::TableGetField(int n) { return zeb::TableGetField(n); }
bool EngineTables::TableGetBoolByName(std::string_view name) { return zeb::TableGetBoolByName(name); }
void EngineTables::TablePutStrByName(std::string_view name, std::string_view text) {
  zeb::TablePutStrByName(name, text);
}
void EngineTables::TablePutFloatByName(std::string_view name, const Real48& value) {
  zeb::TablePutFloatByName(name, value);
}
void EngineTables::TablePutIntByName(std::string_view name, std::int32_t value) {
  zeb::TablePutIntByName(name, value);
}
void EngineTables::TablePutBoolByName(std::string_view name, bool value) { zeb::TablePutBoolByName(name, value); }
int EngineTables::TableAppend() { return zeb::TableAppend() ? 1 : 0; }
void EngineTables::TableClose() { zeb::TableClose(); }
void EngineTables::TableMakeIndex(std::string_view keyExpression, std::string_view indexName) {
  zeb::TableMakeIndex(keyExpression, indexName);
}
void EngineTables::TableSeek(std::string_view key) { zeb::TableSeek(key); }
bool EngineTables::TableFound() { return zeb::TableFound(); }

namespace {

// The table engine's boxes and questions through the program's UI: a box
// with OK and Cancel (the pack question) is a question whose Cancel (also
// a batch run's answer) keeps the table.
class UiEngineCallback : public xbase::TzCallback {
 public:
  int MessageBox(std::string_view text, std::string_view caption, std::uint16_t flags) override {
    if ((flags & 0x0F) == 1) {
      const Answer a = Ui().Question(caption, text, QuestionKind::YesNoCancel);
      return a == Answer::Yes || a == Answer::Retry ? 1 : 2;
    }
    Ui().MessageBox(caption, text);
    return 1;
  }
  void ShowWindowText(int, std::string_view, std::string_view) override {}
  void CloseWindow(int) override {}
  void Pump() override {}
};

}  // namespace

void InstallTableServices() {
  SetTables(std::make_shared<EngineTables>());
  xbase::SetTzCallback(std::make_shared<UiEngineCallback>());
}

}  // namespace zeb
