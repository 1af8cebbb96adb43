// The field classes of the table datasets: numbers accept every size of a
// DBF numeric field, dates read and write the engine's date texts.
#pragma once
#include <string>
#include <string_view>

#include "xbase/dataset/dataset_base.h"

namespace zeb::xbase {

class TTzIntegerField : public TField {
 public:
  TTzIntegerField(DataSet& owner, std::string name, TFieldType type, int fieldNo)
      : TField(owner, std::move(name), type, 0, fieldNo) {}
  bool CheckSize(int size) const override { return (size >= 0 && size <= 20) || TField::CheckSize(size); }
};

class TTzFloatField : public TField {
 public:
  TTzFloatField(DataSet& owner, std::string name, int fieldNo)
      : TField(owner, std::move(name), TFieldType::Float, 0, fieldNo) {}
  bool CheckSize(int size) const override { return (size >= 0 && size <= 20) || TField::CheckSize(size); }
};

class TTzDateField : public TField {
 public:
  TTzDateField(DataSet& owner, std::string name, int fieldNo)
      : TField(owner, std::move(name), TFieldType::Date, 0, fieldNo) {}
  // Cut to 10 characters when that is a date text of the engine.
  std::string DisplayText() const override;
  // Text equal to the blank date picture clears the field; other text goes
  // through the date-text rule with the strict switch.
  void SetText(std::string_view text) override;
};

}  // namespace zeb::xbase
