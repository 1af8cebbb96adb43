// The table services the base library, the calculation and the main window
// call (Tables()), carried out on the program's table window and tables.
#pragma once
#include <functional>

#include "base/services.h"

namespace zeb {

class EngineTables : public TableServices {
 public:
  void ShowMaterialForm() override;
  void MaterialSelect(int mode) override;
  void MaterialReadRecord() override;
  bool LoadMaterialRow(int row) override;
  bool LoadRelaxationRow(int materialNumber) override;
  std::string TableFieldName(int n) override;
  void EditTable(std::string_view tableName, int helpNumber) override;
  void SetTitles(std::string_view title1, std::string_view title2) override;
  void OpenWithWriteCheck(std::string_view tableName) override;
  void ShowTable(std::string_view command, int mode) override;
  std::string GetField(int n) override;
  void CloseTable() override;
  void TableOpen(std::string_view name) override;
  void TableOpenFile(std::string_view path) override;
  void TableSetTitles(std::string_view first, std::string_view second) override;
  void TableGo(std::int32_t n) override;
  void TableBrowse(std::string_view command, int mode) override;
  std::int32_t TableRecNo() override;
  std::string TableGetField(int n) override;
  bool TableGetBoolByName(std::string_view name) override;
  void TablePutStrByName(std::string_view name, std::string_view text) override;
  void TablePutFloatByName(std::string_view name, const Real48& value) override;
  void TablePutIntByName(std::string_view name, std::int32_t value) override;
  void TablePutBoolByName(std::string_view name, bool value) override;
  int TableAppend() override;
  void TableClose() override;
  void TableMakeIndex(std::string_view keyExpression, std::string_view indexName) override;
  void TableSeek(std::string_view key) override;
  bool TableFound() override;
};

// The material form, shown modally; batch runs and tests without a form
// answer Cancel (AbortFlag).
void SetMaterialFormRunner(std::function<void()> runner);

// Installs EngineTables as Tables().
void InstallTableServices();

}  // namespace zeb
