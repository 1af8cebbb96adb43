// The one internal interface between the CAD output layer (cad.cpp) and its
// outputs: DXF file, IGES file, screen, plot program (DXF) and TXT listing.
//
// The layer checks every argument before an output sees it, so an output may
// rely on:
//   - every Real finite and within +-1e9 (coordinates, radii, angles, sizes,
//     scales);
//   - Circle/Arc radius > 0; Insert scales not 0;
//   - Text: not empty, code page 850 bytes without CR, LF or NUL, and the
//     current text height (Cad().CadTextHeight) > 0; the anchor already moved
//     by the alignment;
//   - SetLayer: 0..31 (negative layers become 0, higher ones are folded).
// The text style, layer mode and the other current settings are read from
// Cad() (cad.h) and CadSettings() (cadsettings.h) when needed.
//
// File outputs write through the CadFile given to their factory; the layer
// opens it before the first call and commits it (rename over the target)
// after Finish(), or removes it after a write error.
#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "base/types.h"
#include "platform/files.h"

namespace zeb {

// Output file of a CAD run: buffered, written under a temporary name beside
// the target and renamed over it by Commit. The first write error sticks:
// later writes are dropped, Error() returns the errno value.
class CadFile {
 public:
  CadFile() = default;
  ~CadFile();
  CadFile(const CadFile&) = delete;
  CadFile& operator=(const CadFile&) = delete;

  int Open(std::string_view path);  // 0 or an errno value
  // Scratch files that are deleted again need no fsync on commit.
  void SetSync(bool sync) { file_.SetSync(sync); }
  bool IsOpen() const { return file_.IsOpen(); }
  void Write(std::string_view bytes);
  void WriteLine(std::string_view line);  // the line and CR LF
  int Error() const { return error_; }
  // Flushes, closes and renames; 0 or an errno value (then no file is left).
  int Commit();
  // Closes and removes the temporary; the target stays as it was.
  void Abort();
  const std::string& Path() const { return path_; }

 private:
  void Flush();
  AtomicFile file_;
  std::string buffer_;
  std::string path_;
  int error_ = 0;
};

class CadOutput {
 public:
  virtual ~CadOutput() = default;

  // Steps of a run, in this order (CadDrawingHeader, CadTables,
  // CadBeginBlocks, CadBeginBlock ... CadEndBlock, CadEndSection,
  // CadBeginEntities, primitives, CadEndSection).
  virtual void Header(Real xmin, Real ymin, Real xmax, Real ymax) { (void)xmin, (void)ymin, (void)xmax, (void)ymax; }
  virtual void Tables(int mode) { (void)mode; }
  virtual void BeginBlocks() {}
  virtual void BeginBlock(std::string_view name) { (void)name; }
  virtual void EndBlock() {}
  virtual void EndSection() {}
  virtual void BeginEntities() {}

  // Layer and styles. SetLayer gets the folded layer number 0..31 after
  // Cad().CadDxfLayerName has been set by the name rule. TextStyle is called
  // after the state holds the new height, width factor and angles.
  virtual void SetLayer(int n) { (void)n; }
  virtual void TextStyle(int font, Real angle, Real height, Real width) {
    (void)font, (void)angle, (void)height, (void)width;
  }
  virtual void ScreenLineStyle(int style) { (void)style; }

  // Primitives (angles in degrees).
  virtual void Line(Real x1, Real y1, Real x2, Real y2) = 0;
  virtual void Line3D(Real x1, Real y1, Real z1, Real x2, Real y2, Real z2) = 0;
  virtual void Circle(Real x, Real y, Real r) = 0;
  virtual void Arc(Real x, Real y, Real startDeg, Real endDeg, Real r) = 0;
  virtual void Text(std::string_view textOem, Real x, Real y) = 0;
  virtual void Solid(Real x1, Real y1, Real x2, Real y2, Real x3, Real y3, Real x4, Real y4) = 0;
  virtual void Insert(std::string_view name, Real x, Real y, Real angleDeg, Real sx, Real sy) = 0;

  // Outputs with polylines of their own (DXF) return true and get
  // BeginPolyline/Vertex/EndPolyline; the others get lines and arcs.
  virtual bool NativePolylines() const { return false; }
  virtual void BeginPolyline(int flags) { (void)flags; }
  virtual void Vertex(Real x, Real y, Real includedAngleRad) { (void)x, (void)y, (void)includedAngleRad; }
  virtual void EndPolyline() {}
  // False for an output that places every insert at scale 1 (IGES).
  virtual bool ScalesInserts() const { return true; }

  // End of the run (CadEndOutput): writes what was held back. False when the
  // output has refused the file itself (it has shown its error box); the
  // layer then removes the file and sets AbortFlag.
  virtual bool Finish() { return true; }
};

// The IGES output (iges.cpp). The layer calls it for code 2 after opening
// `file`; the output file's name is Cad().CadFileName.
std::unique_ptr<CadOutput> MakeIgesOutput(CadFile& file);

// The output the primitives of the running output go to (nullptr outside a
// run). While a screen block is recorded this is still the screen output.
CadOutput* CurrentCadOutput();

}  // namespace zeb
