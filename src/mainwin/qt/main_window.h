// The main window Thh: the menus built from the command table, the canvas
// as client area, the caption and the recent-file items, and the close
// query. It serves the start-up and the document commands as their main
// window.
#pragma once
#include <QMainWindow>
#include <map>
#include <memory>
#include <string>

#include "mainwin/commands.h"
#include "mainwin/program.h"

class QAction;
class QMenu;

namespace zeb {

class Thh : public QMainWindow, public MainWindowServices, public MenuStateSink {
  Q_OBJECT
 public:
  // central: the client area (the canvas); a plain widget when null.
  explicit Thh(QWidget* central = nullptr);
  ~Thh() override;

  QAction* Action(const std::string& name) const;
  QMenu* Menu(const std::string& name) const;
  // Enabled states from the command table.
  void UpdateEnabled();
  // Runs the command of an item as its menu does.
  void Trigger(const std::string& name);
  // Set once the close was accepted (FormDestroy ran).
  bool Destroyed() const { return destroyed_; }

  // MainWindowServices.
  void SetMenuCaptions() override;
  void SetMenuLanguage(int languageNumber) override;
  void ApplyMainWindowLayout() override;
  void SetCaption(std::string_view text1252) override;
  void SetRecentFileItem(int n, bool visible, std::string_view caption1252) override;
  void SetRecentSeparator(bool visible) override;
  void RunNewSpringSequence() override;
  void RefreshMainWindow() override;
  MainWindowGeometry Geometry() override;
  void SetClientSize(int width, int height) override;
  // MenuStateSink.
  void SetItem(std::string_view name, std::string_view captionUtf8, bool enabled) override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenus();
  void ShowAbout();

  std::map<std::string, QAction*> actions_;
  std::map<std::string, QMenu*> menus_;
  QAction* recentSeparator_ = nullptr;
  QObject* mnemonics_ = nullptr;
  bool destroyed_ = false;
};

}  // namespace zeb
