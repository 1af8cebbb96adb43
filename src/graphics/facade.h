// The drawing facade: the one graphics window behind the procedural calls
// of the rest of the program. It implements the graphics services of the
// base library and the CAD layer's screen, maps CAD colour numbers to window
// colours and converts code page 850 texts before they are recorded.
// InstallGraphicsFacade() puts it in place; every start calls it, batch
// runs too.
#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "base/services.h"
#include "graphics/graphwin.h"
#include "graphics/sink.h"

namespace zeb {

// CAD colour number (drawing colours 1..7) to window colour number; above
// 16 first n mod 16; negative numbers stay negative (ignored by SetColor).
int ColorNumberMap(int n);

class GraphicsFacade : public GraphicsServices, public ScreenSink {
 public:
  GraphWindow& Window() { return window_; }

  // The printer canvas of a running print job (set by the printer port
  // between its BeginDoc and EndDoc); nullptr otherwise.
  void SetPrinterCanvas(Renderer* canvas) { printer_ = canvas; }
  Renderer* PrinterCanvas() const { return printer_; }

  // GraphicsServices.
  void FormPaint() override;
  void SetPrintingFlag(Byte flag) override { window_.printing = flag; }
  void RestoreLimit() override { window_.RestoreLimit(); }
  void ResetZoom() override { window_.ResetZoom(); }
  void ReSetWindow() override { window_.ReSetWindow(); }
  void ClearViewPort() override { window_.ClearViewPort(); }
  void DisplayListInit() override { window_.ClearList(); }
  void FlushPicture() override { window_.Flush(); }
  std::string PictureStamp() const override { return window_.Stamp(); }
  std::unique_ptr<KeptPicture> KeepPicture() override;
  void RestorePicture(const KeptPicture& kept) override;
  void GrafClear() override { window_.Clear(); }
  void GrafHeader(bool flag, Real xmin, Real ymin, Real xmax, Real ymax) override {
    window_.Header(flag ? 1 : 0, xmin, ymin, xmax, ymax);
  }
  void GrafSetWindow(bool keepAspect, bool inset, Real fx1, Real fy1, Real fx2, Real fy2, Real wx1, Real wy1, Real wx2,
                     Real wy2) override {
    window_.SetWindow(keepAspect ? 1 : 0, inset, fx1, fy1, fx2, fy2, wx1, wy1, wx2, wy2);
  }
  void GrafDrawLogo() override { window_.DrawLogo(); }
  void PlayHpglFile(std::string_view path) override;
  void ShowHelpPictureFile(std::string_view pictureName) override;
  void HelpPictureCatalog() override;
  void SetCadBatchMode(Byte mode) override { cadBatchMode_ = mode; }
  Byte CadBatchMode() const override { return cadBatchMode_; }
  int CadChooseCode() override;
  void CadEndOutput() override;
  std::string TxtNumber(Real x) override;

  // ScreenSink.
  void GrafHeader(int flag, Real xmin, Real ymin, Real xmax, Real ymax) override {
    window_.Header(flag, xmin, ymin, xmax, ymax);
  }
  void GrafClearViewPort() override { window_.ClearViewPort(); }
  void GrafLine(Real x1, Real y1, Real x2, Real y2) override { window_.line(x1, y1, x2, y2); }
  void GrafCircle(Real x, Real y, Real r) override { window_.circle(x, y, r); }
  void GrafArc(Real x, Real y, Real a1, Real a2, Real r) override { window_.Arc(x, y, a1, a2, r); }
  void GrafOutTextXY(std::string_view textOem, Real x, Real y) override;
  void GrafSolid(Real x1, Real y1, Real x2, Real y2, Real x3, Real y3, Real x4, Real y4) override {
    window_.Solid(x1, y1, x2, y2, x3, y3, x4, y4);
  }
  void GrafSetColorMapped(int cadColour) override { window_.SetColor(ColorNumberMap(cadColour)); }
  void GrafSetLineStyle(int style) override { window_.SetLineStyle(style); }
  void GrafSetTextStyle(int font, Real angle, Real height, Real width) override {
    window_.SetTextStyle(font, angle, height, width);
  }
  void SetLineWidth(int width) override { window_.SetLineWidth(width); }
  void GrafSetWaitCursor() override { window_.Host().SetWaitCursor(true); }
  void GrafSetOldCursor() override { window_.Host().SetWaitCursor(false); }

  // The rest of the facade.
  void GrafSetColor(int n) { window_.SetColor(n); }
  void GrafNop() {}
  // Plain message box with OK; the text is code page 850.
  void GrafShowMessage(std::string_view text);
  // False, with the box "<name> nicht gefunden !" and AbortFlag set, when
  // the file cannot be read (a folder cannot either).
  bool GrafCheckFile(std::string_view path);
  void DisplayListDone() { window_.ClearList(); }

 private:
  GraphWindow window_;
  Renderer* printer_ = nullptr;
  Byte cadBatchMode_ = 0;
};

// Help folder + stem in lower case + ".plt"; a file of another case is
// found when that one is missing.
std::string HelpPicturePath(std::string_view stem);

// The installed facade (made on first use).
GraphicsFacade& Facade();
// A fresh facade installed as Graphics() and Screen().
void InstallGraphicsFacade();

}  // namespace zeb
