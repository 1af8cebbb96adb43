// The material form's logic: the spring's material (from the material
// table, preferred or all, or typed in), its wire diameter, the wire
// tolerance standard, the surface and the fatigue tolerances. The control
// values live here as texts (code page 850) so that the Qt form and the
// tests drive the same steps.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "spring/spring_data.h"

namespace zeb {

class MaterialForm {
 public:
  enum Source { kPreferred = 0, kAll = 1, kOwn = 2 };

  // The 17 items of the wire tolerance list (index + 1 = wire-standard code).
  static const std::vector<std::string>& ToleranceItems();

  // The form shown: values from the spring data and the material table,
  // then the material list filled.
  void Show();
  // The form activated again: the material list refilled from the table.
  void Activate() { FillMaterialCombo(); }
  // A click on the source group.
  void SetSource(int source);
  // A material chosen in the list (index into Items()), its wire standard
  // following its name as after the database button. One that lacks a
  // figure the calculation needs (its item says which) is refused with a
  // message naming them; the material shown stays.
  void ChooseItem(int index);
  // The list item of the material shown (by its number), -1 when none.
  int ShownItem() const;
  // The diameter edit changed.
  void SetDiameterText(const std::string& text);
  // The tolerance list changed (index 0..16).
  void SetToleranceIndex(int index);
  void SetToleranceText(const std::string& text) { tolText = text; }
  // The buttons.
  void Din2076Button();
  void En10270Button();
  void DatabaseButton();
  void FatigueButton();
  // OK takes the choice into the spring data; Cancel restores the spring
  // records as they were when the form was shown (AbortFlag set). A
  // numeric field whose text was typed (differs from the value it shows)
  // must be a number within the field's range: the first one that is not
  // is refused with the message of the typed-number check, gets the value
  // it showed back, and OK gives false, storing nothing (the form stays
  // open). A field left as shown keeps its exact value. With a table
  // source OK needs a table material whose values the form shows: without
  // one, or with one that lacks a figure the calculation needs, it is
  // refused with a message (the spring keeps its material).
  bool Ok();
  void Cancel();

  // Control values (code page 850 texts).
  int source = kPreferred;
  std::vector<std::string> items;  // "        7: name1 name2 name3"
  std::string comboText;
  std::string name, emodul, gmodul, dichte, rm, tauz;
  std::string dd;
  int tolIndex = 0;
  std::string tolText;
  bool tolEnabled = false;
  int surface = 0;
  std::string tolMin, tolMax;
  bool ownEnabled = false;  // the property group and its edits

 private:
  void FillMaterialCombo();
  void ShowMaterialValues();
  void UpdateSourceMode();
  bool CheckNumbers();
  void TakeOverMaterial();
  void WireTableButton(const char* table, const char* title);
  // The wire standard of the material shown (by its name), in the list.
  void FollowWireStandard();
  std::string ItemOfCurrentRecord();

  // The own material: its values when "andere" was first shown (the
  // spring's own material, or the table row then shown), its texts as the
  // edits last held them; kept while a table source is shown.
  struct OwnMaterial {
    bool kept = false;
    std::string name;
    Real E = 0, G = 0, rho = 0, Rm = 0, tauzul = 0;
    std::uint16_t source = 0;  // the table number the spring keeps with it
    Code standard = 0;
    std::string texts[6];
  };
  void TakeOwnFromSpring();
  void KeepOwnTexts();
  void ShowOwnTexts();

  // Per list item: the message that refuses its material, or empty.
  std::vector<std::string> lacks_;
  SpringGlobals saved_;  // the spring records when the form was shown
  bool tableShown_ = false;  // the edits show a material read from the table
  OwnMaterial own_;
};

}  // namespace zeb
