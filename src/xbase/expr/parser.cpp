// Expression compiler and evaluator. The compiler is a recursive-descent
// parser over the precedence levels; it counts the symbols a shift/reduce
// parser would hold on its state stack and fails with
// "Parser_stack_overflow" beyond the limit. Reductions check the operand
// types and append typed operations to a postfix code list, which the
// evaluator runs on a stack of slots sized at compile time.
#include "xbase/expr/parser.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "xbase/core/ansi_literal.h"
#include "xbase/index/ndxkeys.h"
#include "xbase/expr/parser_internal.h"
#include "xbase/core/engine.h"
#include "xbase/core/errors.h"
#include "xbase/core/text_utils.h"
#include "xbase/dbf/workarea.h"

namespace zeb::xbase {

using expr::ArgInfo;
using expr::Fn;
using expr::Slot;

namespace {

enum class Op : std::uint8_t {
  PushNum, PushText, PushLogical, PushField,
  Neg, Not,
  Pow, Mul, Div, AddNN, AddND, AddDN, Concat, SubNN, SubDN, SubDD, SubText,
  EqNum, EqLog, EqText, ExactEq, Contains, NeNum, NeLog, NeText,
  LtNum, GtNum, LeNum, GeNum, LtText, GtText, LeText, GeText,
  And, Or, Call
};

struct Instr {
  Op op;
  std::uint8_t argc = 0;
  Fn fn = Fn::Abs;
  std::int32_t index = 0;  // literal or field operand
};

// A field operand: area 0 stands for the current area at evaluation time.
struct FieldRef {
  int area = 0;
  int field = 0;  // 1-based
  char type = 'C';
  int width = 0;
};

constexpr double kDivisionByZeroResult = 1e+250;

}  // namespace

struct ExprProgram {
  std::vector<Instr> code;
  std::vector<double> numbers;
  std::vector<std::string> texts;
  std::vector<FieldRef> fields;
  std::vector<Slot> stack;
  std::string scratch;
  std::string memo;
};

CompiledExpr::CompiledExpr() = default;
CompiledExpr::~CompiledExpr() = default;

namespace {

// ------------------------------------------------------------------ lexer

enum class Tok : std::uint8_t {
  End, Number, String, Field, Func, True, False, Not, And, Or,
  Plus, Minus, Star, Slash, Power, Eq, ExactEq, Dollar, Lt, Gt, Le, Ge, Ne,
  LParen, RParen, Comma, Bad
};

struct ParseFail {
  std::string message;
};

[[noreturn]] void SyntaxError() { throw ParseFail{"Syntax error"}; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsNameStart(char c) { return c == '.' || c == '_' || IsCharAlpha1252(c); }
bool IsNamePart(char c) { return IsNameStart(c) || IsDigit(c); }
bool FieldTypeUsable(char t) {
  return t == 'C' || t == 'N' || t == 'F' || t == 'L' || t == 'D' || t == 'M';
}

// What the compiler knows of a value on its stack.
struct TypeInfo {
  char type = 0;
  int width = 0;
  int decimals = 0;
  bool singleField = false;  // the value is one field, nothing else
  bool numLiteral = false;
  double numValue = 0;
};

enum class Bin : std::uint8_t { Add, Sub, Mul, Div, Pow, Eq, ExactEq, Contains, Ne, Lt, Gt, Le, Ge, And, Or };

const char* BinName(Bin b) {
  switch (b) {
    case Bin::Add: return "+";
    case Bin::Sub: return "-";
    case Bin::Mul: return "*";
    case Bin::Div: return "/";
    case Bin::Pow: return "** or ^";
    case Bin::Eq: return "=";
    case Bin::ExactEq: return "==";
    case Bin::Contains: return "$";
    case Bin::Ne: return "<>";
    case Bin::Lt: return "<";
    case Bin::Gt: return ">";
    case Bin::Le: return "<=";
    case Bin::Ge: return ">=";
    case Bin::And: return ".AND.";
    case Bin::Or: return ".OR.";
  }
  return "";
}

// The binary operator of token t at precedence level (2 tightest .. 9).
bool BinaryAt(int level, Tok t, Bin& b) {
  switch (level) {
    case 2:
      if (t == Tok::Power) { b = Bin::Pow; return true; }
      return false;
    case 3:
      if (t == Tok::Star) { b = Bin::Mul; return true; }
      if (t == Tok::Slash) { b = Bin::Div; return true; }
      return false;
    case 4:
      if (t == Tok::Plus) { b = Bin::Add; return true; }
      if (t == Tok::Minus) { b = Bin::Sub; return true; }
      return false;
    case 5:
      if (t == Tok::Lt) { b = Bin::Lt; return true; }
      if (t == Tok::Gt) { b = Bin::Gt; return true; }
      if (t == Tok::Le) { b = Bin::Le; return true; }
      if (t == Tok::Ge) { b = Bin::Ge; return true; }
      return false;
    case 6:
      if (t == Tok::Dollar) { b = Bin::Contains; return true; }
      if (t == Tok::ExactEq) { b = Bin::ExactEq; return true; }
      return false;
    case 7:
      if (t == Tok::Eq) { b = Bin::Eq; return true; }
      if (t == Tok::Ne) { b = Bin::Ne; return true; }
      return false;
    case 8:
      if (t == Tok::And) { b = Bin::And; return true; }
      return false;
    case 9:
      if (t == Tok::Or) { b = Bin::Or; return true; }
      return false;
    default: return false;
  }
}

class Compiler {
 public:
  Compiler(std::string_view text, ExprProgram& program) : text_(text), p_(program) {}

  TypeInfo Run() {
    Next();
    TypeInfo t = Expression();
    if (tok_ != Tok::End) SyntaxError();
    return t;
  }
  std::size_t Position() const { return pos_; }
  int MaxStack() const { return maxStack_; }

 private:
  // --- lexer
  void SkipBlanks() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
  }

  void Next() {
    SkipBlanks();
    if (pos_ >= text_.size()) {
      tok_ = Tok::End;
      return;
    }
    const char c = text_[pos_];
    if (IsDigit(c)) return LexNumber();
    if (c == '\'' || c == '"') return LexString(c);
    if (IsNameStart(c)) return LexName();
    ++pos_;
    auto follows = [this](char n) {
      if (pos_ < text_.size() && text_[pos_] == n) {
        ++pos_;
        return true;
      }
      return false;
    };
    switch (c) {
      case '+': tok_ = Tok::Plus; return;
      case '-': tok_ = Tok::Minus; return;
      case '*': tok_ = follows('*') ? Tok::Power : Tok::Star; return;
      case '/': tok_ = Tok::Slash; return;
      case '^': tok_ = Tok::Power; return;
      case '=': tok_ = follows('=') ? Tok::ExactEq : Tok::Eq; return;
      case '$': tok_ = Tok::Dollar; return;
      case '<':
        if (follows('=')) tok_ = Tok::Le;
        else if (follows('>')) tok_ = Tok::Ne;
        else tok_ = Tok::Lt;
        return;
      case '>': tok_ = follows('=') ? Tok::Ge : Tok::Gt; return;
      case '#': tok_ = Tok::Ne; return;
      case '(': tok_ = Tok::LParen; return;
      case ')': tok_ = Tok::RParen; return;
      case ',': tok_ = Tok::Comma; return;
      default: tok_ = Tok::Bad; return;
    }
  }

  // Digits, one optional point with digits, an optional exponent with an
  // optional sign and at least one digit.
  void LexNumber() {
    const std::size_t start = pos_;
    while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_;
    if (pos_ < text_.size() && text_[pos_] == '.') {
      ++pos_;
      while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_;
    }
    if (pos_ < text_.size() && (text_[pos_] == 'E' || text_[pos_] == 'e')) {
      ++pos_;
      if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) ++pos_;
      if (pos_ >= text_.size() || !IsDigit(text_[pos_])) SyntaxError();
      while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_;
    }
    tok_ = Tok::Number;
    number_ = expr::LeadingNumber(text_.substr(start, pos_ - start));
  }

  void LexString(char quote) {
    const std::size_t end = text_.find(quote, pos_ + 1);
    if (end == std::string_view::npos) {
      pos_ = text_.size();
      SyntaxError();
    }
    string_.assign(text_.substr(pos_ + 1, end - pos_ - 1));
    pos_ = end + 1;
    tok_ = Tok::String;
  }

  std::string ReadName() {
    const std::size_t start = pos_;
    while (pos_ < text_.size() && IsNamePart(text_[pos_])) ++pos_;
    return TzUpper(text_.substr(start, pos_ - start));
  }

  // The field of that name in area a (1-based), 0 when none.
  static int FindField(const WorkArea* a, std::string_view name) {
    if (!a) return 0;
    for (std::size_t i = 0; i < a->fields.size(); ++i)
      if (a->fields[i].name == name) return static_cast<int>(i) + 1;
    return 0;
  }

  void SetField(const WorkArea& a, int field, int area) {
    const FieldDesc& f = a.fields[static_cast<std::size_t>(field - 1)];
    if (!FieldTypeUsable(f.type)) SyntaxError();
    field_ = FieldRef{area, field, f.type == 'F' ? 'N' : f.type, f.length};
    fieldDecimals_ = f.decimals;
    tok_ = Tok::Field;
  }

  void LexName() {
    const std::string name = ReadName();
    const std::size_t afterName = pos_;
    SkipBlanks();
    if (pos_ + 1 < text_.size() && text_[pos_] == '-' && text_[pos_ + 1] == '>') {
      // alias->field
      pos_ += 2;
      SkipBlanks();
      if (pos_ >= text_.size() || !IsNameStart(text_[pos_])) SyntaxError();
      const std::string fieldName = ReadName();
      const std::string alias = name.substr(0, 10);
      for (int n = 1; n <= 32; ++n) {
        const WorkArea* a = AreaAt(n);
        if (!a || a->alias.substr(0, 10) != alias) continue;
        const int f = FindField(a, fieldName);
        if (f == 0) SyntaxError();
        SetField(*a, f, n);
        return;
      }
      SyntaxError();
    }
    const bool call = pos_ < text_.size() && text_[pos_] == '(';
    pos_ = afterName;
    if (!call) {
      if (const WorkArea* a = CurrentWorkArea()) {
        const int f = FindField(a, name);
        if (f != 0) {
          SetField(*a, f, 0);
          return;
        }
      }
    }
    const expr::Keyword k = expr::LookupKeyword(name);
    switch (k.word) {
      case expr::Word::Function:
        tok_ = Tok::Func;
        fn_ = k.fn;
        return;
      case expr::Word::True: tok_ = Tok::True; return;
      case expr::Word::False: tok_ = Tok::False; return;
      case expr::Word::Not: tok_ = Tok::Not; return;
      case expr::Word::And: tok_ = Tok::And; return;
      case expr::Word::Or: tok_ = Tok::Or; return;
      case expr::Word::None: break;
    }
    SyntaxError();
  }

  // --- state stack accounting
  void Hold(int n) {
    held_ += n;
    if (held_ >= kParserMaxDepth) throw ParseFail{"Parser_stack_overflow"};
  }
  void Release(int n) { held_ -= n; }

  // --- code
  void Emit(Op op, int pushes, int pops, std::int32_t index = 0, Fn fn = Fn::Abs, int argc = 0) {
    p_.code.push_back(Instr{op, static_cast<std::uint8_t>(argc), fn, index});
    depth_ += pushes - pops;
    maxStack_ = std::max(maxStack_, depth_);
  }

  [[noreturn]] static void TypeError(const char* name) {
    throw ParseFail{std::string("PARSER:Unvereinbare Typen in Ausdruck \"") + name + "\""};
  }

  // --- grammar
  TypeInfo Expression() { return Level(9); }

  TypeInfo Level(int level) {
    if (level == 1) return Unary();
    TypeInfo left = Level(level - 1);
    Bin b;
    while (BinaryAt(level, tok_, b)) {
      Next();
      Hold(2);
      TypeInfo right = Level(level - 1);
      Release(2);
      left = Reduce(b, left, right);
    }
    return left;
  }

  TypeInfo Unary() {
    if (tok_ != Tok::Minus && tok_ != Tok::Plus && tok_ != Tok::Not) return Primary();
    const Tok op = tok_;
    Next();
    Hold(1);
    TypeInfo t = Unary();
    Release(1);
    TypeInfo r;
    if (op == Tok::Not) {
      if (t.type != 'L') TypeError(".NOT.");
      Emit(Op::Not, 1, 1);
      r.type = 'L';
    } else {
      if (t.type != 'N') TypeError(op == Tok::Minus ? "Unary -" : "Unary +");
      r.type = 'N';
      r.numLiteral = t.numLiteral;
      r.numValue = t.numValue;
      if (op == Tok::Minus) {
        Emit(Op::Neg, 1, 1);
        r.numValue = -t.numValue;
      }
    }
    return r;
  }

  TypeInfo Primary() {
    TypeInfo t;
    switch (tok_) {
      case Tok::Number:
        p_.numbers.push_back(number_);
        Emit(Op::PushNum, 1, 0, static_cast<std::int32_t>(p_.numbers.size() - 1));
        t.type = 'N';
        t.numLiteral = true;
        t.numValue = number_;
        Next();
        return t;
      case Tok::String:
        p_.texts.push_back(string_);
        Emit(Op::PushText, 1, 0, static_cast<std::int32_t>(p_.texts.size() - 1));
        t.type = 'C';
        t.width = static_cast<int>(std::min(string_.size(), kExprPoolLimit));
        Next();
        return t;
      case Tok::True:
      case Tok::False:
        Emit(Op::PushLogical, 1, 0, tok_ == Tok::True ? 1 : 0);
        t.type = 'L';
        Next();
        return t;
      case Tok::Field:
        p_.fields.push_back(field_);
        Emit(Op::PushField, 1, 0, static_cast<std::int32_t>(p_.fields.size() - 1));
        t.type = field_.type;
        t.width = field_.width;
        t.decimals = fieldDecimals_;
        t.singleField = true;
        Next();
        return t;
      case Tok::Func: return Call();
      case Tok::LParen: {
        Next();
        Hold(1);
        t = Expression();
        if (tok_ != Tok::RParen) SyntaxError();
        Release(1);
        Next();
        return t;
      }
      default: SyntaxError();
    }
  }

  TypeInfo Call() {
    const Fn fn = fn_;
    Next();
    if (tok_ != Tok::LParen) SyntaxError();
    Next();
    Hold(2);
    int held = 2;
    std::vector<ArgInfo> args;
    if (tok_ != Tok::RParen) {
      for (;;) {
        const TypeInfo a = Expression();
        args.push_back(ArgInfo{a.type, a.width, a.numLiteral, a.numValue});
        if (args.size() > 4) SyntaxError();  // no function takes more
        if (tok_ != Tok::Comma) break;
        Next();
        Hold(2);
        held += 2;
      }
    }
    if (tok_ != Tok::RParen) SyntaxError();
    char resultType = 0;
    int width = 0;
    const int argc = static_cast<int>(args.size());
    switch (expr::CheckFunction(fn, args.data(), argc, resultType, width)) {
      case expr::SigCheck::BadCount: SyntaxError();
      case expr::SigCheck::BadType:
        throw ParseFail{std::string("PARSER:Unvereinbare Typen in Funktion \"") + expr::FunctionName(fn) + "\""};
      case expr::SigCheck::Ok: break;
    }
    Release(held);
    Next();
    Emit(Op::Call, 1, argc, 0, fn, argc);
    TypeInfo t;
    t.type = resultType;
    t.width = width;
    return t;
  }

  static int SumWidth(const TypeInfo& a, const TypeInfo& b) {
    if (a.width <= 0 || b.width <= 0) return 0;
    return static_cast<int>(std::min<long long>(static_cast<long long>(a.width) + b.width, kExprPoolLimit));
  }

  TypeInfo Reduce(Bin b, const TypeInfo& l, const TypeInfo& r) {
    TypeInfo t;
    const char x = l.type;
    const char y = r.type;
    auto result = [&](Op op, char type) {
      Emit(op, 1, 2);
      t.type = type;
      return t;
    };
    auto numeric = [](char c) { return c == 'N' || c == 'D'; };
    switch (b) {
      case Bin::Add:
        if (x == 'N' && y == 'N') return result(Op::AddNN, 'N');
        if (x == 'N' && y == 'D') return result(Op::AddND, 'D');
        if (x == 'D' && y == 'N') return result(Op::AddDN, 'D');
        if (x == 'C' && y == 'C') {
          t.width = SumWidth(l, r);
          return result(Op::Concat, 'C');
        }
        break;
      case Bin::Sub:
        if (x == 'N' && y == 'N') return result(Op::SubNN, 'N');
        if (x == 'D' && y == 'N') return result(Op::SubDN, 'D');
        if (x == 'D' && y == 'D') return result(Op::SubDD, 'N');
        if (x == 'C' && y == 'C') {
          t.width = SumWidth(l, r);
          return result(Op::SubText, 'C');
        }
        break;
      case Bin::Mul:
        if (x == 'N' && y == 'N') return result(Op::Mul, 'N');
        break;
      case Bin::Div:
        if (x == 'N' && y == 'N') return result(Op::Div, 'N');
        break;
      case Bin::Pow:
        if (x == 'N' && y == 'N') return result(Op::Pow, 'N');
        break;
      case Bin::Eq:
      case Bin::Ne: {
        const bool eq = b == Bin::Eq;
        if (x == y && numeric(x)) return result(eq ? Op::EqNum : Op::NeNum, 'L');
        if (x == 'L' && y == 'L') return result(eq ? Op::EqLog : Op::NeLog, 'L');
        if (x == 'C' && y == 'C') return result(eq ? Op::EqText : Op::NeText, 'L');
        break;
      }
      case Bin::ExactEq:
        if (x == 'C' && y == 'C') return result(Op::ExactEq, 'L');
        break;
      case Bin::Contains:
        if (x == 'C' && y == 'C') return result(Op::Contains, 'L');
        break;
      case Bin::Lt:
      case Bin::Gt:
      case Bin::Le:
      case Bin::Ge: {
        static constexpr Op kNum[] = {Op::LtNum, Op::GtNum, Op::LeNum, Op::GeNum};
        static constexpr Op kText[] = {Op::LtText, Op::GtText, Op::LeText, Op::GeText};
        const int i = static_cast<int>(b) - static_cast<int>(Bin::Lt);
        if (x == y && numeric(x)) return result(kNum[i], 'L');
        if (x == 'C' && y == 'C') return result(kText[i], 'L');
        break;
      }
      case Bin::And:
        if (x == 'L' && y == 'L') return result(Op::And, 'L');
        break;
      case Bin::Or:
        if (x == 'L' && y == 'L') return result(Op::Or, 'L');
        break;
    }
    TypeError(BinName(b));
  }

  std::string_view text_;
  ExprProgram& p_;
  std::size_t pos_ = 0;
  Tok tok_ = Tok::End;
  double number_ = 0;
  std::string string_;
  FieldRef field_;
  int fieldDecimals_ = 0;
  Fn fn_ = Fn::Abs;
  int held_ = 0;
  int depth_ = 0;
  int maxStack_ = 0;
};

// "[" text "]" around the error, with "..." where the text goes on.
std::string ErrorWindow(std::string_view text, std::size_t pos) {
  constexpr std::size_t kWidth = 51;
  pos = std::min(pos, text.size());
  const std::size_t start = pos > kWidth ? pos - kWidth : 0;
  const std::size_t length = std::min(kWidth, text.size() - start);
  std::string w = start > 0 ? "[..." : "[";
  w.append(text.substr(start, length));
  w += start + length < text.size() ? "...]" : "]";
  return w;
}

// ------------------------------------------------------------ evaluation

int CompareText(std::string_view a, std::string_view b) {
  a = a.substr(0, expr::kTextArgMax);
  b = b.substr(0, expr::kTextArgMax);
  const std::size_t n = std::min(a.size(), b.size());
  const int c = n == 0 ? 0 : std::memcmp(a.data(), b.data(), n);
  if (c != 0) return c;
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

// Memo text joined without line breaks, cut at the pool limit.
void ReadMemo(const FieldRef& ref, std::int32_t block, std::string& out, std::string& memo) {
  out.clear();
  if (block == 0 || !MemoHooks().Installed()) return;
  const int saved = CurrentArea();
  if (ref.area != 0) SelectArea(ref.area);
  memo.clear();
  MemoHooks().AssignMemo(block, memo);
  if (ref.area != 0) SelectArea(saved);
  for (char c : memo) {
    if (c == '\r' || c == '\n') continue;
    if (out.size() >= kExprPoolLimit) break;
    out += c;
  }
}

void PushField(const FieldRef& ref, Slot& s, ExprProgram& p) {
  const WorkArea* a = ref.area != 0 ? AreaAt(ref.area) : CurrentWorkArea();
  std::string_view raw;
  bool present = false;
  if (a && ref.field <= static_cast<int>(a->fields.size())) {
    const FieldDesc& f = a->fields[static_cast<std::size_t>(ref.field - 1)];
    if (f.offset < a->stored.size()) {
      raw = std::string_view(a->stored).substr(f.offset, f.length);
      present = true;
    }
  }
  switch (ref.type) {
    case 'C':
      if (present) {
        const auto nul = raw.find('\0');
        s.text.assign(raw.substr(0, nul));
      } else {
        s.text.assign(static_cast<std::size_t>(ref.width), ' ');
      }
      return;
    case 'N': s.num = expr::LeadingNumber(raw); return;
    case 'L': {
      const char c = raw.empty() ? ' ' : raw[0];
      s.log = c == 'T' || c == 't' || c == 'Y' || c == 'y';
      return;
    }
    case 'D': s.num = DateTextToJulian(raw); return;
    case 'M': {
      const double block = expr::LeadingNumber(raw);
      ReadMemo(ref, block >= 1 && block <= 2147483647.0 ? static_cast<std::int32_t>(block) : 0, s.text, p.memo);
      return;
    }
    default: return;
  }
}

void Run(ExprProgram& p) {
  Slot* st = p.stack.data();
  int top = -1;
  for (const Instr& in : p.code) {
    switch (in.op) {
      case Op::PushNum: st[++top].num = p.numbers[static_cast<std::size_t>(in.index)]; break;
      case Op::PushText: st[++top].text.assign(p.texts[static_cast<std::size_t>(in.index)]); break;
      case Op::PushLogical: st[++top].log = in.index != 0; break;
      case Op::PushField: PushField(p.fields[static_cast<std::size_t>(in.index)], st[++top], p); break;
      case Op::Neg: st[top].num = -st[top].num; break;
      case Op::Not: st[top].log = !st[top].log; break;
      case Op::Call: {
        const int argc = in.argc;
        top -= argc - 1;
        expr::EvalFunction(in.fn, argc, st + top, p.scratch);
        break;
      }
      default: {
        Slot& l = st[top - 1];
        const Slot& r = st[top];
        --top;
        switch (in.op) {
          case Op::Pow: l.num = expr::Finite(std::pow(l.num, r.num)); break;
          case Op::Mul: l.num = expr::Finite(l.num * r.num); break;
          case Op::Div:
            if (r.num == 0) {
              TzError(358, "Auswertungsfehler: Division durch 0 [Evaluate/Engine]");
              l.num = kDivisionByZeroResult;
            } else {
              l.num = expr::Finite(l.num / r.num);
            }
            break;
          case Op::AddNN:
          case Op::AddND:
          case Op::AddDN: l.num = expr::Finite(l.num + r.num); break;
          case Op::SubNN:
          case Op::SubDN:
          case Op::SubDD: l.num = expr::Finite(l.num - r.num); break;
          case Op::Concat:
            if (l.text.size() + r.text.size() > kExprPoolLimit) {
              expr::ReportPoolOverflow();
              l.text.clear();
            } else {
              l.text += r.text;
            }
            break;
          case Op::SubText: {
            const std::size_t kept = l.text.find_last_not_of(' ') + 1;  // npos + 1 == 0
            const std::size_t blanks = l.text.size() - kept;
            std::string& s = p.scratch;
            s.assign(l.text, 0, kept);
            s += r.text;
            s.append(blanks, ' ');
            expr::StoreText(l, s);
            break;
          }
          case Op::EqNum: l.log = l.num == r.num; break;
          case Op::NeNum: l.log = l.num != r.num; break;
          case Op::LtNum: l.log = l.num < r.num; break;
          case Op::GtNum: l.log = l.num > r.num; break;
          case Op::LeNum: l.log = l.num <= r.num; break;
          case Op::GeNum: l.log = l.num >= r.num; break;
          case Op::EqLog: l.log = l.log == r.log; break;
          case Op::NeLog: l.log = l.log != r.log; break;
          case Op::And: l.log = l.log && r.log; break;
          case Op::Or: l.log = l.log || r.log; break;
          case Op::EqText: {
            const std::string_view a = std::string_view(l.text).substr(0, expr::kTextArgMax);
            const std::string_view b = std::string_view(r.text).substr(0, expr::kTextArgMax);
            l.log = !b.empty() && a.substr(0, b.size()) == b;
            break;
          }
          case Op::ExactEq: l.log = CompareText(l.text, r.text) == 0; break;
          case Op::NeText: l.log = CompareText(l.text, r.text) != 0; break;
          case Op::Contains: {
            const std::string_view a = std::string_view(l.text).substr(0, expr::kTextArgMax);
            const std::string_view b = std::string_view(r.text).substr(0, expr::kTextArgMax);
            l.log = !a.empty() && b.find(a) != std::string_view::npos;
            break;
          }
          case Op::LtText: l.log = CompareText(l.text, r.text) < 0; break;
          case Op::GtText: l.log = CompareText(l.text, r.text) > 0; break;
          case Op::LeText: l.log = CompareText(l.text, r.text) <= 0; break;
          case Op::GeText: l.log = CompareText(l.text, r.text) >= 0; break;
          default: break;
        }
        break;
      }
    }
  }
}

// ------------------------------------------------------------ the unit

struct ParserUnit : TzEngineUnit {
  int initCount = 0;
  CompiledExpr* current = nullptr;
};

ParserUnit& Unit() { return EngineUnit<ParserUnit>(TzUnit::Parser); }

class ParserHooksImpl final : public ParserHookTable {
 public:
  bool Installed() const override { return true; }
  CompiledExpr* AssignExpr(std::string_view text) override { return zeb::xbase::AssignExpr(text); }
  void ReleaseExpr(CompiledExpr*& expr) override { zeb::xbase::ReleaseExpr(expr); }
  bool EvaluateExpr(CompiledExpr* expr, ExprValue& out) override {
    const ExprValue* v = zeb::xbase::EvaluateExpr(expr);
    if (!v) {
      out = {};
      return false;
    }
    out = *v;
    return true;
  }
  bool EvaluateBool(CompiledExpr* expr) override {
    const ExprValue* v = zeb::xbase::EvaluateExpr(expr);
    return !v || v->type != 'L' || v->logical;
  }
  std::string ExprText(CompiledExpr* expr) override { return zeb::xbase::ExprText(expr); }
};

}  // namespace

CompiledExpr* AssignExpr(std::string_view text) {
  const std::uint16_t pending = TzCurrentError();
  if (pending >= 350 && pending <= 363) SetTzCurrentError(0);
  std::unique_ptr<CompiledExpr> e;
  std::string failure;
  std::size_t errorPos = 0;
  TypeInfo info;
  int maxStack = 0;
  try {
    e = std::make_unique<CompiledExpr>();
    e->program = std::make_unique<ExprProgram>();
    Compiler c(text, *e->program);
    try {
      info = c.Run();
      maxStack = c.MaxStack();
    } catch (const ParseFail& f) {
      failure = f.message;
      errorPos = c.Position();
    }
    if (failure.empty()) {
      e->text.assign(text);
      e->program->stack.resize(static_cast<std::size_t>(std::max(maxStack, 1)));
    }
  } catch (const std::bad_alloc&) {
    e.reset();
    TzError(217, " [AssignExpr]");
    return nullptr;
  }
  if (!failure.empty()) {
    e.reset();
    TzError(351, "Fehler in dBASE-Ausdruck : " + failure + "\r\n" + ErrorWindow(text, errorPos) + "\r\n [AssignExpr]");
    return nullptr;
  }
  e->type = info.type;
  switch (info.type) {
    case 'C': e->width = info.width; break;
    case 'N':
      e->decimals = info.singleField ? info.decimals : 0;
      e->width = info.singleField ? info.width : 0;
      if (e->width < e->decimals + 2) e->width = e->decimals + 11;
      break;
    case 'D': e->width = 8; break;
    case 'L': e->width = 1; break;
    case 'M': e->width = static_cast<int>(kExprPoolLimit); break;
    default: break;
  }
  e->result.type = e->type;
  return e.release();
}

void ReleaseExpr(CompiledExpr*& expr) {
  if (!expr) return;
  auto& slot = Engine().units[static_cast<int>(TzUnit::Parser)];
  if (slot && static_cast<ParserUnit&>(*slot).current == expr) static_cast<ParserUnit&>(*slot).current = nullptr;
  delete expr;
  expr = nullptr;
}

const ExprValue* EvaluateExpr(CompiledExpr* expr) {
  if (!expr || !expr->program) return nullptr;
  ExprProgram& p = *expr->program;
  Run(p);
  const Slot& top = p.stack[0];
  ExprValue& r = expr->result;
  r.type = expr->type;
  switch (expr->type) {
    case 'C':
    case 'M':
      r.text.assign(top.text);
      break;
    case 'L': r.logical = top.log; break;
    default: r.number = top.num; break;
  }
  return &r;
}

std::string ExprText(const CompiledExpr* expr) { return expr ? expr->text : std::string(); }

void SetCurrentExpr(CompiledExpr* expr) { Unit().current = expr; }
CompiledExpr* CurrentExpr() { return Unit().current; }
const ExprValue* EvaluateCurrent() { return EvaluateExpr(Unit().current); }

void InitParserUnit() {
  if (Unit().initCount++ == 0) SetParserHooks(std::make_shared<ParserHooksImpl>());
}

void DoneParserUnit() {
  ParserUnit& u = Unit();
  if (u.initCount > 0 && --u.initCount == 0) SetParserHooks(nullptr);
}

bool ParserInstalled() { return ParserHooks().Installed(); }

}  // namespace zeb::xbase
