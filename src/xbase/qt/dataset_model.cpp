#include "xbase/qt/dataset_model.h"

#include <algorithm>
#include <stdexcept>

#include "xbase/core/errors.h"
#include "xbase/dataset/field_values.h"
#include "xbase/dbf/workarea.h"
#include "xbase/dbf/workarea_internal.h"

namespace zeb::xbase {

namespace {

QString FromAnsi(const std::string& s) { return QString::fromStdString(AnsiToUtf8(s)); }

// The engine's place and record buffer (which may hold an edit), put back
// when it goes.
class EngineSpot {
 public:
  explicit EngineSpot(WorkArea& a) : a_(a), here_(a.recordNumber), eof_(a.eof), bof_(a.bof) {
    CompleteRecordBuffer(a);
    if (a.recordBuffer != nullptr) copy_.assign(a.recordBuffer, a.recordBuffer + a.recordBufferSize);
  }
  ~EngineSpot() {
    try {
      if (here_ >= 1 && here_ <= a_.recordCount) GO(here_);
    } catch (const std::exception&) {
      // Nothing more to restore.
    }
    a_.recordNumber = here_;
    a_.eof = eof_;
    a_.bof = bof_;
    if (a_.recordBuffer != nullptr && copy_.size() == a_.recordBufferSize) {
      std::copy(copy_.begin(), copy_.end(), a_.recordBuffer);
      a_.undecoded = false;
    }
  }
  EngineSpot(const EngineSpot&) = delete;
  EngineSpot& operator=(const EngineSpot&) = delete;

 private:
  WorkArea& a_;
  std::int32_t here_;
  bool eof_, bof_;
  std::vector<std::uint8_t> copy_;
};

}  // namespace

void ShowDatasetError(const std::exception& e) {
  TzMessageBox(UserFailureText(e.what()), "Fehler", 16);
}

namespace {

// The texts typed into a new record; fields left empty are not listed.
std::vector<std::pair<std::size_t, std::string>> TypedFields(TTzDataSet& d) {
  std::vector<std::pair<std::size_t, std::string>> typed;
  for (std::size_t i = 0; i < d.FieldObjectCount(); ++i) {
    TField& f = d.FieldAt(i);
    if (f.Type() == TFieldType::Memo || f.IsNull()) continue;
    typed.emplace_back(i, f.AsString());
  }
  return typed;
}

}  // namespace

bool PostPending(TTzDataSet& d) {
  auto editing = [&d] { return d.State() == DataSetState::Edit || d.State() == DataSetState::Insert; };
  if (!d.Active() || !editing()) return true;
  if (d.State() != DataSetState::Insert) {
    d.Post();
    return !editing();
  }
  const auto typed = TypedFields(d);
  try {
    d.Post();
  } catch (const std::exception&) {
    // A new record the engine could not write is given up there; it is
    // entered again as typed, the row there for another try. One the table
    // holds (a later step failed) is not.
    if (d.Active() && d.State() == DataSetState::Browse && d.PostedBeforeFailure() == 0) {
      try {
        d.Append();
        for (const auto& [i, text] : typed) d.FieldAt(i).SetText(text);
      } catch (const std::exception&) {
        if (d.State() == DataSetState::Insert) d.Cancel();
      }
    }
    throw;
  }
  return !editing();
}

DatasetModel::DatasetModel(TTzDataSet& dataset, QObject* parent) : QAbstractTableModel(parent), ds_(dataset) {
  previousEvent_ = ds_.dataEvent;
  ds_.dataEvent = [this](DataSet& d, int kind) {
    if (previousEvent_) previousEvent_(d, kind);
    OnDataEvent(kind);
  };
  Reload();
}

DatasetModel::~DatasetModel() { ds_.dataEvent = previousEvent_; }

void DatasetModel::ReportError(const std::exception& e) {
  try {
    if (ds_.State() == DataSetState::Edit || ds_.State() == DataSetState::Insert) ds_.Cancel();
  } catch (const std::exception&) {
    // The dataset stays as the failure left it.
  }
  ShowDatasetError(e);
  Reload();
}

void DatasetModel::OnDataEvent(int kind) {
  if (busy_) return;
  if (kind == DataSet::kDataSetChange && committing_) {
    // The view is handing in an editor's value: its editor must outlive
    // the post, so the rows are not reset under it now.
    changedInCommit_ = true;
  } else if (kind == DataSet::kDataSetChange) {
    Reload();
  } else if (kind == DataSet::kDataSetScroll) {
    Q_EMIT CurrentRecordMoved();
  } else if (kind == DataSet::kRecordChange || kind == DataSet::kFieldChange) {
    cachedRow_ = -1;
    const int row = CurrentRow();
    if (row >= 0) Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1));
  }
}

bool DatasetModel::ScanMore(int count, std::int32_t start) {
  if (complete_ || !ds_.Active()) {
    complete_ = true;
    return false;
  }
  if (ds_.WorkAreaNumber() == 0 || AreaAt(ds_.WorkAreaNumber()) == nullptr) {
    complete_ = true;
    return false;
  }
  ds_.SelectWorkArea("fetchMore");
  WorkArea& a = *AreaAt(ds_.WorkAreaNumber());
  // The block's steps share one read bracket of a shared index.
  const IndexSemaphore bracket(IndexActive(), false);
  const EngineSpot spot(a);
  bool added = false;
  try {
    if (!rows_.empty()) {
      ds_.WithOwnIndex([this] { GO(rows_.back()); });
      SKIP(1);
    } else if (start >= 1 && start <= a.recordCount) {
      ds_.WithOwnIndex([start] { GO(start); });
    } else if (start < 0) {
      GoBottom();
    } else {
      GoTop();
      atTop_ = true;
    }
    while (!dEOF() && count > 0 && TzCurrentError() == 0) {
      const std::int32_t n = RecNo();
      if (rowOf_.count(n) != 0) break;  // an order that loops: stop
      rowOf_[n] = static_cast<int>(rows_.size());
      rows_.push_back(n);
      added = true;
      --count;
      SKIP(1);
    }
    if (dEOF() || count > 0) complete_ = true;
  } catch (const std::exception&) {
    complete_ = true;
  }
  return added;
}

std::vector<std::int32_t> DatasetModel::ScanBefore(int count) {
  std::vector<std::int32_t> found;
  if (atTop_ || rows_.empty() || !ds_.Active() || ds_.WorkAreaNumber() == 0 ||
      AreaAt(ds_.WorkAreaNumber()) == nullptr) {
    atTop_ = true;
    return found;
  }
  ds_.SelectWorkArea("fetchMore");
  WorkArea& a = *AreaAt(ds_.WorkAreaNumber());
  const IndexSemaphore bracket(IndexActive(), false);
  const EngineSpot spot(a);
  try {
    ds_.WithOwnIndex([this] { GO(rows_.front()); });
    for (;;) {
      SKIP(-1);
      if (dBOF() || TzCurrentError() != 0) {
        atTop_ = true;
        break;
      }
      if (count == 0) break;  // more rows before: found later
      const std::int32_t n = RecNo();
      if (rowOf_.count(n) != 0 || std::find(found.begin(), found.end(), n) != found.end()) {
        atTop_ = true;  // an order that loops: stop
        break;
      }
      found.push_back(n);
      --count;
    }
  } catch (const std::exception&) {
    atTop_ = true;
  }
  std::reverse(found.begin(), found.end());
  return found;
}

void DatasetModel::IndexRows() {
  rowOf_.clear();
  for (std::size_t i = 0; i < rows_.size(); ++i) rowOf_[rows_[i]] = static_cast<int>(i);
}

int DatasetModel::FetchBefore() {
  const std::vector<std::int32_t> found = ScanBefore(block_);
  if (found.empty()) return 0;
  const int k = static_cast<int>(found.size());
  beginInsertRows(QModelIndex(), 0, k - 1);
  rows_.insert(rows_.begin(), found.begin(), found.end());
  IndexRows();
  cachedRow_ = -1;
  endInsertRows();
  return k;
}

void DatasetModel::RefreshAfterCommit() {
  if (!changedInCommit_) return;
  changedInCommit_ = false;
  // The same rows in the same order (the usual edit): only their values
  // changed, and the view keeps its editors.
  const std::vector<std::int32_t> before = rows_;
  const std::unordered_map<std::int32_t, int> beforeOf = rowOf_;
  const bool beforeComplete = complete_;
  const bool beforeTop = atTop_;
  const bool appendRow = ds_.Active() && ds_.State() == DataSetState::Insert;
  rows_.clear();
  rowOf_.clear();
  complete_ = false;
  atTop_ = false;
  cachedRow_ = -1;
  // The same stretch of the order, from its first row.
  const std::int32_t start = beforeTop || before.empty() ? 0 : before.front();
  while (rows_.size() < before.size() &&
         ScanMore(std::max(block_, static_cast<int>(before.size() - rows_.size())), start)) {
  }
  const bool same = rows_ == before && complete_ == beforeComplete && appendRow == appendRow_ && atTop_ == beforeTop;
  if (same) {
    if (rowCount() > 0 && columnCount() > 0)
      Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    Q_EMIT headerDataChanged(Qt::Vertical, 0, std::max(0, rowCount() - 1));
    return;
  }
  // The order changed (an indexed field was edited): the rows are found
  // again once the view has closed the editor.
  rows_ = before;
  rowOf_ = beforeOf;
  complete_ = beforeComplete;
  atTop_ = beforeTop;
  QMetaObject::invokeMethod(this, [this] { Reload(); }, Qt::QueuedConnection);
}

void DatasetModel::Reload() {
  // An order of the window's own takes in what other programs appended.
  try {
    if (ds_.Active() && ds_.State() == DataSetState::Browse) ds_.FollowOtherPrograms();
  } catch (const std::exception&) {
    // The rows are found as the index stands.
  }
  beginResetModel();
  // A record inserted through the dataset (a navigator) is the last row.
  appendRow_ = ds_.Active() && ds_.State() == DataSetState::Insert;
  rows_.clear();
  rowOf_.clear();
  complete_ = false;
  atTop_ = false;
  cachedRow_ = -1;
  // A block from the current record on (from the last one while a new
  // record is inserted), then a block before it.
  std::int32_t at = 0;
  if (appendRow_) {
    at = -1;
  } else if (ds_.Active()) {
    const Bookmark b = ds_.GetBookmark();
    if (b && !ds_.IsEmpty()) at = *b;
  }
  ScanMore(block_, at);
  if (!atTop_) {
    const std::vector<std::int32_t> before = ScanBefore(block_);
    rows_.insert(rows_.begin(), before.begin(), before.end());
    IndexRows();
  }
  endResetModel();
}

int DatasetModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size()) + (appendRow_ ? 1 : 0);
}

void DatasetModel::BeginAppendRow() {
  if (appendRow_) return;
  // The record left is posted first; a refused lock keeps it.
  if (!PostEdit()) return;
  busy_ = true;
  try {
    ds_.Append();
  } catch (const std::exception& e) {
    busy_ = false;
    ReportError(e);
    return;
  }
  busy_ = false;
  const int n = static_cast<int>(rows_.size());
  beginInsertRows(QModelIndex(), n, n);
  appendRow_ = true;
  endInsertRows();
}

bool DatasetModel::EndAppendRow(bool post) {
  if (!appendRow_) return true;
  if (post) {
    std::exception_ptr failure;
    busy_ = true;
    try {
      PostPending(ds_);  // the rows are found again
    } catch (const std::exception&) {
      failure = std::current_exception();
    }
    busy_ = false;
    // Not written: the rows, the new one last and current, before the message.
    const bool kept = ds_.Active() && ds_.State() == DataSetState::Insert;
    appendRow_ = kept;
    Reload();
    if (failure) {
      try {
        std::rethrow_exception(failure);
      } catch (const std::exception& e) {
        ShowDatasetError(e);
      }
    }
    return !kept;
  }
  busy_ = true;
  try {
    ds_.Cancel();
  } catch (const std::exception&) {
    // Nothing was written.
  }
  busy_ = false;
  const int n = static_cast<int>(rows_.size());
  beginRemoveRows(QModelIndex(), n, n);
  appendRow_ = false;
  endRemoveRows();
  return true;
}

int DatasetModel::columnCount(const QModelIndex& parent) const {
  if (parent.isValid() || !ds_.Active()) return 0;
  return static_cast<int>(ds_.FieldObjectCount());
}

bool DatasetModel::canFetchMore(const QModelIndex& parent) const { return !parent.isValid() && !complete_; }

void DatasetModel::fetchMore(const QModelIndex& parent) {
  if (parent.isValid() || complete_) return;
  const int first = static_cast<int>(rows_.size());
  std::vector<std::int32_t> before = rows_;
  // Rows are found first, then announced.
  const bool added = ScanMore(block_);
  if (!added) return;
  const int last = static_cast<int>(rows_.size()) - 1;
  std::vector<std::int32_t> found(rows_.begin() + first, rows_.end());
  rows_ = std::move(before);
  beginInsertRows(QModelIndex(), first, last);
  rows_.insert(rows_.end(), found.begin(), found.end());
  endInsertRows();
}

std::int32_t DatasetModel::RecordOf(int row) const {
  return row >= 0 && row < static_cast<int>(rows_.size()) ? rows_[static_cast<std::size_t>(row)] : 0;
}

const std::vector<std::uint8_t>* DatasetModel::RowBuffer(int row) const {
  if (row == cachedRow_) return &cached_;
  const std::int32_t n = RecordOf(row);
  if (n < 1) return nullptr;
  try {
    if (!ds_.ReadRecordAt(n, cached_)) return nullptr;
  } catch (const std::exception&) {
    cachedRow_ = -1;
    return nullptr;
  }
  cachedRow_ = row;
  return &cached_;
}

void DatasetModel::WithRow(int row, const std::function<void()>& fn) const {
  const std::vector<std::uint8_t>* buf = RowBuffer(row);
  if (buf == nullptr) return;
  ds_.SetViewBuffer(buf);
  try {
    fn();
  } catch (...) {
    ds_.SetViewBuffer(nullptr);
    throw;
  }
  ds_.SetViewBuffer(nullptr);
}

TField* DatasetModel::FieldOfColumn(int column) const {
  if (column < 0 || static_cast<std::size_t>(column) >= ds_.FieldObjectCount()) return nullptr;
  return &ds_.FieldAt(static_cast<std::size_t>(column));
}

QVariant DatasetModel::data(const QModelIndex& index, int role) const {
  const bool appendRow = appendRow_ && index.row() == static_cast<int>(rows_.size());
  if (!index.isValid() || (index.row() >= static_cast<int>(rows_.size()) && !appendRow)) return {};
  TField* f = FieldOfColumn(index.column());
  if (f == nullptr) return {};
  // The row being edited shows the edit.
  const bool editing = appendRow || ((ds_.State() == DataSetState::Edit) && ds_.GetBookmark() == RecordOf(index.row()));
  QVariant result;
  try {
    auto read = [&] {
      switch (role) {
        case Qt::DisplayRole:
          if (f->Type() == TFieldType::Boolean) break;
          result = FromAnsi(f->DisplayText());
          break;
        case Qt::EditRole: result = FromAnsi(f->AsString()); break;
        case LogicalRole:
          if (f->Type() == TFieldType::Boolean) result = !f->IsNull() && f->AsBoolean();
          break;
        case FieldTypeRole: result = static_cast<int>(f->Type()); break;
        default: break;
      }
    };
    if (role == DeletedRole || role == RecNoRole) {
      const std::vector<std::uint8_t>* buf = editing ? &ds_.ActiveBuffer() : RowBuffer(index.row());
      if (buf == nullptr || buf->empty()) return {};
      if (role == DeletedRole) return (*buf)[0] != 0;
      return RecordOf(index.row());
    }
    if (role == Qt::TextAlignmentRole) {
      const TFieldType t = f->Type();
      const bool number = t == TFieldType::Integer || t == TFieldType::LargeInt || t == TFieldType::Float;
      return QVariant::fromValue(Qt::Alignment((number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
    }
    if (editing)
      read();
    else
      WithRow(index.row(), read);
  } catch (const std::exception&) {
    return {};
  }
  return result;
}

Qt::ItemFlags DatasetModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags fl = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
  TField* f = FieldOfColumn(index.column());
  // Memo cells are not edited in the grid; logical cells toggle.
  if (f != nullptr && !f->IsBlob() && !f->readOnly && f->Type() != TFieldType::Boolean && ds_.CanModify())
    fl |= Qt::ItemIsEditable;
  return fl;
}

void DatasetModel::SetTitle(int column, Title title) {
  titles_[column] = std::move(title);
  Q_EMIT headerDataChanged(Qt::Horizontal, column, column);
}

QVariant DatasetModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal) {
    auto it = titles_.find(section);
    if (it != titles_.end()) {
      if (role == Qt::DisplayRole && !it->second.caption.isNull()) return it->second.caption;
      if (role == Qt::FontRole && it->second.font.isValid()) return it->second.font;
      if (role == Qt::TextAlignmentRole && it->second.alignment.isValid()) return it->second.alignment;
      if (role == Qt::BackgroundRole && it->second.background.isValid()) return it->second.background;
    }
  }
  if (role != Qt::DisplayRole) return QAbstractTableModel::headerData(section, orientation, role);
  if (orientation == Qt::Horizontal) {
    TField* f = FieldOfColumn(section);
    return f != nullptr ? FromAnsi(f->Name()) : QVariant();
  }
  return QString::number(RecordOf(section));
}

bool DatasetModel::EditingRow(int row) const {
  if (appendRow_ && row == static_cast<int>(rows_.size())) return true;
  return ds_.State() == DataSetState::Edit && ds_.GetBookmark() == RecordOf(row) && RecordOf(row) > 0;
}

bool DatasetModel::MoveTo(int row) {
  const std::int32_t n = RecordOf(row);
  if (n < 1) return false;
  if (ds_.GetBookmark() == n && ds_.State() == DataSetState::Browse) return true;
  // The record left is posted first.
  if (!appendRow_ && !PostEdit()) return false;
  busy_ = true;
  try {
    ds_.GotoBookmark(n);
  } catch (const std::exception& e) {
    busy_ = false;
    ReportError(e);
    return false;
  }
  busy_ = false;
  return true;
}

int DatasetModel::CurrentRow() {
  if (appendRow_) return static_cast<int>(rows_.size());
  const Bookmark b = ds_.GetBookmark();
  if (!b) return -1;
  auto found = [&] {
    auto it = rowOf_.find(*b);
    return it != rowOf_.end() ? it->second : -1;
  };
  // A record just past either end is found with a block or two more; one
  // farther off is found by Reload.
  int row = found();
  for (int i = 0; row < 0 && i < 2 && !complete_; ++i) {
    fetchMore(QModelIndex());
    row = found();
  }
  for (int i = 0; row < 0 && i < 2 && !atTop_; ++i) {
    FetchBefore();
    row = found();
  }
  return row;
}

bool DatasetModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::EditRole) return false;
  TField* f = FieldOfColumn(index.column());
  if (f == nullptr) return false;
  // The value waits in the record being edited (a new row too) until the
  // record is left or posted.
  const bool pending = EditingRow(index.row());
  try {
    ds_.CheckEntry(*f, value.toString().toStdU32String());
  } catch (const std::exception& e) {
    ShowDatasetError(e);
    return false;
  }
  if (!pending && !MoveTo(index.row())) return false;
  try {
    ds_.Edit();
  } catch (const std::exception& e) {
    DeferError(e);
    return false;
  }
  try {
    f->SetText(Utf8ToAnsi(value.toString().toStdString()));
  } catch (const std::exception& e) {
    ShowDatasetError(e);
    return false;
  }
  Q_EMIT dataChanged(this->index(index.row(), 0), this->index(index.row(), columnCount() - 1));
  return true;
}

void DatasetModel::DeferError(const std::exception& e) {
  try {
    // A new record not written stays as typed (see PostPending), and so
    // does an edit kept for another try.
    if (ds_.State() == DataSetState::Edit && !ds_.keepEditOnFailure) ds_.Cancel();
  } catch (const std::exception&) {
    // The dataset stays as the failure left it.
  }
  // The message and the rows once the view has closed its editor (the
  // message box would process events under it).
  const std::runtime_error failure(e.what());
  QMetaObject::invokeMethod(
      this,
      [this, failure] {
        ShowDatasetError(failure);
        Reload();
      },
      Qt::QueuedConnection);
}

bool DatasetModel::PostEdit() {
  committing_ = true;
  bool posted = false;
  try {
    posted = PostPending(ds_);
  } catch (const std::exception& e) {
    committing_ = false;
    changedInCommit_ = false;
    DeferError(e);
    return false;
  }
  committing_ = false;
  if (!posted) {
    // A refused lock (its message shown): the edit stays, the view goes
    // back to its record.
    changedInCommit_ = false;
    QMetaObject::invokeMethod(this, [this] { Reload(); }, Qt::QueuedConnection);
    return false;
  }
  RefreshAfterCommit();
  return true;
}

bool DatasetModel::ToggleLogical(const QModelIndex& index) {
  TField* f = FieldOfColumn(index.column());
  if (f == nullptr || f->Type() != TFieldType::Boolean || !ds_.CanModify()) return false;
  const bool pending = EditingRow(index.row());
  if (!pending && !MoveTo(index.row())) return false;
  try {
    ds_.Edit();
    f->SetAsBoolean(!(!f->IsNull() && f->AsBoolean()));
  } catch (const std::exception& e) {
    ReportError(e);
    return false;
  }
  return true;
}

}  // namespace zeb::xbase
