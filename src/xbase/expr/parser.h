// xBase expressions: a text is compiled against the fields of the open
// tables into a CompiledExpr with a result type, width and decimals, and
// evaluated for the current record of the current work area (index keys,
// filters, WHILE conditions). Errors go to TzError: 351 (syntax, nesting,
// types; compilation fails), 354 (work pool full), 358 (division by 0;
// evaluation goes on with 1e+250), 217 (memory). Evaluation errors do not
// stop the evaluation: callers test TzCurrentError() afterwards.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "xbase/core/hooks.h"

namespace zeb::xbase {

struct ExprProgram;  // the code list and stacks (parser.cpp)

// A compiled expression. Valid while the tables it was compiled against
// stay open with the same structure. Created by AssignExpr only.
struct CompiledExpr {
  std::string text;   // the source text
  char type = 0;      // result type: 'C', 'N', 'L', 'D' or 'M'
  // 'C': the fixed length when known, else 0; 'N': the width; 'D' 8; 'L' 1;
  // 'M' the memo pool size.
  int width = 0;
  // 'N': the decimals of the field the expression consists of, else 0
  // (the width is then decimals + 11); other types 0.
  int decimals = 0;
  // The value of the last evaluation (type as above; 'D' is the julian day
  // number, 0 for a blank date). Reused by every evaluation.
  ExprValue result;
  std::unique_ptr<ExprProgram> program;

  CompiledExpr();
  ~CompiledExpr();
  CompiledExpr(const CompiledExpr&) = delete;
  CompiledExpr& operator=(const CompiledExpr&) = delete;
};

// Compiles text (codes 351, 217 reported; a pending parser error 350..363 is
// cleared first). nullptr always comes with a reported error.
CompiledExpr* AssignExpr(std::string_view text);
// Frees and sets to nullptr (nullptr: nothing).
void ReleaseExpr(CompiledExpr*& expr);
// Evaluates for the current record of the current area; the result stays
// in expr->result until the next evaluation. nullptr for nullptr.
const ExprValue* EvaluateExpr(CompiledExpr* expr);
// The source text ("" for nullptr).
std::string ExprText(const CompiledExpr* expr);

// The expression the index engine made current (its key expression) and
// its evaluation (nullptr when none is current).
void SetCurrentExpr(CompiledExpr* expr);
CompiledExpr* CurrentExpr();
const ExprValue* EvaluateCurrent();

// The parser unit: its initialisation is counted; the first one fills the
// engine's ParserHookTable (ParserHooks().Installed() is then true), the
// last finalisation empties it. After ResetTzEngine the count starts again.
void InitParserUnit();
void DoneParserUnit();
bool ParserInstalled();

// Nesting limit of the parser (parentheses, function calls, unary
// operators): deeper texts fail with 351 "Parser_stack_overflow".
constexpr int kParserMaxDepth = 150;
// Largest text result of one evaluation step (354 beyond).
constexpr std::size_t kExprPoolLimit = 65536;

}  // namespace zeb::xbase
