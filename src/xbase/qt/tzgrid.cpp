#include "xbase/qt/tzgrid.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QToolButton>
#include <algorithm>
#include <QWheelEvent>
#include <QScrollBar>
#include <qdrawutil.h>

#include "xbase/core/ansi_literal.h"
#include "xbase/core/callbacks.h"
#include "xbase/core/dates.h"
#include "xbase/core/engine.h"
#include "xbase/dataset/field_values.h"

namespace zeb::xbase {

namespace {

QColor ToQColor(TzColor c) { return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>((c >> 16) & 0xFF)); }
TzColor FromQColor(const QColor& c) {
  return static_cast<TzColor>(c.red()) | (static_cast<TzColor>(c.green()) << 8) | (static_cast<TzColor>(c.blue()) << 16);
}

// A title row that shows the depressed column sunken.
class TzHeader : public QHeaderView {
 public:
  TzHeader(const int& depressed, QWidget* parent) : QHeaderView(Qt::Horizontal, parent), depressed_(depressed) {}

 protected:
  void paintSection(QPainter* p, const QRect& rect, int logicalIndex) const override {
    QHeaderView::paintSection(p, rect, logicalIndex);
    if (logicalIndex == depressed_) {
      p->save();
      qDrawShadeRect(p, rect.adjusted(1, 1, -1, -1), palette(), true, 1);
      p->restore();
    }
  }

 private:
  const int& depressed_;
};

// The indicator column: a data row whose fixed colour the colour event
// changed is filled with it inside a one-pixel margin, the record number
// drawn over the fill.
class TzIndicator : public QHeaderView {
 public:
  explicit TzIndicator(TTzGrid& grid) : QHeaderView(Qt::Vertical, &grid), grid_(grid) {}

 protected:
  void paintSection(QPainter* p, const QRect& rect, int logicalIndex) const override {
    QHeaderView::paintSection(p, rect, logicalIndex);
    if (grid_.Model() == nullptr || logicalIndex < 0 || logicalIndex >= grid_.Model()->rowCount()) return;
    const CellColors c = grid_.ColorsFor(logicalIndex, -1);
    if (c.fixed == grid_.palette.fixed) return;
    p->save();
    // The header leaves its painter clipped to nothing after a section.
    p->setClipRect(rect);
    const QRect inner = rect.adjusted(1, 1, -1, -1);
    p->fillRect(inner, QColor(static_cast<int>(c.fixed & 0xFF), static_cast<int>((c.fixed >> 8) & 0xFF),
                              static_cast<int>((c.fixed >> 16) & 0xFF)));
    p->setPen(palette().color(QPalette::ButtonText));
    p->drawText(inner, Qt::AlignCenter, model()->headerData(logicalIndex, Qt::Vertical).toString());
    p->restore();
  }

 private:
  TTzGrid& grid_;
};

// The fixed columns: a view over the same rows laid over the left of the
// grid's viewport. Its cells are fixed cells: never current, never edited;
// a click there makes the row current in the grid.
class TzFixedView : public QTableView {
 public:
  explicit TzFixedView(TTzGrid& grid) : QTableView(&grid), grid_(grid) {
    setObjectName("TzGridFixed");
    setFocusPolicy(Qt::NoFocus);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::NoSelection);
    setFrameStyle(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    verticalHeader()->hide();
    setWordWrap(false);
  }

 protected:
  void mousePressEvent(QMouseEvent* e) override {
    const QModelIndex at = indexAt(e->position().toPoint());
    if (!at.isValid() || grid_.Model() == nullptr) return;
    // The row becomes current; the cursor keeps to the scrolling columns.
    const int fixed = grid_.FixedCount();
    int column = grid_.currentIndex().isValid() ? grid_.currentIndex().column() : -1;
    if (column < 0 || grid_.horizontalHeader()->visualIndex(column) < fixed)
      column = grid_.horizontalHeader()->logicalIndex(fixed);
    grid_.setCurrentIndex(grid_.Model()->index(at.row(), std::max(0, column)));
    grid_.setFocus(Qt::MouseFocusReason);
  }
  void mouseDoubleClickEvent(QMouseEvent*) override {}
  void mouseMoveEvent(QMouseEvent*) override {}
  void mouseReleaseEvent(QMouseEvent*) override {}
  void wheelEvent(QWheelEvent* e) override { QCoreApplication::sendEvent(grid_.viewport(), e); }

 private:
  TTzGrid& grid_;
};

bool IsLogical(const QModelIndex& index) {
  return index.isValid() && index.data(DatasetModel::FieldTypeRole).toInt() == static_cast<int>(TFieldType::Boolean);
}

char DateSeparator() {
  for (char c : BlankDatePicture())
    if (c != ' ') return c;
  return '.';
}

}  // namespace

// ---------------------------------------------------------------- TTzGrid

TTzGrid::TTzGrid(QWidget* parent) : QTableView(parent) {
  setObjectName("TzGrid");
  setHorizontalHeader(new TzHeader(depressed_, this));
  setVerticalHeader(new TzIndicator(*this));
  horizontalHeader()->setSectionsMovable(true);
  horizontalHeader()->setSectionsClickable(true);
  horizontalHeader()->viewport()->installEventFilter(this);
  if (auto* corner = findChild<QAbstractButton*>()) corner->installEventFilter(this);
  setItemDelegate(new TzGridDelegate(*this));
  setSelectionMode(QAbstractItemView::SingleSelection);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  connect(horizontalHeader(), &QHeaderView::sectionMoved, this, [this](int, int from, int to) {
    depressed_ = DepressedAfterMove(depressed_, from, to);
    SyncFixedView();
  });
  connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int logical, int, int size) {
    if (frozen_ != nullptr && frozen_->columnWidth(logical) != size) frozen_->setColumnWidth(logical, size);
    PlaceFixedView();
  });
  connect(verticalHeader(), &QHeaderView::sectionResized, this, [this](int row, int, int size) {
    if (frozen_ != nullptr) frozen_->setRowHeight(row, size);
  });
  // Scrolled to the top of the rows found: the rows before them follow.
  connect(verticalScrollBar(), &QAbstractSlider::valueChanged, this, [this](int value) {
    if (value == verticalScrollBar()->minimum() && model_ != nullptr && model_->CanFetchBefore() && !following_)
      QMetaObject::invokeMethod(
          this,
          [this] {
            if (verticalScrollBar()->value() == verticalScrollBar()->minimum()) RowsBefore();
          },
          Qt::QueuedConnection);
  });
}

int TTzGrid::FixedCount() const {
  const int columns = model_ != nullptr ? model_->columnCount() : 0;
  return std::clamp(fixedColumns_, 0, std::max(0, columns - 1));
}

void TTzGrid::SetFixedColumns(int n) {
  fixedColumns_ = std::max(0, n);
  SyncFixedView();
  viewport()->update();
}

void TTzGrid::SyncFixedView() {
  const int fixed = FixedCount();
  if (fixed == 0) {
    if (frozen_ != nullptr) setHorizontalScrollMode(scrollMode_);
    delete frozen_;
    frozen_ = nullptr;
    return;
  }
  if (frozen_ == nullptr) {
    scrollMode_ = horizontalScrollMode();
    auto* view = new TzFixedView(*this);
    frozen_ = view;
    view->setHorizontalHeader(new TzHeader(depressed_, view));
    view->horizontalHeader()->setSectionsMovable(false);
    view->horizontalHeader()->viewport()->installEventFilter(this);
    view->setItemDelegate(new TzGridDelegate(*this));
    view->verticalHeader()->setDefaultSectionSize(verticalHeader()->defaultSectionSize());
    // A width dragged in the fixed part (hiding a column there is no width).
    connect(view->horizontalHeader(), &QHeaderView::sectionResized, this, [this](int logical, int, int size) {
      if (size > 0 && frozen_ != nullptr && !frozen_->isColumnHidden(logical) && columnWidth(logical) != size)
        setColumnWidth(logical, size);
    });
    connect(verticalScrollBar(), &QAbstractSlider::valueChanged, view->verticalScrollBar(), &QAbstractSlider::setValue);
    connect(view->verticalScrollBar(), &QAbstractSlider::valueChanged, verticalScrollBar(), &QAbstractSlider::setValue);
    // Columns under the fixed ones scroll by pixels, so none hides there.
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    view->show();
  }
  if (frozen_->model() != model_) frozen_->setModel(model_);
  if (model_ != nullptr) {
    QHeaderView* h = horizontalHeader();
    QHeaderView* fh = frozen_->horizontalHeader();
    for (int visual = 0; visual < model_->columnCount(); ++visual) {
      const int logical = h->logicalIndex(visual);
      if (logical < 0) continue;
      fh->moveSection(fh->visualIndex(logical), visual);
      frozen_->setColumnHidden(logical, visual >= fixed);
      frozen_->setColumnWidth(logical, columnWidth(logical));
    }
    for (int row = 0; row < model_->rowCount(); ++row)
      if (frozen_->rowHeight(row) != rowHeight(row)) frozen_->setRowHeight(row, rowHeight(row));
  }
  PlaceFixedView();
}

void TTzGrid::PlaceFixedView() {
  if (frozen_ == nullptr) return;
  int width = 0;
  const int fixed = FixedCount();
  for (int visual = 0; visual < fixed; ++visual) width += columnWidth(horizontalHeader()->logicalIndex(visual));
  frozen_->horizontalHeader()->setFixedHeight(horizontalHeader()->height());
  frozen_->setGeometry(verticalHeader()->width() + frameWidth(), frameWidth(), width,
                       viewport()->height() + horizontalHeader()->height());
  frozen_->verticalScrollBar()->setValue(verticalScrollBar()->value());
}

void TTzGrid::updateGeometries() {
  QTableView::updateGeometries();
  PlaceFixedView();
}

namespace {
// Marks an editor the view has closed (it is deleted later).
constexpr char kClosedEditor[] = "zebClosedEditor";
}  // namespace

void TTzGrid::commitData(QWidget* editor) {
  if (editor != nullptr && editor->property(kClosedEditor).toBool()) return;
  QTableView::commitData(editor);
}

void TTzGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
  if (editor != nullptr && editor->property(kClosedEditor).toBool()) return;
  const QPointer<QWidget> closed(editor);
  QTableView::closeEditor(editor, hint);
  if (closed != nullptr) closed->setProperty(kClosedEditor, true);
}

QModelIndex TTzGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
  // Up from the first rows found: the rows before them first.
  if (model_ != nullptr && model_->CanFetchBefore() && currentIndex().isValid() &&
      (action == MoveUp || action == MovePageUp)) {
    const int page = std::max(1, viewport()->height() / std::max(1, rowHeight(currentIndex().row())));
    if (currentIndex().row() < (action == MoveUp ? 1 : page)) RowsBefore();
  }
  QModelIndex next = QTableView::moveCursor(action, modifiers);
  const int fixed = FixedCount();
  if (fixed > 0 && next.isValid() && horizontalHeader()->visualIndex(next.column()) < fixed)
    next = model()->index(next.row(), horizontalHeader()->logicalIndex(fixed));
  return next;
}

void TTzGrid::scrollTo(const QModelIndex& index, ScrollHint hint) {
  if (frozen_ == nullptr || !index.isValid()) {
    QTableView::scrollTo(index, hint);
    return;
  }
  const int keep = horizontalScrollBar()->value();
  QTableView::scrollTo(index, hint);
  if (horizontalHeader()->visualIndex(index.column()) < FixedCount()) {
    // A fixed cell is always in view: only the rows scroll.
    horizontalScrollBar()->setValue(keep);
    return;
  }
  // Not under the fixed columns.
  const int left = visualRect(index).left();
  if (left < frozen_->width()) horizontalScrollBar()->setValue(horizontalScrollBar()->value() - (frozen_->width() - left));
}

TTzGrid::~TTzGrid() = default;

void TTzGrid::SetDataset(TTzDataSet* dataset) {
  QAbstractItemModel* old = model();
  model_ = dataset != nullptr ? new DatasetModel(*dataset, this) : nullptr;
  setModel(model_);
  delete old;
  depressed_ = -1;
  if (model_ != nullptr) {
    connect(model_, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
      if (currentIndex().isValid()) column_ = currentIndex().column();
    });
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
      FollowDataset();
      SyncFixedView();
    });
    connect(model_, &DatasetModel::CurrentRecordMoved, this, [this] { FollowDataset(); });
    FollowDataset();
  }
  SyncFixedView();
}

void TTzGrid::SetBooleanBox(TTzBooleanBox b) {
  booleanBox_ = b;
  viewport()->update();
}

void TTzGrid::SetDepressDisabled(bool on) {
  depressDisabled_ = on;
  if (on) depressed_ = -1;
  horizontalHeader()->viewport()->update();
}

void TTzGrid::FollowDataset() {
  if (model_ == nullptr || following_) return;
  following_ = true;
  int row = model_->CurrentRow();
  TTzDataSet& ds = model_->Dataset();
  if (row < 0 && ds.Active() && !ds.IsEmpty() && ds.GetBookmark()) {
    // Far from the rows found: they are found again around it.
    model_->Reload();
    row = model_->CurrentRow();
  }
  const int col = currentIndex().isValid() ? currentIndex().column() : column_;
  if (row >= 0) {
    setCurrentIndex(model_->index(row, col));
    scrollTo(currentIndex());
  }
  following_ = false;
}

void TTzGrid::RowsBefore() {
  if (model_ == nullptr || fetchingBefore_) return;
  fetchingBefore_ = true;
  const int value = verticalScrollBar()->value();
  const int k = model_->FetchBefore();
  if (k > 0) {
    // The same rows stay in view.
    updateGeometries();
    int shift = 0;
    for (int r = 0; r < k; ++r) shift += verticalScrollMode() == ScrollPerItem ? 1 : rowHeight(r);
    verticalScrollBar()->setValue(value + shift);
  }
  fetchingBefore_ = false;
}

bool TTzGrid::HandInEditor() {
  QWidget* editor = OpenEditor();
  if (editor == nullptr || model_ == nullptr) return true;
  const QModelIndex at = currentIndex();
  if (auto* line = qobject_cast<QLineEdit*>(editor)) {
    if (line->text() != at.data(Qt::EditRole).toString() && !model_->setData(at, line->text(), Qt::EditRole))
      return false;
  } else {
    commitData(editor);
  }
  closeEditor(editor, QAbstractItemDelegate::NoHint);
  return true;
}

void TTzGrid::GoEnd(bool last) {
  if (model_ == nullptr || !model_->Dataset().Active()) return;
  TTzDataSet& ds = model_->Dataset();
  if (!HandInEditor()) return;
  if (model_->HasAppendRow()) {
    if (!model_->EndAppendRow(ds.Modified())) return;
  } else if (!model_->PostEdit()) {
    return;
  }
  try {
    if (last)
      ds.Last();
    else
      ds.First();
  } catch (const std::exception& e) {
    model_->ReportError(e);
    return;
  }
  FollowDataset();
}

void TTzGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QTableView::currentChanged(current, previous);
  if (following_ || model_ == nullptr || !current.isValid()) return;
  if (model_->HasAppendRow() && current.row() != model_->rowCount() - 1) {
    // Leaving the new row: an unchanged one is given up. The record clicked
    // is current afterwards, wherever the rows found again put it.
    const std::int32_t target = model_->RecordOf(current.row());
    const int col = current.column();
    const int clickedAt = visualRect(current).top();
    if (!model_->EndAppendRow(model_->Dataset().Modified())) {
      // Not written: the grid stays on the new row, as typed.
      FollowDataset();
      return;
    }
    if (target > 0) {
      try {
        model_->Dataset().GotoBookmark(target);
      } catch (const std::exception& e) {
        model_->ReportError(e);
      }
    }
    FollowDataset();
    following_ = true;
    if (currentIndex().isValid()) {
      setCurrentIndex(model_->index(currentIndex().row(), col));
      // The record stays where it was clicked: the press marks the row
      // under the mouse, which the rows found again may have moved.
      const int moved = visualRect(currentIndex()).top() - clickedAt;
      const int h = rowHeight(currentIndex().row());
      if (moved != 0 && h > 0)
        verticalScrollBar()->setValue(verticalScrollBar()->value() +
                                      (verticalScrollMode() == ScrollPerItem ? moved / h : moved));
      leftNewRow_ = true;
    }
    following_ = false;
    return;
  }
  // A record left whose write was refused stays current: the grid goes back
  // to it at once, so that the next key reaches the record it marks.
  if (current.row() != previous.row() && !model_->MoveTo(current.row())) FollowDataset();
}

CellColors TTzGrid::ColorsFor(int row, int column) {
  const bool fixedColumn = column < 0 || horizontalHeader()->visualIndex(column) < FixedCount();
  const ColumnStyle* st = StyleOf(column);
  const TzColor columnColor =
      st != nullptr && st->color ? *st->color : FromQColor(QTableView::palette().color(QPalette::Base));
  const TzColor fontColor =
      st != nullptr && st->font ? st->font->color : FromQColor(QTableView::palette().color(QPalette::Text));
  CellColors c = ResetCellColors(palette, columnColor, fontColor, fixedColumn);
  if (onChangeColorsEvent && model_ != nullptr) {
    GridRowView v;
    v.row = row;
    v.recNo = model_->RecordOf(row);
    v.deleted = model_->index(row, 0).data(DatasetModel::DeletedRole).toBool();
    DatasetModel* m = model_;
    v.value = [m, row](const std::string& field) {
      std::string out;
      try {
        m->WithRow(row, [&] { out = m->Dataset().FieldByName(field).AsString(); });
      } catch (const std::exception&) {
        out.clear();
      }
      return out;
    };
    onChangeColorsEvent(*this, v, c);
  }
  return c;
}

bool TTzGrid::ToggleCell(const QModelIndex& index) {
  if (model_ == nullptr || !IsLogical(index)) return false;
  const bool ok = model_->ToggleLogical(index);
  viewport()->update();
  return ok;
}

void TTzGrid::RestoreCurrent() {
  // A grid without editing changes no record.
  if (model_ == nullptr || editTriggers() == QAbstractItemView::NoEditTriggers) return;
  TTzDataSet& ds = model_->Dataset();
  // What was typed into the record is posted before it is marked (a new
  // record is given up by the mark).
  if (ds.State() == DataSetState::Edit && !model_->PostEdit()) return;
  try {
    if (!ds.GetDeletedFlag()) {
      if (confirmDelete && !ConfirmAction("Datensatz löschen ?"_ansi)) return;
      ds.Delete();
      return;
    }
    if (confirmDelete && !ConfirmAction("Datensatz restaurieren ?")) return;
    ds.SetDeletedFlag(false);
  } catch (const std::exception& e) {
    model_->ReportError(e);
  }
  viewport()->update();
}

QWidget* TTzGrid::OpenEditor() const {
  if (state() != QAbstractItemView::EditingState) return nullptr;
  // A live editor of the current cell (one released by a reset is hidden).
  for (QWidget* w : viewport()->findChildren<QWidget*>("TzGridEditor", Qt::FindDirectChildrenOnly))
    if (w->isVisible() && indexWidget(currentIndex()) == w) return w;
  return nullptr;
}

void TTzGrid::DiscardEdit() {
  if (QWidget* editor = OpenEditor()) closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
  if (model_ == nullptr) return;
  if (model_->HasAppendRow()) {
    model_->EndAppendRow(false);
  } else {
    TTzDataSet& ds = model_->Dataset();
    try {
      if (ds.Active() && (ds.State() == DataSetState::Edit || ds.State() == DataSetState::Insert)) ds.Cancel();
    } catch (const std::exception& e) {
      model_->ReportError(e);
    }
  }
  viewport()->update();
}

void TTzGrid::keyPressEvent(QKeyEvent* e) {
  const QModelIndex cur = currentIndex();
  if (e->key() == Qt::Key_Delete && (e->modifiers() & Qt::ControlModifier)) {
    RestoreCurrent();
    return;
  }
  // Ctrl+Home and Ctrl+End: the first and the last record, in this column.
  if ((e->key() == Qt::Key_Home || e->key() == Qt::Key_End) && (e->modifiers() & Qt::ControlModifier) &&
      state() != QAbstractItemView::EditingState) {
    GoEnd(e->key() == Qt::Key_End);
    return;
  }
  // Down, or Tab in the last column, past the last row.
  const bool pastEnd = model_ != nullptr && cur.isValid() && cur.row() == model_->rowCount() - 1 &&
                       !model_->canFetchMore(QModelIndex()) &&
                       (e->key() == Qt::Key_Down ||
                        (e->key() == Qt::Key_Tab && cur.column() == model_->columnCount() - 1));
  if (pastEnd && state() != QAbstractItemView::EditingState) {
    if (autoAppend && !model_->HasAppendRow()) {
      model_->BeginAppendRow();
      if (model_->HasAppendRow()) {
        following_ = true;
        setCurrentIndex(model_->index(model_->rowCount() - 1, e->key() == Qt::Key_Tab ? 0 : cur.column()));
        following_ = false;
      }
    }
    return;  // without AutoAppend nothing is appended
  }
  if (IsLogical(cur) && state() != QAbstractItemView::EditingState) {
    int key = 0;
    if (e->key() == Qt::Key_Space) key = kKeySpace;
    else if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) key = kKeyReturn;
    else if (e->key() == Qt::Key_Backspace) key = kKeyBackspace;
    else key = e->key();
    const QString text = e->text();
    const char32_t ch = text.isEmpty() ? 0 : text.toUcs4().value(0);
    switch (LogicalKeyRule(key, ch)) {
      case LogicalKey::Toggle: ToggleCell(cur); return;
      case LogicalKey::Ignore: return;
      case LogicalKey::Pass: break;
    }
  }
  QTableView::keyPressEvent(e);
}

void TTzGrid::mousePressEvent(QMouseEvent* e) {
  QModelIndex idx = indexAt(e->position().toPoint());
  leftNewRow_ = false;
  QTableView::mousePressEvent(e);
  if (leftNewRow_) {
    // The new row was written and the rows found again: the clicked record
    // is current and marked, whatever row the mouse now stands on.
    leftNewRow_ = false;
    idx = currentIndex();
    if (idx.isValid()) {
      selectionModel()->select(idx, QItemSelectionModel::ClearAndSelect);
      scrollTo(idx);
    }
  }
  // A move the write of the record left refused: the press marked the
  // clicked cell, the current cell stayed; the mark goes back to it.
  const QModelIndex current = currentIndex();
  if (current.isValid() && current != idx) {
    if (current.row() != idx.row()) idx = QModelIndex();
    selectionModel()->select(current, QItemSelectionModel::ClearAndSelect);
    scrollTo(current);
  }
  if (e->button() == Qt::LeftButton && IsLogical(idx) && editTriggers() != QAbstractItemView::NoEditTriggers)
    ToggleCell(idx);
}

bool TTzGrid::TitleRelease(QHeaderView* header, QMouseEvent* me) {
  const bool right = me->button() == Qt::RightButton;
  const bool mods = (me->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) != 0;
  const int col = header->logicalIndexAt(me->position().toPoint());
  if (col < 0 || TitleClick(col, right, mods, depressDisabled_) != TitleAction::Depress) return false;
  depressed_ = col;
  horizontalHeader()->viewport()->update();
  if (frozen_ != nullptr) frozen_->horizontalHeader()->viewport()->update();
  if (onDepressTitle) onDepressTitle(*this, col);
  return true;
}

bool TTzGrid::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease) {
    auto* me = static_cast<QMouseEvent*>(event);
    const bool right = me->button() == Qt::RightButton;
    const bool mods = (me->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) != 0;
    if (watched == horizontalHeader()->viewport()) {
      TitleRelease(horizontalHeader(), me);
    } else if (frozen_ != nullptr && watched == frozen_->horizontalHeader()->viewport()) {
      TitleRelease(frozen_->horizontalHeader(), me);
    } else if (qobject_cast<QAbstractButton*>(watched) != nullptr) {
      const TitleAction a = TitleClick(-1, right, mods, depressDisabled_);
      if (a == TitleAction::CornerLeft && onCornerLeftClick) onCornerLeftClick(*this);
      if (a == TitleAction::CornerRight && onCornerRightClick) onCornerRightClick(*this);
    }
  }
  return QTableView::eventFilter(watched, event);
}

namespace {

QFont ToQFont(const SavedFont& f, const QFont& base) {
  QFont q = base;
  if (!f.name.empty()) q.setFamily(QString::fromStdString(AnsiToUtf8(f.name)));
  if (f.size > 0) q.setPointSize(f.size);
  q.setBold(f.bold);
  q.setItalic(f.italic);
  q.setUnderline(f.underline);
  q.setStrikeOut(f.strikeOut);
  return q;
}

Qt::Alignment ToQAlignment(TzAlignment a) {
  switch (a) {
    case TzAlignment::Right: return Qt::AlignRight | Qt::AlignVCenter;
    case TzAlignment::Center: return Qt::AlignHCenter | Qt::AlignVCenter;
    case TzAlignment::Left: break;
  }
  return Qt::AlignLeft | Qt::AlignVCenter;
}

}  // namespace

void TTzGrid::ApplySavedColumns(const std::vector<std::string>& lines) {
  if (model_ == nullptr) return;
  const std::vector<SavedColumn> cols = ReadSavedColumns(lines);
  QHeaderView* h = horizontalHeader();
  styles_.clear();
  int visual = 0;
  for (const SavedColumn& c : cols) {
    int logical = -1;
    for (int i = 0; i < model_->columnCount(); ++i)
      if (model_->FieldOfColumn(i) != nullptr && EqualNoCase(model_->FieldOfColumn(i)->Name(), c.fieldName))
        logical = i;
    if (logical < 0) continue;
    h->moveSection(h->visualIndex(logical), visual++);
    if (c.width) setColumnWidth(logical, *c.width);
    ColumnStyle st;
    st.color = c.color;
    st.font = c.font;
    st.alignment = c.alignment;
    st.readOnly = c.readOnly;
    styles_[logical] = st;
    DatasetModel::Title t;
    if (c.titleCaption) t.caption = QString::fromStdString(AnsiToUtf8(*c.titleCaption));
    if (c.titleFont) t.font = ToQFont(*c.titleFont, font());
    t.alignment = QVariant::fromValue(ToQAlignment(c.titleAlignment));
    if (c.titleColor) t.background = ToQColor(*c.titleColor);
    model_->SetTitle(logical, t);
  }
  depressed_ = -1;
  SyncFixedView();
  viewport()->update();
}

const TTzGrid::ColumnStyle* TTzGrid::StyleOf(int column) const {
  auto it = styles_.find(column);
  return it == styles_.end() ? nullptr : &it->second;
}

bool TTzGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
  const ColumnStyle* st = StyleOf(index.column());
  if (st != nullptr && st->readOnly) return false;
  return QTableView::edit(index, trigger, event);
}

// ---------------------------------------------------------------- delegate

TzGridDelegate::TzGridDelegate(TTzGrid& grid) : QStyledItemDelegate(&grid), grid_(grid) {}

void TzGridDelegate::paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  const CellColors c = grid_.ColorsFor(index.row(), index.column());
  const bool deleted = index.data(DatasetModel::DeletedRole).toBool();
  const bool highlighted = (option.state & QStyle::State_Selected) != 0;
  TzColor bg = 0, fg = 0;
  CellPaint(c, deleted, highlighted, bg, fg);
  p->save();
  p->fillRect(option.rect, ToQColor(bg));
  const QColor pen = ToQColor(fg);
  if (IsLogical(index)) {
    const bool value = index.data(DatasetModel::LogicalRole).toBool();
    const TTzBooleanBox style = grid_.BooleanBox();
    if (style == TTzBooleanBox::bbText) {
      std::string t, f;
      TField* field = grid_.Model() != nullptr ? grid_.Model()->FieldOfColumn(index.column()) : nullptr;
      LogicalTexts(field != nullptr ? field->displayValues : std::string(), t, f);
      p->setPen(pen);
      p->drawText(option.rect.adjusted(2, 0, -3, 0), Qt::AlignLeft | Qt::AlignVCenter,
                  QString::fromStdString(AnsiToUtf8(value ? t : f)));
    } else {
      const int side = std::max(6, std::min(option.rect.height(), option.rect.width()) - 6);
      QRect box(0, 0, side, side);
      box.moveCenter(option.rect.center());
      p->setRenderHint(QPainter::Antialiasing, false);
      const bool rect = style == TTzBooleanBox::bbCheckBox || style == TTzBooleanBox::bbFillBox ||
                        style == TTzBooleanBox::bbFillBoxRed;
      const bool ellipse = style == TTzBooleanBox::bbRButton || style == TTzBooleanBox::bbRButtonRed;
      p->setPen(QPen(pen, 1));
      p->setBrush(Qt::NoBrush);
      if (rect) p->drawRect(box);
      if (ellipse) p->drawEllipse(box);
      if (value) {
        const QColor red(255, 0, 0);
        switch (style) {
          case TTzBooleanBox::bbCheckBox: {
            p->setPen(QPen(pen, 2));
            const QRect in = box.adjusted(3, 3, -3, -3);
            p->drawLine(in.topLeft(), in.bottomRight());
            p->drawLine(in.topRight(), in.bottomLeft());
            break;
          }
          case TTzBooleanBox::bbCheckMark: {
            p->setPen(QPen(pen, 2));
            const QPoint a(box.left() + 2, box.center().y());
            const QPoint b(box.left() + box.width() / 3, box.bottom() - 2);
            const QPoint d(box.right() - 2, box.top());
            p->drawLine(a, b);
            p->drawLine(b, d);
            break;
          }
          case TTzBooleanBox::bbFillBox: p->fillRect(box.adjusted(1, 1, 0, 0), pen); break;
          case TTzBooleanBox::bbFillBoxRed: p->fillRect(box.adjusted(1, 1, 0, 0), red); break;
          case TTzBooleanBox::bbRButton:
          case TTzBooleanBox::bbDot:
            p->setBrush(pen);
            p->setPen(Qt::NoPen);
            p->drawEllipse(box.adjusted(2, 2, -2, -2));
            break;
          case TTzBooleanBox::bbRButtonRed:
          case TTzBooleanBox::bbDotRed:
            p->setBrush(red);
            p->setPen(Qt::NoPen);
            p->drawEllipse(box.adjusted(2, 2, -2, -2));
            break;
          case TTzBooleanBox::bbText: break;
        }
      }
    }
  } else {
    const TTzGrid::ColumnStyle* st = grid_.StyleOf(index.column());
    const Qt::Alignment align = st != nullptr && st->alignment ? ToQAlignment(*st->alignment)
                                                               : index.data(Qt::TextAlignmentRole).value<Qt::Alignment>();
    p->setPen(pen);
    p->setFont(st != nullptr && st->font ? ToQFont(*st->font, option.font) : option.font);
    const QRect r = option.rect.adjusted(2, 2, -3, 0);
    p->drawText(r, static_cast<int>((align & Qt::AlignHorizontal_Mask) | Qt::AlignTop),
                index.data(Qt::DisplayRole).toString());
  }
  p->restore();
}

QWidget* TzGridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                      const QModelIndex& index) const {
  QWidget* w = QStyledItemDelegate::createEditor(parent, option, index);
  if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    edit->setObjectName("TzGridEditor");
    if (index.data(DatasetModel::FieldTypeRole).toInt() == static_cast<int>(TFieldType::Date))
      edit->setInputMask(QString::fromLatin1(DateInputMask(DateFormat(), Engine().century, DateSeparator()).c_str()));
  }
  return w;
}

void TzGridDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const {
  if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
    if (edit->text() == index.data(Qt::EditRole).toString()) return;  // unchanged
    model->setData(index, edit->text(), Qt::EditRole);
    return;
  }
  QStyledItemDelegate::setModelData(editor, model, index);
}

// ---------------------------------------------------------------- navigator

TTzNavigator::TTzNavigator(QWidget* parent) : QToolBar(parent) {
  setObjectName("TzNavigator");
  struct B {
    const char* name;
    const char* text;
    const char* tip;
  };
  static const B buttons[] = {
      {"nbFirst", "|\u25C0", "Erster Datensatz"}, {"nbPrior", "\u25C0", "Voriger Datensatz"},
      {"nbNext", "\u25B6", "N\u00E4chster Datensatz"}, {"nbLast", "\u25B6|", "Letzter Datensatz"},
      {"nbInsert", "+", "Einf\u00FCgen"}, {"nbDelete", "\u2212", "L\u00F6schen / Restaurieren"},
      {"nbEdit", "\u270E", "Bearbeiten"}, {"nbPost", "\u2714", "Speichern"},
      {"nbCancel", "\u2716", "Abbrechen"}, {"nbRefresh", "\u21BB", "Aktualisieren"},
  };
  for (const B& b : buttons) {
    auto* tb = new QToolButton(this);
    tb->setObjectName(b.name);
    tb->setText(QString::fromUtf8(b.text));
    tb->setToolTip(QString::fromUtf8(b.tip));
    addWidget(tb);
    const std::string name = b.name;
    connect(tb, &QToolButton::clicked, this, [this, name] {
      // What the open cell holds is handed in first, as a row click does.
      if (name != "nbCancel" && beforeAction && !beforeAction()) return;
      if (name == "nbDelete") {
        DeletionMark();
      } else {
        Run(name.c_str(), [name](TTzDataSet& d) {
          // A new record nothing was typed into is given up by every
          // button, as by leaving its row: no blank record is written.
          if (name != "nbEdit" && d.State() == DataSetState::Insert && !d.Modified()) {
            d.Cancel();
            if (name == "nbPost" || name == "nbCancel") return;
          }
          // A record left stays current while a refused lock keeps its edit.
          const bool leaves = name != "nbEdit" && name != "nbPost" && name != "nbCancel";
          if (leaves && !PostPending(d)) return;
          if (name == "nbFirst") d.First();
          else if (name == "nbPrior") d.Prior();
          else if (name == "nbNext") d.Next();
          else if (name == "nbLast") d.Last();
          else if (name == "nbInsert") d.Insert();
          else if (name == "nbEdit") d.Edit();
          else if (name == "nbPost") PostPending(d);
          else if (name == "nbCancel") d.Cancel();
          else if (name == "nbRefresh") d.Refresh();
        });
      }
      if (onClick) onClick(*this, QString::fromStdString(name));
    });
  }
}

QToolButton* TTzNavigator::Button(const char* name) const { return findChild<QToolButton*>(QString::fromLatin1(name)); }

void TTzNavigator::Run(const char* name, const std::function<void(TTzDataSet&)>& action) {
  (void)name;
  if (ds_ == nullptr || !ds_->Active()) return;
  try {
    action(*ds_);
  } catch (const std::exception& e) {
    try {
      // A new record not written stays as typed for another try; an edit
      // of a record is given up (the message says so) unless it is kept.
      if (ds_->State() == DataSetState::Edit && !ds_->keepEditOnFailure) ds_->Cancel();
    } catch (const std::exception&) {
      // The dataset stays as the failure left it.
    }
    ShowDatasetError(e);
  }
}

void TTzNavigator::DeletionMark() {
  Run("nbDelete", [this](TTzDataSet& d) {
    if (!d.CanModify() || d.IsEmpty()) return;
    // What was typed into the record is posted before it is marked (a new
    // record is given up by the mark).
    if (d.State() == DataSetState::Edit && !PostPending(d)) return;
    if (d.GetDeletedFlag()) {
      if (confirmRestore && !ConfirmAction("Datensatz restaurieren ?")) return;
      d.SetDeletedFlag(false);
    } else {
      if (confirmDelete && !ConfirmAction("Datensatz löschen ?"_ansi)) return;
      d.SetDeletedFlag(true);
    }
  });
}

}  // namespace zeb::xbase
