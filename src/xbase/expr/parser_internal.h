// Shared between the expression compiler (parser.cpp) and the built-in
// functions (exprfuncs.cpp): the keyword table, function signatures, the
// evaluation slot and the text and number helpers of the functions.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace zeb::xbase::expr {

// One value on the evaluation stack. Its type is known from the code list;
// 'N' and 'D' use num, 'L' log, 'C' and 'M' text. The text keeps its
// capacity from one evaluation to the next.
struct Slot {
  double num = 0;
  bool log = false;
  std::string text;
};

enum class Fn : std::uint8_t {
  Abs, Asc, At, Cdow, Chr, Cmonth, Ctod, Date, Day, Deleted, Dow, Dtoc, Dtos, Iif, Int, Left, Len,
  Lower, Ltrim, Max, Min, Mod, Month, Recno, Replicate, Right, Round, Rtrim, Soundex, Space, Str,
  Stuff, Substr, Trim, Upper, Val, Year
};

enum class Word : std::uint8_t { None, Function, True, False, Not, And, Or };

struct Keyword {
  Word word = Word::None;
  Fn fn = Fn::Abs;
};

// The keyword of an upper-cased name (its accepted spellings only).
Keyword LookupKeyword(std::string_view name);
// The function's name as reported in type messages.
const char* FunctionName(Fn fn);

// What the compiler knows of an argument.
struct ArgInfo {
  char type = 0;
  int width = 0;          // 'C': the fixed length when known, else 0
  bool numLiteral = false;
  double numValue = 0;    // of a number literal
};

enum class SigCheck { Ok, BadCount, BadType };
// Checks count and types of a call; on Ok the result type and width.
SigCheck CheckFunction(Fn fn, const ArgInfo* args, int argc, char& resultType, int& resultWidth);

// Runs a function over args[0..argc); the result goes to args[0].
// scratch: a reused buffer of the evaluation.
void EvalFunction(Fn fn, int argc, Slot* args, std::string& scratch);

// --- helpers
// Text operands are taken as at most this many characters.
constexpr std::size_t kTextArgMax = 255;
// Moves scratch into out.text; a text above the pool limit reports 354
// and leaves out empty.
void StoreText(Slot& out, std::string& scratch);
void ReportPoolOverflow();
// Infinite values saturate to the largest finite ones, NaN becomes 0.
double Finite(double x);
// Counts, positions, codes: clamped to 32 bits, then truncated.
std::int32_t ToCount(double x);
// x with exactly `decimals` decimals from its shortest round-trip text:
// cut (round false) or rounded half away from zero. No "-" on a zero.
std::string DecimalText(double x, int decimals, bool round);
// The leading number of a text (blanks skipped; none: 0).
double LeadingNumber(std::string_view s);

}  // namespace zeb::xbase::expr
