// The services of the neighbouring subsystems that the base library, the
// main window and the printouts call: graphics window and CAD output,
// spring drawings and diagrams, material and standards tables. Each is an
// abstract interface; until the real subsystems plug theirs in, recording
// fakes stand in (they note every call with its arguments and do nothing).
// Texts are code page 850, paths UTF-8.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/types.h"
#include "platform/real48.h"

namespace zeb {

// CAD output codes.
enum CadCode : int {
  kCadAsk = 0,
  kCadDxf = 1,
  kCadIges = 2,
  kCadScreen = 3,
  kCadPlotProgram = 4,
  kCadTxt = 5,
};

// The picture of the graphics window with its view, kept to be put back.
class KeptPicture {
 public:
  virtual ~KeptPicture() = default;
};

class GraphicsServices {
 public:
  virtual ~GraphicsServices() = default;

  // The picture as it is, and that picture put back (a cancelled command
  // leaves the window as it found it); nullptr where nothing is kept.
  virtual std::unique_ptr<KeptPicture> KeepPicture() { return nullptr; }
  virtual void RestorePicture(const KeptPicture& /*kept*/) {}

  // Window of the main form.
  virtual void FormPaint() = 0;
  virtual void SetPrintingFlag(Byte flag) = 0;  // 1 while a drawing prints
  virtual void RestoreLimit() = 0;
  virtual void ResetZoom() = 0;
  virtual void ReSetWindow() = 0;
  virtual void ClearViewPort() = 0;
  virtual void DisplayListInit() = 0;
  // The screen shows what was drawn before this returns (the window is
  // otherwise painted once the program waits for input again); for a
  // picture that a modal window is about to cover.
  virtual void FlushPicture() = 0;
  // A text that stays the same as long as the picture and the way records
  // land on it do; empty where that is not known.
  virtual std::string PictureStamp() const { return {}; }

  // Drawing.
  virtual void GrafClear() = 0;
  virtual void GrafHeader(bool flag, Real xmin, Real ymin, Real xmax, Real ymax) = 0;
  virtual void GrafSetWindow(bool flag1, bool flag2, Real a, Real b, Real c, Real d, Real e, Real f, Real g,
                             Real h) = 0;
  virtual void GrafDrawLogo() = 0;
  virtual void PlayHpglFile(std::string_view path) = 0;
  virtual void ShowHelpPictureFile(std::string_view pictureName) = 0;
  virtual void HelpPictureCatalog() = 0;

  // CAD output.
  virtual void SetCadBatchMode(Byte mode) = 0;
  virtual Byte CadBatchMode() const = 0;
  // The chosen output code; AbortFlag set when cancelled.
  virtual int CadChooseCode() = 0;
  virtual void CadEndOutput() = 0;
  virtual std::string TxtNumber(Real x) = 0;
};

class DrawingServices {
 public:
  virtual ~DrawingServices() = default;

  virtual void RedrawCurrentDrawing() = 0;
  virtual void SelectDiagram(int index, int cadCode) = 0;
  virtual void ShowDiagram(int diagramCode, int cadCode) = 0;
  virtual void ShowDiagramMenu() = 0;
  virtual void DrawSpringView(int kind, int cadCode, bool askLength) = 0;
  virtual void DrawProductionDrawing(int cadCode) = 0;
  virtual void DrawProductionDrawingEN(int cadCode) = 0;
  virtual void DrawQuickSheet(int cadCode) = 0;
  virtual void DrawSpring3DView(int cadCode, int kind, bool askLength) = 0;
  virtual void GoodmanOutput(int cadCode) = 0;
  virtual void HaighOutput(int cadCode) = 0;
  // The relaxation row of a material into the spring data.
  virtual void OpenRelaxationTable(int materialNumber) = 0;
};

class TableServices {
 public:
  virtual ~TableServices() = default;

  // Material selection.
  virtual void ShowMaterialForm() = 0;  // modal; cancel sets AbortFlag
  virtual void MaterialSelect(int mode) = 0;
  virtual void MaterialReadRecord() = 0;
  // Reads row `row` of the material table into the material record;
  // AbortFlag is left set when the table could not be read.
  virtual bool LoadMaterialRow(int row) = 0;
  // The relaxation row of that material number into the relaxation record
  // (cleared first; RelaxationFound when there is one); an unreadable or
  // damaged table is named and marked (RelaxationTableBad), AbortFlag set.
  virtual bool LoadRelaxationRow(int materialNumber) = 0;
  // Field n (1-based) of the browser's table, "" outside 1..field count.
  virtual std::string TableFieldName(int n) = 0;

  // Table browser.
  virtual void EditTable(std::string_view tableName, int helpNumber) = 0;
  virtual void SetTitles(std::string_view title1, std::string_view title2) = 0;
  virtual void OpenWithWriteCheck(std::string_view tableName) = 0;
  virtual void ShowTable(std::string_view command, int mode) = 0;
  virtual std::string GetField(int n) = 0;
  virtual void CloseTable() = 0;

  // Table window and procedural access.
  virtual void TableOpen(std::string_view name) = 0;
  virtual void TableOpenFile(std::string_view path) = 0;
  virtual void TableSetTitles(std::string_view first, std::string_view second) = 0;
  virtual void TableGo(std::int32_t n) = 0;
  virtual void TableBrowse(std::string_view command, int mode) = 0;
  virtual std::int32_t TableRecNo() = 0;
  virtual std::string TableGetField(int n) = 0;
  virtual bool TableGetBoolByName(std::string_view name) = 0;
  virtual void TablePutStrByName(std::string_view name, std::string_view text) = 0;
  virtual void TablePutFloatByName(std::string_view name, const Real48& value) = 0;
  virtual void TablePutIntByName(std::string_view name, std::int32_t value) = 0;
  virtual void TablePutBoolByName(std::string_view name, bool value) = 0;
  // 0 when the append lock fails.
  virtual int TableAppend() = 0;
  virtual void TableClose() = 0;
  // Builds the index on the key expression in the temporary folder and
  // opens it as the master index.
  virtual void TableMakeIndex(std::string_view keyExpression, std::string_view indexName) = 0;
  // Looks the key up in the master index; TableFound: the last seek's result.
  virtual void TableSeek(std::string_view key) = 0;
  virtual bool TableFound() = 0;
};

GraphicsServices& Graphics();
DrawingServices& Drawings();
TableServices& Tables();
// Installs a service; nullptr puts back a fresh recording fake.
void SetGraphics(std::shared_ptr<GraphicsServices> services);
void SetDrawings(std::shared_ptr<DrawingServices> services);
void SetTables(std::shared_ptr<TableServices> services);

// Records calls as "Name(arg,arg)"; numbers in shortest form, flags 0/1.
class CallRecorder {
 public:
  const std::vector<std::string>& Calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }

 protected:
  void Note(std::string_view name, std::initializer_list<std::string> args = {});

 private:
  std::vector<std::string> calls_;
};

class RecordingGraphics : public GraphicsServices, public CallRecorder {
 public:
  void FormPaint() override;
  void SetPrintingFlag(Byte flag) override;
  void RestoreLimit() override;
  void ResetZoom() override;
  void ReSetWindow() override;
  void ClearViewPort() override;
  void DisplayListInit() override;
  void FlushPicture() override;
  std::unique_ptr<KeptPicture> KeepPicture() override;  // an empty one
  void RestorePicture(const KeptPicture& kept) override;
  void GrafClear() override;
  void GrafHeader(bool flag, Real xmin, Real ymin, Real xmax, Real ymax) override;
  void GrafSetWindow(bool flag1, bool flag2, Real a, Real b, Real c, Real d, Real e, Real f, Real g,
                     Real h) override;
  void GrafDrawLogo() override;
  void PlayHpglFile(std::string_view path) override;
  void ShowHelpPictureFile(std::string_view pictureName) override;
  void HelpPictureCatalog() override;
  void SetCadBatchMode(Byte mode) override;
  Byte CadBatchMode() const override { return cadBatchMode_; }
  int CadChooseCode() override;  // kCadScreen
  void CadEndOutput() override;
  std::string TxtNumber(Real x) override;  // shortest form

 private:
  Byte cadBatchMode_ = 0;
};

class RecordingDrawings : public DrawingServices, public CallRecorder {
 public:
  void RedrawCurrentDrawing() override;
  void SelectDiagram(int index, int cadCode) override;
  void ShowDiagram(int diagramCode, int cadCode) override;
  void ShowDiagramMenu() override;
  void DrawSpringView(int kind, int cadCode, bool askLength) override;
  void DrawProductionDrawing(int cadCode) override;
  void DrawProductionDrawingEN(int cadCode) override;
  void DrawQuickSheet(int cadCode) override;
  void DrawSpring3DView(int cadCode, int kind, bool askLength) override;
  void GoodmanOutput(int cadCode) override;
  void HaighOutput(int cadCode) override;
  void OpenRelaxationTable(int materialNumber) override;
};

// Answers as an empty table would: "", 0, false.
class RecordingTables : public TableServices, public CallRecorder {
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
  bool TableFound() override;  // false
};

}  // namespace zeb
