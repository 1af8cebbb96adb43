// Every menu of the main window in every language, opened as a user opens
// it: each item's access key is a letter of its visible caption and its own
// within the menu (unless the captions the program must show give several
// items one key in every language, as "Quick 1 .. 3"); no caption is drawn
// cut; Qt's file dialog shows its columns and places whole. With
// ZEB1_SCREENSHOTS set to a folder, each open menu and each file dialog is
// saved there.
#include <QFileDialog>
#include <QHeaderView>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPaintEngine>
#include <QScreen>
#include <QTextItem>
#include <QTreeView>
#include <map>
#include <set>

#include "desktop/desktop_program.h"

namespace zeb::desktop {
namespace {

constexpr int kHangMs = 20000;
// Romanian second: its items of the second table stay German after start.
const int kLanguages[] = {1, 7, 2, 3, 4, 5, 6, 8, 9, 12};

// The texts a widget draws, as the style hands them to the painter (a cut
// one ends up with "…" in it).
class TextRecorder : public QPaintEngine {
 public:
  TextRecorder() : QPaintEngine(QPaintEngine::AllFeatures) {}
  QStringList texts;
  bool begin(QPaintDevice*) override { return true; }
  bool end() override { return true; }
  void updateState(const QPaintEngineState&) override {}
  void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
  void drawImage(const QRectF&, const QImage&, const QRectF&, Qt::ImageConversionFlags) override {}
  void drawTiledPixmap(const QRectF&, const QPixmap&, const QPointF&) override {}
  void drawPath(const QPainterPath&) override {}
  void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
  void drawPolygon(const QPoint*, int, PolygonDrawMode) override {}
  void drawRects(const QRectF*, int) override {}
  void drawRects(const QRect*, int) override {}
  void drawLines(const QLineF*, int) override {}
  void drawLines(const QLine*, int) override {}
  void drawEllipse(const QRectF&) override {}
  void drawPoints(const QPointF*, int) override {}
  void drawTextItem(const QPointF&, const QTextItem& item) override { texts << item.text(); }
  Type type() const override { return QPaintEngine::User; }
};

class TextDevice : public QPaintDevice {
 public:
  explicit TextDevice(const QWidget& w) : size_(w.size()), dpi_(w.logicalDpiY()) {}
  QPaintEngine* paintEngine() const override { return &engine_; }
  mutable TextRecorder engine_;

 protected:
  int metric(PaintDeviceMetric m) const override {
    switch (m) {
      case PdmWidth: return size_.width();
      case PdmHeight: return size_.height();
      case PdmDpiX: case PdmDpiY: case PdmPhysicalDpiX: case PdmPhysicalDpiY: return dpi_;
      case PdmDepth: return 32;
      case PdmNumColors: return 0x7fffffff;
      case PdmDevicePixelRatio: return 1;
      case PdmDevicePixelRatioScaled: return static_cast<int>(devicePixelRatioFScale());
      default: return 0;
    }
  }

 private:
  QSize size_;
  int dpi_;
};

QStringList DrawnTexts(QWidget& w) {
  TextDevice device(w);
  w.render(&device);
  return device.engine_.texts;
}

// The access key of a caption ("&" before it), 0 without one; false when
// it shows more than one.
bool AccessKey(const QString& caption, QChar& key) {
  key = QChar();
  int keys = 0;
  for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != u'&') continue;
    if (caption[i + 1] == u'&') {
      ++i;
      continue;
    }
    ++keys;
    key = caption[i + 1].toUpper();
  }
  return keys <= 1;
}

class MenusTest : public DesktopProgram {
 protected:
  void Shot(const QRect& area, const QString& name) const {
    const char* folder = std::getenv("ZEB1_SCREENSHOTS");
    if (folder == nullptr || *folder == '\0') return;
    QTest::qWait(100);
    window_->screen()
        ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
        .save(QString::fromUtf8(folder) + "/" + name + ".png");
  }
};

// Language, menu and item -> access key.
using Keys = std::map<int, std::map<std::string, std::map<std::string, QChar>>>;

TEST_F(MenusTest, EveryMenuInEveryLanguageHasItsOwnKeysAndNothingCut) {
  Start();
  QMenuBar* bar = window_->menuBar();
  Keys keys;
  int menus = 0;
  for (int n : kLanguages) {
    window_->SetMenuLanguage(n);
    QApplication::processEvents();
    ASSERT_EQ(G().MenuLanguage, n);
    for (const QString& t : DrawnTexts(*bar)) EXPECT_FALSE(t.contains(u'…')) << n << " menu bar: " << t.toStdString();
    for (QAction* top : bar->actions()) {
      if (!top->isVisible() || top->menu() == nullptr) continue;
      // The menu, then each of its submenus opened from it.
      std::vector<std::vector<QAction*>> walks{{top}};
      for (QAction* a : top->menu()->actions())
        if (a->isVisible() && a->menu() != nullptr) walks.push_back({top, a});
      for (const auto& walk : walks) {
        bar->setActiveAction(top);
        QMenu* menu = top->menu();
        ASSERT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }, kHangMs));
        QRect shown = menu->geometry();
        if (walk.size() == 2) {
          menu->setActiveAction(walk[1]);
          menu = walk[1]->menu();
          ASSERT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }, kHangMs));
          shown |= menu->geometry();
        }
        ++menus;
        const std::string name = menu->objectName().toStdString();
        SCOPED_TRACE("language " + std::to_string(n) + ", menu " + name);
        // The menu is as wide as its widest item needs, inside the screen.
        EXPECT_GE(menu->width(), menu->sizeHint().width());
        EXPECT_TRUE(menu->screen()->geometry().contains(menu->geometry()));
        for (const QString& t : DrawnTexts(*menu)) EXPECT_FALSE(t.contains(u'…')) << "cut: " << t.toStdString();
        for (QAction* a : menu->actions()) {
          if (!a->isVisible() || a->isSeparator()) continue;
          QChar key;
          EXPECT_TRUE(AccessKey(a->text(), key)) << "more than one key: " << a->text().toStdString();
          if (key.isNull()) continue;
          EXPECT_TRUE(key.isLetterOrNumber()) << a->text().toStdString();
          keys[n][name][a->objectName().toStdString()] = key;
        }
        // The menu bar from its left end down to the menus.
        const QPoint barAt = bar->mapToGlobal(QPoint(0, 0));
        Shot(QRect(barAt, QPoint(shown.right(), shown.bottom())),
             QString("menu_%1_%2").arg(n, 2, 10, QChar(u'0')).arg(menu->objectName()));
        while (QWidget* popup = QApplication::activePopupWidget()) {
          popup->close();
          QApplication::processEvents();
        }
      }
    }
  }
  EXPECT_EQ(menus, 10 * 16);
  // Two items of a menu share a key only where German and English give them
  // one (their texts stay as given), or where every language must (the
  // captions are made of the same word).
  for (const auto& [n, byMenu] : keys) {
    for (const auto& [menu, items] : byMenu) {
      for (const auto& [a, ka] : items) {
        for (const auto& [b, kb] : items) {
          if (a >= b || ka != kb || n == 1 || n == 2) continue;
          bool everywhere = true;
          for (const auto& [m, other] : keys) {
            const auto o = other.find(menu);
            if (o == other.end()) continue;
            const auto ia = o->second.find(a), ib = o->second.find(b);
            if (ia != o->second.end() && ib != o->second.end() && ia->second != ib->second) everywhere = false;
          }
          EXPECT_TRUE(everywhere) << "language " << n << ", " << menu << ": " << a << " and " << b << " share "
                                  << QString(ka).toStdString();
        }
      }
    }
  }
}

// The file dialog opens wide enough for the titles and entries of its
// columns and for its places, in every language.
TEST_F(MenusTest, FileDialogShowsItsColumnsWhole) {
  Start("round_static.zeb");
  for (int n : kLanguages) {
    window_->SetMenuLanguage(n);
    bool checked = false;
    QTimer::singleShot(0, [&] {
      (void)QTest::qWaitFor([] { return ModalUp("OpenDialog") != nullptr; }, kHangMs);
      auto* dialog = qobject_cast<QFileDialog*>(ActiveModal());
      auto* tree = Child<QTreeView>(dialog, "treeView");
      auto* places = Child<QListView>(dialog, "sidebar");
      if (tree == nullptr || places == nullptr) {
        if (dialog != nullptr) dialog->reject();
        return;
      }
      QHeaderView* header = tree->header();
      const auto whole = [&] {
        if (tree->model()->rowCount(tree->rootIndex()) == 0) return false;
        int columns = 0;
        for (int c = 0; c < header->count(); ++c) {
          if (header->isSectionHidden(c)) continue;
          columns += header->sectionSize(c);
          const int need = std::max(static_cast<QAbstractItemView*>(tree)->sizeHintForColumn(c),
                                    header->sectionSizeHint(c));
          if (c > 0 && header->sectionSize(c) < need) return false;
        }
        return columns <= tree->viewport()->width() && places->sizeHintForColumn(0) <= places->viewport()->width();
      };
      EXPECT_TRUE(QTest::qWaitFor(whole, kHangMs)) << "language " << n;
      // No larger than the screen (where it stands is the window manager's).
      const QSize room = dialog->screen()->availableGeometry().size();
      EXPECT_LE(dialog->frameGeometry().width(), room.width()) << "language " << n;
      EXPECT_LE(dialog->frameGeometry().height(), room.height()) << "language " << n;
      Shot(dialog->frameGeometry(), QString("file_dialog_%1").arg(n, 2, 10, QChar(u'0')));
      checked = true;
      dialog->reject();
    });
    std::string path;
    EXPECT_FALSE(ui_->ChooseOpenFile(PrivateRun::Get().work.string(), "*.zeb|*.zeb", path));
    EXPECT_TRUE(checked) << "language " << n;
  }
}

}  // namespace
}  // namespace zeb::desktop
