// The production drawings (working plans) and their pieces: frame and
// title block, requirements text block, data table, end-form sketches.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/types.h"

namespace zeb {

void DrawTitleBlock(std::string_view name, std::string_view name2, std::string_view number);
void DrawChangeRows();
void DrawRequirementsBlock(std::uint16_t kind, std::uint16_t loadType, std::uint16_t variant);
void DrawDrawingDataTable(std::uint16_t gradeDe, std::uint16_t gradeL0, std::uint16_t gradeF1, Real n, Real nt,
                          Real sh, std::uint16_t gradeE1, std::uint16_t gradeF2, std::uint16_t gradeE2, Real tolDe,
                          Real tolDeMinus, Real tolL0, Real tolL0Minus, Real tolF1, Real tolF1Minus, Real tolF2,
                          Real tolF2Minus, Real e1, Real e2, std::uint16_t variant);
// Coil diameter D, wire d, pitch angle alpha (radians), in block
// coordinates: origin on the axis in the end plane.
void DrawEndFormSketch1(Real D, Real d, Real alpha);
void DrawEndFormSketch2(Real D, Real d, Real alpha);
void DrawEndFormSketch3(Real D, Real d, Real alpha);

// The production-data dialog shown before a drawing with CAD code 0; its
// Cancel sets AbortFlag.
class ProductionDataForm {
 public:
  virtual ~ProductionDataForm() = default;
  virtual void Run() = 0;
};
// Answers OK unless told to cancel.
class ScriptedProductionDataForm : public ProductionDataForm {
 public:
  bool cancel = false;
  int shown = 0;
  void Run() override;
};
ProductionDataForm& ProductionDataDialog();
void SetProductionDataForm(std::shared_ptr<ProductionDataForm> form);

}  // namespace zeb
