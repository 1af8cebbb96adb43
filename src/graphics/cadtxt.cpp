// TXT entity listing (code 5): one record per line, fields separated by TAB.
#include <algorithm>
#include <cmath>

#include "base/format.h"
#include "base/text.h"
#include "graphics/cad.h"
#include "graphics/cad_internal.h"
#include "graphics/cadsettings.h"

namespace zeb {

std::string TxtNumber(Real x) {
  if (!std::isfinite(x)) x = 0;
  int intDigits = 0, decimals = 0;
  SignificantDigitSplit(3, x, intDigits, decimals);
  decimals = std::clamp(decimals, 0, 4);
  std::string s = cad_detail::FixedText(x, decimals);
  if (CadSettings().DecimalCommaMode == 2) std::replace(s.begin(), s.end(), '.', ',');
  return s;
}

void TxtSetLayerName(int n) { DxfSetLayerName(n); }

namespace {

class TxtOutput : public CadOutput {
 public:
  explicit TxtOutput(CadFile& file) : file_(file) {}

  void Header(Real xmin, Real ymin, Real xmax, Real ymax) override {
    Record("MINMAX", {xmin, ymin, xmax, ymax});
  }
  void BeginBlocks() override { file_.WriteLine("SECTION BLOCKS"); }
  void BeginBlock(std::string_view name) override { file_.WriteLine("BLOCK\t" + Field(name)); }
  void EndBlock() override { file_.WriteLine("END OF BLOCK"); }
  void BeginEntities() override { file_.WriteLine("SECTION ENTITIES"); }

  void Line(Real x1, Real y1, Real x2, Real y2) override { Record("LINE", {x1, y1, x2, y2}); }
  void Line3D(Real x1, Real y1, Real z1, Real x2, Real y2, Real z2) override {
    Record("3D_LINE", {x1, y1, z1, x2, y2, z2});
  }
  void Circle(Real x, Real y, Real r) override { Record("CIRCLE", {x, y, r}); }
  void Arc(Real x, Real y, Real s, Real e, Real r) override {
    if (cad_detail::ArcIsFullCircle(s, e))
      Circle(x, y, r);
    else
      Record("ARC", {x, y, r, s, e});
  }
  void Text(std::string_view text, Real x, Real y) override {
    file_.WriteLine("TEXT\t" + TxtNumber(x) + "\t" + TxtNumber(y) + "\t" + Field(ConvertForTextOutput(text)));
  }
  void Solid(Real x1, Real y1, Real x2, Real y2, Real x3, Real y3, Real x4, Real y4) override {
    Record("SOLID", {x1, y1, x2, y2, x3, y3, x4, y4});
  }
  void Insert(std::string_view name, Real x, Real y, Real angle, Real sx, Real sy) override {
    std::string line = "INSERT\t" + Field(name);
    for (Real v : {x, y, angle, sx, sy}) line += "\t" + TxtNumber(v);
    file_.WriteLine(line);
  }

  bool Finish() override {
    file_.WriteLine("EOF");
    return true;
  }

 private:
  // A TAB inside a field would split it.
  static std::string Field(std::string_view s) {
    std::string out(s);
    std::replace(out.begin(), out.end(), '\t', ' ');
    return out;
  }
  void Record(const char* kind, std::initializer_list<Real> values) {
    std::string line = kind;
    for (Real v : values) line += "\t" + TxtNumber(v);
    file_.WriteLine(line);
  }

  CadFile& file_;
};

}  // namespace

namespace cad_detail {
std::unique_ptr<CadOutput> MakeTxtOutput(CadFile& file) { return std::make_unique<TxtOutput>(file); }
}  // namespace cad_detail

}  // namespace zeb
