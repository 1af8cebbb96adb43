// The table grid and navigator for table datasets: deletion marks drawn
// red and removed again, logical fields as boxes, a date mask, clickable
// titles passed to the owner, and a navigator whose delete button acts on
// the deletion mark. Every engine call is caught here: no exception leaves
// a slot, the failure is shown in an error box.
#pragma once
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolBar>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "xbase/dataset/grid_rules.h"
#include "xbase/qt/dataset_model.h"

class QHeaderView;
class QMouseEvent;
class QToolButton;

namespace zeb::xbase {

enum class TTzBooleanBox { bbCheckBox, bbCheckMark, bbText, bbFillBox, bbFillBoxRed, bbRButton, bbRButtonRed, bbDot, bbDotRed };

// What the colour event sees of a row: never the dataset's cursor.
struct GridRowView {
  int row = 0;
  std::int32_t recNo = 0;
  bool deleted = false;
  std::function<std::string(const std::string& field)> value;
};

class TTzGrid : public QTableView {
  Q_OBJECT
 public:
  using ChangeColorsEvent = std::function<void(TTzGrid&, const GridRowView&, CellColors&)>;

  explicit TTzGrid(QWidget* parent = nullptr);
  ~TTzGrid() override;

  void SetDataset(TTzDataSet* dataset);
  DatasetModel* Model() const { return model_; }

  bool autoAppend = true;
  bool confirmDelete = true;
  TTzBooleanBox BooleanBox() const { return booleanBox_; }
  void SetBooleanBox(TTzBooleanBox b);
  bool DepressDisabled() const { return depressDisabled_; }
  void SetDepressDisabled(bool on);
  // Data columns that do not scroll (the first ones as shown, the indicator
  // not counted): drawn in the fixed colour over the scrolling part; the
  // cursor stays out of them, as out of every fixed cell. At least one
  // column keeps scrolling.
  int FixedColumns() const { return fixedColumns_; }
  void SetFixedColumns(int n);
  int DepressedColumn() const { return depressed_; }
  GridPalette palette;
  ChangeColorsEvent onChangeColorsEvent;
  std::function<void(TTzGrid&)> onCornerLeftClick, onCornerRightClick;
  std::function<void(TTzGrid&, int column)> onDepressTitle;
  // Builds the columns from a saved column list.
  void ApplySavedColumns(const std::vector<std::string>& lines);

  // The colours a cell of a row is drawn with (the colour event had its say).
  CellColors ColorsFor(int row, int column);
  // Toggles the logical cell at index.
  bool ToggleCell(const QModelIndex& index);
  // Restores the current record after the question (Ctrl+Delete); nothing
  // on a grid without editing.
  void RestoreCurrent();
  // Gives up what was typed and not posted: the open cell editor, a new
  // row, an edit of the dataset.
  void DiscardEdit();
  // Hands the open cell editor's text in to its record, as leaving the
  // cell does; false when the text is refused (the editor stays open).
  bool HandInEditor();
  // The first or last record of the order (Ctrl+Home, Ctrl+End), the
  // record left posted first.
  void GoEnd(bool last);
  // The current cell follows the dataset's record, in the current column.
  void FollowDataset();
  // The style of a column from the saved column list (logical column).
  struct ColumnStyle {
    std::optional<TzColor> color;
    std::optional<SavedFont> font;
    std::optional<TzAlignment> alignment;
    bool readOnly = false;
  };
  const ColumnStyle* StyleOf(int column) const;

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
  // The delegate hands in an editor left by Return from the event loop; the
  // focus leaving it first has handed it in and closed it already: the late
  // hand-in and close of a closed editor are void.
  void commitData(QWidget* editor) override;
  void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
  void updateGeometries() override;

 public:
  void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
  // The view that shows the fixed columns (nullptr without any).
  QTableView* FixedView() const { return frozen_; }
  // Fixed columns really in effect (fewer when the table has fewer).
  int FixedCount() const;

 private:
  // The open cell editor, nullptr when none.
  QWidget* OpenEditor() const;
  // At the top of the rows found: the rows before them, the view kept.
  void RowsBefore();
  // The fixed columns' view: its columns, widths and place.
  void SyncFixedView();
  void PlaceFixedView();
  bool TitleRelease(QHeaderView* header, QMouseEvent* me);
  DatasetModel* model_ = nullptr;
  QTableView* frozen_ = nullptr;
  int fixedColumns_ = 0;
  ScrollMode scrollMode_ = ScrollPerItem;  // before the fixed columns came
  TTzBooleanBox booleanBox_ = TTzBooleanBox::bbCheckBox;
  bool depressDisabled_ = false;
  int depressed_ = -1;
  bool following_ = false;
  bool fetchingBefore_ = false;
  bool leftNewRow_ = false;  // a press left the new row, which was written
  int column_ = 0;  // the current column, kept over a reset
  std::map<int, ColumnStyle> styles_;
};

class TzGridDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  explicit TzGridDelegate(TTzGrid& grid);
  void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

 private:
  TTzGrid& grid_;
};

class TTzNavigator : public QToolBar {
  Q_OBJECT
 public:
  explicit TTzNavigator(QWidget* parent = nullptr);
  void SetDataset(TTzDataSet* dataset) { ds_ = dataset; }
  bool confirmDelete = true;
  bool confirmRestore = false;
  std::function<void(TTzNavigator&, const QString& button)> onClick;
  // Before a button's action (Cancel excepted): an open cell editor is
  // handed in; false stops the action.
  std::function<bool()> beforeAction;
  QToolButton* Button(const char* name) const;
  // The delete button: removes a deletion mark or sets one.
  void DeletionMark();

 private:
  void Run(const char* name, const std::function<void(TTzDataSet&)>& action);
  TTzDataSet* ds_ = nullptr;
};

}  // namespace zeb::xbase
