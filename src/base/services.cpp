#include "base/services.h"

#include <charconv>
#include <cmath>

namespace zeb {

namespace {

std::string Num(Real x) {
  if (!std::isfinite(x)) return std::isnan(x) ? "NAN" : (x < 0 ? "-INF" : "INF");
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, x);
  return std::string(buf, r.ptr);
}

std::string Int(long long n) { return std::to_string(n); }
std::string Flag(bool b) { return b ? "1" : "0"; }
std::string Str(std::string_view s) { return std::string(s); }

template <typename T>
std::shared_ptr<T>& Slot() {
  static std::shared_ptr<T> slot;
  return slot;
}

template <typename T, typename Fake>
T& Current() {
  auto& s = Slot<T>();
  if (!s) s = std::make_shared<Fake>();
  return *s;
}

}  // namespace

GraphicsServices& Graphics() { return Current<GraphicsServices, RecordingGraphics>(); }
DrawingServices& Drawings() { return Current<DrawingServices, RecordingDrawings>(); }
TableServices& Tables() { return Current<TableServices, RecordingTables>(); }
void SetGraphics(std::shared_ptr<GraphicsServices> services) { Slot<GraphicsServices>() = std::move(services); }
void SetDrawings(std::shared_ptr<DrawingServices> services) { Slot<DrawingServices>() = std::move(services); }
void SetTables(std::shared_ptr<TableServices> services) { Slot<TableServices>() = std::move(services); }

void CallRecorder::Note(std::string_view name, std::initializer_list<std::string> args) {
  std::string call(name);
  call += '(';
  bool first = true;
  for (const auto& a : args) {
    if (!first) call += ',';
    call += a;
    first = false;
  }
  call += ')';
  calls_.push_back(std::move(call));
}

// Graphics window and CAD output.
void RecordingGraphics::FormPaint() { Note("FormPaint"); }
void RecordingGraphics::SetPrintingFlag(Byte flag) { Note("SetPrintingFlag", {Int(flag)}); }
void RecordingGraphics::RestoreLimit() { Note("RestoreLimit"); }
void RecordingGraphics::ResetZoom() { Note("ResetZoom"); }
void RecordingGraphics::ReSetWindow() { Note("ReSetWindow"); }
void RecordingGraphics::ClearViewPort() { Note("ClearViewPort"); }
void RecordingGraphics::DisplayListInit() { Note("DisplayListInit"); }
void RecordingGraphics::FlushPicture() { Note("FlushPicture"); }
std::unique_ptr<KeptPicture> RecordingGraphics::KeepPicture() {
  Note("KeepPicture");
  return std::make_unique<KeptPicture>();
}
void RecordingGraphics::RestorePicture(const KeptPicture&) { Note("RestorePicture"); }
void RecordingGraphics::GrafClear() { Note("GrafClear"); }
void RecordingGraphics::GrafHeader(bool flag, Real xmin, Real ymin, Real xmax, Real ymax) {
  Note("GrafHeader", {Flag(flag), Num(xmin), Num(ymin), Num(xmax), Num(ymax)});
}
void RecordingGraphics::GrafSetWindow(bool flag1, bool flag2, Real a, Real b, Real c, Real d, Real e, Real f,
                                      Real g, Real h) {
  Note("GrafSetWindow", {Flag(flag1), Flag(flag2), Num(a), Num(b), Num(c), Num(d), Num(e), Num(f), Num(g), Num(h)});
}
void RecordingGraphics::GrafDrawLogo() { Note("GrafDrawLogo"); }
void RecordingGraphics::PlayHpglFile(std::string_view path) { Note("PlayHpglFile", {Str(path)}); }
void RecordingGraphics::ShowHelpPictureFile(std::string_view pictureName) {
  Note("ShowHelpPictureFile", {Str(pictureName)});
}
void RecordingGraphics::HelpPictureCatalog() { Note("HelpPictureCatalog"); }
void RecordingGraphics::SetCadBatchMode(Byte mode) {
  Note("SetCadBatchMode", {Int(mode)});
  cadBatchMode_ = mode;
}
int RecordingGraphics::CadChooseCode() {
  Note("CadChooseCode");
  return kCadScreen;
}
void RecordingGraphics::CadEndOutput() { Note("CadEndOutput"); }
std::string RecordingGraphics::TxtNumber(Real x) {
  Note("TxtNumber", {Num(x)});
  return Num(x);
}

// Drawings and diagrams.
void RecordingDrawings::RedrawCurrentDrawing() { Note("RedrawCurrentDrawing"); }
void RecordingDrawings::SelectDiagram(int index, int cadCode) { Note("SelectDiagram", {Int(index), Int(cadCode)}); }
void RecordingDrawings::ShowDiagram(int diagramCode, int cadCode) {
  Note("ShowDiagram", {Int(diagramCode), Int(cadCode)});
}
void RecordingDrawings::ShowDiagramMenu() { Note("ShowDiagramMenu"); }
void RecordingDrawings::DrawSpringView(int kind, int cadCode, bool askLength) {
  Note("DrawSpringView", {Int(kind), Int(cadCode), Flag(askLength)});
}
void RecordingDrawings::DrawProductionDrawing(int cadCode) { Note("DrawProductionDrawing", {Int(cadCode)}); }
void RecordingDrawings::DrawProductionDrawingEN(int cadCode) { Note("DrawProductionDrawingEN", {Int(cadCode)}); }
void RecordingDrawings::DrawQuickSheet(int cadCode) { Note("DrawQuickSheet", {Int(cadCode)}); }
void RecordingDrawings::DrawSpring3DView(int cadCode, int kind, bool askLength) {
  Note("DrawSpring3DView", {Int(cadCode), Int(kind), Flag(askLength)});
}
void RecordingDrawings::GoodmanOutput(int cadCode) { Note("GoodmanOutput", {Int(cadCode)}); }
void RecordingDrawings::HaighOutput(int cadCode) { Note("HaighOutput", {Int(cadCode)}); }
void RecordingDrawings::OpenRelaxationTable(int materialNumber) {
  Note("OpenRelaxationTable", {Int(materialNumber)});
}

// Material and standards tables.
void RecordingTables::ShowMaterialForm() { Note("ShowMaterialForm"); }
void RecordingTables::MaterialSelect(int mode) { Note("MaterialSelect", {Int(mode)}); }
void RecordingTables::MaterialReadRecord() { Note("MaterialReadRecord"); }
bool RecordingTables::LoadMaterialRow(int row) {
  Note("LoadMaterialRow", {Int(row)});
  return false;
}
bool RecordingTables::LoadRelaxationRow(int materialNumber) {
  Note("LoadRelaxationRow", {Int(materialNumber)});
  return false;
}
std::string RecordingTables::TableFieldName(int n) {
  Note("TableFieldName", {Int(n)});
  return {};
}
void RecordingTables::EditTable(std::string_view tableName, int helpNumber) {
  Note("EditTable", {Str(tableName), Int(helpNumber)});
}
void RecordingTables::SetTitles(std::string_view title1, std::string_view title2) {
  Note("SetTitles", {Str(title1), Str(title2)});
}
void RecordingTables::OpenWithWriteCheck(std::string_view tableName) { Note("OpenWithWriteCheck", {Str(tableName)}); }
void RecordingTables::ShowTable(std::string_view command, int mode) { Note("ShowTable", {Str(command), Int(mode)}); }
std::string RecordingTables::GetField(int n) {
  Note("GetField", {Int(n)});
  return {};
}
void RecordingTables::CloseTable() { Note("CloseTable"); }
void RecordingTables::TableOpen(std::string_view name) { Note("TableOpen", {Str(name)}); }
void RecordingTables::TableOpenFile(std::string_view path) { Note("TableOpenFile", {Str(path)}); }
void RecordingTables::TableSetTitles(std::string_view first, std::string_view second) {
  Note("TableSetTitles", {Str(first), Str(second)});
}
void RecordingTables::TableGo(std::int32_t n) { Note("TableGo", {Int(n)}); }
void RecordingTables::TableBrowse(std::string_view command, int mode) {
  Note("TableBrowse", {Str(command), Int(mode)});
}
std::int32_t RecordingTables::TableRecNo() {
  Note("TableRecNo");
  return 0;
}
std::string RecordingTables::TableGetField(int n) {
  Note("TableGetField", {Int(n)});
  return {};
}
bool RecordingTables::TableGetBoolByName(std::string_view name) {
  Note("TableGetBoolByName", {Str(name)});
  return false;
}
void RecordingTables::TablePutStrByName(std::string_view name, std::string_view text) {
  Note("TablePutStrByName", {Str(name), Str(text)});
}
void RecordingTables::TablePutFloatByName(std::string_view name, const Real48& value) {
  Note("TablePutFloatByName", {Str(name), Num(Real48ToReal(value))});
}
void RecordingTables::TablePutIntByName(std::string_view name, std::int32_t value) {
  Note("TablePutIntByName", {Str(name), Int(value)});
}
void RecordingTables::TablePutBoolByName(std::string_view name, bool value) {
  Note("TablePutBoolByName", {Str(name), Flag(value)});
}
int RecordingTables::TableAppend() {
  Note("TableAppend");
  return 0;
}
void RecordingTables::TableClose() { Note("TableClose"); }
void RecordingTables::TableMakeIndex(std::string_view keyExpression, std::string_view indexName) {
  Note("TableMakeIndex", {Str(keyExpression), Str(indexName)});
}
void RecordingTables::TableSeek(std::string_view key) { Note("TableSeek", {Str(key)}); }
bool RecordingTables::TableFound() {
  Note("TableFound");
  return false;
}

}  // namespace zeb
