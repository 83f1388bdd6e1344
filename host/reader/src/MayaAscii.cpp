// Maya ASCII reader: a streaming lexer for the MEL subset Maya writes, and an
// executor that turns each statement into calls on the host scene.

#include <kvhost/MayaAscii.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <new>
#include <span>
#include <unordered_map>

#include <kvhost/Scene.h>
#include <maya/MFn.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MString.h>

#include "References.h"

namespace kvhost {

namespace {

// The host keeps plug indices in an int; larger ones are refused before they
// reach it.
constexpr long long kMaxIndex = INT_MAX - 1;
// Tokens a statement other than setAttr may hold (connectAttr, createNode, ...).
constexpr size_t kMaxCommandTokens = 4096;
// Kinds of warnings listed one by one.
constexpr size_t kMaxWarningKinds = 1000;

struct ReadError {
  int line;
  std::string what;
  bool fatal = false;  // ends the whole read, even inside a referenced file
  std::string file = {};  // the referenced file it arose in; empty for the file being read
};

// ------------------------------------------------------------------ source

// Characters of the file, read in blocks so that a large file is never held
// whole in memory. The lexer scans the characters of the current block
// directly (`data`, `available`, `advance`) and counts the lines it passes.
class Source {
public:
  explicit Source(std::string_view text)
      : fStart(text.data()), fCur(text.data()), fEnd(text.data() + text.size()), fTotal(text.size()) {}
  Source(std::istream& in, size_t total) : fIn(&in), fBuf(size_t{1} << 20), fTotal(total) {
    fStart = fCur = fEnd = fBuf.data();
  }

  int peek(size_t ahead = 0) {
    if (static_cast<size_t>(fEnd - fCur) <= ahead && !fill(ahead + 1)) return -1;
    return static_cast<unsigned char>(fCur[ahead]);
  }
  int get() {
    int c = peek();
    if (c >= 0) {
      ++fCur;
      if (c == '\n') ++fLine;
    }
    return c;
  }
  // Characters from the current one on: at least `want` unless the input ends
  // first (then all that are left).
  size_t available(size_t want) {
    if (static_cast<size_t>(fEnd - fCur) < want) fill(want);
    return static_cast<size_t>(fEnd - fCur);
  }
  const char* data() const { return fCur; }
  bool ready(size_t n) const { return static_cast<size_t>(fEnd - fCur) >= n; }
  // Passes `n` available characters, `lines` of them line ends.
  void advance(size_t n, int lines = 0) {
    fCur += n;
    fLine += lines;
  }
  int line() const { return fLine; }
  bool failed() const { return fIn && fIn->bad(); }
  // Bytes consumed so far, and the size of the whole input (0 if unknown).
  size_t offset() const { return fDiscarded + static_cast<size_t>(fCur - fStart); }
  size_t total() const { return fTotal; }

private:
  // Makes at least `want` characters available unless the input ends first.
  bool fill(size_t want) {
    if (!fIn || fIn->bad()) return false;
    size_t rest = static_cast<size_t>(fEnd - fCur);
    fDiscarded += static_cast<size_t>(fCur - fStart);
    if (rest > 0 && fCur != fBuf.data()) std::memmove(fBuf.data(), fCur, rest);
    fStart = fCur = fBuf.data();
    fEnd = fCur + rest;
    while (static_cast<size_t>(fEnd - fCur) < want && *fIn) {
      fIn->read(fBuf.data() + (fEnd - fCur), static_cast<std::streamsize>(fBuf.size() - static_cast<size_t>(fEnd - fCur)));
      fEnd += fIn->gcount();
      if (fIn->gcount() == 0) break;
    }
    return static_cast<size_t>(fEnd - fCur) >= want;
  }

  std::istream* fIn = nullptr;
  std::vector<char> fBuf;
  const char* fStart = nullptr;  // fBuf's start, or the text's
  const char* fCur = nullptr;
  const char* fEnd = nullptr;
  size_t fDiscarded = 0;  // bytes before fStart
  size_t fTotal = 0;
  int fLine = 1;
};

constexpr bool isDigit(char c) { return static_cast<unsigned>(c - '0') < 10; }

// A decimal whose significant digits fit in 53 bits and whose power of ten is
// exact (nearly every number a file holds), converted with one correctly
// rounded multiplication or division, which gives what a full conversion
// gives; false for the others and for anything but a plain decimal.
bool shortDecimal(const char* p, const char* e, bool negative, double& out) {
  static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                       1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  uint64_t mantissa = 0;
  int significant = 0, scale = 0;
  bool any = false;
  auto take = [&](char c) {
    any = true;
    if (mantissa == 0 && c == '0') return true;
    if (++significant > 18) return false;
    mantissa = mantissa * 10 + static_cast<unsigned>(c - '0');
    return true;
  };
  for (; p < e && isDigit(*p); ++p)
    if (!take(*p)) return false;
  if (p < e && *p == '.')
    for (++p; p < e && isDigit(*p); ++p, --scale)
      if (!take(*p)) return false;
  if (!any) return false;
  if (p < e && (*p == 'e' || *p == 'E')) {
    ++p;
    const bool down = p < e && *p == '-';
    if (p < e && (*p == '-' || *p == '+')) ++p;
    if (p == e || !isDigit(*p)) return false;
    int exponent = 0;
    for (; p < e && isDigit(*p); ++p) exponent = std::min(exponent * 10 + (*p - '0'), 100000);
    scale += down ? -exponent : exponent;
  }
  if (p != e || mantissa > (uint64_t{1} << 53)) return false;
  double v = static_cast<double>(mantissa);
  if (mantissa != 0) {
    if (scale < -22 || scale > 22) return false;
    v = scale < 0 ? v / kPowers[-scale] : v * kPowers[scale];
  }
  out = negative ? -v : v;
  return true;
}

// A number as MEL writes it: digits with an optional sign, point and exponent.
bool parseNumber(std::string_view s, double& out) {
  const char* b = s.data();
  const char* e = b + s.size();
  if (b != e && *b == '+') ++b;
  const char* digits = b != e && *b == '-' ? b + 1 : b;
  if (digits == e || !(isDigit(*digits) || *digits == '.')) return false;
  if (shortDecimal(digits, e, digits != b, out)) return true;
  auto [p, ec] = std::from_chars(b, e, out);
  return ec == std::errc() && p == e;
}

// ------------------------------------------------------------------ lexer

enum class Tok { End, Semi, Word, String, LBrace, RBrace, Comma };

struct Token {
  Tok kind = Tok::End;
  std::string text;
  int line = 0;
};

// Character classes, by byte: blanks, and the characters that end a word.
constexpr uint8_t kBlank = 1, kEndsWord = 2;
constexpr std::array<uint8_t, 256> kClasses = [] {
  std::array<uint8_t, 256> c{};
  for (unsigned char b : {' ', '\t', '\n', '\r', '\f', '\v'}) c[b] = kBlank | kEndsWord;
  for (unsigned char b : {';', '"', '{', '}', '(', ')', ','}) c[b] = kEndsWord;
  return c;
}();

inline bool isSpace(int c) { return c >= 0 && (kClasses[static_cast<unsigned char>(c)] & kBlank) != 0; }
inline bool endsWord(char c) { return (kClasses[static_cast<unsigned char>(c)] & kEndsWord) != 0; }

// MEL tokens: bare words (numbers, flags, yes/no, names), strings with escapes
// (a parenthesised "a" + "b" concatenation is one string), ';' and the braces
// and commas of an attribute alias list. Comments run from "//" to the end of
// the line.
class Lexer {
public:
  explicit Lexer(Source& src) : fSrc(src) {}

  Token& peek() {
    if (!fHave) {
      lex(fTok);
      fHave = true;
    }
    return fTok;
  }
  void consume() { fHave = false; }
  int line() const { return fSrc.line(); }

  // A number where the next token is one ("12", "-0.5", "1e-3"), read from the
  // characters without making a token; false, with nothing consumed, when the
  // next token is something else. `text` is the number as written, valid until
  // the lexer moves on.
  bool number(double& out, std::string_view& text) {
    if (fHave) return false;
    skipBlank();
    // Numbers in files are short; a longer token takes the general path.
    constexpr size_t kLongest = 64;
    const size_t n = fSrc.available(kLongest + 1);
    const char* b = fSrc.data();
    const char* end = b + n;
    const char* p = b;
    if (p < end && (*p == '-' || *p == '+')) ++p;
    // Whole numbers, most of a mesh, without the general conversion.
    const char* digits = p;
    uint64_t whole = 0;
    while (p < end && static_cast<unsigned>(*p - '0') < 10) whole = whole * 10 + static_cast<unsigned>(*p++ - '0');
    if (p > digits && p - digits <= 15 && (p < end ? endsWord(*p) : n <= kLongest)) {
      out = *b == '-' ? -static_cast<double>(whole) : static_cast<double>(whole);
    } else {
      while (p < end && !endsWord(*p)) ++p;
      if (p == b || (p == end && n > kLongest)) return false;
      if (!parseNumber(std::string_view(b, static_cast<size_t>(p - b)), out)) return false;
    }
    text = std::string_view(b, static_cast<size_t>(p - b));
    fSrc.advance(static_cast<size_t>(p - b));
    return true;
  }

private:
  void skipBlank() {
    // Most often one blank, then a token.
    if (fSrc.ready(2)) {
      const char* p = fSrc.data();
      const bool first = (kClasses[static_cast<unsigned char>(p[0])] & kBlank) != 0;
      if (!first && p[0] != '/') return;
      if (first && p[0] != '\n' && !(kClasses[static_cast<unsigned char>(p[1])] & kBlank) && p[1] != '/') {
        fSrc.advance(1);
        return;
      }
    }
    skipBlanks();
  }

  void skipBlanks() {
    bool comment = false;
    for (;;) {
      const size_t n = fSrc.available(2);
      if (n == 0) return;
      const char* b = fSrc.data();
      const char* end = b + n;
      const char* p = b;
      int lines = 0;
      bool stop = false;
      while (p < end) {
        if (comment) {
          const void* nl = std::memchr(p, '\n', static_cast<size_t>(end - p));
          if (!nl) {
            p = end;
            break;
          }
          p = static_cast<const char*>(nl);
          comment = false;
          continue;
        }
        const char c = *p;
        if (c == '\n') {
          ++lines;
          ++p;
        } else if (isSpace(static_cast<unsigned char>(c))) {
          ++p;
        } else if (c == '/' && p + 1 < end && p[1] == '/') {
          comment = true;
          p += 2;
        } else if (c == '/' && p + 1 == end && p != b) {
          break;  // the next block tells whether a comment starts here
        } else {
          stop = true;
          break;
        }
      }
      fSrc.advance(static_cast<size_t>(p - b), lines);
      if (stop) return;
    }
  }

  void readString(std::string& out, int startLine) {
    fSrc.get();  // the opening quote
    for (;;) {
      int c = fSrc.get();
      if (c < 0) throw ReadError{startLine, "unterminated string: expected a closing '\"'"};
      if (c == '"') return;
      if (c == '\\') {
        int e = fSrc.get();
        if (e < 0) throw ReadError{startLine, "unterminated string: expected a closing '\"'"};
        switch (e) {
          case 'n': c = '\n'; break;
          case 't': c = '\t'; break;
          case 'r': c = '\r'; break;
          default: c = e; break;  // \" \\ and any other character stand for themselves
        }
      }
      out.push_back(static_cast<char>(c));
    }
  }


  void lex(Token& t) {
    skipBlank();
    t.text.clear();
    t.line = fSrc.line();
    int c = fSrc.peek();
    switch (c) {
      case -1:
        if (fSrc.failed()) throw ReadError{t.line, "the file could not be read to its end"};
        t.kind = Tok::End;
        return;
      case ';': t.kind = Tok::Semi; fSrc.get(); return;
      case '{': t.kind = Tok::LBrace; fSrc.get(); return;
      case '}': t.kind = Tok::RBrace; fSrc.get(); return;
      case ',': t.kind = Tok::Comma; fSrc.get(); return;
      case '"':
        t.kind = Tok::String;
        readString(t.text, t.line);
        return;
      case '(':
        // ("a" + "b" + ...): strings joined; nothing else may nest inside.
        t.kind = Tok::String;
        fSrc.get();
        for (;;) {
          skipBlank();
          if (fSrc.peek() != '"') throw ReadError{fSrc.line(), "expected a string inside '( ... )'"};
          readString(t.text, fSrc.line());
          skipBlank();
          int d = fSrc.get();
          if (d == ')') return;
          if (d != '+') throw ReadError{fSrc.line(), "expected '+' or ')' after a string inside '( ... )'"};
        }
      case ')': throw ReadError{t.line, "unexpected ')'"};
      default:
        t.kind = Tok::Word;
        for (;;) {
          const size_t n = fSrc.available(1);
          const char* b = fSrc.data();
          const char* e = b;
          while (e < b + n && !endsWord(*e)) ++e;
          t.text.append(b, static_cast<size_t>(e - b));
          fSrc.advance(static_cast<size_t>(e - b));
          if (e < b + n || n == 0) return;
        }
    }
  }

  Source& fSrc;
  Token fTok;
  bool fHave = false;
};

// ------------------------------------------------------------------ small helpers

bool isFlag(std::string_view s) { return s.size() >= 2 && s[0] == '-' && std::isalpha(static_cast<unsigned char>(s[1])); }

bool isIdentifier(std::string_view s) {
  if (s.empty() || !(std::isalpha(static_cast<unsigned char>(s[0])) || s[0] == '_')) return false;
  return std::all_of(s.begin(), s.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; });
}

bool isBoolWord(std::string_view s) {
  return s == "on" || s == "off" || s == "yes" || s == "no" || s == "true" || s == "false" || s == "1" || s == "0";
}

bool integral(double d, long long lo, long long hi) {
  // Within the range (which NaN never is), a whole number survives the cast.
  return d >= static_cast<double>(lo) && d <= static_cast<double>(hi) &&
         static_cast<double>(static_cast<long long>(d)) == d;
}

// Maya's default nodes that files select or connect to as ":name", with their
// types, beyond those the host creates itself.
const char* defaultNodeType(std::string_view name) {
  static const std::unordered_map<std::string_view, const char*> types = {
      {"time1", "time"},
      {"sequenceManager1", "sequenceManager"},
      {"hardwareRenderingGlobals", "hardwareRenderingGlobals"},
      {"renderPartition", "partition"},
      {"characterPartition", "partition"},
      {"renderGlobalsList1", "renderGlobalsList"},
      {"defaultLightList1", "defaultLightList"},
      {"defaultShaderList1", "defaultShaderList"},
      {"postProcessList1", "postProcessList"},
      {"defaultRenderUtilityList1", "defaultRenderUtilityList"},
      {"defaultRenderingList1", "defaultRenderingList"},
      {"lightList1", "lightList"},
      {"defaultTextureList1", "defaultTextureList"},
      {"lambert1", "lambert"},
      {"standardSurface1", "standardSurface"},
      {"particleCloud1", "particleCloud"},
      {"initialShadingGroup", "shadingEngine"},
      {"initialParticleSE", "shadingEngine"},
      {"initialMaterialInfo", "materialInfo"},
      {"defaultRenderGlobals", "renderGlobals"},
      {"defaultResolution", "resolution"},
      {"defaultLightSet", "objectSet"},
      {"defaultObjectSet", "objectSet"},
      {"hardwareRenderGlobals", "hwRenderGlobals"},
      {"defaultHardwareRenderGlobals", "hwRenderGlobals"},
      {"ikSystem", "ikSystem"},
      {"defaultColorMgtGlobals", "colorManagementGlobals"},
      {"strokeGlobals", "strokeGlobals"},
      {"globalCacheControl", "globalCacheControl"},
      {"dof1", "dof"},
      {"shaderGlow1", "shaderGlow"},
      {"defaultViewColorManager", "viewColorManager"},
      {"lightLinker1", "lightLinker"},
  };
  auto it = types.find(name);
  return it != types.end() ? it->second : nullptr;
}

// A plug as written in a statement, split where the reader needs it: the node
// part, the top attribute name, and the one index range "[a:b]" if any.
struct PlugText {
  std::string node;     // empty for a plug relative to the current node
  std::string topAttr;  // first attribute name of the path
  std::string lastAttr; // last attribute name of the path
  bool lastIndexed = false;
  bool hasRange = false;
  bool rangeOnLast = false;
  long long first = 0, last = 0;  // the range, if any
  long long lastFirst = 0;        // first index of the last attribute, if indexed
  size_t rangeOpen = 0, rangeClose = 0;  // positions of '[' and ']' of the range
};

// ------------------------------------------------------------------ reader

class Reader {
public:
  Reader(Source& src, const std::string& fileName, const MayaAsciiOptions& options, MayaAsciiResult& result)
      : fSrc(src), fLex(src), fFile(fileName), fOptions(options), fResult(result), fScene(Scene::get()),
        fRoot(this), fScope(&fOwnScope), fLoader(std::make_unique<ReferenceLoader>(options, result, fileName)) {}
  // A file read on behalf of `root`'s read (a referenced file, or the text of
  // a reference edit): it shares the root's warnings and work budget.
  Reader(Source& src, const std::string& fileName, const MayaAsciiOptions& options, Reader& root,
         ReferenceScope& scope)
      : fSrc(src), fLex(src), fFile(fileName), fOptions(options), fResult(root.fResult), fScene(Scene::get()),
        fRoot(&root), fScope(&scope) {}

  void run() {
    // A byte order mark, which some editors add when saving, is skipped.
    if (fSrc.peek(0) == 0xEF && fSrc.peek(1) == 0xBB && fSrc.peek(2) == 0xBF)
      for (int i = 0; i < 3; ++i) fSrc.get();
    static const char kMagic[] = "//Maya";
    for (size_t i = 0; i + 1 < sizeof kMagic; ++i)
      if (fSrc.peek(i) != kMagic[i]) throw ReadError{1, "expected a Maya ASCII file starting with '//Maya'"};
    if (fOptions.resetScene) fScene.reset();
    fScene.setCurrentUnit("centimeter", "degree");  // what a file means until it says otherwise
    if (fOptions.defaultNodes) fScene.ensureDefaultNodes();
    for (;;) {
      Token& t = fLex.peek();
      if (t.kind == Tok::End) break;
      if (t.kind != Tok::Word || !isIdentifier(t.text))
        throw ReadError{t.line, "expected a command name, found " + describe(t)};
      std::string command = std::move(t.text);
      fLine = t.line;
      fLex.consume();
      ++fResult.stats.statements;
      execute(command);
      if (fOptions.progress && fSrc.offset() >= fNextProgress) {
        fOptions.progress(fSrc.offset(), fSrc.total());
        fNextProgress = fSrc.offset() + std::max<size_t>(fOptions.progressStep, 1);
      }
    }
    applyReferenceEdits();
    if (fOptions.progress) fOptions.progress(fSrc.offset(), fSrc.total());
  }

private:
  // ---------------------------------------------------------------- reporting

  std::string where(int line) const { return fFile + ":" + std::to_string(line) + ": "; }

  void warn(const std::string& kind, const std::string& what) {
    // A hostile file could name a new kind in every statement; past a limit
    // they share one entry.
    static const std::string kOther = "other warnings";
    auto& index = fRoot->fWarningIndex;
    if (fResult.warnings.size() >= kMaxWarningKinds && kind != kOther && !index.count(kind))
      return warn(kOther, "more kinds of warnings than can be listed");
    auto [it, added] = index.emplace(kind, fResult.warnings.size());
    if (added) fResult.warnings.push_back({where(fLine) + what, kind, 0});
    ++fResult.warnings[it->second].count;
  }

  // A statement the host refused: a warning (an error in strict mode).
  void hostFailure(const std::string& kind) {
    std::string what = kind + ": " + fScene.lastError();
    if (fOptions.strict) throw ReadError{fLine, what};
    warn(kind, what);
  }

  static std::string describe(const Token& t) {
    switch (t.kind) {
      case Tok::End: return "the end of the file";
      case Tok::Semi: return "';'";
      case Tok::LBrace: return "'{'";
      case Tok::RBrace: return "'}'";
      case Tok::Comma: return "','";
      case Tok::String: return "\"" + t.text.substr(0, 40) + "\"";
      case Tok::Word: return "'" + t.text.substr(0, 40) + "'";
    }
    return "?";
  }

  [[noreturn]] void unterminated(const std::string& command) {
    throw ReadError{fLine, "unterminated '" + command + "' statement: expected ';'"};
  }

  // ---------------------------------------------------------------- host work

  // What the file has attached to a node so far.
  struct NodeLoad {
    uint64_t in = 0, out = 0, children = 0;
  };
  // Elements written so far to one array plug, and the largest index.
  struct ArrayLoad {
    long long max = -1;
    uint64_t count = 0;
  };

  NodeLoad& loadOf(const MObject& node) { return fRoot->fLoads[node.object().get()]; }

  // Walking a node's connections or children costs more per step (scattered
  // nodes) than scanning a list of connections.
  static constexpr uint64_t kWalkCost = 8;

  void spend(uint64_t steps, const std::string& what) {
    uint64_t& work = fRoot->fWork;
    work += steps;
    if (work > fOptions.maxHostWork)
      throw ReadError{fLine, "the scene would make the host work too long (" + what +
                                 "); raise MayaAsciiOptions::maxHostWork to read it", true};
  }

  // A change to a node walks its outgoing connections and DAG children.
  void spendChange(const MObject& node) {
    if (node.isNull()) return;
    const NodeLoad& n = loadOf(node);
    spend(kWalkCost * (n.out + n.children), "changes to a node with many connections or children");
  }

  // Elements inserted before existing ones move those after them. `plug`
  // ends with the index or range of the array written, elements first..last.
  void spendArray(const MObject& node, const std::string& plug, long long first, long long last) {
    const void* id = node.object().get();
    std::string key(static_cast<const char*>(static_cast<const void*>(&id)), sizeof id);
    key.append(plug, 0, plug.rfind('['));
    ArrayLoad& a = fRoot->fArrays[key];
    if (first <= a.max) spend(a.count, "array elements written in descending order");
    a.count += static_cast<uint64_t>(last - first + 1);
    a.max = std::max(a.max, last);
  }

  // ---------------------------------------------------------------- statements

  // The tokens of a statement up to its ';'.
  void collect(const std::string& command, std::vector<Token>& out) {
    out.clear();
    for (;;) {
      Token& t = fLex.peek();
      if (t.kind == Tok::End) unterminated(command);
      if (t.kind == Tok::Semi) {
        fLex.consume();
        return;
      }
      if (out.size() >= kMaxCommandTokens)
        throw ReadError{fLine, "'" + command + "' statement with more than " + std::to_string(kMaxCommandTokens) +
                                   " arguments"};
      out.push_back(std::move(t));
      fLex.consume();
    }
  }

  void skip(const std::string& command) {
    for (;;) {
      Token& t = fLex.peek();
      if (t.kind == Tok::End) unterminated(command);
      fLex.consume();
      if (t.kind == Tok::Semi) return;
    }
  }

  // Splits statement tokens into flags (each with its value, if it takes
  // one) and positional arguments. `valued` lists the flags that take a value;
  // `optionalBool` those that may be followed by on/off.
  struct Flags {
    std::vector<std::pair<std::string, const Token*>> flags;
    std::vector<const Token*> args;
    bool has(std::initializer_list<const char*> names) const {
      for (const auto& f : flags)
        for (const char* n : names)
          if (f.first == n) return true;
      return false;
    }
    const Token* value(std::initializer_list<const char*> names) const {
      for (const auto& f : flags)
        for (const char* n : names)
          if (f.first == n) return f.second;
      return nullptr;
    }
  };

  Flags split(const std::string& command, const std::vector<Token>& tokens,
              std::initializer_list<const char*> valued, std::initializer_list<const char*> optionalBool,
              std::initializer_list<const char*> bare) {
    Flags f;
    auto in = [](std::initializer_list<const char*> list, const std::string& s) {
      return std::any_of(list.begin(), list.end(), [&](const char* n) { return s == n; });
    };
    for (size_t i = 0; i < tokens.size(); ++i) {
      const Token& t = tokens[i];
      if (t.kind == Tok::Word && isFlag(t.text)) {
        const Token* value = nullptr;
        if (in(valued, t.text)) {
          if (i + 1 >= tokens.size() || tokens[i + 1].kind == Tok::LBrace || tokens[i + 1].kind == Tok::RBrace ||
              tokens[i + 1].kind == Tok::Comma)
            throw ReadError{fLine, command + " " + t.text + ": expected a value"};
          value = &tokens[++i];
        } else if (in(optionalBool, t.text)) {
          if (i + 1 < tokens.size() && tokens[i + 1].kind == Tok::Word && isBoolWord(tokens[i + 1].text))
            value = &tokens[++i];
        } else if (!in(bare, t.text)) {
          warn("unknown flag " + command + " " + t.text, "unknown flag " + t.text + " of " + command + " (ignored)");
        }
        f.flags.emplace_back(t.text, value);
      } else if (t.kind == Tok::Word || t.kind == Tok::String) {
        f.args.push_back(&t);
      } else {
        throw ReadError{fLine, command + ": unexpected " + describe(t)};
      }
    }
    return f;
  }

  void execute(const std::string& command) {
    if (command == "setAttr") return setAttr();
    if (command == "createNode") return createNode();
    if (command == "connectAttr") return connectAttr(false);
    if (command == "disconnectAttr") return connectAttr(true);
    if (command == "addAttr") return addAttr();
    if (command == "rename") return rename();
    if (command == "parent") return parent();
    if (command == "select") return select();
    if (command == "currentUnit") return currentUnit();
    if (command == "file") return file();
    if (command == "requires") return requiresStatement();
    // Statements that do not change what the host keeps: plug-in and file
    // information, light links, node locks, data structure declarations.
    if (command == "fileInfo" || command == "relationship" || command == "lockNode" ||
        command == "dataStructure" || command == "workspace")
      return skip(command);
    warn("unknown statement '" + command + "'", "unknown statement '" + command + "' (skipped)");
    skip(command);
  }

  // requires maya "2018ff08": the version that saved the file, which decides
  // a few primitives' UV layouts. Plug-in requirements change nothing.
  void requiresStatement() {
    collect("requires", fTokens);
    if (fTokens.size() < 2 || fTokens[0].text != "maya") return;
    const std::string& version = fTokens[1].text;
    int year = 0;
    for (char c : version) {
      if (c < '0' || c > '9' || year > 100000) break;
      year = year * 10 + (c - '0');
    }
    // Versions before 2008 were numbered 1 to 8.5.
    if (year > 0 && year < 1000) year = 2007;
    if (year > 0) fScene.setMayaVersion(year);
  }

  void currentUnit() {
    collect("currentUnit", fTokens);
    Flags f = split("currentUnit", fTokens, {"-l", "-linear", "-a", "-angle", "-t", "-time"}, {}, {});
    // The host converts later angle values (degrees or radians) and works in
    // centimetres; it refuses other linear units.
    const Token* linear = f.value({"-l", "-linear"});
    const Token* angle = f.value({"-a", "-angle"});
    if (!fScene.setCurrentUnit(linear ? linear->text : std::string(), angle ? angle->text : std::string()))
      throw ReadError{fLine, fScene.lastError()};
    if (angle) fAngleUnit = angle->text;
    // Time units do not change stored values the exporter reads.
  }

  // "file -r" loads a referenced file where the statement stands. Maya also
  // writes "file -rdi N" lines that describe each reference (nested ones
  // included); they name the same references as the -r lines, which do the
  // loading, so they load nothing. Maya marks every -r line "-dr 1" (it
  // loads references once the file is read); every reference is loaded here,
  // so the flag changes nothing.
  void file() {
    collect("file", fTokens);
    Flags f = split("file", fTokens,
                    {"-rfn", "-referenceNode", "-ns", "-namespace", "-typ", "-type", "-op", "-options", "-dr",
                     "-deferReference", "-rpr", "-renamingPrefix", "-rdi", "-referenceDepthInfo", "-shd",
                     "-sharedNodes", "-lrd", "-loadReferenceDepth"},
                    {"-r", "-reference", "-dns", "-defaultNamespace", "-gl", "-groupLocator", "-gr", "-groupReference",
                     "-mnc", "-mergeNamespacesOnClash", "-pmt", "-prompt", "-lck", "-lockReference", "-iv",
                     "-ignoreVersion"},
                    {});
    FileStatement statement;
    statement.reference = f.has({"-r", "-reference"});
    if (const Token* t = f.value({"-rdi", "-referenceDepthInfo"})) {
      double depth = 0;
      if (!parseNumber(t->text, depth) || !integral(depth, 1, 1 << 16))
        throw ReadError{fLine, "file -rdi: expected a reference depth, found '" + t->text.substr(0, 40) + "'"};
      statement.depthInfo = static_cast<int>(depth);
    }
    if (!statement.reference && statement.depthInfo == 0)
      return warn("file statement", "'file' statement without a reference (skipped)");
    if (f.args.size() != 1) throw ReadError{fLine, "file: expected one file name"};
    statement.path = f.args[0]->text;
    if (const Token* t = f.value({"-ns", "-namespace"})) statement.nameSpace = t->text;
    if (const Token* t = f.value({"-rfn", "-referenceNode"})) statement.node = t->text;
    if (const Token* t = f.value({"-typ", "-type"})) statement.type = t->text;
    if (f.has({"-rpr", "-renamingPrefix"}))
      warn("file -rpr", "renaming prefixes (file -rpr) are not supported: the reference loads into a namespace");
    if (!statement.reference) return;
    std::string warning = fRoot->fLoader->load(statement, where(fLine), fFile, *fScope,
                                               [this](const std::string& path, ReferenceScope& scope) {
                                                 return readReference(path, scope);
                                               });
    if (!warning.empty()) warn(warning, warning);
  }

  // Every reference costs a share of the work budget, so that files that
  // reference each other many times over cannot make loading exponential.
  static constexpr uint64_t kReferenceCost = uint64_t{1} << 16;

  // Reads a referenced file into `scope`; returns "" or why it failed.
  std::string readReference(const std::string& path, ReferenceScope& scope) {
    spend(kReferenceCost, "references loaded");
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return "cannot open the file";
    std::streamoff size = in.tellg();
    in.seekg(0);
    Source src(in, size > 0 ? static_cast<size_t>(size) : 0);
    MayaAsciiOptions options = fOptions;
    options.resetScene = false;
    options.defaultNodes = false;
    options.progress = nullptr;
    Reader reader(src, path, options, *fRoot, scope);
    std::string error;
    try {
      reader.run();
    } catch (ReadError& e) {
      if (e.fatal) {
        if (e.file.empty()) e.file = path;
        throw;
      }
      error = path + ":" + std::to_string(e.line) + ": " + e.what;
    }
    // The referenced file may have changed the units of the values that follow.
    fScene.setCurrentUnit("", fAngleUnit);
    return error;
  }

  static bool isReferenceNodeType(const std::string& type) { return type == "reference" || type == "fosterParent"; }

  std::string qualifiedNode(const std::string& written) const { return fScope->names.node(written); }
  std::string qualifiedPlug(const std::string& written) const { return fScope->names.plug(written); }

  void recordReferenceEdits(const MObject& node) {
    std::vector<ReferenceEdit> edits;
    std::string error;
    if (!parseReferenceEdits(args(), edits, error))
      warn("malformed reference edits", "reference edits of '" + std::string(MFnDependencyNode(node).name().asChar()) +
                                            "': " + error + " (the edits after it are ignored)");
    for (ReferenceEdit& edit : edits) fScope->edits.push_back({std::move(edit), fLine});
  }

  // The edits this file's reference nodes recorded, in file order, once its
  // references have loaded and its own statements have run (the nodes an edit
  // names may be the file's own, and placeholders are connected last).
  void applyReferenceEdits() {
    std::vector<ReferenceScope::PendingEdit> edits = std::move(fScope->edits);
    fScope->edits.clear();
    for (const ReferenceScope::PendingEdit& pending : edits) {
      const ReferenceEdit& edit = pending.edit;
      fLine = pending.line;
      if (edit.kind == ReferenceEdit::Kind::Ignored) continue;
      std::string group = qualifiedNode(edit.group);
      if (!fRoot->fLoader->editsApply(group)) continue;  // its reference was not loaded
      std::vector<std::string> targets = editTargets(edit);
      auto missing = std::find_if(targets.begin(), targets.end(),
                                  [&](const std::string& target) { return resolveNode(qualifiedNode(target)).isNull(); });
      if (missing != targets.end()) {
        warn("reference edit on a missing node", "reference edit of '" + group + "' names '" + qualifiedNode(*missing) +
                                                     "', which the scene does not hold (skipped)");
        continue;
      }
      if (edit.kind == ReferenceEdit::Kind::Placeholder) {
        std::string error;
        if (!connectThroughPlaceholder(qualifiedPlug(edit.fields[0]), qualifiedPlug(edit.fields[1]), error)) {
          std::string what = "reference edit of '" + group + "' refused: " + error;
          if (fOptions.strict) throw ReadError{fLine, what};
          warn("reference edit refused", what);
        }
        continue;
      }
      runEditStatement(editStatement(edit));
    }
  }

  // Runs the one statement an edit stands for, with this file's names.
  void runEditStatement(const std::string& text) {
    Source src(text);
    Reader reader(src, fFile, fOptions, *fRoot, *fScope);
    reader.fLine = fLine;
    try {
      Token& t = reader.fLex.peek();
      std::string command = std::move(t.text);
      reader.fLex.consume();
      reader.execute(command);
      if (reader.fLex.peek().kind != Tok::End) throw ReadError{fLine, "expected one statement"};
    } catch (const ReadError& e) {
      if (e.fatal || fOptions.strict) throw;
      warn("malformed reference edit", "reference edit '" + text.substr(0, 80) + "': " + e.what + " (skipped)");
    }
  }

  // ":name" names a default node; one the scene lacks is created, as Maya's
  // scenes always hold them.
  MObject resolveNode(const std::string& name) {
    MObject node = fScene.findNode(name);
    if (!node.isNull() || name.size() < 2 || name[0] != ':' || name.find_first_of("|.:", 1) != std::string::npos)
      return node;
    std::string bare = name.substr(1);
    const char* type = defaultNodeType(bare);
    if (!type) {
      warn("unknown default node", "unknown default node '" + name + "' (created as a generic node)");
      type = "unknown";
    }
    return fScene.createNode(type, bare);
  }

  // The node part of "node.attr[..]", the way the host splits it.
  static std::string nodePart(const std::string& plug) {
    size_t bar = plug.rfind('|');
    size_t dot = plug.find('.', bar == std::string::npos ? 0 : bar);
    return plug.substr(0, dot);
  }

  // Splits and checks a plug: every index is N or N:M within what the host
  // keeps, with at most one range.
  PlugText parsePlug(const std::string& plug, bool relative) {
    PlugText p;
    size_t pos = 0;
    if (relative) {
      pos = plug.empty() || plug[0] != '.' ? 0 : 1;
    } else {
      p.node = nodePart(plug);
      if (p.node.size() == plug.size()) throw ReadError{fLine, "expected 'node.attribute', found '" + plug + "'"};
      pos = p.node.size() + 1;
    }
    bool firstName = true;
    while (pos < plug.size()) {
      size_t end = plug.find_first_of(".[", pos);
      if (end == std::string::npos) end = plug.size();
      std::string name = plug.substr(pos, end - pos);
      if (name.empty()) throw ReadError{fLine, "expected an attribute name in '" + plug + "'"};
      if (firstName) p.topAttr = name;
      firstName = false;
      p.lastAttr = name;
      p.lastIndexed = false;
      pos = end;
      if (pos < plug.size() && plug[pos] == '[') {
        size_t close = plug.find(']', pos);
        if (close == std::string::npos) throw ReadError{fLine, "expected ']' in '" + plug + "'"};
        std::string inside = plug.substr(pos + 1, close - pos - 1);
        long long a = 0, b = 0;
        bool range = false;
        if (!parseIndex(inside, a, b, range))
          throw ReadError{fLine, "bad index [" + inside + "] in '" + plug + "': expected N or N:M, at most " +
                                     std::to_string(kMaxIndex)};
        if (range) {
          if (p.hasRange) throw ReadError{fLine, "more than one index range in '" + plug + "'"};
          p.hasRange = true;
          p.first = a;
          p.last = b;
          p.rangeOpen = pos;
          p.rangeClose = close;
        }
        p.lastIndexed = true;
        p.lastFirst = a;
        pos = close + 1;
        p.rangeOnLast = p.hasRange && p.rangeClose + 1 == pos;
      } else {
        p.rangeOnLast = false;
      }
      if (pos < plug.size()) {
        if (plug[pos] != '.') throw ReadError{fLine, "expected '.' or '[' in '" + plug + "'"};
        ++pos;
      }
    }
    if (p.topAttr.empty()) throw ReadError{fLine, "expected an attribute name in '" + plug + "'"};
    return p;
  }

  static bool parseIndex(std::string_view s, long long& a, long long& b, bool& range) {
    auto number = [](std::string_view t, long long& out) {
      if (t.empty() || !std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
      if (t.size() > 12) return false;
      out = std::stoll(std::string(t));
      return out <= kMaxIndex;
    };
    size_t colon = s.find(':');
    range = colon != std::string_view::npos;
    if (!range) return number(s, a) && (b = a, true);
    return number(s.substr(0, colon), a) && number(s.substr(colon + 1), b) && a <= b;
  }

  bool isGeneric(const MObject& node) const {
    MString type = MFnDependencyNode(node).typeName();
    return !fScene.knowsNodeType(type.asChar()) && type != "dependNode" && type != "dagNode";
  }

  // Warns once per node type and attribute name the host does not know; the
  // host still keeps the value as a generic attribute.
  void noteAttribute(const MObject& node, const std::string& attr) {
    if (node.isNull()) return;
    MFnDependencyNode fn(node);
    if (fn.hasAttribute(MString(attr.c_str())) || isGeneric(node)) return;
    std::string type = fn.typeName().asChar();
    warn("unknown attribute " + type + "." + attr,
         "unknown attribute '" + attr + "' on " + type + " (kept as a generic attribute)");
  }

  void createNode() {
    collect("createNode", fTokens);
    Flags f = split("createNode", fTokens, {"-n", "-name", "-p", "-parent"}, {}, {"-s", "-shared", "-ss", "-skipSelect"});
    if (f.args.size() != 1) throw ReadError{fLine, "createNode: expected one node type"};
    const std::string& type = f.args[0]->text;
    if (type.empty()) throw ReadError{fLine, "createNode: expected a node type"};
    const Token* name = f.value({"-n", "-name"});
    const Token* parent = f.value({"-p", "-parent"});
    bool shared = f.has({"-s", "-shared"});
    // A referenced file's shared nodes (its default cameras) are the scene's own.
    if (shared && name) fScope->names.keepShared(name->text);
    std::string parentName = parent ? qualifiedNode(parent->text) : std::string();
    fFacesNode = nullptr;
    fCurrent = fScene.createNode(type, name ? qualifiedNode(name->text) : std::string(), parentName, shared);
    if (fCurrent.isNull()) return hostFailure("createNode " + type);
    ++fResult.stats.nodes;
    if (parent) {
      MObject p = fScene.findNode(parentName);
      if (!p.isNull()) ++loadOf(p).children;
    }
    if (isGeneric(fCurrent) && !isReferenceNodeType(type)) warn("unknown node type '" + type + "'", "unknown node type '" + type + "' (kept as a generic node)");
  }

  void rename() {
    collect("rename", fTokens);
    Flags f = split("rename", fTokens, {"-uid", "-uuid"}, {}, {"-ignoreShape", "-is"});
    if (f.has({"-uid", "-uuid"})) return;  // node identifiers are not kept
    MObject node;
    std::string newName;
    if (f.args.size() == 1) {
      node = fCurrent;
      newName = f.args[0]->text;
    } else if (f.args.size() == 2) {
      node = resolveNode(qualifiedNode(f.args[0]->text));
      newName = f.args[1]->text;
    } else {
      throw ReadError{fLine, "rename: expected [OLD] NEW"};
    }
    if (node.isNull()) {
      warn("rename of a missing node", "rename: no node to rename");
      return;
    }
    if (!fScene.rename(node, qualifiedNode(newName))) hostFailure("rename");
  }

  void select() {
    collect("select", fTokens);
    Flags f = split("select", fTokens, {}, {}, {"-ne", "-noExpand", "-r", "-replace", "-add", "-af", "-d", "-cl", "-all"});
    // Only "select -ne NODE" matters in a file: the statements after it apply to NODE.
    if (!f.has({"-ne", "-noExpand"}) || f.args.size() != 1) return;
    fFacesNode = nullptr;
    std::string name = qualifiedNode(f.args[0]->text);
    fCurrent = resolveNode(name);
    if (fCurrent.isNull()) warn("select of a missing node", "select: no node named '" + name + "'");
  }

  void parent() {
    collect("parent", fTokens);
    Flags f = split("parent", fTokens, {}, {},
                    {"-s", "-shape", "-nc", "-noConnections", "-r", "-relative", "-a", "-absolute", "-add",
                     "-addObject", "-w", "-world", "-rm", "-removeObject", "-nis", "-noInvScale"});
    bool world = f.has({"-w", "-world"});
    bool add = f.has({"-add", "-addObject"});
    if (f.args.empty() || (!world && f.args.size() < 2)) throw ReadError{fLine, "parent: expected CHILD... PARENT"};
    size_t children = world ? f.args.size() : f.args.size() - 1;
    std::string parentName = world ? std::string() : qualifiedNode(f.args.back()->text);
    MObject p = world ? MObject() : fScene.findNode(parentName);
    for (size_t i = 0; i < children; ++i) {
      if (!p.isNull()) spend(kWalkCost * loadOf(p).children++, "DAG nodes with many children");
      if (!fScene.parent(qualifiedNode(f.args[i]->text), parentName, add)) hostFailure("parent");
    }
  }

  void connectAttr(bool disconnect) {
    const char* command = disconnect ? "disconnectAttr" : "connectAttr";
    collect(command, fTokens);
    Flags f = split(command, fTokens, {"-rd", "-referenceDest"}, {"-l", "-lock"},
                    {"-na", "-nextAvailable", "-f", "-force"});
    if (f.args.size() != 2) throw ReadError{fLine, std::string(command) + ": expected SOURCE and DESTINATION plugs"};
    const std::string src = qualifiedPlug(f.args[0]->text);
    const std::string dst = qualifiedPlug(f.args[1]->text);
    PlugText a = parsePlug(src, false), b = parsePlug(dst, false);
    MObject sn = resolveNode(a.node), dn = resolveNode(b.node);
    bool nextAvailable = f.has({"-na", "-nextAvailable"});
    if (!dn.isNull()) {
      // The host finds a destination's connection, and with -na its next free
      // element, by scanning the connections into its node.
      spend(loadOf(dn).in * (nextAvailable ? 2 : 1), "many connections into one node");
      spendChange(dn);
      if (!disconnect) ++loadOf(dn).in;
    }
    if (!sn.isNull() && !disconnect) ++loadOf(sn).out;
    bool ok;
    if (disconnect) {
      ok = fScene.disconnectAttr(src, dst);
    } else {
      noteAttribute(sn, a.topAttr);
      noteAttribute(dn, b.topAttr);
      if (nextAvailable) prepareArray(dn, b, dst.substr(b.node.size()));
      ok = fScene.connectAttr(src, dst, nextAvailable, f.has({"-f", "-force"}));
    }
    if (!ok) hostFailure(std::string(command) + " ." + a.lastAttr + " -> ." + b.lastAttr);
  }

  // A size hint ("setAttr -s 5 .st") or "-na" on an attribute the host does
  // not know yet (the member lists of default sets and partitions): the host
  // would create it as a single value, so every connection after the first
  // would collide. Naming element 0 first creates it as an array, whose next
  // free element the host then finds.
  void prepareArray(const MObject& node, const PlugText& p, const std::string& plug) {
    if (node.isNull() || p.lastIndexed || p.topAttr != p.lastAttr) return;
    if (MFnDependencyNode(node).hasAttribute(MString(p.topAttr.c_str()))) return;
    const Arg* none = nullptr;
    fScene.setAttr(node, plug + "[0]", std::span<const Arg>(none, size_t{0}));
  }

  // "setAttr -s N" on a multi that the statement's values, or the statements
  // after it, fill: room for N elements, never more than the range names or
  // the rest of the file could hold (two bytes an element at least).
  void reserve(const MObject& node, const PlugText& p, const std::string& plug, double count) {
    if (p.hasRange && !p.rangeOnLast) return;
    const size_t total = fSrc.total(), done = fSrc.offset();
    size_t limit = total == 0 ? size_t{1} << 16 : (total > done ? total - done : 0) / 2;
    if (p.hasRange) limit = std::min(limit, static_cast<size_t>(p.last - p.first + 1));
    const size_t n = count < static_cast<double>(limit) ? static_cast<size_t>(count) : limit;
    if (n > 0) fScene.reserve(node, p.lastIndexed ? plug.substr(0, plug.rfind('[')) : plug, n);
  }

  void addAttr() {
    collect("addAttr", fTokens);
    Flags f = split("addAttr", fTokens,
                    {"-ln", "-longName", "-sn", "-shortName", "-nn", "-niceName", "-at", "-attributeType", "-dt",
                     "-dataType", "-p", "-parent", "-dv", "-defaultValue", "-nc", "-numberOfChildren", "-min",
                     "-minValue", "-max", "-maxValue", "-smn", "-softMinValue", "-smx", "-softMaxValue", "-en",
                     "-enumName", "-ct", "-category", "-ci", "-cachedInternally", "-h", "-hidden", "-k", "-keyable",
                     "-is", "-internalSet", "-im", "-indexMatters", "-r", "-readable", "-w", "-writable", "-s",
                     "-storable", "-fn", "-fromPlugin", "-hxv", "-hnv", "-hsx", "-hsn", "-uaf"},
                    {}, {"-m", "-multi", "-uac", "-usedAsColor", "-uap", "-usedAsProxy"});
    AttrSpec spec;
    if (const Token* t = f.value({"-ln", "-longName"})) spec.longName = t->text;
    if (const Token* t = f.value({"-sn", "-shortName"})) spec.shortName = t->text;
    if (const Token* t = f.value({"-at", "-attributeType"})) spec.attributeType = t->text;
    if (const Token* t = f.value({"-dt", "-dataType"})) spec.dataType = t->text;
    if (const Token* t = f.value({"-p", "-parent"})) spec.parent = t->text;
    spec.multi = f.has({"-m", "-multi"});
    if (const Token* t = f.value({"-dv", "-defaultValue"}))
      if (!parseNumber(t->text, spec.defaultValue)) throw ReadError{fLine, "addAttr -dv: expected a number"};
    if (const Token* t = f.value({"-nc", "-numberOfChildren"})) {
      double n = 0;
      if (!parseNumber(t->text, n) || !integral(n, 0, 1 << 16)) throw ReadError{fLine, "addAttr -nc: expected a count"};
      spec.numberOfChildren = static_cast<int>(n);
    }
    if (spec.longName.empty()) throw ReadError{fLine, "addAttr: expected -ln NAME"};
    MObject node = fCurrent;
    if (f.args.size() == 1) node = resolveNode(qualifiedNode(f.args[0]->text));
    else if (f.args.size() > 1) throw ReadError{fLine, "addAttr: expected at most one node"};
    if (node.isNull()) {
      warn("addAttr without a node", "addAttr with no current node (skipped)");
      return;
    }
    if (!fScene.addAttr(node, spec)) hostFailure("addAttr " + std::string(MFnDependencyNode(node).typeName().asChar()) + "." + spec.longName);
  }

  // ---------------------------------------------------------------- setAttr

  // How a long value list may be cut into pieces that the host reads exactly as
  // it would read the whole list.
  enum class Pieces { None, Dense, Compact, PolyFaces };

  void setAttr() {
    std::string type;
    std::string plug;
    double sizeHint = -1;  // the count of -s, if given
    // Flags come before the plug; known ones may also follow it, as in the
    // setAttr a reference edit records ("node.t -type double3 1 2 3").
    for (;;) {
      Token& t = fLex.peek();
      if (t.kind == Tok::End) unterminated("setAttr");
      if (t.kind == Tok::Semi) throw ReadError{fLine, "setAttr: expected an attribute name"};
      if (t.kind == Tok::String || (t.kind == Tok::Word && !isFlag(t.text))) {
        plug = std::move(t.text);
        fLex.consume();
        break;
      }
      if (t.kind != Tok::Word) throw ReadError{fLine, "setAttr: unexpected " + describe(t)};
      std::string flag = std::move(t.text);
      fLex.consume();
      setAttrFlag(flag, type, sizeHint);
    }
    for (;;) {
      Token& t = fLex.peek();
      if (t.kind != Tok::Word || !isSetAttrFlag(t.text)) break;
      std::string flag = std::move(t.text);
      fLex.consume();
      setAttrFlag(flag, type, sizeHint);
    }

    bool relative = !plug.empty() && plug[0] == '.';
    if (!relative) plug = qualifiedPlug(plug);
    PlugText p = parsePlug(plug, relative);
    MObject node = relative ? fCurrent : resolveNode(p.node);
    bool usable = !node.isNull();
    if (!usable) {
      if (relative) warn("setAttr without a node", "setAttr with no current node (skipped)");
      else warn("setAttr on a missing node", "setAttr: no node named '" + p.node + "' (skipped)");
    } else {
      noteAttribute(node, p.topAttr);
    }

    fSet = SetState();
    fSet.node = node;
    fSet.plug = relative ? plug : plug.substr(p.node.size());
    fSet.type = type;
    fSet.text = p;
    fSet.pieces = usable ? piecesFor(node, p, type) : Pieces::None;
    fSet.pieceFirst = p.hasRange ? p.first : p.lastFirst;
    // Values the host turns into ints: edge vertex ids and rotate orders (a
    // reference node's ".ed" is its edits).
    fSet.wholeNumbers = type != "dataReferenceEdits" &&
                        (p.lastAttr == "ed" || p.lastAttr == "edge" || p.lastAttr == "ro" || p.lastAttr == "rotateOrder");
    if (fSet.pieces == Pieces::PolyFaces) checkFaceStart(node, p);

    if (usable && sizeHint >= 0) reserve(node, p, fSet.plug, sizeHint);
    fArgs.clear();
    fNumbers.clear();
    for (;;) {
      double number = 0;
      std::string_view text;
      if (fLex.number(number, text)) {
        addNumber(number, text, fLex.line());
        continue;
      }
      Token& t = fLex.peek();
      if (t.kind == Tok::End) unterminated("setAttr");
      if (t.kind == Tok::Semi) {
        fLex.consume();
        break;
      }
      if (t.kind == Tok::LBrace || t.kind == Tok::RBrace || t.kind == Tok::Comma) {
        // Braces and commas only group the strings of an attribute alias list.
        if (type.empty()) throw ReadError{t.line, "setAttr: unexpected " + describe(t)};
        fLex.consume();
        continue;
      }
      addValue(t);
      fLex.consume();
    }
    if (usable && type == "dataReferenceEdits") {
      recordReferenceEdits(node);
      usable = false;  // the edits are the reader's; the host keeps no value for them
    }
    if (usable && sizeHint >= 0 && valueCount() == 0) prepareArray(node, p, fSet.plug);
    if (usable) finishSetAttr();
    // A statement with millions of values leaves no lasting footprint.
    if (fArgs.capacity() > (size_t{1} << 20)) std::vector<Arg>().swap(fArgs);
    if (fNumbers.capacity() > (size_t{1} << 20)) std::vector<double>().swap(fNumbers);
  }

  static bool isSetAttrFlag(const std::string& flag) {
    static const char* const kFlags[] = {"-type", "-typ", "-s", "-size", "-ch", "-capacityHint", "-k", "-keyable",
                                         "-l", "-lock", "-cb", "-channelBox", "-ca", "-caching", "-av",
                                         "-alteredValue", "-c", "-clamp"};
    return std::any_of(std::begin(kFlags), std::end(kFlags), [&](const char* f) { return flag == f; });
  }

  void setAttrFlag(const std::string& flag, std::string& type, double& sizeHint) {
    if (flag == "-type" || flag == "-typ") {
      type = flagValue("setAttr", flag);
    } else if (flag == "-s" || flag == "-size" || flag == "-ch" || flag == "-capacityHint") {
      double n = 0;
      if (!parseNumber(flagValue("setAttr", flag), n)) throw ReadError{fLine, "setAttr " + flag + ": expected a number"};
      if (flag == "-s" || flag == "-size") sizeHint = std::max(n, 0.0);
    } else if (flag == "-k" || flag == "-keyable" || flag == "-l" || flag == "-lock" || flag == "-cb" ||
               flag == "-channelBox" || flag == "-ca" || flag == "-caching") {
      Token& v = fLex.peek();
      if (v.kind == Tok::Word && isBoolWord(v.text)) fLex.consume();
    } else if (!isSetAttrFlag(flag)) {
      warn("unknown flag setAttr " + flag, "unknown flag " + flag + " of setAttr (ignored)");
    }
  }

  std::string flagValue(const char* command, const std::string& flag) {
    Token& v = fLex.peek();
    if (v.kind != Tok::String && v.kind != Tok::Word)
      throw ReadError{fLine, std::string(command) + " " + flag + ": expected a value, found " + describe(v)};
    std::string out = std::move(v.text);
    fLex.consume();
    return out;
  }

  Pieces piecesFor(const MObject& node, const PlugText& p, const std::string& type) {
    if (type == "polyFaces") return Pieces::PolyFaces;
    static const char* const kTuples[] = {"double2", "double3", "float2", "float3", "long2", "long3", "short2", "short3"};
    bool tuple = std::any_of(std::begin(kTuples), std::end(kTuples), [&](const char* t) { return type == t; });
    if (!p.hasRange || (!type.empty() && !tuple))
      return Pieces::None;
    if (!p.lastIndexed) return type.empty() ? Pieces::Compact : Pieces::None;
    if (!p.rangeOnLast) return Pieces::None;
    // Dense values over a range: the element width comes from the attribute.
    MFnDependencyNode fn(node);
    MString name(p.lastAttr.c_str());
    if (isGeneric(node) || !fn.hasAttribute(name)) return Pieces::None;
    MPlug plug = fn.findPlug(name);
    if (plug.isNull()) return Pieces::None;
    unsigned children = plug.numChildren();
    if (children > 4) return Pieces::None;
    fSet.width = children == 0 ? 1 : children;
    return Pieces::Dense;
  }

  // Faces are stored densely by the host: a first face far past those already
  // given would make it allocate for every face in between.
  void checkFaceStart(const MObject& node, const PlugText& p) {
    if (fFacesNode != node.object().get()) {
      fFacesNode = node.object().get();
      fFaceCount = 0;
    }
    long long first = p.lastIndexed ? p.lastFirst : 0;
    if (first > fFaceCount)
      throw ReadError{fLine, "polyFaces start at face " + std::to_string(first) + " but only " +
                                 std::to_string(fFaceCount) + " faces precede them"};
  }

  size_t valueCount() const { return fArgs.size() + fNumbers.size(); }

  // The statement's values as tokens (numbers alone are kept apart until a
  // word or string comes).
  std::span<const Arg> args() {
    for (double n : fNumbers) fArgs.emplace_back(n);
    fNumbers.clear();
    return std::span<const Arg>(fArgs.data(), fArgs.size());
  }

  void checkValueCount() const {
    if (valueCount() >= fOptions.maxStatementValues)
      throw ReadError{fLine, "setAttr with more than " + std::to_string(fOptions.maxStatementValues) + " values"};
  }

  // A piece of a dense range ends before a value that starts a new element.
  void denseValue() {
    if (valueCount() >= fOptions.pieceValues && valueCount() % fSet.width == 0 &&
        pieceDue(static_cast<long long>(valueCount() / fSet.width)))
      flush(static_cast<long long>(valueCount() / fSet.width), false);
  }

  void addNumber(double number, std::string_view text, int line) {
    checkValueCount();
    if (fSet.wholeNumbers && !integral(number, INT_MIN, INT_MAX))
      throw ReadError{line, "setAttr ." + fSet.text.lastAttr + ": expected an integer, found " + std::string(text)};
    if (fSet.pieces == Pieces::Dense) denseValue();
    if (fSet.pieces == Pieces::Compact) compactValue(true, number);
    if (fSet.pieces == Pieces::PolyFaces) polyFacesValue(nullptr, true, number);
    if (fArgs.empty()) fNumbers.push_back(number);
    else fArgs.emplace_back(number);
  }

  void addValue(Token& t) {
    double number = 0;
    if (t.kind == Tok::Word && parseNumber(t.text, number)) return addNumber(number, t.text, t.line);
    checkValueCount();
    if (fSet.pieces == Pieces::Dense) denseValue();
    if (fSet.pieces == Pieces::Compact) compactValue(false, 0);
    if (fSet.pieces == Pieces::PolyFaces) polyFacesValue(&t.text, false, 0);
    args();
    if (t.kind == Tok::String) fArgs.emplace_back(std::move(t.text));
    else fArgs.push_back(Arg::word(std::move(t.text)));
  }

  // ".wl[0:7].w" then, per element, "N index value ...": counts and indices
  // must be whole numbers the host can keep.
  void compactValue(bool isNumber, double number) {
    if (!isNumber) {
      fSet.pieces = Pieces::None;  // not a weight list; the host judges it whole
      return;
    }
    if (fSet.pairsLeft == 0 && !fSet.expectValue) {
      if (pieceDue(fSet.elements)) flush(fSet.elements, false);
      if (!integral(number, 0, kMaxIndex)) throw ReadError{fLine, "setAttr: expected a count of weights"};
      fSet.pairsLeft = static_cast<long long>(number);
      if (fSet.pairsLeft == 0) ++fSet.elements;
      return;
    }
    if (!fSet.expectValue) {
      if (!integral(number, 0, kMaxIndex)) throw ReadError{fLine, "setAttr: expected a weight index"};
      fSet.expectValue = true;
      return;
    }
    fSet.expectValue = false;
    if (--fSet.pairsLeft == 0) ++fSet.elements;
  }

  // "f N e.. h N e.. mu S N uv.. mc S N c.." per face: every number must be an
  // integer; a new face may start a new piece.
  void polyFacesValue(const std::string* word, bool isNumber, double number) {
    if (isNumber) {
      if (!integral(number, INT_MIN + 1, INT_MAX)) throw ReadError{fLine, "polyFaces: expected an integer"};
      return;
    }
    if (*word == "f") {
      if (pieceDue(fSet.elements)) flush(fSet.elements, false);
      ++fSet.elements;
    }
  }

  // Sends the values gathered so far to the host as elements
  // [pieceFirst, pieceFirst + count) of the range.
  void flush(long long count, bool last) {
    const PlugText& p = fSet.text;
    std::string plug = fSet.plug;
    if (p.hasRange && !(last && fSet.pieceFirst == p.first)) {
      // fSet.plug starts where the node part of the written plug ended.
      size_t offset = p.node.size();
      long long end = last ? std::max(p.last, fSet.pieceFirst) : fSet.pieceFirst + count - 1;
      plug = fSet.plug.substr(0, p.rangeOpen - offset + 1) + std::to_string(fSet.pieceFirst) + ":" +
             std::to_string(end) + fSet.plug.substr(p.rangeClose - offset);
    }
    spendChange(fSet.node);
    if (p.rangeOnLast || (p.lastIndexed && !p.hasRange)) {
      // Elements this piece writes: as many as its values fill, at most the range.
      long long first = p.hasRange ? fSet.pieceFirst : p.lastFirst;
      long long filled = static_cast<long long>(std::max<size_t>(valueCount() / std::max(fSet.width, 1u), 1));
      long long end = p.hasRange ? std::min(last ? p.last : fSet.pieceFirst + count - 1, first + filled - 1) : first;
      spendArray(fSet.node, plug, first, std::max(first, end));
    }
    bool ok = fArgs.empty() ? fScene.setNumbers(fSet.node, plug, fNumbers, fSet.type)
                            : fScene.setAttr(fSet.node, plug, std::span<const Arg>(fArgs.data(), fArgs.size()), fSet.type);
    fArgs.clear();
    fNumbers.clear();
    fSet.pieceFirst += count;
    fSet.elements = 0;
    if (!ok) {
      fSet.failed = true;
      std::string type = MFnDependencyNode(fSet.node).typeName().asChar();
      hostFailure("setAttr " + type + "." + p.lastAttr + (fSet.type.empty() ? "" : " -type " + fSet.type));
    }
  }

  // A piece ends before `count` more elements only while the range still has
  // room after them, so that surplus values reach the host in the last piece.
  bool pieceDue(long long count) const {
    return fSet.text.hasRange && !fSet.failed && count > 0 && valueCount() >= fOptions.pieceValues &&
           fSet.pieceFirst + count - 1 < fSet.text.last;
  }

  void finishSetAttr() {
    if (fSet.failed) return;  // an earlier piece was refused; the rest would be too
    // An "xform" matrix record holds its rotate order as a whole number 0..5.
    if (fArgs.size() > 7 && fArgs[0].kind != Arg::Number && fArgs[0].text == "xform") {
      const Arg& ro = fArgs[7];
      if (ro.kind != Arg::Number || !integral(ro.number, 0, 5))
        throw ReadError{fLine, "matrix \"xform\": expected a rotate order 0 to 5"};
    }
    if (fSet.pieces == Pieces::PolyFaces) {
      long long first = fSet.text.lastIndexed ? fSet.text.lastFirst : 0;
      long long faces = fSet.pieceFirst - first + fSet.elements;
      fFaceCount = std::max(fFaceCount, first + faces);
    }
    flush(fSet.elements, true);
  }

  struct SetState {
    MObject node;
    std::string plug;  // relative to the node
    std::string type;
    PlugText text;
    Pieces pieces = Pieces::None;
    unsigned width = 1;
    long long pieceFirst = 0;  // first element of the piece being gathered
    long long elements = 0;    // whole elements gathered in it
    long long pairsLeft = 0;
    bool expectValue = false;
    bool failed = false;
    bool wholeNumbers = false;
  };

  Source& fSrc;
  Lexer fLex;
  std::string fFile;
  const MayaAsciiOptions& fOptions;
  MayaAsciiResult& fResult;
  Scene& fScene;
  Reader* fRoot;  // the reader of the opened scene, which holds what every file of the read shares
  ReferenceScope* fScope;
  std::unique_ptr<ReferenceLoader> fLoader;  // the root's
  ReferenceScope fOwnScope;
  std::string fAngleUnit = "degree";
  int fLine = 1;
  size_t fNextProgress = 0;
  MObject fCurrent;
  std::vector<Token> fTokens;
  std::vector<Arg> fArgs;
  std::vector<double> fNumbers;  // the statement's values while they are numbers alone
  SetState fSet;
  std::unordered_map<std::string, size_t> fWarningIndex;
  std::unordered_map<const void*, NodeLoad> fLoads;
  std::unordered_map<std::string, ArrayLoad> fArrays;
  uint64_t fWork = 0;
  // Faces already given to the mesh that polyFaces statements last went to.
  const void* fFacesNode = nullptr;
  long long fFaceCount = 0;
};

MayaAsciiResult readFrom(Source& src, const std::string& fileName, const MayaAsciiOptions& options) {
  MayaAsciiResult result;
  Reader reader(src, fileName, options, result);
  try {
    reader.run();
    result.success = true;
  } catch (const ReadError& e) {
    result.error = (e.file.empty() ? fileName : e.file) + ":" + std::to_string(e.line) + ": " + e.what;
  } catch (const std::bad_alloc&) {
    result.error = fileName + ":" + std::to_string(src.line()) + ": out of memory";
  }
  return result;
}

}  // namespace

int MayaAsciiResult::warningCount() const {
  int n = 0;
  for (const auto& w : warnings) n += w.count;
  return n;
}

const MayaAsciiWarning* MayaAsciiResult::findWarning(std::string_view needle) const {
  for (const auto& w : warnings)
    if (w.kind.find(needle) != std::string::npos) return &w;
  return nullptr;
}

MayaAsciiResult readMayaAsciiString(std::string_view text, const std::string& fileName,
                                    const MayaAsciiOptions& options) {
  Source src(text);
  return readFrom(src, fileName, options);
}

MayaAsciiResult readMayaAscii(std::istream& in, const std::string& fileName, const MayaAsciiOptions& options) {
  Source src(in, 0);
  return readFrom(src, fileName, options);
}

MayaAsciiResult readMayaAsciiFile(const std::string& path, const MayaAsciiOptions& options) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) {
    MayaAsciiResult result;
    result.error = path + ":0: cannot open the file";
    return result;
  }
  std::streamoff size = in.tellg();
  in.seekg(0);
  Source src(in, size > 0 ? static_cast<size_t>(size) : 0);
  return readFrom(src, path, options);
}

}  // namespace kvhost
