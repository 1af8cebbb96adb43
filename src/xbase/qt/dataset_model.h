// A table model over any table dataset. A row is a position in a stretch
// of the dataset's current order (index, deleted records hidden or not):
// after every resync the stretch is found again around the current record,
// a block before and a block after it, and it grows by blocks at either end
// as the view asks. Reading a row never moves the dataset.
#pragma once
#include <QAbstractTableModel>
#include <cstdint>
#include <algorithm>
#include <functional>
#include <unordered_map>
#include <vector>

#include "xbase/dataset/tzdataset.h"

namespace zeb::xbase {

class DatasetModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Roles { DeletedRole = Qt::UserRole + 1, LogicalRole, RecNoRole, FieldTypeRole };
  static constexpr int kBlock = 256;

  explicit DatasetModel(TTzDataSet& dataset, QObject* parent = nullptr);
  ~DatasetModel() override;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

  TTzDataSet& Dataset() const { return ds_; }
  // Rows found per block (kBlock at start).
  void SetBlockSize(int rows) { block_ = std::max(1, rows); }
  // Finds the rows again around the current record (after a resync).
  void Reload();
  // The row of the dataset's current record, -1 when it lies outside the
  // rows found (Reload finds them around it).
  int CurrentRow();
  // Rows before the first row: whether there are, and a block of them
  // found (the rows below move down by that many; returns how many).
  bool CanFetchBefore() const { return !atTop_; }
  int FetchBefore();
  // The first record of the order is the first row; false when it is not.
  bool AtTop() const { return atTop_; }
  // The row is the record the dataset edits or inserts (changes to it wait
  // for the post).
  bool EditingRow(int row) const;
  // Moves the dataset to the record of a row; the record left is posted
  // first (false when that failed).
  bool MoveTo(int row);
  // Posts the record being edited; false when the post failed (its message
  // shown) or a refused lock keeps the edit pending.
  bool PostEdit();
  // The record number of a row (0 outside).
  std::int32_t RecordOf(int row) const;
  // The record buffer of a row (cached); nullptr when it cannot be read.
  const std::vector<std::uint8_t>* RowBuffer(int row) const;
  // Runs fn with the fields reading the row's record.
  void WithRow(int row, const std::function<void()>& fn) const;
  // Toggles a logical field of a row (the edit waits for the post).
  bool ToggleLogical(const QModelIndex& index);
  TField* FieldOfColumn(int column) const;
  // A new record at the end, shown as one more row while it is inserted.
  void BeginAppendRow();
  // Leaves the new row: posted when post, else given up. False when the
  // post wrote nothing (a refused lock or write): the row stays as typed,
  // current, for another try.
  bool EndAppendRow(bool post);
  bool HasAppendRow() const { return appendRow_; }
  // Title of a column as the saved column list sets it.
  struct Title {
    QString caption;
    QVariant font;
    QVariant alignment;
    QVariant background;
  };
  void SetTitle(int column, Title title);
  // Engine and dataset errors end here: the edit is cancelled, the message
  // shown, the model found again.
  void ReportError(const std::exception& e);

 Q_SIGNALS:
  // The dataset moved to another record on its own (a navigator, a key of
  // the owner) without finding its rows again.
  void CurrentRecordMoved();

 private:
  void OnDataEvent(int kind);
  // A failed edit is given up; its message and the rows follow once the
  // view has closed its editor.
  void DeferError(const std::exception& e);
  // After a value from an editor was posted: the rows checked without a
  // reset (see setData).
  void RefreshAfterCommit();
  // Rows after the last one, or from record start on (0: the first of the
  // order) while there are none.
  bool ScanMore(int count, std::int32_t start = 0);
  // Rows before the first one, in order; none when there are no rows.
  std::vector<std::int32_t> ScanBefore(int count);
  void IndexRows();

  TTzDataSet& ds_;
  std::vector<std::int32_t> rows_;
  std::unordered_map<std::int32_t, int> rowOf_;
  bool complete_ = false;
  int block_ = kBlock;
  bool appendRow_ = false;
  std::unordered_map<int, Title> titles_;
  bool busy_ = false;
  bool committing_ = false;       // setData posts an editor's value
  bool changedInCommit_ = false;  // the dataset changed meanwhile
  mutable int cachedRow_ = -1;
  mutable std::vector<std::uint8_t> cached_;
  std::function<void(DataSet&, int)> previousEvent_;
  bool atTop_ = false;  // the first row is the first record of the order
};

// The two-line text of an engine or dataset failure in an error box.
void ShowDatasetError(const std::exception& e);

// Posts the record a dataset edits or inserts; false when a refused lock
// keeps the edit (its message shown). Throws what the post throws.
bool PostPending(TTzDataSet& d);

}  // namespace zeb::xbase
