// IGES writer: CAD output code 2. Fixed 80-column records in the sections
// Start, Global, Directory Entry, Parameter Data and Terminate.
//
// Directory entries go to the output file as the drawing is produced; the
// parameter records are held in memory (spilled to an unlinked mkstemp file
// in the temporary folder when they grow large) and appended by IgesFinish.
// Numbers have 3 decimals (rotation entries and text angle 6), "." always,
// never "-0.000".
//
// Entities that collapse at 3 decimals (a line with equal ends, a circle or
// arc of radius 0.000, a solid whose corners coincide) are not written.
// Blocks are subfigure definitions (308) of this file only; a block without
// members writes no 308 and its inserts no 408. Texts of a block are not
// members: a receiver such as OpenCascade fails the whole transfer check
// on a general note inside a subfigure ("not an implemented entity type"),
// so every instance writes them as notes of their own, moved and turned
// with it.
#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/types.h"
#include "graphics/cad_output.h"

namespace zeb {

// Greatest sequence number of one section (7 digits).
inline constexpr std::int32_t kIgesMaxRecords = 9999999;
// The limit in force (tests lower it to reach the overflow quickly).
std::int32_t IgesRecordLimit();
void SetIgesRecordLimit(std::int32_t limit);
// Size of the parameter records held in memory before they go to the
// scratch file (0: the default, 64 MiB).
void SetIgesScratchThreshold(std::size_t bytes);

// Breaks a free-format parameter text into records of at most `width`
// characters: after the last delimiter that fits, outside Hollerith
// strings; a Hollerith string that does not fit fills its record to `width`
// and continues in the next one; a parameter longer than a record is cut.
std::vector<std::string> IgesBreakRecords(std::string_view text, std::size_t width);

// Fixed-point text with the given decimals, "." separator, no "-" for a
// value that rounds to zero.
std::string IgesReal(Real x, int decimals = 3);
// Length, "H", text.
std::string IgesHollerith(std::string_view text);

class IgesOutput : public CadOutput {
 public:
  explicit IgesOutput(CadFile& file);
  ~IgesOutput() override;

  // The writer's operations.
  void IgesOpenScratch();
  void IgesHeader(std::string_view fileName, Real maxCoordinate);
  void IgesLine(Real x1, Real y1, Real x2, Real y2);
  void IgesLine3D(Real x1, Real y1, Real z1, Real x2, Real y2, Real z2);
  void IgesMoveTo3D(Real x, Real y, Real z);
  void IgesLineTo3D(Real x, Real y, Real z);
  void IgesArc(Real xc, Real yc, Real xs, Real ys, Real xe, Real ye);
  void IgesCircle(Real x, Real y, Real r);
  void IgesSolid(Real x1, Real y1, Real x2, Real y2, Real x3, Real y3, Real x4, Real y4);
  void IgesText(std::string_view textOem, Real x, Real y);
  void IgesBeginBlock(std::string_view name);
  void IgesEndBlock();
  void IgesInsert(std::string_view name, Real x, Real y, Real angleDeg);
  void IgesSetLayer(int n);
  void IgesSetColorIndex(int cadColour);
  void IgesSetLineFont(int font);
  // False when a section outgrew the record limit or the parameter records
  // could not be kept (an error box was shown; the file must not be kept).
  bool IgesFinish();
  // Index into this file's blocks of the first defined block of that name,
  // -1 when there is none ("Blockname ... not found !" is shown).
  int IgesFindBlock(std::string_view name);

  // Level/colour byte and line font now in force.
  int LevelColour() const { return levelColour_; }
  int LineFont() const { return lineFont_; }

  // CadOutput.
  void Header(Real xmin, Real ymin, Real xmax, Real ymax) override;
  void BeginBlock(std::string_view name) override;
  void EndBlock() override;
  void SetLayer(int n) override;
  void Line(Real x1, Real y1, Real x2, Real y2) override;
  void Line3D(Real x1, Real y1, Real z1, Real x2, Real y2, Real z2) override;
  void Circle(Real x, Real y, Real r) override;
  void Arc(Real x, Real y, Real startDeg, Real endDeg, Real r) override;
  void Text(std::string_view textOem, Real x, Real y) override;
  void Solid(Real x1, Real y1, Real x2, Real y2, Real x3, Real y3, Real x4, Real y4) override;
  void Insert(std::string_view name, Real x, Real y, Real angleDeg, Real sx, Real sy) override;
  bool Finish() override;
  bool ScalesInserts() const override { return false; }

 private:
  // A general note with everything it needs.
  struct Note {
    std::string text;  // as written
    Real x = 0, y = 0, height = 0, width = 0, angleRad = 0;
    int levelColour = 0, lineFont = 1;
  };
  struct Block {
    std::string name;
    std::int32_t de = 0;  // DE pointer of its 308, 0 while open or empty
    bool open = false;
    std::vector<Note> notes;  // in block coordinates
  };
  struct Entity {
    explicit Entity(int t) : type(t) {}
    int type = 0;
    const char* matrix = "";  // D line 1 field 7: "", "0" or a 124's DE
    std::string matrixDe;
    const char* form = "";
    std::string label;
    bool dependent = false;  // status 00010000 although outside a block
    bool member = true;      // registered in an open block
  };

  void IgesReset();
  void EnsureHeader();
  bool Overflowed() const { return overflow_ != 0; }
  // The parameter text of the next entity is built in param_; each chunk
  // (ended by EndChunk) starts a new record and is broken by the P rule.
  void BeginParams();
  void EndChunk();
  // Writes the entity: its parameter records and its two D lines. Returns
  // its DE pointer, 0 when nothing was written.
  std::int32_t WriteEntity(const Entity& e);
  void AppendPLine(std::string_view text, std::int32_t de);
  bool CheckRoom(char section, std::int64_t records);
  void Spill();
  void WriteNote(const Note& n);

  CadFile& file_;
  // Writer state.
  std::int32_t sCount_ = 0, gCount_ = 0, dCount_ = 0, pCount_ = 0;
  std::int32_t dePointer_ = -1;
  std::int32_t nextPLine_ = 1;
  int lineFont_ = 1;
  int levelColour_ = 0;
  bool blockOpen_ = false;
  std::vector<std::int32_t> members_;
  std::vector<Note> openNotes_;
  std::vector<Block> blocks_;
  Real cur3x_ = 0, cur3y_ = 0, cur3z_ = 0;
  bool headerDone_ = false;
  char overflow_ = 0;  // section letter that outgrew the limit
  // Parameter records.
  std::string pBuffer_;
  int spill_ = -1;            // the scratch file, without a name
  std::int64_t spilled_ = 0;  // bytes in it
  bool spillTried_ = false;
  bool spillFailed_ = false;
  int spillErrno_ = 0;
  std::string dLines_;  // scratch for the two D lines
  std::string param_;
  std::vector<std::size_t> chunkEnds_;
  std::string scratchA_, scratchB_;
};

// The 3-D view's move and line for the running IGES output; nothing when
// the running output is not IGES or a value is not finite or beyond 1e9.
void IgesMoveTo3D(Real x, Real y, Real z);
void IgesLineTo3D(Real x, Real y, Real z);

}  // namespace zeb
